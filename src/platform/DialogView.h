#pragma once
// The view seam: what the dialog's logic asks of its window and controls.
// A view only draws and forwards; every rule and text stays in the logic.

#include <cstdint>
#include <string>

namespace platform {

struct Rgb {
  uint8_t red = 0, green = 0, blue = 0;
  friend bool operator==(const Rgb& a, const Rgb& b) {
    return a.red == b.red && a.green == b.green && a.blue == b.blue;
  }
};

// The about box's notice control.
class IAboutView {
 public:
  virtual ~IAboutView() = default;
  virtual void SetReadOnly(bool readOnly) = 0;
  virtual int32_t TextLength() = 0;
  // Selects from `start` to `end` and scrolls the caret into view.
  virtual void SelectAndScroll(int32_t start, int32_t end) = 0;
  // Replaces the selection; the caret ends after the inserted text.
  virtual void ReplaceSelection(const std::string& text) = 0;
};

class IAboutDialog {
 public:
  virtual ~IAboutDialog() = default;
  virtual bool OnInitDialog(IAboutView& view) = 0;
};

struct OpenFileRequest {
  std::string filter;  // "Name(*.ext)|*.ext||"
  uint32_t flags = 0;
  int filterIndex = 1;
};

struct OpenFileResult {
  std::string path;
  uint16_t extensionOffset = 0;  // 0 when the typed name ends with a full stop
  int filterIndex = 1;
};

class IDialogView {
 public:
  virtual ~IDialogView() = default;

  // Texts by control id, both directions of the data exchange.
  virtual void SetText(int controlId, const std::string& text) = 0;
  virtual std::string GetText(int controlId) = 0;
  virtual void Enable(int controlId, bool enabled) = 0;
  virtual void Show(int controlId, bool shown) = 0;

  // The progress bar: a full 32-bit range.
  virtual void SetProgressRange(int32_t low, int32_t high) = 0;
  virtual void SetProgressPos(int32_t position) = 0;

  // Text colour and font of a static control (the result).
  virtual void SetTextColour(int controlId, Rgb colour) = 0;
  virtual void SetFont(int controlId, int pixelHeight, int weight) = 0;

  // A message box with the application's name as caption and one OK button;
  // returns when the user has closed it.
  virtual void ShowMessageBox(const std::string& text) = 0;

  virtual std::string GetTitle() = 0;
  virtual void SetTitle(const std::string& title) = 0;

  // Adds the about entry where the platform keeps such entries; false when
  // the window has no such menu.
  virtual bool AddAboutMenuEntry(uint32_t commandId, const std::string& text) = 0;
  // Shows the about box modally.
  virtual void RunAboutBox(IAboutDialog& about) = 0;
  // False when the user cancels.
  virtual bool RunOpenFileDialog(const OpenFileRequest& request, OpenFileResult* result) = 0;
  // A warning with Yes and No (No the default); true for Yes.
  virtual bool AskYesNo(const std::string& text) = 0;
  // The dialog has ended: the window closes.
  virtual void CloseDialog() = 0;
};

}  // namespace platform
