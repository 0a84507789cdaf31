#include <cstdio>
#include <iostream>

#include "cli/cli.h"
#include "cli/console.h"
#include "merge/platform.h"

int main(int argc, char** argv) {
  segjoin::PrepareUtf8Console();
  // Progress lines are many: let the stream buffer them; the job flushes
  // where a person is watching.
  std::ios::sync_with_stdio(false);
  return segjoin::RunCommandLine(
      segjoin::CommandLineArguments(argc, argv), std::cout, std::cerr,
      segjoin::IsTerminal(stdout), segjoin::RealFileSystem());
}
