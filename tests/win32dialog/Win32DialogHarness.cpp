#include "Win32DialogHarness.h"

#include <gtest/gtest.h>

#include "platform/win32/WideText.h"

bool IsDialogBox(HWND window) {
  wchar_t name[16] = {};
  ::GetClassNameW(window, name, 16);
  return std::wstring(name) == L"#32770";
}

namespace {

// Messages handled, and silences waited through, before a wait gives up.
constexpr int kMessageCap = 2'000'000;
constexpr DWORD kSilenceMs = 10'000;

}  // namespace

std::string WindowText(HWND window) {
  std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(::GetWindowTextW(window, text.data(), static_cast<int>(text.size())));
  return platform::win32::Narrow(text);
}

ShownBox ReadBox(HWND box) {
  ShownBox shown;
  shown.caption = WindowText(box);
  for (HWND child = ::GetWindow(box, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
    wchar_t name[32] = {};
    ::GetClassNameW(child, name, 32);
    const std::string text = WindowText(child);
    if (_wcsicmp(name, L"Button") == 0) shown.buttons.push_back(text);
    // A message box's text is its one static with text; the about box's
    // notice is its edit control.
    if ((_wcsicmp(name, L"Static") == 0 && !text.empty() && ::GetDlgItem(box, IDC_EDIT_NOTICE) == nullptr) ||
        ::GetDlgCtrlID(child) == IDC_EDIT_NOTICE)
      shown.text = text;
  }
  return shown;
}

using Win32Front = DialogFront<frontends::win32::Win32DialogView>;

Win32Front* Win32Front::current_ = nullptr;

Win32Front::DialogFront() : view(window, ::GetModuleHandleW(nullptr), frontends::win32::ProgramApplicationName()) {
  current_ = this;
  hook_ = ::SetWindowsHookExW(WH_CBT, OnWindowEvent, nullptr, ::GetCurrentThreadId());
  sentHook_ = ::SetWindowsHookExW(WH_CALLWNDPROC, OnSentMessage, nullptr, ::GetCurrentThreadId());
}

Win32Front::~DialogFront() {
  if (hook_) ::UnhookWindowsHookEx(hook_);
  if (sentHook_) ::UnhookWindowsHookEx(sentHook_);
  current_ = nullptr;
}

LRESULT CALLBACK Win32Front::OnWindowEvent(int code, WPARAM wParam, LPARAM lParam) {
  Win32Front* self = current_;
  const auto window = reinterpret_cast<HWND>(wParam);
  if (code == HCBT_ACTIVATE && self && window != self->Dialog() && IsDialogBox(window) &&
      self->seenBoxes_.insert(window).second) {
    self->boxes.push_back(ReadBox(window));
    if (self->onBox)
      self->onBox(window);
    else
      ::PostMessageW(window, WM_COMMAND, IDOK, 0);
  }
  return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK Win32Front::OnSentMessage(int code, WPARAM wParam, LPARAM lParam) {
  Win32Front* self = current_;
  const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
  // A dialog box's modal loop tells its owner when it runs dry.
  if (code == HC_ACTION && self && self->onIdleBox && sent->message == WM_ENTERIDLE && sent->wParam == MSGF_DIALOGBOX)
    self->onIdleBox(reinterpret_cast<HWND>(sent->lParam));
  return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

void Win32Front::Shown() {
  ::ShowWindow(Dialog(), SW_SHOW);
  ::UpdateWindow(Dialog());
  PumpPending();
}

bool Win32Front::PumpUntil(const std::function<bool()>& done) {
  int silences = 0;
  for (int handled = 0; handled < kMessageCap;) {
    if (done()) return true;
    MSG message{};
    if (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      ++handled;
      if (!::IsDialogMessageW(Dialog(), &message)) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
      }
      continue;
    }
    // Nothing queued: wait for the next message. Only a stuck test waits
    // this long, and it fails instead of hanging.
    if (::MsgWaitForMultipleObjects(0, nullptr, FALSE, kSilenceMs, QS_ALLINPUT) == WAIT_TIMEOUT && ++silences > 3)
      break;
  }
  ADD_FAILURE() << "the awaited state never came";
  return false;
}

void Win32Front::PumpPending() {
  MSG message{};
  for (int handled = 0; handled < kMessageCap && ::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE); ++handled) {
    if (!::IsDialogMessageW(Dialog(), &message)) {
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
  }
}

COLORREF Win32Front::AnsweredTextColour(int id) {
  HDC dc = ::CreateCompatibleDC(nullptr);
  ::SetTextColor(dc, RGB(1, 2, 3));
  Send(WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(Control(id)));
  const COLORREF colour = ::GetTextColor(dc);
  ::DeleteDC(dc);
  return colour;
}
