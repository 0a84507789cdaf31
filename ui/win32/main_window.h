// The program's one window on Windows, built from the shared layout table,
// and the field operations a merge job uses while it runs.
#ifndef SEGJOIN_UI_WIN32_MAIN_WINDOW_H_
#define SEGJOIN_UI_WIN32_MAIN_WINDOW_H_

#include <windows.h>

#include <atomic>
#include <string>
#include <utility>

#include "merge/merge_job.h"
#include "ui/layout.h"

namespace segjoin {

class MainWindow : public FieldOperations {
 public:
  // Jobs started from this window work on the files in `run_directory`.
  MainWindow(HINSTANCE instance, std::string run_directory)
      : instance_(instance), run_directory_(std::move(run_directory)) {}
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  // Creates the window and its controls, all hidden. False if any of them
  // could not be made.
  bool Create();

  // Shows the controls, then the window, normal and active.
  void Show();

  // Gives the window its keys (Tab, Shift+Tab, Esc, Enter) before the
  // message is translated; true when the message has been used up.
  bool HandleKeyMessage(const MSG& message);

  // Served on the window's thread; callable from a job's thread. Once the
  // window is closing they never return: the process is about to end and a
  // job must not go on with a made-up field value.
  std::string ReadStartNumberText() override;
  std::string ReadPrefixText() override;
  void SetStatusText(const std::string& text) override;

 private:
  static LRESULT CALLBACK WindowProcedure(HWND window, UINT message,
                                          WPARAM wparam, LPARAM lparam);
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam);
  bool CreateControl(const ControlLayout& layout);
  void OnActivate(WPARAM wparam);
  void OnStartClicked();
  void MoveFocus(bool backwards);
  static DWORD WINAPI RunJob(void* window);
  std::string ReadFieldText(ControlId id);

  const HINSTANCE instance_;
  const std::string run_directory_;
  HWND window_ = nullptr;
  HWND focus_before_deactivation_ = nullptr;
  bool activated_before_ = false;
  // Set when closing starts, so no job is served from then on.
  bool closing_ = false;
  // One job at a time: two would read and write the same files.
  std::atomic<bool> job_running_{false};
};

}  // namespace segjoin

#endif  // SEGJOIN_UI_WIN32_MAIN_WINDOW_H_
