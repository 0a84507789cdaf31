// The one piece of work the program does: join a numbered series of segment
// files byte for byte into "合成音频.mp3", staging the data in chunk files
// once it grows past the chunk threshold.
#ifndef SEGJOIN_MERGE_MERGE_JOB_H_
#define SEGJOIN_MERGE_MERGE_JOB_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "merge/file_system.h"
#include "merge/platform.h"

namespace segjoin {

// The window's fields as the job sees them. A front end serves each call on
// its own terms (the windows on their GUI thread); every call may come from
// the job's thread and returns the field's text of that moment.
class FieldOperations {
 public:
  virtual ~FieldOperations() = default;
  virtual std::string ReadStartNumberText() = 0;
  virtual std::string ReadPrefixText() = 0;
  virtual void SetStatusText(const std::string& text) = 0;
};

inline constexpr std::string_view kProgressTextPrefix = "已经处理到：";
inline constexpr std::string_view kAssemblingText = "马上完成，正在进行总合成";
inline constexpr std::string_view kCompletedText = "处理完成";
inline constexpr std::string_view kNoSegmentText = "处理有问题，请检测";
inline constexpr std::string_view kWriteFailedTextPrefix = "写入失败：";
inline constexpr std::string_view kReadFailedTextPrefix = "读取失败：";

enum class MergeOutcome {
  kCompleted,    // the output file is in place
  kNoSegment,    // nothing at the start number; nothing written
  kWriteFailed,  // a chunk or the output could not be written
  kReadFailed,   // the first chunk could not be read back into the output
};

class MergeJob {
 public:
  // A collected group is staged as a chunk file once it holds more than this
  // many bytes, checked just before the next segment is added.
  static constexpr uint64_t kChunkThreshold = 52'428'800;
  // Shorter files count as absent: the recorder leaves stubs behind.
  static constexpr size_t kMinimumSegmentSize = 200;

  MergeJob(FieldOperations& fields, std::string run_directory,
           FileSystem& file_system = RealFileSystem(),
           uint64_t chunk_threshold = kChunkThreshold);

  // Runs the whole job and reports it through the status field; the result
  // repeats the ending for callers that want it without parsing texts.
  MergeOutcome Run();

 private:
  MergeOutcome Fail(MergeOutcome outcome, std::string_view text_prefix,
                    std::string_view file_name);
  // Starts the output with a chunk already written; kCompleted on success.
  MergeOutcome CopyChunkInto(StagingFile& output,
                             const std::string& chunk_name);
  std::string PathOf(std::string_view file_name) const;

  FieldOperations& fields_;
  const std::string run_directory_;
  FileSystem& file_system_;
  const uint64_t chunk_threshold_;
};

}  // namespace segjoin

#endif  // SEGJOIN_MERGE_MERGE_JOB_H_
