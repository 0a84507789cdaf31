#include "merge/merge_job.h"

#include <memory>
#include <utility>

#include "merge/naming.h"
#include "merge/text_to_int.h"

namespace segjoin {
namespace {

// Segment numbers run on past the largest 32-bit number into the negatives,
// as the recorder's own counter does.
int32_t NextNumber(int32_t number) {
  return static_cast<int32_t>(static_cast<uint32_t>(number) + 1u);
}

}  // namespace

MergeJob::MergeJob(FieldOperations& fields, std::string run_directory,
                   FileSystem& file_system, uint64_t chunk_threshold)
    : fields_(fields),
      run_directory_(std::move(run_directory)),
      file_system_(file_system),
      chunk_threshold_(chunk_threshold) {}

std::string MergeJob::PathOf(std::string_view file_name) const {
  return JoinPath(run_directory_, file_name);
}

MergeOutcome MergeJob::Fail(MergeOutcome outcome, std::string_view text_prefix,
                            std::string_view file_name) {
  std::string text(text_prefix);
  text += file_name;
  fields_.SetStatusText(text);
  return outcome;
}

MergeOutcome MergeJob::Run() {
  int32_t number = TextToInt(fields_.ReadStartNumberText());
  int32_t chunk_count = 0;

  // The group being collected streams straight into a staging file, so
  // memory holds one segment at a time however long the series is. Whether
  // the group becomes a chunk or the output is known only when it closes.
  std::unique_ptr<StagingFile> group;
  uint64_t group_size = 0;
  // Once the first chunk is out, the output can only be the chunks joined:
  // it starts from the first chunk and then takes every segment alongside
  // the chunks, so the finish reads nothing back.
  std::unique_ptr<StagingFile> output;
  // After a failed write the loop keeps reading, without writing, only until
  // it knows which file the lost data was meant for, so that the message can
  // name it.
  bool write_failed = false;

  Bytes segment;
  for (;; number = NextNumber(number)) {
    const std::string segment_name =
        SegmentFileName(fields_.ReadPrefixText(), number);
    file_system_.ReadWholeFile(PathOf(segment_name), segment);
    if (segment.size() < kMinimumSegmentSize) break;

    if (group_size > chunk_threshold_) {
      ++chunk_count;
      const std::string chunk_name = ChunkFileName(chunk_count);
      if (write_failed || !group->CommitAs(PathOf(chunk_name)))
        return Fail(MergeOutcome::kWriteFailed, kWriteFailedTextPrefix,
                    chunk_name);
      group.reset();
      group_size = 0;
      if (chunk_count == 1) {
        output = file_system_.CreateStagingFile(run_directory_);
        if (!output)
          return Fail(MergeOutcome::kWriteFailed, kWriteFailedTextPrefix,
                      kOutputFileName);
        const MergeOutcome copied = CopyChunkInto(*output, chunk_name);
        if (copied != MergeOutcome::kCompleted) return copied;
      }
    }

    if (!write_failed) {
      if (!group) group = file_system_.CreateStagingFile(run_directory_);
      write_failed = !group || !group->Append(segment.data(), segment.size());
      // Dropping the staging file gives its disk space back at once.
      if (write_failed) group.reset();
    }
    // With chunks already written, the failed group can only be the next one.
    if (write_failed && chunk_count > 0)
      return Fail(MergeOutcome::kWriteFailed, kWriteFailedTextPrefix,
                  ChunkFileName(chunk_count + 1));
    if (output && !output->Append(segment.data(), segment.size()))
      return Fail(MergeOutcome::kWriteFailed, kWriteFailedTextPrefix,
                  kOutputFileName);
    group_size += segment.size();

    if (!write_failed) {
      std::string progress(kProgressTextPrefix);
      progress += SegmentFileName(fields_.ReadPrefixText(), number);
      fields_.SetStatusText(progress);
    }
  }
  Bytes().swap(segment);  // the largest segment's memory is no longer needed

  if (group_size < kMinimumSegmentSize) {
    fields_.SetStatusText(std::string(kNoSegmentText));
    return MergeOutcome::kNoSegment;
  }

  if (chunk_count > 0) {
    const std::string last_chunk = ChunkFileName(chunk_count + 1);
    if (write_failed || !group->CommitAs(PathOf(last_chunk)))
      return Fail(MergeOutcome::kWriteFailed, kWriteFailedTextPrefix,
                  last_chunk);
    fields_.SetStatusText(std::string(kAssemblingText));
    // The chunks' data is already in the output; only its name is missing.
    group = std::move(output);
  }
  if (write_failed || !group->CommitAs(PathOf(kOutputFileName)))
    return Fail(MergeOutcome::kWriteFailed, kWriteFailedTextPrefix,
                kOutputFileName);
  fields_.SetStatusText(std::string(kCompletedText));
  return MergeOutcome::kCompleted;
}

MergeOutcome MergeJob::CopyChunkInto(StagingFile& output,
                                     const std::string& chunk_name) {
  switch (output.AppendFileContents(PathOf(chunk_name))) {
    case CopyStatus::kOk:
      return MergeOutcome::kCompleted;
    case CopyStatus::kReadFailed:
      return Fail(MergeOutcome::kReadFailed, kReadFailedTextPrefix, chunk_name);
    case CopyStatus::kWriteFailed:
      break;
  }
  return Fail(MergeOutcome::kWriteFailed, kWriteFailedTextPrefix,
              kOutputFileName);
}

}  // namespace segjoin
