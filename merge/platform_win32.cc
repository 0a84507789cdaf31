#include <windows.h>

#include <atomic>
#include <climits>
#include <memory>
#include <new>
#include <string>

#include "merge/naming.h"
#include "merge/platform.h"
#include "merge/win32_text.h"
#include "merge/write_buffer.h"

namespace segjoin {

const char kPathSeparator = '\\';

namespace {

constexpr DWORD kCopyBlockSize = 1 << 20;

class Handle {
 public:
  explicit Handle(HANDLE handle) : handle_(handle) {}
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() {
    if (valid()) CloseHandle(handle_);
  }
  HANDLE get() const { return handle_; }
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  bool Close() {
    const HANDLE handle = handle_;
    handle_ = INVALID_HANDLE_VALUE;
    return CloseHandle(handle) != 0;
  }

 private:
  HANDLE handle_;
};

// Sharing read access only: a file that someone still writes cannot be
// opened, and nobody can start writing it while we read.
HANDLE OpenForReading(const std::string& path) {
  return CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ,
                     nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN,
                     nullptr);
}

bool WriteAll(HANDLE file, const char* data, size_t size) {
  while (size > 0) {
    const DWORD piece =
        size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!WriteFile(file, data, piece, &written, nullptr) || written == 0)
      return false;
    data += written;
    size -= written;
  }
  return true;
}

bool SetDeleteOnClose(HANDLE file, bool delete_on_close) {
  FILE_DISPOSITION_INFO disposition{};
  disposition.DeleteFile = delete_on_close;
  return SetFileInformationByHandle(file, FileDispositionInfo, &disposition,
                                    sizeof disposition) != 0;
}

class Win32StagingFile : public StagingFile {
 public:
  Win32StagingFile(HANDLE file, std::string path)
      : file_(file),
        path_(std::move(path)),
        buffer_([this](const char* data, size_t size) {
          return WriteAll(file_.get(), data, size);
        }) {}
  ~Win32StagingFile() override {
    if (!committed_) {
      if (file_.valid()) file_.Close();
      DeleteFileW(Widen(path_).c_str());
    }
  }

  bool Append(const char* data, size_t size) override {
    failed_ = failed_ || !buffer_.Append(data, size);
    return !failed_;
  }

  CopyStatus AppendFileContents(const std::string& path) override {
    if (failed_) return CopyStatus::kWriteFailed;
    Handle source(OpenForReading(path));
    if (!source.valid()) return CopyStatus::kReadFailed;
    std::unique_ptr<char[]> block(new char[kCopyBlockSize]);
    for (;;) {
      DWORD got = 0;
      if (!ReadFile(source.get(), block.get(), kCopyBlockSize, &got, nullptr))
        return CopyStatus::kReadFailed;
      if (got == 0) return CopyStatus::kOk;
      if (!Append(block.get(), got)) return CopyStatus::kWriteFailed;
    }
  }

  bool CommitAs(const std::string& path) override {
    failed_ =
        failed_ || !buffer_.Flush() || !SetDeleteOnClose(file_.get(), false);
    const bool closed = file_.Close();
    if (failed_ || !closed ||
        !MoveFileExW(Widen(path_).c_str(), Widen(path).c_str(),
                     MOVEFILE_REPLACE_EXISTING)) {
      failed_ = true;
      return false;
    }
    committed_ = true;
    return true;
  }

 private:
  Handle file_;
  const std::string path_;
  WriteBuffer buffer_;
  bool failed_ = false;
  bool committed_ = false;
};

class Win32FileSystem : public FileSystem {
 public:
  void ReadWholeFile(const std::string& path, Bytes& content) override {
    content.clear();
    if (path.empty()) return;
    Handle file(OpenForReading(path));
    if (!file.valid()) return;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size)) return;
    if (size.QuadPart <= 0 || size.QuadPart > INT_MAX) return;
    if (!ResizeForContent(content, static_cast<size_t>(size.QuadPart))) return;
    size_t done = 0;
    while (done < content.size()) {
      DWORD got = 0;
      if (!ReadFile(file.get(), content.data() + done,
                    static_cast<DWORD>(content.size() - done), &got, nullptr)) {
        content.clear();
        return;
      }
      if (got == 0) break;
      done += got;
    }
    content.resize(done);
  }

  std::unique_ptr<StagingFile> CreateStagingFile(
      const std::string& directory) override {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
      const std::string path = JoinPath(
          directory,
          StagingFileName(GetCurrentProcessId(), counter++, GetTickCount()));
      // Shared with nobody while it is written.
      HANDLE file =
          CreateFileW(Widen(path).c_str(), GENERIC_WRITE | DELETE, 0, nullptr,
                      CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
      if (file != INVALID_HANDLE_VALUE) {
        // Marked for deletion until committed, so that a program closed or
        // killed mid-way leaves nothing behind. Where the mark cannot be set,
        // dropping the staging file still removes it.
        SetDeleteOnClose(file, true);
        return std::make_unique<Win32StagingFile>(file, path);
      }
      if (GetLastError() != ERROR_FILE_EXISTS) return nullptr;
    }
    return nullptr;
  }
};

}  // namespace

std::optional<std::string> RunDirectory() {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, buffer.data(),
                                            static_cast<DWORD>(buffer.size()));
    if (length == 0) return std::nullopt;
    if (length < buffer.size()) {
      buffer.resize(length);
      break;
    }
    buffer.resize(buffer.size() * 2);
  }
  const std::string path = Narrow(buffer);
  const size_t backslash = path.rfind('\\');
  if (backslash == std::string::npos) return std::nullopt;
  return path.substr(0, backslash);
}

bool ChangeCurrentDirectory(const std::string& directory) {
  // "C:" alone names the current directory of drive C, not its root.
  std::string target = directory;
  if (!target.empty() && target.back() == ':') target += '\\';
  return SetCurrentDirectoryW(Widen(target).c_str()) != 0;
}

FileSystem& RealFileSystem() {
  static Win32FileSystem file_system;
  return file_system;
}

}  // namespace segjoin
