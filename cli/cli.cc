#include "cli/cli.h"

#include <string>
#include <string_view>
#include <vector>

#include "merge/merge_job.h"

namespace segjoin {
namespace {

constexpr std::string_view kUsage =
    "usage: segjoin-cli [--dir DIR] PREFIX START\n"
    "\n"
    "Joins DIR/PREFIX<START>.mp3, DIR/PREFIX<START+1>.mp3, ... byte for byte\n"
    "into DIR/合成音频.mp3, up to the first missing segment or one shorter\n"
    "than 200 bytes. DIR defaults to the current directory; PREFIX may be "
    "empty.\n"
    "\n"
    "Exit status: 0 done, 1 no segment at START, 2 a file could not be\n"
    "written or read back, 64 usage error.\n";

// The job's fields, fixed by the command line; status texts become lines.
class CommandLineFields : public FieldOperations {
 public:
  CommandLineFields(std::string prefix, std::string start, std::ostream& out,
                    bool terminal)
      : prefix_(std::move(prefix)),
        start_(std::move(start)),
        out_(out),
        terminal_(terminal) {}

  ~CommandLineFields() override {
    if (progress_line_open_) out_ << '\n' << std::flush;
  }

  std::string ReadStartNumberText() override { return start_; }
  std::string ReadPrefixText() override { return prefix_; }

  void SetStatusText(const std::string& text) override {
    const bool progress =
        std::string_view(text).substr(0, kProgressTextPrefix.size()) ==
        kProgressTextPrefix;
    if (!terminal_) {
      out_ << text << '\n';
      return;
    }
    // Carriage return and erase-line let each progress line replace the
    // last; the final texts stay.
    out_ << (progress_line_open_ ? "\r\x1b[K" : "") << text;
    if (progress) {
      out_ << std::flush;
    } else {
      out_ << '\n' << std::flush;
    }
    progress_line_open_ = progress;
  }

 private:
  const std::string prefix_;
  const std::string start_;
  std::ostream& out_;
  const bool terminal_;
  bool progress_line_open_ = false;
};

int UsageError(std::ostream& err, std::string_view problem) {
  err << "segjoin-cli: " << problem << " (try --help)\n";
  return kExitUsage;
}

std::string WithoutTrailingSeparators(std::string directory) {
  while (directory.size() > 1 &&
         (directory.back() == '/' || directory.back() == kPathSeparator))
    directory.pop_back();
  return directory;
}

}  // namespace

int RunCommandLine(const std::vector<std::string>& args, std::ostream& out,
                   std::ostream& err, bool out_is_terminal,
                   FileSystem& file_system) {
  std::string directory = ".";
  std::vector<std::string> positional;
  bool options_done = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    // Anything not spelled as an option is an operand, so "-3" is a start
    // number and an empty prefix is simply "".
    if (options_done || arg.size() < 2 || arg.substr(0, 2) != "--") {
      if (!options_done && arg == "-h") {
        out << kUsage;
        return kExitCompleted;
      }
      positional.emplace_back(arg);
    } else if (arg == "--") {
      options_done = true;
    } else if (arg == "--help") {
      out << kUsage;
      return kExitCompleted;
    } else if (arg == "--dir") {
      if (++i == args.size()) return UsageError(err, "--dir needs a directory");
      directory = args[i];
    } else if (arg.substr(0, 6) == "--dir=") {
      directory = std::string(arg.substr(6));
    } else {
      return UsageError(err, "unknown option " + std::string(arg));
    }
  }
  if (positional.size() != 2)
    return UsageError(err, "expected PREFIX and START");
  if (directory.empty()) return UsageError(err, "--dir is empty");

  CommandLineFields fields(positional[0], positional[1], out, out_is_terminal);
  MergeJob job(fields, WithoutTrailingSeparators(directory), file_system);
  switch (job.Run()) {
    case MergeOutcome::kCompleted:
      return kExitCompleted;
    case MergeOutcome::kNoSegment:
      return kExitNoSegment;
    case MergeOutcome::kWriteFailed:
    case MergeOutcome::kReadFailed:
      return kExitFileError;
  }
  return kExitFileError;
}

}  // namespace segjoin
