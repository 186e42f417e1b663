#pragma once
// The about box (template 100) and its notice control as the about box's
// logic sees it.

#include <QDialog>
#include <memory>

#include "platform/DialogView.h"

class QPlainTextEdit;

namespace frontends::qt {

// The notice control: a multi-line text whose selection the logic replaces.
class QtAboutView final : public platform::IAboutView {
 public:
  explicit QtAboutView(QPlainTextEdit& edit) : edit_(edit) {}
  void SetReadOnly(bool readOnly) override;
  int32_t TextLength() override;
  void SelectAndScroll(int32_t start, int32_t end) override;
  void ReplaceSelection(const std::string& text) override;

 private:
  QPlainTextEdit& edit_;
};

// The box itself, built hidden; OK, Escape and the close box end it.
class AboutBox final : public QDialog {
 public:
  explicit AboutBox(QWidget* parent);
  QPlainTextEdit& Notice() { return *notice_; }

 private:
  QPlainTextEdit* notice_ = nullptr;
};

}  // namespace frontends::qt
