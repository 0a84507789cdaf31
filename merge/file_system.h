// The engine's only door to the disk. The real implementation lives in the
// platform sources; tests may substitute their own.
#ifndef SEGJOIN_MERGE_FILE_SYSTEM_H_
#define SEGJOIN_MERGE_FILE_SYSTEM_H_

#include <cstddef>
#include <memory>
#include <new>
#include <string>
#include <vector>

namespace segjoin {

using Bytes = std::vector<char>;

// Outcome of copying one file's content onto the end of a staging file.
enum class CopyStatus { kOk, kReadFailed, kWriteFailed };

// A file that is written under a temporary name in its directory and appears
// under its real name only when committed, so a reader never sees it half
// written and a job that fails leaves the previous file of that name alone.
// Destroying an uncommitted staging file removes it.
class StagingFile {
 public:
  virtual ~StagingFile() = default;

  // Appends bytes at the end; false once any write has failed.
  virtual bool Append(const char* data, size_t size) = 0;

  // Appends the whole content of the file at `path`, streamed in pieces so
  // that large files cost no more memory than a small one.
  virtual CopyStatus AppendFileContents(const std::string& path) = 0;

  // Closes the file and moves it over `path`, replacing what was there.
  // False if the data cannot be completed or the move fails; the temporary
  // file is then removed.
  virtual bool CommitAs(const std::string& path) = 0;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // Replaces `content` with the whole content of the file at `path`. The
  // content is left empty when the file is missing, is a directory, cannot be
  // read, is held open for writing by another program, or is 2 GiB or larger.
  // Reusing one buffer keeps its capacity between calls.
  virtual void ReadWholeFile(const std::string& path, Bytes& content) = 0;

  // Starts a new, empty staging file in `directory`; null if it cannot be
  // created there.
  virtual std::unique_ptr<StagingFile> CreateStagingFile(
      const std::string& directory) = 0;
};

// Makes room for a file's content. A file too large for the memory left
// reads as absent instead of ending the program.
inline bool ResizeForContent(Bytes& content, size_t size) {
  try {
    content.resize(size);
    return true;
  } catch (const std::bad_alloc&) {
    Bytes().swap(content);
    return false;
  }
}

}  // namespace segjoin

#endif  // SEGJOIN_MERGE_FILE_SYSTEM_H_
