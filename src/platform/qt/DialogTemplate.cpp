#include "platform/qt/DialogTemplate.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <cmath>

#include "download/DownloadMessages.h"
#include "ui/AboutDlg.h"
#include "ui/Resource.h"

namespace platform::qt {

const DialogTemplate& MainDialogTemplate() {
  static const DialogTemplate dialog{
      kDialogCaption,
      337,
      89,
      8,
      {
          {IDC_EDIT_PATH, ControlKind::kEdit, "", QRect(5, 6, 274, 14)},
          {IDC_PROGRESS, ControlKind::kProgress, "", QRect(5, 27, 274, 16)},
          {IDC_BTN_BROWSE, ControlKind::kButton, "Browser", QRect(284, 5, 48, 16)},
          {IDC_BTN_START, ControlKind::kButton, "Start", QRect(284, 27, 48, 16)},
          {IDC_BTN_GET_VERSION, ControlKind::kButton, "Get Version", QRect(5, 49, 53, 16)},
          {IDC_STATUS_LABEL, ControlKind::kStatic, "Status:", QRect(8, 73, 28, 9)},
          {IDC_STATUS, ControlKind::kStatic, "N/A", QRect(41, 73, 222, 9)},
          {IDC_VERSION, ControlKind::kStatic, "N/A", QRect(66, 53, 189, 9)},
          {IDC_RESULT, ControlKind::kStaticCentred, "N/A", QRect(285, 57, 47, 22)},
      }};
  return dialog;
}

const DialogTemplate& AboutBoxTemplate() {
  static const DialogTemplate dialog{
      CAboutDlg::kCaption,
      293,
      98,
      8,
      {
          {kNoId, ControlKind::kIcon, "", QRect(11, 17, 21, 20)},
          {kNoId, ControlKind::kStatic, CAboutDlg::kVersionText, QRect(40, 10, 119, 8)},
          {IDOK, ControlKind::kDefaultButton, "OK", QRect(236, 7, 50, 16)},
          {IDC_EDIT_NOTICE, ControlKind::kNotice, "", QRect(37, 26, 249, 63)},
      }};
  return dialog;
}

namespace {

// The window system's average character width: the width of the 52 letters,
// halved per letter pair and rounded up.
int AverageCharWidth(const QFontMetrics& metrics) {
  const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  return (metrics.horizontalAdvance(letters) / 26 + 1) / 2;
}

// a * b / c rounded half away from zero, as the window system's MulDiv.
int MulDiv(int a, int b, int c) {
  return static_cast<int>(std::lround(static_cast<double>(a) * b / c));
}

}  // namespace

DialogUnits::DialogUnits(const QFont& font) {
  const QFontMetrics metrics(font);
  baseWidth_ = AverageCharWidth(metrics);
  baseHeight_ = metrics.height();
}

int DialogUnits::ToPixelsX(int units) const { return MulDiv(units, baseWidth_, 4); }
int DialogUnits::ToPixelsY(int units) const { return MulDiv(units, baseHeight_, 8); }

QRect DialogUnits::ToPixels(const QRect& units) const {
  return QRect(ToPixelsX(units.x()), ToPixelsY(units.y()), ToPixelsX(units.width()), ToPixelsY(units.height()));
}

QFont DialogFont(const DialogTemplate& dialog) {
  QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
  font.setPointSizeF(dialog.fontPoints);
  return font;
}

}  // namespace platform::qt
