#pragma once
// The main dialog in its native window, on the test's thread, over a
// substitute world (a test may put another backend in force instead). Boxes
// the dialog opens (message boxes, the about box) are seen by a thread hook
// as they activate, recorded, and ended with OK unless the test takes them
// over.

#include <windows.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "frontends/win32/Win32DialogView.h"
#include "frontends/win32/Win32Window.h"
#include "support/DialogHarness.h"

// What a box showed.
struct ShownBox {
  std::string caption;
  std::string text;  // a message box's text, or the about box's notice
  std::vector<std::string> buttons;
};

std::string WindowText(HWND window);
// A window of the dialog class: the dialog, a message box, the about box.
bool IsDialogBox(HWND window);
ShownBox ReadBox(HWND box);

// The native window: the test pumps the thread's real message loop until
// what it waits for holds.
template <>
class DialogFront<frontends::win32::Win32DialogView> {
 public:
  DialogFront();
  ~DialogFront();
  DialogFront(const DialogFront&) = delete;
  DialogFront& operator=(const DialogFront&) = delete;

  void Shown();
  // Serves the window until `done` holds; false when it never does (a cap
  // on messages, and on silences, ends the wait instead of hanging).
  bool PumpUntil(const std::function<bool()>& done);
  void PumpPending();

  HWND Dialog() const { return view.Handle(); }
  HWND Control(int id) const { return ::GetDlgItem(Dialog(), id); }
  LRESULT Send(UINT message, WPARAM wParam, LPARAM lParam) { return ::SendMessageW(Dialog(), message, wParam, lParam); }
  void Click(int id) { Send(WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(Control(id))); }
  std::string Text(int id) const { return WindowText(Control(id)); }
  bool Enabled(int id) const { return ::IsWindowEnabled(Control(id)) != FALSE; }
  bool Visible(int id) const { return ::IsWindowVisible(Control(id)) != FALSE; }
  // The text colour the dialog answers WM_CTLCOLORSTATIC with for `id`.
  COLORREF AnsweredTextColour(int id);

  frontends::win32::Win32Window window;
  frontends::win32::Win32DialogView view;
  std::vector<ShownBox> boxes;
  // Called with each box as it activates, instead of ending it with OK.
  std::function<void(HWND box)> onBox;
  // Called each time a box's modal loop has shown it and runs dry.
  std::function<void(HWND box)> onIdleBox;

 private:
  static LRESULT CALLBACK OnWindowEvent(int code, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK OnSentMessage(int code, WPARAM wParam, LPARAM lParam);
  static DialogFront* current_;
  HHOOK hook_ = nullptr;
  HHOOK sentHook_ = nullptr;
  std::set<HWND> seenBoxes_;
};

using Win32DialogHarness = DialogHarnessOn<frontends::win32::Win32DialogView>;
