#pragma once
// The main dialog's view on Qt: the window of template 102. It only draws
// what the dialog pushes and forwards what the user does to the dialog, as
// the dialog's own messages through the window seam: a click is a button
// command, Escape and Enter are the cancel and OK commands, the close box is
// a close request, and the about entry is the about box's system command.
// Whether the window closes is the dialog's decision (CloseDialog).

#include <QStringList>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/DialogView.h"
#include "platform/Window.h"

class QAction;
class QDialog;
class QEventLoop;
class QMenu;
class QMenuBar;
class QMimeData;
class QProgressBar;
class QWidget;

namespace frontends::qt {

class DialogWindow;

class QtDialogView final : public platform::IDialogView {
 public:
  // Builds the window hidden, as a dialog is before its initialisation ends.
  explicit QtDialogView(platform::IWindow& window);
  ~QtDialogView() override;
  QtDialogView(const QtDialogView&) = delete;
  QtDialogView& operator=(const QtDialogView&) = delete;

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

  // Shows the window and serves it until the dialog has ended; returns at
  // once when it ended already.
  void RunModal();
  bool Closed() const { return closed_; }
  // Ends the window from outside the dialog (the program is asked to end):
  // every box it shows is closed, then the window, and no box opens after.
  void EndNow();

  // Runs the Browse command with `path` as the file the open-file dialog
  // hands back, so that the dialog's own file choice takes it.
  void ChooseFile(const std::string& path);
  // Files dropped on the window: one file named *.bin is chosen as Browse
  // would choose it, while `mayChoose` allows; every other drop is refused
  // without a word. Without this, the window takes no drops.
  void AcceptFileDrops(std::function<bool()> mayChoose);

  // For tests and screenshots.
  QWidget* Window() const;
  QWidget* Control(int controlId) const;
  QProgressBar* ProgressBar() const;
  QAction* AboutAction() const { return aboutAction_; }
  // Instead of running a modal box (message box, about box, file dialog),
  // hands it, fully built, to `hook`; the hook may read it and press its
  // buttons. Null runs the boxes again.
  void SetModalHook(std::function<void(QDialog&)> hook) { modalHook_ = std::move(hook); }
  // Called whenever a control's text changes.
  void OnTextChanged(std::function<void(int controlId, const std::string& text)> listener) {
    textListener_ = std::move(listener);
  }

 private:
  friend class qt::DialogWindow;
  void Forward(uint32_t message, uintptr_t wParam);
  void RunModalBox(QDialog& box);
  // The file a drop would choose: set when the drop carries one *.bin
  // file and a choice is allowed now.
  std::optional<std::string> DroppedFile(const QMimeData* data) const;
  std::optional<std::string> DroppedFile(const std::string& path) const;
  void MoveFocusFrom(QWidget* control);
  // A control's text as the dialog gave it: the bytes it was set with while
  // the control still shows them, else what the control shows.
  std::string TextOf(int controlId, QWidget* control) const;

  platform::IWindow& window_;
  std::unique_ptr<qt::DialogWindow> dialog_;
  std::map<int, QWidget*> controls_;
  // The bytes of the last text set on each control. Qt holds text as UTF-16,
  // and a file name need not be UTF-8: read back from the control, a path
  // with other bytes would no longer name its file.
  std::map<int, std::string> texts_;
  QMenuBar* menuBar_ = nullptr;
  QMenu* helpMenu_ = nullptr;
  QAction* aboutAction_ = nullptr;
  QEventLoop* modalLoop_ = nullptr;
  int32_t progressLow_ = 0;
  int32_t progressHigh_ = 100;
  bool closed_ = false;
  std::vector<QDialog*> runningBoxes_;  // innermost last
  std::optional<std::string> chosenFile_;
  std::function<bool()> mayChooseDropped_;
  std::function<void(QDialog&)> modalHook_;
  std::function<void(int, const std::string&)> textListener_;
};

// The open-file dialog's filters from a "Name|pattern|...|" list.
QStringList FileDialogFilters(const std::string& filter);
// Where the chosen name's extension starts, as the window system reports it:
// 0 when the name ends with a full stop, the path's length when it has no
// extension.
uint16_t ExtensionOffset(const std::string& path);

}  // namespace frontends::qt
