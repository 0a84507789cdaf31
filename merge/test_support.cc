#include "merge/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

namespace segjoin {

namespace fs = std::filesystem;

ScopedTempDir::ScopedTempDir() {
  std::random_device random;
  for (;;) {
    const fs::path candidate = fs::temp_directory_path() /
                               ("segjoin-test-" + std::to_string(random()));
    if (fs::create_directory(candidate)) {
      path_ = candidate.string();
      return;
    }
  }
}

ScopedTempDir::~ScopedTempDir() {
  std::error_code ignored;
  fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
  fs::remove_all(path_, ignored);
}

std::string ScopedTempDir::Path(const std::string& name) const {
  return (fs::path(path_) / name).string();
}

std::vector<std::string> ScopedTempDir::List() const {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(path_))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::string PatternBytes(size_t size, int seed) {
  std::string bytes(size, '\0');
  uint32_t state = 2654435761u * static_cast<uint32_t>(seed + 1);
  for (char& byte : bytes) {
    state = state * 1664525u + 1013904223u;
    byte = static_cast<char>(state >> 24);
  }
  return bytes;
}

void WriteFileOrDie(const std::string& path, const std::string& content) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(content.data(), static_cast<std::streamsize>(content.size()));
  file.close();
  if (!file) ADD_FAILURE() << "cannot write fixture " << path;
}

std::string ReadFileOrEmpty(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

bool FileExists(const std::string& path) { return fs::exists(path); }

}  // namespace segjoin
