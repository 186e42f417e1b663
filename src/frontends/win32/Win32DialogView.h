#pragma once
// The main dialog's view on Win32: the window of dialog template 102, made
// from the program's resources. It draws what the dialog's logic pushes and
// hands the window's messages to that logic through the window seam: button
// commands, the close box, the about entry of the system menu and device
// changes. Whether the window closes is the logic's decision (CloseDialog).

#include <windows.h>

#include <cstdint>
#include <functional>
#include <map>
#include <string>

#include "frontends/win32/Win32Window.h"
#include "platform/DialogView.h"

namespace frontends::win32 {

class Win32DialogView final : public platform::IDialogView {
 public:
  // Makes the dialog's window, hidden until RunModal, from the resources of
  // `module`; message boxes carry `applicationName` as their caption.
  Win32DialogView(Win32Window& window, HINSTANCE module, std::string applicationName);
  ~Win32DialogView() override;
  Win32DialogView(const Win32DialogView&) = delete;
  Win32DialogView& operator=(const Win32DialogView&) = delete;

  void SetText(int controlId, const std::string& text) override;
  std::string GetText(int controlId) override;
  void Enable(int controlId, bool enabled) override;
  void Show(int controlId, bool shown) override;
  void SetProgressRange(int32_t low, int32_t high) override;
  void SetProgressPos(int32_t position) override;
  void SetTextColour(int controlId, platform::Rgb colour) override;
  void SetFont(int controlId, int pixelHeight, int weight) override;
  void ShowMessageBox(const std::string& text) override;
  bool AskYesNo(const std::string& text) override;
  std::string GetTitle() override;
  void SetTitle(const std::string& title) override;
  bool AddAboutMenuEntry(uint32_t commandId, const std::string& text) override;
  void RunAboutBox(platform::IAboutDialog& about) override;
  bool RunOpenFileDialog(const platform::OpenFileRequest& request, platform::OpenFileResult* result) override;
  void CloseDialog() override;

  // Shows the window and runs the thread's message loop until the dialog
  // has ended (or the thread is asked to quit).
  void RunModal();
  bool Closed() const { return closed_; }
  HWND Handle() const { return dialog_; }

  // Called after a control's text or the progress position changed, for
  // tests and pictures; kProgressChange stands for the progress bar.
  static constexpr int kProgressChange = -1;
  void OnChange(std::function<void(int controlId)> listener) { listener_ = std::move(listener); }

  // The window procedure's work, by message; a result goes back to the
  // system when `handled` is set. The first message is WM_INITDIALOG.
  intptr_t HandleWindowMessage(HWND window, uint32_t message, WPARAM wParam, LPARAM lParam, bool* handled);

 private:
  intptr_t OnColourQuery(HDC dc, HWND control, bool* handled);
  bool PaintMinimised();
  void Changed(int controlId) {
    if (listener_) listener_(controlId);
  }

  Win32Window& window_;
  HINSTANCE module_;
  std::string applicationName_;
  HWND dialog_ = nullptr;
  HICON bigIcon_ = nullptr;
  HICON smallIcon_ = nullptr;
  std::map<int, COLORREF> colours_;
  std::map<int, HFONT> fonts_;
  bool closed_ = false;
  std::function<void(int)> listener_;
};

// The program file's base name (no folder, no extension): the name the
// window system's dialog library gives an application made without one.
std::string ApplicationNameFromPath(const std::string& programPath);
std::string ProgramApplicationName();

}  // namespace frontends::win32
