// A test helper for the fatal error path: asks for the number of bytes given
// as its argument on a thread of its own, as a merge job would, through the
// program's allocation and its out-of-memory handling. The test driver then
// finds the error box, presses OK and reads the exit code.
#include <windows.h>

#include <cwchar>
#include <new>

#include "ui/fatal_error.h"

namespace {

DWORD WINAPI AskForMemory(void* bytes) {
  segjoin::RunOrDieOnOutOfMemory([bytes] {
    // Through the replaceable allocation function, as every container does.
    void* memory = ::operator new(*static_cast<size_t*>(bytes));
    ::operator delete(memory);
  });
  return 0;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR arguments, int) {
  size_t bytes = static_cast<size_t>(std::wcstoull(arguments, nullptr, 10));
  HANDLE thread = CreateThread(nullptr, 0, &AskForMemory, &bytes, 0, nullptr);
  if (thread == nullptr) return 2;
  WaitForSingleObject(thread, INFINITE);
  // Reached only if the memory was there after all.
  return 1;
}
