#include "frontends/qt/QtDialogView.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>

#include "frontends/qt/AppIcon.h"
#include "frontends/qt/DialogUnits.h"
#include "frontends/qt/QtAboutBox.h"
#include "frontends/qt/TemplateWidgets.h"
#include "platform/WindowMessages.h"
#include "ui/Resource.h"

namespace frontends::qt {

namespace msg = platform::msg;

// The top-level window. Keys and the close box become the dialog's commands;
// the window never closes by itself.
class DialogWindow final : public QDialog {
 public:
  explicit DialogWindow(QtDialogView& view) : view_(view) {}

  void accept() override { view_.Forward(msg::kCommand, msg::kIdOk); }
  void reject() override { view_.Forward(msg::kCommand, msg::kIdCancel); }

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    switch (event->key()) {
      case Qt::Key_Escape: view_.Forward(msg::kCommand, msg::kIdCancel); return;
      case Qt::Key_Return:
      case Qt::Key_Enter: view_.Forward(msg::kCommand, msg::kIdOk); return;
      default: QDialog::keyPressEvent(event);
    }
  }

  void closeEvent(QCloseEvent* event) override {
    // The dialog hides the window through CloseDialog when it agrees.
    event->ignore();
    if (!view_.Closed()) view_.Forward(msg::kClose, 0);
  }

  void dragEnterEvent(QDragEnterEvent* event) override {
    if (view_.DroppedFile(event->mimeData())) event->acceptProposedAction();
  }

  void dropEvent(QDropEvent* event) override {
    const std::optional<std::string> file = view_.DroppedFile(event->mimeData());
    if (!file) return;
    event->acceptProposedAction();
    // The choice may show a message box: not while the drag's source still
    // waits for the drop to end. Whether a choice is allowed is asked again
    // then.
    QTimer::singleShot(0, this, [this, path = *file] {
      if (view_.DroppedFile(path)) view_.ChooseFile(path);
    });
  }

 private:
  QtDialogView& view_;
};

namespace {

constexpr uint32_t MakeCommand(int controlId, uint32_t notification) {
  return static_cast<uint32_t>(controlId) | notification << 16;
}

QString FromUtf8(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString ShownText(QWidget* control) {
  if (auto* edit = qobject_cast<QLineEdit*>(control)) return edit->text();
  if (auto* label = qobject_cast<QLabel*>(control)) return label->text();
  if (auto* button = qobject_cast<QPushButton*>(control)) return button->text();
  return {};
}

}  // namespace

QtDialogView::QtDialogView(platform::IWindow& window)
    : window_(window), dialog_(std::make_unique<qt::DialogWindow>(*this)) {
  // The dialog decides when the program ends; a message box closing while
  // the main window is still hidden must not end it.
  QApplication::setQuitOnLastWindowClosed(false);
  const DialogTemplate& dialog = MainDialogTemplate();
  dialog_->setWindowTitle(QString::fromUtf8(dialog.caption));
  dialog_->setWindowIcon(qt::AppIcon());
  // Caption, close box and window menu; no minimise or maximise box.
  dialog_->setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint);
  auto* client = new QWidget(dialog_.get());
  controls_ = qt::BuildControls(dialog, *client);
  auto* layout = new QVBoxLayout(dialog_.get());
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(client);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  for (const auto& [id, widget] : controls_) {
    if (auto* button = qobject_cast<QPushButton*>(widget)) {
      QObject::connect(button, &QPushButton::clicked,
                       [this, controlId = id] { Forward(msg::kCommand, MakeCommand(controlId, msg::kButtonClicked)); });
    }
  }
}

QtDialogView::~QtDialogView() = default;

void QtDialogView::Forward(uint32_t message, uintptr_t wParam) { window_.Send(message, wParam, 0); }

QWidget* QtDialogView::Window() const { return dialog_.get(); }

QWidget* QtDialogView::Control(int controlId) const {
  const auto found = controls_.find(controlId);
  return found == controls_.end() ? nullptr : found->second;
}

QProgressBar* QtDialogView::ProgressBar() const { return qobject_cast<QProgressBar*>(Control(IDC_PROGRESS)); }

std::string QtDialogView::TextOf(int controlId, QWidget* control) const {
  const QString shown = ShownText(control);
  const auto given = texts_.find(controlId);
  if (given != texts_.end() && FromUtf8(given->second) == shown) return given->second;
  return shown.toStdString();
}

void QtDialogView::SetText(int controlId, const std::string& text) {
  QWidget* control = Control(controlId);
  if (!control || TextOf(controlId, control) == text) return;
  const QString value = FromUtf8(text);
  const bool shownChanges = ShownText(control) != value;
  if (auto* edit = qobject_cast<QLineEdit*>(control)) {
    if (shownChanges) {
      edit->setText(value);
      // A long path shows its end: the file's name, not the folders above it.
      edit->setCursorPosition(static_cast<int>(value.size()));
    }
  } else if (auto* label = qobject_cast<QLabel*>(control)) {
    if (shownChanges) label->setText(value);
  } else if (auto* button = qobject_cast<QPushButton*>(control)) {
    if (shownChanges) button->setText(value);
  } else {
    return;
  }
  texts_[controlId] = text;
  if (textListener_) textListener_(controlId, text);
}

std::string QtDialogView::GetText(int controlId) {
  QWidget* control = Control(controlId);
  return control ? TextOf(controlId, control) : std::string();
}

void QtDialogView::Enable(int controlId, bool enabled) {
  QWidget* control = Control(controlId);
  if (!control) return;
  // A control that loses its focus by being disabled hands it on quietly;
  // left to itself the toolkit would tab on and select the whole path.
  if (!enabled && dialog_->focusWidget() == control) MoveFocusFrom(control);
  control->setEnabled(enabled);
}

void QtDialogView::MoveFocusFrom(QWidget* control) {
  for (const auto& [id, other] : controls_) {
    if (other == control || !other->isEnabled() || other->isHidden() || !(other->focusPolicy() & Qt::TabFocus))
      continue;
    other->setFocus(Qt::OtherFocusReason);
    return;
  }
}

void QtDialogView::Show(int controlId, bool shown) {
  if (QWidget* control = Control(controlId)) control->setVisible(shown);
}

void QtDialogView::SetProgressRange(int32_t low, int32_t high) {
  // An empty range would turn the bar into a busy indicator; it stays an
  // empty bar instead. The position stays, held inside the new range.
  progressLow_ = low;
  progressHigh_ = std::max(low, high);
  QProgressBar* bar = ProgressBar();
  const int position = bar->value();
  bar->setRange(low, std::max(high, low + 1));
  SetProgressPos(position);
}

void QtDialogView::SetProgressPos(int32_t position) {
  // The window system holds a position inside the range; the bar here would
  // ignore it instead.
  ProgressBar()->setValue(std::clamp(position, progressLow_, progressHigh_));
}

void QtDialogView::SetTextColour(int controlId, platform::Rgb colour) {
  QWidget* control = Control(controlId);
  if (!control) return;
  QPalette palette = control->palette();
  palette.setColor(QPalette::WindowText, QColor(colour.red, colour.green, colour.blue));
  control->setPalette(palette);
}

void QtDialogView::SetFont(int controlId, int pixelHeight, int weight) {
  QWidget* control = Control(controlId);
  if (!control) return;
  QFont font = control->font();
  font.setPixelSize(pixelHeight);
  font.setWeight(static_cast<QFont::Weight>(std::clamp(weight, 1, 1000)));
  control->setFont(font);
}

void QtDialogView::RunModalBox(QDialog& box) {
  if (closed_) return;  // the window has ended: nothing more to ask
  runningBoxes_.push_back(&box);
  if (modalHook_)
    modalHook_(box);
  else
    box.exec();
  runningBoxes_.pop_back();
}

void QtDialogView::ShowMessageBox(const std::string& text) {
  // The application's name is the caption, as with every box of the dialog.
  QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8(MainDialogTemplate().caption), FromUtf8(text), QMessageBox::Ok,
                  dialog_.get());
  box.setTextFormat(Qt::PlainText);
  RunModalBox(box);
}

bool QtDialogView::AskYesNo(const std::string& text) {
  QMessageBox box(QMessageBox::Warning, QString::fromUtf8(MainDialogTemplate().caption), FromUtf8(text),
                  QMessageBox::Yes | QMessageBox::No, dialog_.get());
  box.setDefaultButton(QMessageBox::No);
  box.setTextFormat(Qt::PlainText);
  RunModalBox(box);
  return box.result() == QMessageBox::Yes;
}

std::string QtDialogView::GetTitle() { return dialog_->windowTitle().toStdString(); }

void QtDialogView::SetTitle(const std::string& title) { dialog_->setWindowTitle(FromUtf8(title)); }

bool QtDialogView::AddAboutMenuEntry(uint32_t commandId, const std::string& text) {
  // A desktop on Linux offers no window menu to extend: the entry goes where
  // people look for it, the Help menu of a menu bar.
  if (!menuBar_) {
    menuBar_ = new QMenuBar(dialog_.get());
    dialog_->layout()->setMenuBar(menuBar_);
  }
  if (!helpMenu_) helpMenu_ = menuBar_->addMenu(QObject::tr("&Help"));
  aboutAction_ = helpMenu_->addAction(FromUtf8(text));
  QObject::connect(aboutAction_, &QAction::triggered, [this, commandId] { Forward(msg::kSysCommand, commandId); });
  return true;
}

void QtDialogView::RunAboutBox(platform::IAboutDialog& about) {
  qt::AboutBox box(dialog_.get());
  qt::QtAboutView notice(box.Notice());
  about.OnInitDialog(notice);
  RunModalBox(box);
}

QStringList FileDialogFilters(const std::string& filter) {
  QStringList parts = FromUtf8(filter).split(QLatin1Char('|'));
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    const QString& name = parts[i];
    const QString& pattern = parts[i + 1];
    if (name.isEmpty()) break;
    // "Firmware(*.bin)" already names its pattern in the form the file
    // dialog reads.
    const QString named = QLatin1Char('(') + pattern + QLatin1Char(')');
    filters << (name.endsWith(named) ? name : name + QLatin1Char(' ') + named);
  }
  return filters;
}

uint16_t ExtensionOffset(const std::string& path) {
  const size_t nameStart = path.find_last_of('/') == std::string::npos ? 0 : path.find_last_of('/') + 1;
  const size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || dot < nameStart) return static_cast<uint16_t>(path.size());
  if (dot + 1 == path.size()) return 0;
  return static_cast<uint16_t>(dot + 1);
}

bool QtDialogView::RunOpenFileDialog(const platform::OpenFileRequest& request, platform::OpenFileResult* result) {
  if (chosenFile_) {
    // The file was chosen already, on the command line or by a drop: the
    // dialog would hand it back as it was given, with its one filter.
    result->path = *chosenFile_;
    result->extensionOffset = ExtensionOffset(result->path);
    result->filterIndex = request.filterIndex;
    chosenFile_.reset();
    return true;
  }
  QFileDialog dialog(dialog_.get());
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  // No "file must exist" flag: a typed name is taken as it is.
  dialog.setFileMode(QFileDialog::AnyFile);
  const QStringList filters = FileDialogFilters(request.filter);
  dialog.setNameFilters(filters);
  if (request.filterIndex >= 1 && request.filterIndex <= filters.size())
    dialog.selectNameFilter(filters[request.filterIndex - 1]);
  RunModalBox(dialog);
  if (dialog.result() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
  // The file system's own encoding of the name, as the dialog decoded it.
  result->path = QFile::encodeName(dialog.selectedFiles().front()).toStdString();
  result->extensionOffset = ExtensionOffset(result->path);
  result->filterIndex = static_cast<int>(filters.indexOf(dialog.selectedNameFilter())) + 1;
  return true;
}

void QtDialogView::ChooseFile(const std::string& path) {
  chosenFile_ = path;
  Forward(msg::kCommand, MakeCommand(IDC_BTN_BROWSE, msg::kButtonClicked));
  chosenFile_.reset();
}

void QtDialogView::AcceptFileDrops(std::function<bool()> mayChoose) {
  mayChooseDropped_ = std::move(mayChoose);
  dialog_->setAcceptDrops(static_cast<bool>(mayChooseDropped_));
}

std::optional<std::string> QtDialogView::DroppedFile(const QMimeData* data) const {
  if (!data || !data->hasUrls() || data->urls().size() != 1 || !data->urls().front().isLocalFile()) return std::nullopt;
  // The file system's own encoding of the name, as with the file dialog.
  return DroppedFile(QFile::encodeName(data->urls().front().toLocalFile()).toStdString());
}

std::optional<std::string> QtDialogView::DroppedFile(const std::string& path) const {
  // Named as the open-file dialog's one filter names it; the host's file
  // search matches the extension without regard to case, and so does this.
  const std::string extension = path.size() > 4 ? path.substr(path.size() - 4) : std::string();
  const bool named = QString::fromLatin1(extension.data(), static_cast<qsizetype>(extension.size()))
                         .compare(QLatin1String(".bin"), Qt::CaseInsensitive) == 0;
  if (!named || closed_ || !runningBoxes_.empty() || !mayChooseDropped_ || !mayChooseDropped_()) return std::nullopt;
  return path;
}

void QtDialogView::EndNow() {
  // Innermost first: each box's loop ends, and with the last the window's.
  for (auto box = runningBoxes_.rbegin(); box != runningBoxes_.rend(); ++box) (*box)->done(QDialog::Rejected);
  CloseDialog();
}

void QtDialogView::CloseDialog() {
  closed_ = true;
  dialog_->hide();
  if (modalLoop_) modalLoop_->quit();
}

void QtDialogView::RunModal() {
  if (closed_) return;
  dialog_->show();
  dialog_->raise();
  dialog_->activateWindow();
  QEventLoop loop;
  modalLoop_ = &loop;
  loop.exec();
  modalLoop_ = nullptr;
}

}  // namespace frontends::qt
