// clang-format off
// windows.h must come before the other Windows headers.
#include "ui/win32/main_window.h"
#include <commctrl.h>
// clang-format on

#include <algorithm>
#include <array>
#include <string>

#include "merge/platform.h"
#include "merge/win32_text.h"
#include "ui/fatal_error.h"

namespace segjoin {
namespace {

constexpr wchar_t kWindowClassName[] = L"SegjoinMainWindow";
constexpr UINT_PTR kEditSubclassId = 1;

// Requests a job's thread sends to the window's thread. A handled request
// returns 1; 0 means the window no longer serves anybody.
constexpr UINT kReadFieldMessage = WM_APP + 1;  // lparam: FieldRead*
constexpr UINT kSetStatusMessage = WM_APP + 2;  // lparam: const wstring*

struct FieldRead {
  ControlId id;
  std::wstring text;
};

HFONT DefaultGuiFont() {
  return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

bool KeyIsDown(int virtual_key) { return GetKeyState(virtual_key) < 0; }

// The height of one text line in the control's font.
int LineHeight(HWND control) {
  HDC dc = GetDC(control);
  if (dc == nullptr) return 0;
  HFONT font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
  HGDIOBJ old_font = SelectObject(dc, font ? font : DefaultGuiFont());
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  SelectObject(dc, old_font);
  ReleaseDC(control, dc);
  return metrics.tmHeight;
}

// Shrinks the edit box's client area to one line, centred in the box. The
// bands above and below become frame: the edit control then neither draws
// text there nor puts the caret there when they are clicked.
void CentreClientAreaVertically(HWND edit, RECT& client,
                                const RECT& window_rect) {
  const int line_height = LineHeight(edit);
  const int box_height = window_rect.bottom - window_rect.top;
  if (line_height <= 0 || line_height >= client.bottom - client.top) return;
  const LONG top = window_rect.top + (box_height - line_height) / 2;
  client.top = std::max(client.top, top);
  client.bottom = std::min<LONG>(client.bottom, client.top + line_height);
}

// Paints the bands around the shrunken client area in the box's background
// colour, inside the border the default frame painting drew.
void PaintBands(HWND edit) {
  HDC dc = GetWindowDC(edit);
  if (dc == nullptr) return;
  RECT window_rect;
  GetWindowRect(edit, &window_rect);
  RECT client;
  GetClientRect(edit, &client);
  MapWindowPoints(edit, nullptr, reinterpret_cast<POINT*>(&client), 2);
  OffsetRect(&client, -window_rect.left, -window_rect.top);
  RECT inside = {0, 0, window_rect.right - window_rect.left,
                 window_rect.bottom - window_rect.top};
  InflateRect(&inside, -GetSystemMetrics(SM_CXEDGE),
              -GetSystemMetrics(SM_CYEDGE));
  ExcludeClipRect(dc, client.left, client.top, client.right, client.bottom);
  HBRUSH background = reinterpret_cast<HBRUSH>(SendMessageW(
      GetParent(edit), WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc),
      reinterpret_cast<LPARAM>(edit)));
  FillRect(dc, &inside,
           background ? background
                      : static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  ReleaseDC(edit, dc);
}

LRESULT CALLBACK EditSubclassProcedure(HWND edit, UINT message, WPARAM wparam,
                                       LPARAM lparam, UINT_PTR,
                                       DWORD_PTR digits_only) {
  switch (message) {
    case WM_CHAR:
      // Only typed characters are filtered; a paste arrives as WM_PASTE.
      if (digits_only &&
          !AcceptedInStartNumberField(static_cast<char32_t>(wparam)))
        return 0;
      break;
    case WM_NCCALCSIZE: {
      // Either way lparam starts with the window's new rectangle, which the
      // default turns into the client rectangle.
      RECT& client = *reinterpret_cast<RECT*>(lparam);
      const RECT window_rect = client;
      const LRESULT result = DefSubclassProc(edit, message, wparam, lparam);
      CentreClientAreaVertically(edit, client, window_rect);
      return result;
    }
    case WM_NCPAINT: {
      const LRESULT result = DefSubclassProc(edit, message, wparam, lparam);
      PaintBands(edit);
      return result;
    }
    case WM_SETFONT: {
      const LRESULT result = DefSubclassProc(edit, message, wparam, lparam);
      // The line height changed with the font: lay the bands out anew.
      SetWindowPos(edit, nullptr, 0, 0, 0, 0,
                   SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER |
                       SWP_NOACTIVATE);
      return result;
    }
    case WM_NCLBUTTONDOWN:
    case WM_NCLBUTTONDBLCLK:
      // The bands are frame: a click there must not reach the edit control,
      // which might take it as a click on its text.
      return 0;
    case WM_NCDESTROY:
      RemoveWindowSubclass(edit, EditSubclassProcedure, kEditSubclassId);
      break;
  }
  return DefSubclassProc(edit, message, wparam, lparam);
}

struct ControlClass {
  const wchar_t* name;
  DWORD style;
  DWORD extended_style;
};

ControlClass ClassOf(ControlKind kind) {
  constexpr DWORD kEditStyle =
      WS_TABSTOP | ES_CENTER | ES_AUTOHSCROLL;  // one line
  switch (kind) {
    case ControlKind::kLabel:
      // SS_CENTERIMAGE puts the one line in the vertical middle.
      return {L"STATIC", SS_LEFT | SS_CENTERIMAGE | SS_NOPREFIX, 0};
    case ControlKind::kEdit:
    case ControlKind::kDigitsEdit:
      return {L"EDIT", kEditStyle, WS_EX_CLIENTEDGE};
    case ControlKind::kPushButton:
      return {
          L"BUTTON",
          WS_TABSTOP | BS_PUSHBUTTON | BS_MULTILINE | BS_CENTER | BS_VCENTER,
          0};
  }
  return {L"STATIC", 0, 0};
}

// The controls that take the focus, in the order Tab visits them.
std::array<ControlId, 4> TabOrder() {
  std::array<ControlId, 4> order{};
  for (const ControlLayout& layout : kMainWindowControls)
    if (layout.tab_position >= 0) order.at(layout.tab_position) = layout.id;
  return order;
}

[[noreturn]] void WaitForProcessEnd() {
  for (;;) Sleep(INFINITE);
}

}  // namespace

bool MainWindow::Create() {
  const int icon_size = GetSystemMetrics(SM_CXICON);
  const int small_icon_size = GetSystemMetrics(SM_CXSMICON);
  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof(window_class);
  window_class.lpfnWndProc = &MainWindow::WindowProcedure;
  window_class.hInstance = instance_;
  window_class.hIcon =
      static_cast<HICON>(LoadImageW(instance_, L"DEFAULT_ICON", IMAGE_ICON,
                                    icon_size, icon_size, LR_DEFAULTCOLOR));
  window_class.hIconSm = static_cast<HICON>(
      LoadImageW(instance_, L"DEFAULT_ICON", IMAGE_ICON, small_icon_size,
                 small_icon_size, LR_DEFAULTCOLOR));
  window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  window_class.lpszClassName = kWindowClassName;
  if (RegisterClassExW(&window_class) == 0) return false;

  // Integer division, as the layout is defined; the primary display only.
  const int left = (GetSystemMetrics(SM_CXSCREEN) - kWindowOuterWidth) / 2;
  const int top = (GetSystemMetrics(SM_CYSCREEN) - kWindowOuterHeight) / 2;
  // A fixed frame: no WS_THICKFRAME, and no maximise box to grow it either.
  constexpr DWORD kStyle =
      WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  if (CreateWindowExW(WS_EX_APPWINDOW, kWindowClassName, L"", kStyle, left, top,
                      kWindowOuterWidth, kWindowOuterHeight, nullptr, nullptr,
                      instance_, this) == nullptr)
    return false;
  // Set on the window too, so that WM_GETICON answers with them.
  SendMessageW(window_, WM_SETICON, ICON_BIG,
               reinterpret_cast<LPARAM>(window_class.hIcon));
  SendMessageW(window_, WM_SETICON, ICON_SMALL,
               reinterpret_cast<LPARAM>(window_class.hIconSm));
  for (const ControlLayout& layout : kMainWindowControls)
    if (!CreateControl(layout)) return false;
  return true;
}

bool MainWindow::CreateControl(const ControlLayout& layout) {
  const ControlClass control_class = ClassOf(layout.kind);
  HWND control = CreateWindowExW(
      control_class.extended_style, control_class.name,
      Widen(layout.text).c_str(), WS_CHILD | control_class.style, layout.left,
      layout.top, layout.width, layout.height, window_,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(layout.id)), instance_,
      nullptr);
  if (control == nullptr) return false;
  if (layout.kind == ControlKind::kEdit ||
      layout.kind == ControlKind::kDigitsEdit) {
    if (!SetWindowSubclass(control, EditSubclassProcedure, kEditSubclassId,
                           layout.kind == ControlKind::kDigitsEdit))
      return false;
    // The system's maximum rather than the default 32767 characters.
    SendMessageW(control, EM_SETLIMITTEXT, 0, 0);
  }
  // After the subclass, so that the edit boxes lay out their bands.
  SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(DefaultGuiFont()),
               FALSE);
  return true;
}

void MainWindow::Show() {
  for (const ControlLayout& layout : kMainWindowControls)
    ShowWindow(GetDlgItem(window_, layout.id), SW_SHOW);
  // The first ShowWindow of a process may be overridden by the show state it
  // was started with (say, minimised); the second is taken as asked.
  ShowWindow(window_, SW_SHOWNORMAL);
  ShowWindow(window_, SW_SHOWNORMAL);
  SetForegroundWindow(window_);
}

LRESULT CALLBACK MainWindow::WindowProcedure(HWND window, UINT message,
                                             WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<MainWindow*>(
        reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
    self->window_ = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self =
      reinterpret_cast<MainWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self == nullptr) return DefWindowProcW(window, message, wparam, lparam);
  // An exception must not cross the system's frames: running out of memory
  // here ends the program through the fatal error path instead.
  // The lambda holds one reference, so that wrapping it allocates nothing
  // for each message.
  struct Call {
    MainWindow* self;
    UINT message;
    WPARAM wparam;
    LPARAM lparam;
    LRESULT result;
  } call{self, message, wparam, lparam, 0};
  RunOrDieOnOutOfMemory([&call] {
    call.result =
        call.self->HandleMessage(call.message, call.wparam, call.lparam);
  });
  return call.result;
}

LRESULT MainWindow::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_ACTIVATE:
      OnActivate(wparam);
      return 0;
    case WM_COMMAND:
      if (LOWORD(wparam) == kStartButtonId && HIWORD(wparam) == BN_CLICKED) {
        OnStartClicked();
        return 0;
      }
      break;
    case WM_CTLCOLOREDIT: {
      HDC dc = reinterpret_cast<HDC>(wparam);
      SetTextColor(dc, RGB(0, 0, 0));
      SetBkColor(dc, RGB(255, 255, 255));
      return reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
    }
    case WM_CTLCOLORSTATIC: {
      // The labels draw their text straight onto the window's background.
      HDC dc = reinterpret_cast<HDC>(wparam);
      SetTextColor(dc, RGB(0, 0, 0));
      SetBkMode(dc, TRANSPARENT);
      return reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
    }
    case kReadFieldMessage: {
      if (closing_) return 0;
      auto& request = *reinterpret_cast<FieldRead*>(lparam);
      HWND field = GetDlgItem(window_, request.id);
      request.text.resize(static_cast<size_t>(GetWindowTextLengthW(field)) + 1);
      const int length = GetWindowTextW(field, request.text.data(),
                                        static_cast<int>(request.text.size()));
      request.text.resize(static_cast<size_t>(std::max(length, 0)));
      return 1;
    }
    case kSetStatusMessage:
      if (closing_) return 0;
      SetWindowTextW(GetDlgItem(window_, kStatusFieldId),
                     reinterpret_cast<const std::wstring*>(lparam)->c_str());
      return 1;
    case WM_CLOSE:
      closing_ = true;
      DestroyWindow(window_);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(window_, message, wparam, lparam);
}

void MainWindow::OnActivate(WPARAM wparam) {
  if (LOWORD(wparam) == WA_INACTIVE) {
    focus_before_deactivation_ = GetFocus();
    return;
  }
  if (HIWORD(wparam)) return;  // activated while minimised
  HWND focus = activated_before_ ? focus_before_deactivation_ : nullptr;
  if (focus == nullptr || !IsChild(window_, focus))
    focus = GetDlgItem(window_, kStartButtonId);
  activated_before_ = true;
  SetFocus(focus);
}

bool MainWindow::HandleKeyMessage(const MSG& message) {
  if (message.message != WM_KEYDOWN ||
      (message.hwnd != window_ && !IsChild(window_, message.hwnd)))
    return false;
  const bool control = KeyIsDown(VK_CONTROL);
  const bool shift = KeyIsDown(VK_SHIFT);
  switch (message.wParam) {
    case VK_TAB:
      if (control) return false;
      MoveFocus(shift);
      return true;
    case VK_ESCAPE:
      // Alt+Esc arrives as WM_SYSKEYDOWN and is left to the system.
      if (control || shift) return false;
      SendMessageW(window_, WM_CLOSE, 0, 0);
      return true;
    case VK_RETURN:
      // Enter means nothing here, not even a beep from an edit box.
      return true;
  }
  return false;
}

void MainWindow::MoveFocus(bool backwards) {
  const std::array<ControlId, 4> order = TabOrder();
  const int count = static_cast<int>(order.size());
  const int focused = GetDlgCtrlID(GetFocus());
  int position = backwards ? 0 : count - 1;  // from outside the cycle
  for (int i = 0; i < count; ++i)
    if (order[i] == focused) position = i;
  position = (position + (backwards ? count - 1 : 1)) % count;
  SetFocus(GetDlgItem(window_, order[position]));
}

void MainWindow::OnStartClicked() {
  if (job_running_.exchange(true)) return;  // one job at a time
  // The default stack size; the handle is not needed, the thread ends with
  // its job.
  HANDLE thread =
      CreateThread(nullptr, 0, &MainWindow::RunJob, this, 0, nullptr);
  if (thread == nullptr) {
    job_running_ = false;  // the next click may try again
    return;
  }
  CloseHandle(thread);
}

DWORD WINAPI MainWindow::RunJob(void* window) {
  auto* self = static_cast<MainWindow*>(window);
  RunOrDieOnOutOfMemory([self] {
    MergeJob job(*self, self->run_directory_);
    job.Run();
  });
  self->job_running_ = false;
  return 0;
}

std::string MainWindow::ReadFieldText(ControlId id) {
  FieldRead request{id, {}};
  if (SendMessageW(window_, kReadFieldMessage, 0,
                   reinterpret_cast<LPARAM>(&request)) == 0)
    WaitForProcessEnd();
  return Narrow(request.text);
}

std::string MainWindow::ReadStartNumberText() {
  return ReadFieldText(kStartNumberFieldId);
}

std::string MainWindow::ReadPrefixText() {
  return ReadFieldText(kPrefixFieldId);
}

void MainWindow::SetStatusText(const std::string& text) {
  const std::wstring wide = Widen(text);
  if (SendMessageW(window_, kSetStatusMessage, 0,
                   reinterpret_cast<LPARAM>(&wide)) == 0)
    WaitForProcessEnd();
}

}  // namespace segjoin
