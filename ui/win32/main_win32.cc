// Start-up, event loop and exit of the Windows program.
#include <windows.h>

#include <optional>
#include <string>

#include "merge/platform.h"
#include "ui/fatal_error.h"
#include "ui/win32/fatal_error_win32.h"
#include "ui/win32/main_window.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  // Without it, jobs would look for segments in some other folder.
  static const std::optional<std::string> run_directory =
      segjoin::RunDirectory();
  if (!run_directory) segjoin::FatalError(segjoin::kNoRunDirectoryMessage);
  // The job forms absolute paths; this only keeps the process from holding
  // on to whatever directory it was started from.
  segjoin::ChangeCurrentDirectory(*run_directory);

  // Lives until ExitProcess: job threads may still be using it then.
  static segjoin::MainWindow window(instance, *run_directory);
  segjoin::RunOrDieOnOutOfMemory([] {
    if (window.Create()) return;
    const DWORD error = GetLastError();
    segjoin::FatalError("无法创建主窗口（错误代码 " + std::to_string(error) +
                        "）");
  });
  window.Show();

  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (window.HandleKeyMessage(message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }

  // An error box still up decides the exit code itself.
  while (segjoin::FatalErrorUnderway()) Sleep(INFINITE);
  // ExitProcess rather than a return: it ends the job threads where they
  // stand instead of running static destructors under their feet.
  ExitProcess(0);
}
