#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "merge/platform.h"
#include "merge/test_support.h"

namespace segjoin {
namespace {

mode_t DefaultUmask() {
  const mode_t mask = umask(0);
  umask(mask);
  return mask;
}

class PosixFileSystemTest : public testing::Test {
 protected:
  std::string Read(const std::string& path) {
    Bytes content;
    RealFileSystem().ReadWholeFile(path, content);
    return std::string(content.begin(), content.end());
  }
  ScopedTempDir dir_;
};

TEST_F(PosixFileSystemTest, ReadsWholeFile) {
  const std::string content = PatternBytes(3 << 20, 1);
  WriteFileOrDie(dir_.Path("a.mp3"), content);
  EXPECT_TRUE(Read(dir_.Path("a.mp3")) == content);
}

TEST_F(PosixFileSystemTest, UnreadableThingsReadAsEmpty) {
  WriteFileOrDie(dir_.Path("empty.mp3"), "");
  std::filesystem::create_directory(dir_.Path("folder.mp3"));
  // A FIFO would block a plain open() until someone writes to it.
  ASSERT_EQ(mkfifo(dir_.Path("fifo.mp3").c_str(), 0600), 0);

  for (const char* name :
       {"missing.mp3", "empty.mp3", "folder.mp3", "fifo.mp3"}) {
    EXPECT_EQ(Read(dir_.Path(name)), "") << name;
  }
  EXPECT_EQ(Read(""), "");
  EXPECT_FALSE(FileExists(dir_.Path("missing.mp3")));
}

TEST_F(PosixFileSystemTest, FileOpenForWritingReadsAsEmptyUntilClosed) {
  WriteFileOrDie(dir_.Path("a.mp3"), "recording");
  const int writer = open(dir_.Path("a.mp3").c_str(), O_WRONLY);
  ASSERT_GE(writer, 0);
  EXPECT_EQ(Read(dir_.Path("a.mp3")), "");
  close(writer);
  EXPECT_EQ(Read(dir_.Path("a.mp3")), "recording");
}

TEST_F(PosixFileSystemTest, LeaseBreakSignalCannotEndTheProcess) {
  WriteFileOrDie(dir_.Path("a.mp3"), "x");
  Read(dir_.Path("a.mp3"));
  struct sigaction action {};
  ASSERT_EQ(sigaction(SIGIO, nullptr, &action), 0);
  EXPECT_NE(action.sa_handler, SIG_DFL);
}

TEST_F(PosixFileSystemTest, StagingFileAppearsOnlyWhenCommitted) {
  WriteFileOrDie(dir_.Path("out.mp3"), "earlier");
  WriteFileOrDie(dir_.Path("chunk.mp3"), PatternBytes(2 << 20, 2));
  auto staging = RealFileSystem().CreateStagingFile(dir_.path());
  ASSERT_NE(staging, nullptr);
  ASSERT_TRUE(staging->Append("head", 4));
  ASSERT_EQ(staging->AppendFileContents(dir_.Path("chunk.mp3")),
            CopyStatus::kOk);
  EXPECT_EQ(staging->AppendFileContents(dir_.Path("missing.mp3")),
            CopyStatus::kReadFailed);
  EXPECT_EQ(Read(dir_.Path("out.mp3")), "earlier");

  ASSERT_TRUE(staging->CommitAs(dir_.Path("out.mp3")));
  staging.reset();

  EXPECT_TRUE(Read(dir_.Path("out.mp3")) == "head" + PatternBytes(2 << 20, 2));
  EXPECT_EQ(dir_.List(), (std::vector<std::string>{"chunk.mp3", "out.mp3"}));
  // Not the 0600 of a private temporary file: the output is for the user.
  struct stat info {};
  ASSERT_EQ(stat(dir_.Path("out.mp3").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0666, 0666 & ~DefaultUmask());
}

TEST_F(PosixFileSystemTest, AbandonedStagingFileLeavesNothing) {
  auto staging = RealFileSystem().CreateStagingFile(dir_.path());
  ASSERT_NE(staging, nullptr);
  ASSERT_TRUE(staging->Append(PatternBytes(2 << 20, 3).data(), 2 << 20));
  staging.reset();
  EXPECT_TRUE(dir_.List().empty());
}

TEST_F(PosixFileSystemTest, ProgramEndingMidWriteLeavesNothing) {
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // Ends the way a closed window ends a running job: no destructors.
    auto staging = RealFileSystem().CreateStagingFile(dir_.path());
    const bool written =
        staging && staging->Append(PatternBytes(2 << 20, 3).data(), 2 << 20);
    _exit(written ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  ASSERT_EQ(WEXITSTATUS(status), 0);
  EXPECT_TRUE(dir_.List().empty());
}

TEST_F(PosixFileSystemTest, StagingInMissingDirectoryFails) {
  EXPECT_EQ(RealFileSystem().CreateStagingFile(dir_.Path("missing")), nullptr);
}

TEST(RunDirectoryTest, IsTheFolderOfTheExecutable) {
  const std::optional<std::string> run_directory = RunDirectory();
  ASSERT_TRUE(run_directory.has_value());
  ASSERT_FALSE(run_directory->empty());
  EXPECT_NE(run_directory->back(), '/');
  EXPECT_EQ(std::filesystem::path(*run_directory),
            std::filesystem::canonical("/proc/self/exe").parent_path());
}

}  // namespace
}  // namespace segjoin
