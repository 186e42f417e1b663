#pragma once
// The main dialog in its Qt window over a substitute world in virtual time.
// Modal boxes are not shown: each is handed over fully built and recorded,
// then ended as OK would end it.

#include <QApplication>
#include <QColor>
#include <QDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "frontends/qt/QtAboutBox.h"
#include "frontends/qt/QtDialogView.h"
#include "frontends/qt/QtWindow.h"
#include "support/DialogHarness.h"

// What a modal box showed.
struct ShownBox {
  std::string caption;
  std::string text;  // a message box's text, or the about box's notice
  std::vector<std::string> buttons;
  std::vector<std::string> labels;  // the about box's static texts
  bool noticeReadOnly = false;
};

inline ShownBox ReadBox(QDialog& box) {
  ShownBox shown;
  shown.caption = box.windowTitle().toStdString();
  if (auto* message = qobject_cast<QMessageBox*>(&box)) {
    shown.text = message->text().toStdString();
    for (QAbstractButton* button : message->buttons()) shown.buttons.push_back(button->text().toStdString());
    return shown;
  }
  for (QPushButton* button : box.findChildren<QPushButton*>()) shown.buttons.push_back(button->text().toStdString());
  for (QLabel* label : box.findChildren<QLabel*>())
    if (!label->text().isEmpty()) shown.labels.push_back(label->text().toStdString());
  if (auto* notice = box.findChild<QPlainTextEdit*>()) {
    shown.text = notice->toPlainText().toStdString();
    shown.noticeReadOnly = notice->isReadOnly();
  }
  return shown;
}

// The Qt window: the test's thread is the Qt main thread and serves the
// window by running the event loop.
template <>
class DialogFront<frontends::qt::QtDialogView> {
 public:
  DialogFront() : view(window) {
    view.SetModalHook([this](QDialog& box) {
      boxes.push_back(ReadBox(box));
      if (onBox)
        onBox(box);
      else
        box.done(QDialog::Accepted);
    });
    view.OnTextChanged([this](int id, const std::string& text) {
      if (id == IDC_STATUS) statusLines.push_back(text);
      if (onText) onText(id, text);
    });
    QObject::connect(view.ProgressBar(), &QProgressBar::valueChanged,
                     [this](int value) { progressValues.push_back(value); });
  }

  void Shown() {
    view.Window()->show();
    ProcessPending();
  }
  static bool PumpUntil(const std::function<bool()>& done) {
    while (!done()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return true;
  }
  static void PumpPending() { ProcessPending(); }
  static void ProcessPending() { QCoreApplication::processEvents(); }

  void Click(int id) { QTest::mouseClick(Button(id), Qt::LeftButton); }

  QPushButton* Button(int id) { return qobject_cast<QPushButton*>(view.Control(id)); }
  QLabel* Label(int id) { return qobject_cast<QLabel*>(view.Control(id)); }
  std::string Text(int id) { return view.GetText(id); }
  bool Enabled(int id) { return view.Control(id)->isEnabled(); }
  QColor TextColour(int id) { return view.Control(id)->palette().color(QPalette::WindowText); }
  std::vector<std::string> MessageTexts() const {
    std::vector<std::string> texts;
    for (const ShownBox& box : boxes) texts.push_back(box.text);
    return texts;
  }

  frontends::qt::QtWindow window;
  frontends::qt::QtDialogView view;
  std::vector<ShownBox> boxes;
  std::vector<std::string> statusLines;
  std::vector<int> progressValues;
  // Called with each box instead of ending it as OK would, and with each
  // text change.
  std::function<void(QDialog&)> onBox;
  std::function<void(int, const std::string&)> onText;
};

using QtDialogHarness = DialogHarnessOn<frontends::qt::QtDialogView>;
