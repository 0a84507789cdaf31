#include "merge/merge_job.h"

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "merge/naming.h"
#include "merge/test_support.h"

namespace segjoin {
namespace {

using testing::ElementsAre;
using testing::ElementsAreArray;

constexpr std::string_view kPrefix = "2023-05-20184601";

std::string Progress(const std::string& file_name) {
  return std::string(kProgressTextPrefix) + file_name;
}

class MergeJobTest : public testing::Test {
 protected:
  // Writes segment files prefix+start, prefix+start+1, ... with the given
  // sizes and returns their contents.
  std::vector<std::string> WriteSeries(const std::vector<size_t>& sizes,
                                       int start = 1,
                                       std::string_view prefix = kPrefix) {
    std::vector<std::string> contents;
    for (size_t i = 0; i < sizes.size(); ++i) {
      contents.push_back(PatternBytes(sizes[i], static_cast<int>(i)));
      WriteFileOrDie(Name(static_cast<int>(start + i), prefix),
                     contents.back());
    }
    return contents;
  }

  std::string Name(int number, std::string_view prefix = kPrefix) {
    return dir_.Path(SegmentFileName(prefix, number));
  }
  std::string Output() { return ReadFileOrEmpty(dir_.Path("合成音频.mp3")); }
  std::string Chunk(int number) {
    return ReadFileOrEmpty(dir_.Path(ChunkFileName(number)));
  }

  MergeOutcome Run(FakeFields& fields,
                   uint64_t threshold = MergeJob::kChunkThreshold) {
    return MergeJob(fields, dir_.path(), RealFileSystem(), threshold).Run();
  }

  // Nothing the job stages may survive it.
  void ExpectNoStagingLeft() {
    for (const std::string& name : dir_.List())
      EXPECT_EQ(name.find(".part"), std::string::npos) << name;
  }

  static std::string Join(const std::vector<std::string>& parts, size_t from,
                          size_t to) {
    std::string joined;
    for (size_t i = from; i < to; ++i) joined += parts[i];
    return joined;
  }

  ScopedTempDir dir_;
};

TEST_F(MergeJobTest, NoSegmentAtStartWritesNothing) {
  WriteSeries({300, 300}, /*start=*/2);  // a series, but not at 1
  WriteFileOrDie(dir_.Path("合成音频.mp3"), "earlier output");
  const std::vector<std::string> before = dir_.List();
  FakeFields fields(std::string(kPrefix), "1");

  EXPECT_EQ(Run(fields), MergeOutcome::kNoSegment);

  EXPECT_THAT(fields.statuses, ElementsAre("处理有问题，请检测"));
  EXPECT_EQ(dir_.List(), before);
  EXPECT_EQ(Output(), "earlier output");
}

TEST_F(MergeJobTest, DirectFinishJoinsSegmentsInOrder) {
  const auto segments = WriteSeries({300, 1000, 200});
  FakeFields fields(std::string(kPrefix), "1");

  EXPECT_EQ(Run(fields), MergeOutcome::kCompleted);

  EXPECT_EQ(Output(), Join(segments, 0, 3));
  EXPECT_THAT(fields.statuses,
              ElementsAre(Progress("2023-05-201846011.mp3"),
                          Progress("2023-05-201846012.mp3"),
                          Progress("2023-05-201846013.mp3"), "处理完成"));
  EXPECT_FALSE(FileExists(dir_.Path("合成音频1.mp3")));
  ExpectNoStagingLeft();
}

TEST_F(MergeJobTest, StagedFinishCutsChunksJustPastTheThreshold) {
  // With a threshold of 1000: after 500+500 the group holds exactly the
  // threshold and takes one more segment; after 501+500 it holds one byte
  // more and is staged before the next.
  const auto segments = WriteSeries({500, 500, 200, 501, 500, 200});
  WriteFileOrDie(dir_.Path("合成音频.mp3"), "earlier output");
  FakeFields fields(std::string(kPrefix), "1");

  EXPECT_EQ(Run(fields, /*threshold=*/1000), MergeOutcome::kCompleted);

  EXPECT_EQ(Chunk(1), Join(segments, 0, 3));
  EXPECT_EQ(Chunk(2), Join(segments, 3, 5));
  EXPECT_EQ(Chunk(3), Join(segments, 5, 6));
  EXPECT_EQ(Output(), Join(segments, 0, 6));
  ASSERT_GE(fields.statuses.size(), 2u);
  EXPECT_EQ(fields.statuses[fields.statuses.size() - 2],
            "马上完成，正在进行总合成");
  EXPECT_EQ(fields.statuses.back(), "处理完成");
  ExpectNoStagingLeft();
}

struct ThresholdCase {
  const char* name;
  size_t second_segment;
  bool staged;
};

class RealThresholdTest : public MergeJobTest,
                          public testing::WithParamInterface<ThresholdCase> {};

TEST_P(RealThresholdTest, FiftyMebibytesExactlyStaysInOneGroup) {
  const size_t first = MergeJob::kChunkThreshold - 200;
  const auto segments = WriteSeries({first, GetParam().second_segment, 300});
  FakeFields fields(std::string(kPrefix), "1");

  EXPECT_EQ(Run(fields), MergeOutcome::kCompleted);

  EXPECT_TRUE(Output() == Join(segments, 0, 3));
  if (GetParam().staged) {
    EXPECT_TRUE(Chunk(1) == Join(segments, 0, 2));
    EXPECT_TRUE(Chunk(2) == segments[2]);
  } else {
    EXPECT_FALSE(FileExists(dir_.Path("合成音频1.mp3")));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Boundary, RealThresholdTest,
    testing::Values(ThresholdCase{"Exactly52428800", 200, false},
                    ThresholdCase{"Exactly52428801", 201, true}),
    [](const auto& info) { return std::string(info.param.name); });

struct LengthCase {
  size_t second_segment;
  bool appended;
};

class SegmentLengthTest : public MergeJobTest,
                          public testing::WithParamInterface<LengthCase> {};

TEST_P(SegmentLengthTest, SegmentsUnder200BytesEndTheSeries) {
  const auto segments = WriteSeries({400, GetParam().second_segment, 400});
  FakeFields fields(std::string(kPrefix), "1");

  EXPECT_EQ(Run(fields), MergeOutcome::kCompleted);

  EXPECT_EQ(Output(), GetParam().appended ? Join(segments, 0, 3) : segments[0]);
}

INSTANTIATE_TEST_SUITE_P(Lengths, SegmentLengthTest,
                         testing::Values(LengthCase{199, false},
                                         LengthCase{200, true},
                                         LengthCase{0, false}));

TEST_F(MergeJobTest, SegmentStillBeingWrittenEndsTheSeries) {
  const auto segments = WriteSeries({300, 300, 300});
  // The recorder still has the second segment open.
  const int writer = open(Name(2).c_str(), O_WRONLY | O_APPEND);
  ASSERT_GE(writer, 0);
  FakeFields fields(std::string(kPrefix), "1");

  EXPECT_EQ(Run(fields), MergeOutcome::kCompleted);
  close(writer);

  EXPECT_EQ(Output(), segments[0]);
}

TEST_F(MergeJobTest, ChunkLeftByAnEarlierRunIsNeitherJoinedNorDeleted) {
  const auto segments = WriteSeries({600, 600});
  const std::string stale = PatternBytes(300, 99);
  WriteFileOrDie(dir_.Path("合成音频3.mp3"), stale);
  FakeFields fields(std::string(kPrefix), "1");

  EXPECT_EQ(Run(fields, /*threshold=*/500), MergeOutcome::kCompleted);

  EXPECT_EQ(Chunk(1), segments[0]);
  EXPECT_EQ(Chunk(2), segments[1]);
  EXPECT_EQ(Output(), Join(segments, 0, 2));
  EXPECT_EQ(Chunk(3), stale);
}

TEST_F(MergeJobTest, PrefixEditedDuringTheRunNamesTheFollowingSegments) {
  const auto a = WriteSeries({300, 300, 300}, 1, "a");
  const auto b = WriteSeries({400, 400, 400}, 1, "b");
  FakeFields fields("a", "1");
  // The user changes the prefix while the first segment's progress text is
  // being formed.
  fields.on_prefix_read = [](FakeFields& f) {
    if (f.prefix_reads == 2) f.prefix = "b";
  };

  EXPECT_EQ(Run(fields), MergeOutcome::kCompleted);

  EXPECT_EQ(Output(), a[0] + b[1] + b[2]);
  EXPECT_THAT(fields.statuses,
              ElementsAre(Progress("b1.mp3"), Progress("b2.mp3"),
                          Progress("b3.mp3"), "处理完成"));
}

struct NamingCase {
  const char* prefix;
  const char* start;
  std::vector<int> numbers;  // segment numbers on disk, in series order
};

class NamingOnDiskTest : public MergeJobTest,
                         public testing::WithParamInterface<NamingCase> {};

TEST_P(NamingOnDiskTest, ReadsTheNumberedFiles) {
  const NamingCase& param = GetParam();
  std::vector<std::string> contents;
  std::vector<std::string> expected_statuses;
  for (size_t i = 0; i < param.numbers.size(); ++i) {
    contents.push_back(PatternBytes(250, static_cast<int>(i)));
    WriteFileOrDie(Name(param.numbers[i], param.prefix), contents.back());
    expected_statuses.push_back(
        Progress(SegmentFileName(param.prefix, param.numbers[i])));
  }
  expected_statuses.push_back("处理完成");
  FakeFields fields(param.prefix, param.start);

  EXPECT_EQ(Run(fields), MergeOutcome::kCompleted);

  EXPECT_EQ(Output(), Join(contents, 0, contents.size()));
  EXPECT_THAT(fields.statuses, ElementsAreArray(expected_statuses));
}

INSTANTIATE_TEST_SUITE_P(
    Names, NamingOnDiskTest,
    testing::Values(NamingCase{"", "1", {1, 2}}, NamingCase{"p", "", {0, 1}},
                    NamingCase{"p", "-2", {-2, -1, 0, 1}},
                    NamingCase{"p", " ２", {2, 3}},
                    NamingCase{"p", "2147483647", {2147483647, -2147483648}},
                    NamingCase{"录音", "9", {9, 10}}));

TEST_F(MergeJobTest, FailedChunkWriteIsReportedAndKeepsTheEarlierOutput) {
  WriteSeries({600, 600, 600});
  WriteFileOrDie(dir_.Path("合成音频.mp3"), "earlier output");
  // A directory where the second chunk must go makes that write fail.
  std::filesystem::create_directory(dir_.Path("合成音频2.mp3"));
  FakeFields fields(std::string(kPrefix), "1");

  EXPECT_EQ(Run(fields, /*threshold=*/500), MergeOutcome::kWriteFailed);

  EXPECT_EQ(fields.statuses.back(), "写入失败：合成音频2.mp3");
  for (const std::string& status : fields.statuses)
    EXPECT_NE(status, "处理完成");
  EXPECT_EQ(Output(), "earlier output");
  ExpectNoStagingLeft();
}

TEST_F(MergeJobTest, FailedOutputWriteIsReported) {
  WriteSeries({300, 300});
  std::filesystem::create_directory(dir_.Path("合成音频.mp3"));
  FakeFields fields(std::string(kPrefix), "1");

  EXPECT_EQ(Run(fields), MergeOutcome::kWriteFailed);

  EXPECT_EQ(fields.statuses.back(), "写入失败：合成音频.mp3");
  EXPECT_TRUE(std::filesystem::is_directory(dir_.Path("合成音频.mp3")));
  ExpectNoStagingLeft();
}

// A file system that really runs out of space: 4 MiB, most of it taken by
// the segments. Mounting needs root; CI runs as root.
struct FullDiskCase {
  std::vector<size_t> segments;
  uint64_t threshold;
  const char* status;
};

class FullDiskTest : public MergeJobTest,
                     public testing::WithParamInterface<FullDiskCase> {
 protected:
  void SetUp() override {
    if (geteuid() != 0 ||
        mount("segjoin-test", dir_.path().c_str(), "tmpfs", 0, "size=4m") != 0)
      GTEST_SKIP() << "cannot mount a small file system here";
    mounted_ = true;
  }
  void TearDown() override {
    if (mounted_) umount2(dir_.path().c_str(), MNT_DETACH);
  }
  bool mounted_ = false;
};

TEST_P(FullDiskTest, NamesTheFileTheLostDataWasFor) {
  WriteSeries(GetParam().segments);
  WriteFileOrDie(dir_.Path("合成音频.mp3"), "earlier output");
  FakeFields fields(std::string(kPrefix), "1");

  EXPECT_EQ(Run(fields, GetParam().threshold), MergeOutcome::kWriteFailed);

  EXPECT_EQ(fields.statuses.back(), GetParam().status);
  EXPECT_EQ(Output(), "earlier output");
  ExpectNoStagingLeft();
}

constexpr size_t kKiB = 1024;
INSTANTIATE_TEST_SUITE_P(
    Cases, FullDiskTest,
    testing::Values(
        // The first segment already fails; the series decides its fate.
        FullDiskCase{{1536 * kKiB, 1536 * kKiB},
                     MergeJob::kChunkThreshold,
                     "写入失败：合成音频.mp3"},
        FullDiskCase{
            {1536 * kKiB, 1536 * kKiB}, 1024 * kKiB, "写入失败：合成音频1.mp3"},
        // The first chunk and its copy in the output fit; the next does not.
        FullDiskCase{{300 * kKiB, 300 * kKiB, 1536 * kKiB},
                     500 * kKiB,
                     "写入失败：合成音频2.mp3"}));

// Removes the first chunk just before the output starts from it, as another
// program might.
class ChunkRemovingFileSystem : public FileSystem {
 public:
  explicit ChunkRemovingFileSystem(std::string chunk) : chunk_(chunk) {}
  void ReadWholeFile(const std::string& path, Bytes& content) override {
    RealFileSystem().ReadWholeFile(path, content);
  }
  std::unique_ptr<StagingFile> CreateStagingFile(
      const std::string& directory) override {
    if (FileExists(chunk_)) std::filesystem::remove(chunk_);
    return RealFileSystem().CreateStagingFile(directory);
  }

 private:
  const std::string chunk_;
};

TEST_F(MergeJobTest, ChunkMissingWhenReadBackIsReported) {
  WriteSeries({600, 600});
  ChunkRemovingFileSystem file_system(dir_.Path("合成音频1.mp3"));
  FakeFields fields(std::string(kPrefix), "1");

  EXPECT_EQ(MergeJob(fields, dir_.path(), file_system, 500).Run(),
            MergeOutcome::kReadFailed);

  EXPECT_EQ(fields.statuses.back(), "读取失败：合成音频1.mp3");
  EXPECT_FALSE(FileExists(dir_.Path("合成音频.mp3")));
  ExpectNoStagingLeft();
}

}  // namespace
}  // namespace segjoin
