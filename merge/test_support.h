// Shared fixtures for the engine and command-line tests.
#ifndef SEGJOIN_MERGE_TEST_SUPPORT_H_
#define SEGJOIN_MERGE_TEST_SUPPORT_H_

#include <functional>
#include <string>
#include <vector>

#include "merge/merge_job.h"

namespace segjoin {

// A fresh directory under the system's temp folder, removed with its content.
class ScopedTempDir {
 public:
  ScopedTempDir();
  ~ScopedTempDir();
  ScopedTempDir(const ScopedTempDir&) = delete;
  ScopedTempDir& operator=(const ScopedTempDir&) = delete;

  const std::string& path() const { return path_; }
  std::string Path(const std::string& name) const;
  // The names in the directory, sorted, hidden files included.
  std::vector<std::string> List() const;

 private:
  std::string path_;
};

// `size` bytes whose values depend on `seed`, so misplaced data shows.
std::string PatternBytes(size_t size, int seed);
void WriteFileOrDie(const std::string& path, const std::string& content);
std::string ReadFileOrEmpty(const std::string& path);
bool FileExists(const std::string& path);

// Fields as a test sets them; every status text is kept.
class FakeFields : public FieldOperations {
 public:
  FakeFields(std::string prefix, std::string start)
      : prefix(std::move(prefix)), start(std::move(start)) {}

  std::string ReadStartNumberText() override { return start; }
  std::string ReadPrefixText() override {
    ++prefix_reads;
    if (on_prefix_read) on_prefix_read(*this);
    return prefix;
  }
  void SetStatusText(const std::string& text) override {
    statuses.push_back(text);
  }

  std::string prefix;
  std::string start;
  int prefix_reads = 0;
  std::vector<std::string> statuses;
  // Lets a test play the user who edits the field while the job runs.
  std::function<void(FakeFields&)> on_prefix_read;
};

}  // namespace segjoin

#endif  // SEGJOIN_MERGE_TEST_SUPPORT_H_
