// What the command line needs from the terminal, per platform.
#ifndef SEGJOIN_CLI_CONSOLE_H_
#define SEGJOIN_CLI_CONSOLE_H_

#include <cstdio>
#include <string>
#include <vector>

namespace segjoin {

// Lets UTF-8 text reach the console unmangled (Windows consoles default to
// the ANSI code page).
void PrepareUtf8Console();

bool IsTerminal(FILE* stream);

// The arguments after the program name, as UTF-8 (Windows hands main() its
// arguments in the ANSI code page, which cannot hold every prefix).
std::vector<std::string> CommandLineArguments(int argc, char** argv);

}  // namespace segjoin

#endif  // SEGJOIN_CLI_CONSOLE_H_
