#include <unistd.h>

#include "cli/console.h"

namespace segjoin {

void PrepareUtf8Console() {}

bool IsTerminal(FILE* stream) { return isatty(fileno(stream)) != 0; }

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
  return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

}  // namespace segjoin
