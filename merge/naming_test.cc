#include "merge/naming.h"

#include <gtest/gtest.h>

#include "merge/platform.h"

namespace segjoin {
namespace {

TEST(NamingTest, SegmentNameAppendsNumberWithoutSeparator) {
  EXPECT_EQ(SegmentFileName("2023-05-20184601", 1), "2023-05-201846011.mp3");
  EXPECT_EQ(SegmentFileName("2023-05-20184601", 12), "2023-05-2018460112.mp3");
  EXPECT_EQ(SegmentFileName("", 1), "1.mp3");
  EXPECT_EQ(SegmentFileName("p", -3), "p-3.mp3");
  EXPECT_EQ(SegmentFileName("p", 0), "p0.mp3");
  EXPECT_EQ(SegmentFileName("p", INT32_MAX), "p2147483647.mp3");
  EXPECT_EQ(SegmentFileName("p", INT32_MIN), "p-2147483648.mp3");
}

TEST(NamingTest, ChunkAndOutputNamesCarryTheChineseStem) {
  EXPECT_EQ(ChunkFileName(1), "合成音频1.mp3");
  EXPECT_EQ(ChunkFileName(12), "合成音频12.mp3");
  EXPECT_EQ(kOutputFileName, "合成音频.mp3");
}

TEST(NamingTest, JoinPathUsesOneSeparator) {
  const std::string separator(1, kPathSeparator);
  EXPECT_EQ(JoinPath("dir", "a.mp3"), "dir" + separator + "a.mp3");
  // A program in the root directory has an empty run directory.
  EXPECT_EQ(JoinPath("", "a.mp3"), separator + "a.mp3");
}

}  // namespace
}  // namespace segjoin
