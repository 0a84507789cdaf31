#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "merge/naming.h"
#include "merge/platform.h"
#include "merge/write_buffer.h"

namespace segjoin {

const char kPathSeparator = '/';

namespace {

constexpr off_t kLargestReadableFile = INT32_MAX;  // 2 GiB - 1
constexpr size_t kCopyBlockSize = 1 << 20;

// Closes a descriptor on every path out of a function.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() {
    if (fd_ >= 0) close(fd_);
  }
  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  // Closes now, reporting errors that only show at close (quota, NFS).
  bool Close() {
    const int fd = fd_;
    fd_ = -1;
    return close(fd) == 0;
  }

 private:
  int fd_;
};

int OpenRetrying(const char* path, int flags, mode_t mode = 0) {
  int fd;
  do {
    fd = open(path, flags, mode);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

bool WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t written = write(fd, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += written;
    size -= static_cast<size_t>(written);
  }
  return true;
}

// Whether another program holds the file open for writing: the POSIX stand-in
// for a share mode that denies writers. A read lease is refused with EAGAIN
// while any process has the file open for writing; once granted, a writer's
// open() waits until the lease goes with the close of `fd`, so nobody starts
// writing during the read.
bool HeldOpenForWriting(int fd) {
  // Breaking a lease signals its holder with SIGIO, whose default action
  // ends the process. Our leases last one read, so the signal carries
  // nothing we need.
  static std::once_flag ignore_sigio;
  std::call_once(ignore_sigio, [] {
    struct sigaction current {};
    if (sigaction(SIGIO, nullptr, &current) == 0 &&
        current.sa_handler == SIG_DFL) {
      signal(SIGIO, SIG_IGN);
    }
  });
  // Other errors mean leases are unavailable here (a file system without
  // them, a file we do not own without CAP_LEASE): read without the check.
  return fcntl(fd, F_SETLEASE, F_RDLCK) != 0 && errno == EAGAIN;
}

// Calls `create` with fresh staging paths in `directory` until it succeeds,
// and returns the path it took; nothing once it fails for another reason than
// the name being taken.
std::optional<std::string> TakeStagingName(
    const std::string& directory,
    const std::function<bool(const std::string& path)>& create) {
  static std::atomic<unsigned> counter{0};
  const auto clock = static_cast<unsigned long>(
      std::chrono::steady_clock::now().time_since_epoch().count());
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string path = JoinPath(
        directory, StagingFileName(static_cast<unsigned long>(getpid()),
                                   counter++, clock));
    if (create(path)) return path;
    if (errno != EEXIST) return std::nullopt;
  }
  return std::nullopt;
}

// Data written before commit lives in a file without a name where the file
// system allows it (O_TMPFILE), so that a program closed or killed mid-way
// leaves nothing behind; elsewhere in a hidden file that is removed when the
// staging file is dropped.
class PosixStagingFile : public StagingFile {
 public:
  // `path` is empty for a file without a name.
  PosixStagingFile(int fd, std::string directory, std::string path)
      : fd_(fd),
        directory_(std::move(directory)),
        path_(std::move(path)),
        buffer_([this](const char* data, size_t size) {
          return WriteAll(fd_.get(), data, size);
        }) {}
  ~PosixStagingFile() override {
    if (!committed_ && !path_.empty()) unlink(path_.c_str());
  }

  bool Append(const char* data, size_t size) override {
    failed_ = failed_ || !buffer_.Append(data, size);
    return !failed_;
  }

  CopyStatus AppendFileContents(const std::string& path) override {
    if (failed_ || !buffer_.Flush()) {
      failed_ = true;
      return CopyStatus::kWriteFailed;
    }
    FileDescriptor source(OpenRetrying(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!source.valid()) return CopyStatus::kReadFailed;
    const CopyStatus status = CopyFrom(source.get());
    failed_ = status == CopyStatus::kWriteFailed;
    return status;
  }

  bool CommitAs(const std::string& path) override {
    failed_ = failed_ || !buffer_.Flush() || (path_.empty() && !GiveName());
    const bool closed = fd_.Close();
    if (failed_ || !closed || rename(path_.c_str(), path.c_str()) != 0) {
      failed_ = true;
      return false;
    }
    committed_ = true;
    return true;
  }

 private:
  CopyStatus CopyFrom(int source) {
    std::unique_ptr<char[]> block(new char[kCopyBlockSize]);
    for (;;) {
      const ssize_t got = read(source, block.get(), kCopyBlockSize);
      if (got == 0) return CopyStatus::kOk;
      if (got < 0) {
        if (errno == EINTR) continue;
        return CopyStatus::kReadFailed;
      }
      if (!WriteAll(fd_.get(), block.get(), static_cast<size_t>(got)))
        return CopyStatus::kWriteFailed;
    }
  }

  // Links the nameless file under a staging name; the final move is then a
  // rename like any other, which replaces an existing file.
  bool GiveName() {
    const std::string fd_path = "/proc/self/fd/" + std::to_string(fd_.get());
    std::optional<std::string> path =
        TakeStagingName(directory_, [&fd_path](const std::string& path) {
          return linkat(AT_FDCWD, fd_path.c_str(), AT_FDCWD, path.c_str(),
                        AT_SYMLINK_FOLLOW) == 0;
        });
    if (!path) return false;
    path_ = std::move(*path);
    return true;
  }

  FileDescriptor fd_;
  const std::string directory_;
  std::string path_;
  WriteBuffer buffer_;
  bool failed_ = false;
  bool committed_ = false;
};

class PosixFileSystem : public FileSystem {
 public:
  void ReadWholeFile(const std::string& path, Bytes& content) override {
    content.clear();
    if (path.empty()) return;
    // O_NONBLOCK keeps a FIFO from stalling the job; it is refused below.
    FileDescriptor fd(OpenRetrying(
        path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!fd.valid()) return;
    struct stat info {};
    if (fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) return;
    if (info.st_size == 0 || info.st_size > kLargestReadableFile) return;
    if (HeldOpenForWriting(fd.get())) return;

    const auto size = static_cast<size_t>(info.st_size);
    if (!ResizeForContent(content, size)) return;
    size_t done = 0;
    while (done < size) {
      const ssize_t got = read(fd.get(), content.data() + done, size - done);
      if (got == 0) break;  // shrank since fstat: keep what arrived
      if (got < 0) {
        if (errno == EINTR) continue;
        content.clear();
        return;
      }
      done += static_cast<size_t>(got);
    }
    content.resize(done);
  }

  std::unique_ptr<StagingFile> CreateStagingFile(
      const std::string& directory) override {
    const int nameless =
        OpenRetrying(directory.empty() ? "/" : directory.c_str(),
                     O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (nameless >= 0)
      return std::make_unique<PosixStagingFile>(nameless, directory, "");
    // Only a file system without nameless files gets a second try.
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
      return nullptr;
    int fd = -1;
    std::optional<std::string> path =
        TakeStagingName(directory, [&fd](const std::string& path) {
          fd = OpenRetrying(path.c_str(),
                            O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
          return fd >= 0;
        });
    if (!path) return nullptr;
    return std::make_unique<PosixStagingFile>(fd, directory, std::move(*path));
  }
};

}  // namespace

std::optional<std::string> RunDirectory() {
  std::vector<char> buffer(256);
  for (;;) {
    const ssize_t length =
        readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length < 0) return std::nullopt;
    if (static_cast<size_t>(length) < buffer.size()) {
      std::string path(buffer.data(), static_cast<size_t>(length));
      const size_t slash = path.rfind('/');
      if (slash == std::string::npos) return std::nullopt;
      return path.substr(0, slash);
    }
    buffer.resize(buffer.size() * 2);
  }
}

bool ChangeCurrentDirectory(const std::string& directory) {
  return chdir(directory.empty() ? "/" : directory.c_str()) == 0;
}

FileSystem& RealFileSystem() {
  static PosixFileSystem file_system;
  return file_system;
}

}  // namespace segjoin
