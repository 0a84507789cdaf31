// clang-format off
// windows.h must come before the other Windows headers.
#include <windows.h>
#include <io.h>
#include <shellapi.h>
// clang-format on

#include "cli/console.h"
#include "merge/win32_text.h"

namespace segjoin {

void PrepareUtf8Console() { SetConsoleOutputCP(CP_UTF8); }

bool IsTerminal(FILE* stream) { return _isatty(_fileno(stream)) != 0; }

std::vector<std::string> CommandLineArguments(int, char**) {
  std::vector<std::string> arguments;
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr) return arguments;
  for (int i = 1; i < count; ++i) arguments.push_back(Narrow(wide[i]));
  LocalFree(wide);
  return arguments;
}

}  // namespace segjoin
