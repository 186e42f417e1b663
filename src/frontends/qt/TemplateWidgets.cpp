#include "frontends/qt/TemplateWidgets.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>

#include "frontends/qt/AppIcon.h"

namespace frontends::qt {

namespace {

constexpr int kIconPixels = 32;  // the window system's standard icon size

QWidget* MakeEdit(QWidget& parent) {
  auto* edit = new QLineEdit(&parent);
  edit->setReadOnly(true);
  edit->setFocusPolicy(Qt::StrongFocus);
  return edit;
}

QWidget* MakeProgress(QWidget& parent) {
  auto* bar = new QProgressBar(&parent);
  bar->setTextVisible(false);
  bar->setRange(0, 100);
  bar->setValue(0);
  return bar;
}

// No button of these dialogs takes Enter unless it is the default button:
// Enter in the main dialog must do nothing.
QWidget* MakeButton(QWidget& parent, const char* text, bool isDefault) {
  auto* button = new QPushButton(QString::fromUtf8(text), &parent);
  button->setAutoDefault(isDefault);
  button->setDefault(isDefault);
  button->setFocusPolicy(Qt::StrongFocus);
  return button;
}

QWidget* MakeStatic(QWidget& parent, const char* text, Qt::Alignment alignment) {
  auto* label = new QLabel(QString::fromUtf8(text), &parent);
  label->setTextFormat(Qt::PlainText);
  label->setAlignment(alignment);
  return label;
}

QWidget* MakeIcon(QWidget& parent) {
  auto* label = new QLabel(&parent);
  label->setPixmap(AppIcon().pixmap(kIconPixels));
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  return label;
}

QWidget* MakeNotice(QWidget& parent) {
  auto* notice = new QPlainTextEdit(&parent);
  notice->setUndoRedoEnabled(false);
  notice->setTabChangesFocus(true);
  notice->setFocusPolicy(Qt::StrongFocus);
  return notice;
}

QWidget* MakeControl(const ControlTemplate& control, QWidget& parent) {
  switch (control.kind) {
    case ControlKind::kEdit: return MakeEdit(parent);
    case ControlKind::kProgress: return MakeProgress(parent);
    case ControlKind::kButton: return MakeButton(parent, control.text, false);
    case ControlKind::kDefaultButton: return MakeButton(parent, control.text, true);
    case ControlKind::kStatic: return MakeStatic(parent, control.text, Qt::AlignLeft | Qt::AlignVCenter);
    case ControlKind::kStaticCentred: return MakeStatic(parent, control.text, Qt::AlignCenter);
    case ControlKind::kIcon: return MakeIcon(parent);
    case ControlKind::kNotice: return MakeNotice(parent);
  }
  return nullptr;
}

}  // namespace

std::map<int, QWidget*> BuildControls(const DialogTemplate& dialog, QWidget& client) {
  client.setFont(DialogFont(dialog));
  const DialogUnits units(client.font());
  client.setFixedSize(units.ToPixelsX(dialog.width), units.ToPixelsY(dialog.height));
  std::map<int, QWidget*> controls;
  for (const ControlTemplate& control : dialog.controls) {
    QWidget* widget = MakeControl(control, client);
    widget->setGeometry(units.ToPixels(control.units));
    if (control.kind == ControlKind::kIcon) widget->resize(kIconPixels, kIconPixels);
    if (control.id != kNoControlId) controls[control.id] = widget;
  }
  return controls;
}

}  // namespace frontends::qt
