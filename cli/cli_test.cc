#include "cli/cli.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "merge/platform.h"
#include "merge/test_support.h"

namespace segjoin {
namespace {

struct Result {
  int exit_code;
  std::string out;
  std::string err;
};

Result RunCli(std::vector<std::string> args, bool terminal = false) {
  std::ostringstream out, err;
  const int exit_code =
      RunCommandLine(args, out, err, terminal, RealFileSystem());
  return {exit_code, out.str(), err.str()};
}

struct UsageCase {
  std::vector<std::string> args;
  const char* complaint;
};

class UsageErrorTest : public testing::TestWithParam<UsageCase> {};

TEST_P(UsageErrorTest, ExitsWith64AndOneLine) {
  const Result result = RunCli(GetParam().args);
  EXPECT_EQ(result.exit_code, kExitUsage);
  EXPECT_EQ(result.out, "");
  EXPECT_NE(result.err.find(GetParam().complaint), std::string::npos)
      << result.err;
  EXPECT_EQ(result.err.find('\n'), result.err.size() - 1) << result.err;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UsageErrorTest,
    testing::Values(UsageCase{{}, "expected PREFIX and START"},
                    UsageCase{{"p"}, "expected PREFIX and START"},
                    UsageCase{{"p", "1", "2"}, "expected PREFIX and START"},
                    UsageCase{{"--dir"}, "--dir needs a directory"},
                    UsageCase{{"--dir=", "p", "1"}, "--dir is empty"},
                    UsageCase{{"--verbose", "p", "1"}, "unknown option"}));

TEST(CommandLineTest, HelpPrintsUsage) {
  for (const char* flag : {"--help", "-h"}) {
    const Result result = RunCli({flag});
    EXPECT_EQ(result.exit_code, 0);
    EXPECT_EQ(
        result.out.rfind("usage: segjoin-cli [--dir DIR] PREFIX START", 0), 0u);
  }
}

class CommandLineRunTest : public testing::Test {
 protected:
  ScopedTempDir dir_;
};

TEST_F(CommandLineRunTest, JoinsSeriesAndPrintsEachStatusOnALine) {
  const std::string first = PatternBytes(300, 1), second = PatternBytes(400, 2);
  // An empty prefix and a negative start: both are plain operands.
  WriteFileOrDie(dir_.Path("-1.mp3"), first);
  WriteFileOrDie(dir_.Path("0.mp3"), second);

  const Result result = RunCli({"--dir", dir_.path() + "/", "", "-1"});

  EXPECT_EQ(result.exit_code, kExitCompleted);
  EXPECT_EQ(result.out, "已经处理到：-1.mp3\n已经处理到：0.mp3\n处理完成\n");
  EXPECT_EQ(ReadFileOrEmpty(dir_.Path("合成音频.mp3")), first + second);
}

TEST_F(CommandLineRunTest, TerminalProgressOverwritesItself) {
  WriteFileOrDie(dir_.Path("p1.mp3"), PatternBytes(300, 1));
  WriteFileOrDie(dir_.Path("p2.mp3"), PatternBytes(300, 2));

  const Result result =
      RunCli({"--dir=" + dir_.path(), "p", "1"}, /*terminal=*/true);

  EXPECT_EQ(result.out,
            "已经处理到：p1.mp3\r\x1b[K已经处理到：p2.mp3\r\x1b[K处理完成\n");
}

TEST_F(CommandLineRunTest, ExitCodeTellsTheEnding) {
  EXPECT_EQ(RunCli({"--dir", dir_.path(), "p", "1"}).exit_code, kExitNoSegment);

  WriteFileOrDie(dir_.Path("p1.mp3"), PatternBytes(300, 1));
  std::filesystem::create_directory(dir_.Path("合成音频.mp3"));
  const Result failed = RunCli({"--dir", dir_.path(), "p", "1"});
  EXPECT_EQ(failed.exit_code, kExitFileError);
  EXPECT_EQ(failed.out, "已经处理到：p1.mp3\n写入失败：合成音频.mp3\n");
}

}  // namespace
}  // namespace segjoin
