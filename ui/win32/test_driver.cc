// Drives segjoin.exe from outside, as a user would, and checks what it shows
// and writes. Runs under Wine (scripts/test-windows) or on Windows:
//   segjoin_window_test.exe [path\to\segjoin.exe]
// Without an argument it uses the segjoin.exe beside itself. Prints one line
// per check and ends with "N passed, M failed"; exits 1 if any check failed.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "merge/merge_job.h"
#include "merge/naming.h"
#include "merge/win32_text.h"
#include "ui/layout.h"

namespace segjoin {
namespace {

constexpr std::string_view kPrefix = "2023-05-20184601";
constexpr int kSecond = 1000;

int passed = 0;
int failed = 0;

bool Expect(bool ok, std::string_view what, const std::string& detail = "") {
  if (ok) {
    ++passed;
    std::printf("ok   %.*s\n", static_cast<int>(what.size()), what.data());
  } else {
    ++failed;
    std::printf("FAIL %.*s%s%s\n", static_cast<int>(what.size()), what.data(),
                detail.empty() ? "" : ": ", detail.c_str());
  }
  std::fflush(stdout);
  return ok;
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// Polls `condition` until it holds or `timeout_ms` has passed.
bool WaitFor(const std::function<bool()>& condition, int timeout_ms) {
  const ULONGLONG deadline = GetTickCount64() + timeout_ms;
  for (;;) {
    if (condition()) return true;
    if (GetTickCount64() > deadline) return false;
    Sleep(5);
  }
}

// ---- Files -----------------------------------------------------------------

std::wstring JoinPath(const std::wstring& folder, std::string_view name) {
  return folder + L"\\" + Widen(name);
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr,
                            CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok =
      WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                nullptr) &&
      written == bytes.size();
  CloseHandle(file);
  return ok;
}

// The whole file, or nothing if it does not exist.
std::optional<std::string> ReadFileBytes(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ,
                            nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  LARGE_INTEGER size{};
  GetFileSizeEx(file, &size);
  std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
  size_t done = 0;
  DWORD got = 1;
  while (done < bytes.size() && got > 0 &&
         ReadFile(file, bytes.data() + done,
                  static_cast<DWORD>(bytes.size() - done), &got, nullptr))
    done += got;
  CloseHandle(file);
  bytes.resize(done);
  return bytes;
}

bool FileExists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// A folder of its own for one run of the program, with a copy of it inside;
// removed with everything in it at the end.
class TestFolder {
 public:
  TestFolder(const std::wstring& program, std::wstring_view name) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    path_ = std::wstring(temp) + L"segjoin-test-" +
            std::to_wstring(GetCurrentProcessId()) + L"-" + std::wstring(name);
    CreateDirectoryW(path_.c_str(), nullptr);
    program_ = path_ + L"\\segjoin.exe";
    CopyFileW(program.c_str(), program_.c_str(), FALSE);
  }
  ~TestFolder() {
    for (const std::string& name : FileNames())
      DeleteFileW(JoinPath(path_, name).c_str());
    RemoveDirectoryW(path_.c_str());
  }

  std::vector<std::string> FileNames() const {
    std::vector<std::string> names;
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((path_ + L"\\*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
      if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        names.push_back(Narrow(entry.cFileName));
    } while (FindNextFileW(search, &entry));
    FindClose(search);
    return names;
  }
  const std::wstring& path() const { return path_; }
  const std::wstring& program() const { return program_; }

  // Writes segments first..last of `size` bytes each, every one with its own
  // content; returns them joined in order.
  std::string WriteSeries(int first, int last, size_t size,
                          std::string_view prefix = kPrefix) const {
    std::string joined;
    for (int number = first; number <= last; ++number) {
      std::string segment(size, '\0');
      for (size_t i = 0; i < size; ++i)
        segment[i] = static_cast<char>(
            (number * 131 + prefix.back() * 17 + i * 7 + (i >> 9)) & 0xff);
      WriteFileBytes(JoinPath(path_, std::string(prefix) +
                                         std::to_string(number) + ".mp3"),
                     segment);
      joined += segment;
    }
    return joined;
  }

  std::optional<std::string> Output() const {
    return ReadFileBytes(JoinPath(path_, kOutputFileName));
  }

 private:
  std::wstring path_;
  std::wstring program_;
};

// ---- The program under test ------------------------------------------------

std::string WindowText(HWND window) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_BLOCK,
                           5 * kSecond, &length))
    return "<no answer>";
  std::wstring text(length + 1, L'\0');
  DWORD_PTR copied = 0;
  SendMessageTimeoutW(window, WM_GETTEXT, text.size(),
                      reinterpret_cast<LPARAM>(text.data()), SMTO_BLOCK,
                      5 * kSecond, &copied);
  text.resize(copied);
  return Narrow(text);
}

void SetText(HWND window, std::string_view text) {
  SendMessageW(window, WM_SETTEXT, 0,
               reinterpret_cast<LPARAM>(Widen(text).c_str()));
}

void TypeCharacters(HWND window, std::wstring_view characters) {
  for (wchar_t character : characters)
    SendMessageW(window, WM_CHAR, character, 1);
}

// Presses keys through the system's input, as a keyboard would, so that the
// program sees the modifier state too. `keys` are pressed in order and
// released in reverse.
void PressKeys(std::initializer_list<WORD> keys) {
  std::vector<INPUT> inputs;
  for (WORD key : keys) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    inputs.push_back(input);
  }
  for (auto key = keys.end(); key != keys.begin();) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = *--key;
    input.ki.dwFlags = KEYEVENTF_KEYUP;
    inputs.push_back(input);
  }
  SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

class RunningProgram {
 public:
  // What the program shows first, by which it is found.
  enum class FirstWindow { kMainWindow, kMessageBox };

  // Starts the program asking for a minimised window, from a current
  // directory other than its own.
  explicit RunningProgram(const TestFolder& folder)
      : RunningProgram(folder.program(), L"", FirstWindow::kMainWindow) {}

  RunningProgram(const std::wstring& program, const std::wstring& arguments,
                 FirstWindow first_window)
      : first_window_(first_window) {
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWMINNOACTIVE;
    std::wstring command_line = L"\"" + program + L"\" " + arguments;
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    if (!CreateProcessW(program.c_str(), command_line.data(), nullptr, nullptr,
                        FALSE, 0, nullptr, temp, &startup, &process_)) {
      process_ = {};
      return;
    }
    WaitFor([this] { return (window_ = FindWindowOfProcess()) != nullptr; },
            30 * kSecond);
  }
  ~RunningProgram() {
    if (process_.hProcess == nullptr) return;
    if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
      TerminateProcess(process_.hProcess, 99);
      WaitForSingleObject(process_.hProcess, 10 * kSecond);
    }
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
  }

  HWND window() const { return window_; }
  HWND control(ControlId id) const { return GetDlgItem(window_, id); }
  std::string Status() const { return WindowText(control(kStatusFieldId)); }

  HWND Focus() const {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    if (!GetGUIThreadInfo(process_.dwThreadId, &info)) return nullptr;
    return info.hwndFocus;
  }

  bool WaitForFocusOn(HWND control) const {
    return WaitFor([&] { return Focus() == control; }, 5 * kSecond);
  }

  void ClickStart() const {
    SendMessageW(control(kStartButtonId), BM_CLICK, 0, 0);
  }

  // The exit code once the process has ended within `timeout_ms`.
  std::optional<DWORD> WaitForExit(int timeout_ms) const {
    if (WaitForSingleObject(process_.hProcess, timeout_ms) != WAIT_OBJECT_0)
      return std::nullopt;
    DWORD code = 0;
    GetExitCodeProcess(process_.hProcess, &code);
    return code;
  }

  // Follows the status field until it shows `final_text` and returns every
  // text it showed on the way, the final one included.
  std::vector<std::string> StatusTextsUntil(std::string_view final_text,
                                            int timeout_ms) const {
    std::vector<std::string> seen;
    WaitFor(
        [&] {
          std::string text = Status();
          if (seen.empty() || seen.back() != text) seen.push_back(text);
          return text == final_text;
        },
        timeout_ms);
    return seen;
  }

 private:
  struct WindowSearch {
    DWORD process_id;
    FirstWindow kind;
    HWND found;
  };

  // A visible top-level window of the process: the main window holds a
  // Start button, a message box is of the dialog class.
  static BOOL CALLBACK TakeIfProgramWindow(HWND window, LPARAM lparam) {
    auto& search = *reinterpret_cast<WindowSearch*>(lparam);
    DWORD process_id = 0;
    GetWindowThreadProcessId(window, &process_id);
    if (process_id != search.process_id || !IsWindowVisible(window))
      return TRUE;
    wchar_t class_name[16] = {};
    GetClassNameW(window, class_name, 16);
    const bool wanted = search.kind == FirstWindow::kMainWindow
                            ? GetDlgItem(window, kStartButtonId) != nullptr
                            : std::wstring_view(class_name) == L"#32770";
    if (!wanted) return TRUE;
    search.found = window;
    return FALSE;
  }

  HWND FindWindowOfProcess() const {
    WindowSearch search{process_.dwProcessId, first_window_, nullptr};
    EnumWindows(&RunningProgram::TakeIfProgramWindow,
                reinterpret_cast<LPARAM>(&search));
    return search.found;
  }

  const FirstWindow first_window_;
  PROCESS_INFORMATION process_{};
  HWND window_ = nullptr;
};

// Checks that the program ends with exit code 0 within `timeout_ms`.
void ExpectCleanExit(const RunningProgram& program, std::string_view what,
                     int timeout_ms = 10 * kSecond) {
  const std::optional<DWORD> code = program.WaitForExit(timeout_ms);
  Expect(code == 0u, what,
         code ? "exit code " + std::to_string(*code) : "still running");
}

POINT CentreOf(HWND window) {
  RECT rect;
  GetWindowRect(window, &rect);
  return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

// Clicks the left mouse button at a point of the screen, through the
// system's input as a mouse would.
void ClickAt(POINT point) {
  const int width = GetSystemMetrics(SM_CXSCREEN);
  const int height = GetSystemMetrics(SM_CYSCREEN);
  INPUT inputs[3] = {};
  for (INPUT& input : inputs) {
    input.type = INPUT_MOUSE;
    input.mi.dx = (point.x * 65535 + width / 2) / (width - 1);
    input.mi.dy = (point.y * 65535 + height / 2) / (height - 1);
  }
  inputs[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_ABSOLUTE;
  inputs[2].mi.dwFlags = MOUSEEVENTF_LEFTUP | MOUSEEVENTF_ABSOLUTE;
  SendInput(3, inputs, sizeof(INPUT));
}

// The number in a segment file name of the test series, or -1 for any
// other name.
long long SegmentNumber(std::string_view name) {
  if (!name.starts_with(kPrefix) || !name.ends_with(kExtension)) return -1;
  return std::atoll(std::string(name.substr(kPrefix.size())).c_str());
}

// The segment number a progress text names, or -1 for any other text.
long long ProgressNumber(std::string_view text) {
  if (!text.starts_with(kProgressTextPrefix)) return -1;
  return SegmentNumber(text.substr(kProgressTextPrefix.size()));
}

std::string Joined(const std::vector<std::string>& texts) {
  std::string all;
  for (const std::string& text : texts)
    all += (all.empty() ? "" : " | ") + text;
  return all;
}

// ---- The checks ------------------------------------------------------------

void CheckWindowFrame(const RunningProgram& program) {
  HWND window = program.window();
  Expect(IsWindowVisible(window) && !IsIconic(window),
         "shown normal though started with a minimised show state");
  Expect(WaitFor([&] { return GetForegroundWindow() == window; }, 5 * kSecond),
         "the window is active");
  RECT rect;
  GetWindowRect(window, &rect);
  const int width = rect.right - rect.left, height = rect.bottom - rect.top;
  const int expected_left = (GetSystemMetrics(SM_CXSCREEN) - 380) / 2;
  const int expected_top = (GetSystemMetrics(SM_CYSCREEN) - 191) / 2;
  Expect(width == 380 && height == 191, "outer size 380 x 191",
         std::to_string(width) + " x " + std::to_string(height));
  Expect(rect.left == expected_left && rect.top == expected_top,
         "centred on the primary display",
         "at " + std::to_string(rect.left) + "," + std::to_string(rect.top) +
             ", expected " + std::to_string(expected_left) + "," +
             std::to_string(expected_top));
  Expect(GetWindowTextLengthW(window) == 0, "empty title");
  const LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
  Expect((style & WS_CAPTION) == WS_CAPTION && (style & WS_SYSMENU) &&
             (style & WS_MINIMIZEBOX) && !(style & WS_MAXIMIZEBOX) &&
             !(style & WS_THICKFRAME),
         "fixed frame, minimise box, no maximise box");
}

void CheckIconResource(const std::wstring& program) {
  HMODULE module =
      LoadLibraryExW(program.c_str(), nullptr,
                     LOAD_LIBRARY_AS_IMAGE_RESOURCE | LOAD_LIBRARY_AS_DATAFILE);
  bool found = module != nullptr;
  for (int size : {16, 32})
    found = found && LoadImageW(module, L"DEFAULT_ICON", IMAGE_ICON, size, size,
                                0) != nullptr;
  Expect(found, "DEFAULT_ICON resource holds 16 and 32 pixel icons");
  if (module) FreeLibrary(module);
}

struct ExpectedClass {
  const wchar_t* name;
  LONG required_style;
  LONG forbidden_style;
  LONG required_extended_style;
};

ExpectedClass ExpectedClassOf(ControlKind kind) {
  switch (kind) {
    case ControlKind::kLabel:
      return {L"Static", SS_CENTERIMAGE, WS_TABSTOP | SS_CENTER | SS_RIGHT, 0};
    case ControlKind::kEdit:
    case ControlKind::kDigitsEdit:
      return {
          L"Edit", WS_TABSTOP | ES_CENTER | ES_AUTOHSCROLL,
          ES_MULTILINE | ES_NOHIDESEL | ES_READONLY | WS_HSCROLL | WS_VSCROLL,
          WS_EX_CLIENTEDGE};
    case ControlKind::kPushButton:
      return {L"Button", WS_TABSTOP | BS_MULTILINE, BS_DEFPUSHBUTTON, 0};
  }
  return {};
}

int DefaultGuiFontLineHeight() {
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  return metrics.tmHeight;
}

void CheckControls(const RunningProgram& program) {
  HWND window = program.window();
  const int line_height = DefaultGuiFontLineHeight();
  for (const ControlLayout& layout : kMainWindowControls) {
    const std::string name = "control " + std::to_string(layout.id);
    HWND control = program.control(layout.id);
    if (!Expect(control != nullptr, name + " exists")) continue;
    RECT rect;
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&rect), 2);
    Expect(rect.left == layout.left && rect.top == layout.top &&
               rect.right - rect.left == layout.width &&
               rect.bottom - rect.top == layout.height,
           name + " position and size",
           std::to_string(rect.left) + "," + std::to_string(rect.top) + " " +
               std::to_string(rect.right - rect.left) + "x" +
               std::to_string(rect.bottom - rect.top));
    const std::string text = WindowText(control);
    Expect(text == layout.text, name + " initial text " + Quoted(text));

    const ExpectedClass expected = ExpectedClassOf(layout.kind);
    wchar_t class_name[64] = {};
    GetClassNameW(control, class_name, 64);
    const LONG style = GetWindowLongW(control, GWL_STYLE);
    const LONG extended = GetWindowLongW(control, GWL_EXSTYLE);
    Expect(lstrcmpiW(class_name, expected.name) == 0 &&
               (style & expected.required_style) == expected.required_style &&
               (style & expected.forbidden_style) == 0 &&
               (extended & expected.required_extended_style) ==
                   expected.required_extended_style,
           name + " kind and style");
    if (layout.kind == ControlKind::kEdit ||
        layout.kind == ControlKind::kDigitsEdit) {
      // The text area is one line high, centred in the box; the rest is
      // frame.
      RECT client;
      GetClientRect(control, &client);
      POINT client_top_left = {0, 0};
      ClientToScreen(control, &client_top_left);
      RECT outer;
      GetWindowRect(control, &outer);
      const int offset = client_top_left.y - outer.top;
      Expect(client.bottom == line_height &&
                 offset == (layout.height - line_height) / 2,
             name + " text line centred in the box",
             "text area " + std::to_string(client.bottom) + " px at " +
                 std::to_string(offset) + ", line " +
                 std::to_string(line_height) + " px");
    }
  }

  std::vector<int> stacking;
  for (HWND child = GetWindow(window, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT))
    stacking.push_back(GetDlgCtrlID(child));
  std::vector<int> creation;
  for (const ControlLayout& layout : kMainWindowControls)
    creation.push_back(layout.id);
  Expect(stacking == creation, "stacking order is the creation order");
}

void CheckKeyboard(const RunningProgram& program) {
  HWND start = program.control(kStartButtonId);
  Expect(program.WaitForFocusOn(start), "focus on Start at first activation");

  const ControlId forward[] = {kStatusFieldId, kPrefixFieldId,
                               kStartNumberFieldId, kStartButtonId};
  bool in_order = true;
  for (ControlId id : forward) {
    PressKeys({VK_TAB});
    in_order = in_order && program.WaitForFocusOn(program.control(id));
  }
  Expect(in_order, "Tab: Start, status, prefix, start number, Start");
  in_order = true;
  for (auto id = std::rbegin(forward) + 1; id != std::rend(forward); ++id) {
    PressKeys({VK_SHIFT, VK_TAB});
    in_order = in_order && program.WaitForFocusOn(program.control(*id));
  }
  PressKeys({VK_SHIFT, VK_TAB});
  in_order = in_order && program.WaitForFocusOn(start);
  Expect(in_order, "Shift+Tab goes the other way");

  // Enter on the button and in a field: no job, no change.
  PressKeys({VK_RETURN});
  PressKeys({VK_TAB});
  program.WaitForFocusOn(program.control(kStatusFieldId));
  PressKeys({VK_RETURN});
  Sleep(500);
  Expect(program.Status().empty(), "Enter does nothing",
         "status " + Quoted(program.Status()));

  // Space on the focused button clicks it; this folder has no segments.
  PressKeys({VK_SHIFT, VK_TAB});
  program.WaitForFocusOn(start);
  PressKeys({VK_SPACE});
  Expect(
      WaitFor([&] { return program.Status() == kNoSegmentText; }, 10 * kSecond),
      "Space on Start starts a job", "status " + Quoted(program.Status()));
  SetText(program.control(kStatusFieldId), "");

  for (WORD modifier : {VK_SHIFT, VK_CONTROL}) {
    PressKeys({modifier, VK_ESCAPE});
    Expect(!program.WaitForExit(500).has_value(),
           "Esc with " + std::string(modifier == VK_SHIFT ? "Shift" : "Ctrl") +
               " does not close");
  }
}

// A click on the band above an edit box's text line leaves the focus where
// it was; a click on the line itself gives the box the focus.
void CheckEditBands(const RunningProgram& program) {
  HWND start = program.control(kStartButtonId);
  HWND prefix = program.control(kPrefixFieldId);
  ClickAt(CentreOf(start));
  Expect(program.WaitForFocusOn(start), "a click on Start focuses it");
  RECT box;
  GetWindowRect(prefix, &box);
  ClickAt({(box.left + box.right) / 2, box.top + 4});
  Sleep(300);
  Expect(program.Focus() == start, "a click on a field's band takes no caret");
  ClickAt({(box.left + box.right) / 2, (box.top + box.bottom) / 2});
  Expect(program.WaitForFocusOn(prefix), "a click on the text line does");
}

void CheckTypingFilter(const RunningProgram& program) {
  HWND start_number = program.control(kStartNumberFieldId);
  TypeCharacters(start_number, L"a1B2 -x\uff11");
  Expect(WindowText(start_number) == "12-",
         "start number keeps typed digits and '-' only",
         Quoted(WindowText(start_number)));
  TypeCharacters(start_number, L"\b");
  Expect(WindowText(start_number) == "12", "Backspace passes the filter",
         Quoted(WindowText(start_number)));

  HWND status = program.control(kStatusFieldId);
  TypeCharacters(status, L"ab");
  Expect(WindowText(status) == "ab", "other fields take any character",
         Quoted(WindowText(status)));
  SetText(status, "");

  if (!OpenClipboard(nullptr)) {
    Expect(false, "clipboard for the paste checks");
    return;
  }
  EmptyClipboard();
  const wchar_t kPasted[] = L"abc";
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, sizeof(kPasted));
  std::memcpy(GlobalLock(memory), kPasted, sizeof(kPasted));
  GlobalUnlock(memory);
  SetClipboardData(CF_UNICODETEXT, memory);
  CloseClipboard();

  SendMessageW(start_number, WM_PASTE, 0, 0);
  Expect(WindowText(start_number) == "12abc", "a paste is not filtered",
         Quoted(WindowText(start_number)));
  TypeCharacters(start_number, L"\x16");  // Ctrl+V as typed
  Expect(WindowText(start_number) == "12abcabc",
         "Ctrl+V passes the filter and pastes",
         Quoted(WindowText(start_number)));
  SetText(start_number, "");
}

// ---- Scenarios -------------------------------------------------------------

void StartUpAndKeys(const std::wstring& program_path) {
  TestFolder folder(program_path, L"start");
  CheckIconResource(folder.program());
  RunningProgram program(folder);
  if (!Expect(program.window() != nullptr, "the window appears")) return;
  CheckWindowFrame(program);
  CheckControls(program);
  CheckKeyboard(program);
  CheckTypingFilter(program);
  CheckEditBands(program);
  PressKeys({VK_ESCAPE});
  ExpectCleanExit(program, "Esc ends the program with exit code 0");
}

void SmallSeries(const std::wstring& program_path) {
  TestFolder folder(program_path, L"small");
  const std::string expected = folder.WriteSeries(1, 40, 20000);
  folder.WriteSeries(42, 43, 20000);  // past the gap: not part of the series
  RunningProgram program(folder);
  if (!Expect(program.window() != nullptr, "the window appears")) return;
  TypeCharacters(program.control(kStartNumberFieldId), L"1");
  program.ClickStart();
  std::vector<std::string> texts =
      program.StatusTextsUntil(kCompletedText, 60 * kSecond);
  if (!texts.empty() && texts.front().empty())  // before the first report
    texts.erase(texts.begin());
  bool progress_only = texts.size() >= 2;
  for (size_t i = 0; i + 1 < texts.size(); ++i)
    progress_only = progress_only && ProgressNumber(texts[i]) >= 1;
  Expect(progress_only && texts.back() == kCompletedText,
         "progress texts, then \"处理完成\"", Joined(texts));
  Expect(folder.Output() == expected, "output is the segments joined");

  SendMessageW(program.window(), WM_SYSCOMMAND, SC_CLOSE, 0);
  ExpectCleanExit(program, "Close from the system menu: exit code 0");
}

void LongSeries(const std::wstring& program_path) {
  TestFolder folder(program_path, L"long");
  // Past the chunk threshold, so the job runs a while and stages chunks.
  const size_t segment_size = 1 << 20;
  const std::string expected = folder.WriteSeries(1, 70, segment_size);
  RunningProgram program(folder);
  if (!Expect(program.window() != nullptr, "the window appears")) return;
  TypeCharacters(program.control(kStartNumberFieldId), L"1");

  program.ClickStart();
  // Further clicks while the job runs; a second job would start again at
  // segment 1 and write its texts after the first job has finished.
  const bool running = WaitFor(
      [&] { return ProgressNumber(program.Status()) >= 1; }, 30 * kSecond);
  program.ClickStart();
  program.ClickStart();
  std::vector<std::string> texts =
      program.StatusTextsUntil(kCompletedText, 120 * kSecond);
  Sleep(1500);
  texts.push_back(program.Status());
  long long last_number = 0;
  bool one_job = running && texts.size() >= 3;
  for (const std::string& text : texts) {
    const long long number = ProgressNumber(text);
    if (number >= 0) {
      one_job = one_job && number >= last_number;
      last_number = number;
    }
  }
  one_job = one_job && texts.back() == kCompletedText &&
            texts[texts.size() - 2] == kCompletedText;
  Expect(one_job, "clicks during a job start no second job", Joined(texts));
  // 51 segments make the first chunk: it holds more than the threshold.
  const std::optional<std::string> first_chunk =
      ReadFileBytes(JoinPath(folder.path(), ChunkFileName(1)));
  const std::optional<std::string> second_chunk =
      ReadFileBytes(JoinPath(folder.path(), ChunkFileName(2)));
  Expect(first_chunk && second_chunk &&
             first_chunk->size() == 51 * segment_size &&
             *first_chunk + *second_chunk == expected &&
             !FileExists(JoinPath(folder.path(), ChunkFileName(3))),
         "chunk files 1 and 2 hold the series");
  Expect(folder.Output() == expected, "output of a long series is whole");

  // The job is over: a click starts a new one.
  SetText(program.control(kStatusFieldId), "");
  program.ClickStart();
  Expect(!program.StatusTextsUntil(kCompletedText, 120 * kSecond).empty() &&
             program.Status() == kCompletedText,
         "a click after the job has ended starts another");

  // Esc while a job from segment 2 runs: the process ends at once, and the
  // earlier output (from segment 1) is left as it was.
  SetText(program.control(kStartNumberFieldId), "2");
  SetText(program.control(kStatusFieldId), "");
  program.ClickStart();
  WaitFor([&] { return ProgressNumber(program.Status()) >= 2; }, 30 * kSecond);
  PressKeys({VK_ESCAPE});
  ExpectCleanExit(program, "Esc during a job: exit code 0 within 5 s",
                  5 * kSecond);
  Expect(folder.Output() == expected,
         "the abandoned job left the earlier output whole");
  std::vector<std::string> unexpected;
  for (const std::string& name : folder.FileNames()) {
    const bool known = name == "segjoin.exe" || SegmentNumber(name) > 0 ||
                       name == kOutputFileName || name == ChunkFileName(1) ||
                       name == ChunkFileName(2);
    if (!known) unexpected.push_back(name);
  }
  Expect(unexpected.empty(), "and left no other file behind",
         Joined(unexpected));
}

// The job reads the prefix field afresh for every segment: an edit while it
// runs takes effect from the next segment on.
void PrefixEditedDuringJob(const std::wstring& program_path) {
  TestFolder folder(program_path, L"edited");
  const size_t segment_size = 1 << 20;
  const int count = 40;
  const std::string first_series =
      folder.WriteSeries(1, count, segment_size, "A");
  const std::string second_series =
      folder.WriteSeries(1, count, segment_size, "B");
  RunningProgram program(folder);
  if (!Expect(program.window() != nullptr, "the window appears")) return;
  SetText(program.control(kPrefixFieldId), "A");
  SetText(program.control(kStartNumberFieldId), "1");
  const std::string progress_a = std::string(kProgressTextPrefix) + "A";
  const std::string progress_b = std::string(kProgressTextPrefix) + "B";
  program.ClickStart();
  WaitFor([&] { return program.Status().starts_with(progress_a); },
          30 * kSecond);
  SetText(program.control(kPrefixFieldId), "B");
  const std::vector<std::string> texts =
      program.StatusTextsUntil(kCompletedText, 60 * kSecond);
  Expect(std::any_of(texts.begin(), texts.end(),
                     [&](const std::string& text) {
                       return text.starts_with(progress_b);
                     }),
         "progress texts follow the edited prefix", Joined(texts));
  // Segments 1 to k of the first series, then k + 1 on of the second.
  const std::optional<std::string> output = folder.Output();
  bool switched = false;
  for (int k = 1; k < count && output; ++k) {
    const size_t split = k * segment_size;
    switched = switched || *output == first_series.substr(0, split) +
                                          second_series.substr(split);
  }
  Expect(switched, "the job reads the segments the edited prefix names");
}

void EmptyFolder(const std::wstring& program_path) {
  TestFolder folder(program_path, L"empty");
  RunningProgram program(folder);
  if (!Expect(program.window() != nullptr, "the window appears")) return;
  program.ClickStart();
  const std::vector<std::string> texts =
      program.StatusTextsUntil(kNoSegmentText, 30 * kSecond);
  Expect(!texts.empty() && texts.back() == kNoSegmentText,
         "an empty folder gives \"处理有问题，请检测\"", Joined(texts));
  Expect(!folder.Output().has_value(), "and writes no output");
  PressKeys({VK_MENU, VK_F4});
  ExpectCleanExit(program, "Alt+F4: exit code 0");
}

void TwoCopies(const std::wstring& program_path) {
  TestFolder first_folder(program_path, L"first");
  TestFolder second_folder(program_path, L"second");
  RunningProgram first(first_folder);
  RunningProgram second(second_folder);
  Expect(first.window() != nullptr && second.window() != nullptr,
         "two copies run side by side");
  SendMessageW(first.window(), WM_CLOSE, 0, 0);
  SendMessageW(second.window(), WM_CLOSE, 0, 0);
  ExpectCleanExit(first, "first copy closed: exit code 0");
  ExpectCleanExit(second, "second copy closed: exit code 0");
}

std::wstring ProgramBesideThisOne(std::wstring_view name) {
  wchar_t path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring own(path, length);
  return own.substr(0, own.rfind(L'\\') + 1) + std::wstring(name);
}

BOOL CALLBACK CollectText(HWND control, LPARAM texts) {
  reinterpret_cast<std::string*>(texts)->append(WindowText(control) + "\n");
  return TRUE;
}

// The fatal error path, as a job thread meets it when memory runs out: the
// probe asks for more than any machine has, through the program's own
// allocation and error code.
void FatalErrorBox(const std::wstring&) {
  const std::string bytes =
      std::to_string(std::numeric_limits<size_t>::max() / 2);
  RunningProgram probe(ProgramBesideThisOne(L"segjoin_fatal_error_probe.exe"),
                       Widen(bytes), RunningProgram::FirstWindow::kMessageBox);
  HWND box = probe.window();
  if (!Expect(box != nullptr, "an error box appears")) return;
  std::string texts;
  EnumChildWindows(box, &CollectText, reinterpret_cast<LPARAM>(&texts));
  Expect(texts.find("内存不足") != std::string::npos &&
             texts.find(bytes) != std::string::npos,
         "it names the failure and the bytes asked for", texts);
  Expect(GetWindow(box, GW_OWNER) == nullptr, "it is owned by no window");
  Expect(!probe.WaitForExit(500).has_value(), "the program waits for OK");
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  const std::optional<DWORD> code = probe.WaitForExit(10 * kSecond);
  Expect(code == static_cast<DWORD>(-1), "then ends with exit code -1",
         code ? std::to_string(*code) : "still running");
}

}  // namespace
}  // namespace segjoin

int wmain(int argc, wchar_t** argv) {
  using namespace segjoin;
  const std::wstring program =
      argc > 1 ? std::wstring(argv[1]) : ProgramBesideThisOne(L"segjoin.exe");
  if (!FileExists(program)) {
    std::printf("no program at %s\n", Narrow(program).c_str());
    return 2;
  }
  const struct {
    const char* name;
    void (*run)(const std::wstring&);
  } scenarios[] = {
      {"start-up, layout and keys", StartUpAndKeys},
      {"a short series", SmallSeries},
      {"a long series", LongSeries},
      {"a prefix edited during a job", PrefixEditedDuringJob},
      {"an empty folder", EmptyFolder},
      {"two copies", TwoCopies},
      {"the fatal error box", FatalErrorBox},
  };
  for (const auto& scenario : scenarios) {
    std::printf("# %s\n", scenario.name);
    scenario.run(program);
  }
  std::printf("%d passed, %d failed\n", passed, failed);
  return failed == 0 ? 0 : 1;
}
