#include "ui/win32/fatal_error_win32.h"

#include <windows.h>

#include <atomic>
#include <string>

#include "merge/win32_text.h"
#include "ui/fatal_error.h"

namespace segjoin {
namespace {

std::atomic<bool> fatal_error_underway{false};

}  // namespace

bool FatalErrorUnderway() { return fatal_error_underway; }

void FatalError(const std::string& message) {
  fatal_error_underway = true;
  // Owned by no window: the main window may be gone, or belong to another
  // thread that is itself stuck.
  MessageBoxW(nullptr, Widen(message).c_str(), L"错误",
              MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
  ExitProcess(static_cast<UINT>(-1));
}

}  // namespace segjoin
