#include "frontends/qt/QtAboutBox.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>
#include <QVBoxLayout>
#include <algorithm>

#include "frontends/qt/DialogUnits.h"
#include "frontends/qt/TemplateWidgets.h"
#include "platform/WindowMessages.h"
#include "ui/Resource.h"

namespace frontends::qt {

void QtAboutView::SetReadOnly(bool readOnly) {
  edit_.setReadOnly(readOnly);
  // Read-only text can still be selected and copied from the keyboard.
  if (readOnly) edit_.setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
}

int32_t QtAboutView::TextLength() { return static_cast<int32_t>(edit_.toPlainText().size()); }

void QtAboutView::SelectAndScroll(int32_t start, int32_t end) {
  const int length = static_cast<int>(edit_.toPlainText().size());
  QTextCursor cursor = edit_.textCursor();
  cursor.setPosition(std::clamp(static_cast<int>(start), 0, length));
  cursor.setPosition(std::clamp(static_cast<int>(end), 0, length), QTextCursor::KeepAnchor);
  edit_.setTextCursor(cursor);
  edit_.ensureCursorVisible();
}

void QtAboutView::ReplaceSelection(const std::string& text) {
  // The notice's line ends are the window system's pairs; the text control
  // here ends a line with one line feed.
  QString lines = QString::fromStdString(text);
  lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  QTextCursor cursor = edit_.textCursor();
  cursor.insertText(lines);
  edit_.setTextCursor(cursor);
}

AboutBox::AboutBox(QWidget* parent) : QDialog(parent) {
  const DialogTemplate& dialog = AboutBoxTemplate();
  setWindowTitle(QString::fromUtf8(dialog.caption));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint);
  auto* client = new QWidget(this);
  const auto controls = BuildControls(dialog, *client);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(client);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  notice_ = static_cast<QPlainTextEdit*>(controls.at(IDC_EDIT_NOTICE));
  auto* ok = static_cast<QPushButton*>(controls.at(platform::msg::kIdOk));
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  ok->setFocus();
}

}  // namespace frontends::qt
