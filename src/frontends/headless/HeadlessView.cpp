#include "frontends/headless/HeadlessView.h"

#include <algorithm>

namespace frontends::headless {

void HeadlessAboutView::SelectAndScroll(int32_t start, int32_t end) {
  const size_t length = text_.size();
  selStart_ = std::min(static_cast<size_t>(std::max(start, 0)), length);
  selEnd_ = std::min(static_cast<size_t>(std::max(end, 0)), length);
  if (selEnd_ < selStart_) std::swap(selStart_, selEnd_);
}

void HeadlessAboutView::ReplaceSelection(const std::string& text) {
  text_.replace(selStart_, selEnd_ - selStart_, text);
  selStart_ = selEnd_ = selStart_ + text.size();
}

void HeadlessView::SetText(int controlId, const std::string& text) {
  Control& c = controls_[controlId];
  if (c.text == text) return;
  c.text = text;
  Changed(controlId);
}

std::string HeadlessView::GetText(int controlId) { return controls_[controlId].text; }

void HeadlessView::SetProgressRange(int32_t low, int32_t high) {
  progressLow_ = low;
  progressHigh_ = high;
  Changed(kProgressControl);
}

void HeadlessView::SetProgressPos(int32_t position) {
  progressPos_ = position;
  positions_.push_back(position);
  Changed(kProgressControl);
}

void HeadlessView::SetFont(int controlId, int pixelHeight, int weight) {
  controls_[controlId].fontHeight = pixelHeight;
  controls_[controlId].fontWeight = weight;
}

void HeadlessView::ShowMessageBox(const std::string& text) {
  messageBoxes_.push_back(text);
  Changed(kMessageBox);
}

bool HeadlessView::AddAboutMenuEntry(uint32_t commandId, const std::string& text) {
  if (!hasMenu_) return false;
  menuEntry_ = std::make_pair(commandId, text);
  return true;
}

void HeadlessView::RunAboutBox(platform::IAboutDialog& about) {
  HeadlessAboutView box;
  about.OnInitDialog(box);
  aboutTexts_.push_back(box.Text());
}

bool HeadlessView::RunOpenFileDialog(const platform::OpenFileRequest& request, platform::OpenFileResult* result) {
  openFileRequests_.push_back(request);
  if (!openFileAnswer_) return false;
  *result = *openFileAnswer_;
  return true;
}

void HeadlessView::ClearRecords() {
  positions_.clear();
  messageBoxes_.clear();
  aboutTexts_.clear();
  openFileRequests_.clear();
}

}  // namespace frontends::headless
