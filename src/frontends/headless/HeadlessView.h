#pragma once
// A view that keeps what it is told instead of drawing it: tests read the
// controls' texts, states and the message boxes from here, and the
// command-line tool reports from it.

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/DialogView.h"

namespace frontends::headless {

class HeadlessAboutView final : public platform::IAboutView {
 public:
  void SetReadOnly(bool readOnly) override { readOnly_ = readOnly; }
  int32_t TextLength() override { return static_cast<int32_t>(text_.size()); }
  void SelectAndScroll(int32_t start, int32_t end) override;
  void ReplaceSelection(const std::string& text) override;

  const std::string& Text() const { return text_; }
  bool ReadOnly() const { return readOnly_; }

 private:
  std::string text_;
  size_t selStart_ = 0, selEnd_ = 0;
  bool readOnly_ = false;
};

class HeadlessView final : public platform::IDialogView {
 public:
  struct Control {
    std::string text;
    bool enabled = true;
    bool shown = true;
    std::optional<platform::Rgb> colour;
    int fontHeight = 0, fontWeight = 0;
  };

  void SetText(int controlId, const std::string& text) override;
  std::string GetText(int controlId) override;
  void Enable(int controlId, bool enabled) override { controls_[controlId].enabled = enabled; }
  void Show(int controlId, bool shown) override { controls_[controlId].shown = shown; }
  void SetProgressRange(int32_t low, int32_t high) override;
  void SetProgressPos(int32_t position) override;
  void SetTextColour(int controlId, platform::Rgb colour) override { controls_[controlId].colour = colour; }
  void SetFont(int controlId, int pixelHeight, int weight) override;
  void ShowMessageBox(const std::string& text) override;
  std::string GetTitle() override { return title_; }
  void SetTitle(const std::string& title) override { title_ = title; }
  bool AddAboutMenuEntry(uint32_t commandId, const std::string& text) override;
  void RunAboutBox(platform::IAboutDialog& about) override;
  bool RunOpenFileDialog(const platform::OpenFileRequest& request, platform::OpenFileResult* result) override;
  bool AskYesNo(const std::string& text) override {
    questions_.push_back(text);
    return yesAnswer_;
  }
  void CloseDialog() override { closed_ = true; }
  bool Closed() const { return closed_; }

  // What tests read.
  const Control& ControlState(int controlId) { return controls_[controlId]; }
  int32_t ProgressLow() const { return progressLow_; }
  int32_t ProgressHigh() const { return progressHigh_; }
  int32_t ProgressPos() const { return progressPos_; }
  const std::vector<int32_t>& ProgressPositions() const { return positions_; }
  const std::vector<std::string>& MessageBoxes() const { return messageBoxes_; }
  const std::vector<std::string>& Questions() const { return questions_; }
  const std::vector<std::string>& AboutTexts() const { return aboutTexts_; }
  std::optional<std::pair<uint32_t, std::string>> AboutMenuEntry() const { return menuEntry_; }
  const std::vector<platform::OpenFileRequest>& OpenFileRequests() const { return openFileRequests_; }
  void ClearRecords();

  // What tests set up.
  void SetTitleForTest(const std::string& title) { title_ = title; }
  void SetHasMenu(bool hasMenu) { hasMenu_ = hasMenu; }
  void AnswerOpenFile(std::optional<platform::OpenFileResult> answer) { openFileAnswer_ = std::move(answer); }
  void AnswerQuestions(bool yes) { yesAnswer_ = yes; }
  // Called for every text change and progress position, for live output.
  void OnChange(std::function<void(int controlId)> listener) { listener_ = std::move(listener); }

  static constexpr int kProgressControl = -1;  // listener id for progress changes
  static constexpr int kMessageBox = -2;       // listener id for a new message box

 private:
  void Changed(int controlId) {
    if (listener_) listener_(controlId);
  }

  std::map<int, Control> controls_;
  int32_t progressLow_ = 0, progressHigh_ = 100, progressPos_ = 0;
  std::vector<int32_t> positions_;
  std::vector<std::string> messageBoxes_;
  std::vector<std::string> questions_;
  bool yesAnswer_ = false;
  std::vector<std::string> aboutTexts_;
  std::vector<platform::OpenFileRequest> openFileRequests_;
  std::optional<std::pair<uint32_t, std::string>> menuEntry_;
  std::optional<platform::OpenFileResult> openFileAnswer_;
  std::string title_;
  bool hasMenu_ = true;
  bool closed_ = false;
  std::function<void(int)> listener_;
};

}  // namespace frontends::headless
