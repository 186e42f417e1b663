#pragma once
// The main dialog in its native window, on the test's thread, over a
// platform the test puts in force (a substitute world here; any backend
// fits). The test pumps the thread's real message loop until what it waits
// for holds. Boxes the dialog opens (message boxes, the about box) are seen
// by a thread hook as they activate, recorded, and ended with OK unless the
// test takes them over.

#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "frontends/win32/Win32DialogView.h"
#include "frontends/win32/Win32Window.h"
#include "platform/Platform.h"
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

class Win32DialogHarness {
 public:
  // `platform` stays in force while the harness lives.
  explicit Win32DialogHarness(const platform::Platform& platform);
  ~Win32DialogHarness();
  Win32DialogHarness(const Win32DialogHarness&) = delete;
  Win32DialogHarness& operator=(const Win32DialogHarness&) = delete;

  // Builds and initialises the dialog as the application does, then shows
  // its window.
  void Open();
  void Close();

  // Serves the window until `done` holds; false when it never does (a cap
  // on messages, and on silences, ends the wait instead of hanging).
  bool PumpUntil(const std::function<bool()>& done);
  void PumpPending();
  // Until the download thread has nothing left to do, then what is queued.
  bool WaitForWorker();

  HWND Dialog() const { return view.Handle(); }
  HWND Control(int id) const { return ::GetDlgItem(Dialog(), id); }
  LRESULT Send(UINT message, WPARAM wParam, LPARAM lParam) { return ::SendMessageW(Dialog(), message, wParam, lParam); }
  void Click(int id) { Send(WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(Control(id))); }
  std::string Text(int id) const { return WindowText(Control(id)); }
  bool Enabled(int id) const { return ::IsWindowEnabled(Control(id)) != FALSE; }
  bool Visible(int id) const { return ::IsWindowVisible(Control(id)) != FALSE; }
  // The text colour the dialog answers WM_CTLCOLORSTATIC with for `id`.
  COLORREF AnsweredTextColour(int id);

  std::optional<platform::ScopedPlatform> inForce;
  frontends::win32::Win32Window window;
  frontends::win32::Win32DialogView view;
  std::unique_ptr<CZarnetDlg> dlg;
  std::optional<DialogSession> session;
  std::vector<ShownBox> boxes;
  // Called with each box as it activates, instead of ending it with OK.
  std::function<void(HWND box)> onBox;
  // Called each time a box's modal loop has shown it and runs dry.
  std::function<void(HWND box)> onIdleBox;

 private:
  static LRESULT CALLBACK OnWindowEvent(int code, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK OnSentMessage(int code, WPARAM wParam, LPARAM lParam);
  static Win32DialogHarness* current_;
  HHOOK hook_ = nullptr;
  HHOOK sentHook_ = nullptr;
  std::set<HWND> seenBoxes_;
};

// The harness over a substitute world whose files are a scratch folder.
struct SubstituteDialog {
  explicit SubstituteDialog(const substitute::SubstituteWorldConfig& config = {});
  std::string WriteImage(const std::string& name, const std::vector<uint8_t>& bytes) { return dir.Write(name, bytes); }
  static platform::Platform WorldWithFiles(substitute::SubstituteWorld& world, platform::IFileSystem& files);

  substitute::SubstituteWorld world;
  TempDir dir;
  platform::FilesInFolder files;
  Win32DialogHarness h;
};
