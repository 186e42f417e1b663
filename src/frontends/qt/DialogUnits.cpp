#include "frontends/qt/DialogUnits.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <cmath>

namespace frontends::qt {

namespace {

// The window system's average character width: the width of the 52 letters,
// halved per letter pair and rounded up.
int AverageCharWidth(const QFontMetrics& metrics) {
  const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  return (metrics.horizontalAdvance(letters) / 26 + 1) / 2;
}

// a * b / c rounded half away from zero, as the window system's MulDiv.
int MulDiv(int a, int b, int c) { return static_cast<int>(std::lround(static_cast<double>(a) * b / c)); }

}  // namespace

DialogUnits::DialogUnits(const QFont& font) {
  const QFontMetrics metrics(font);
  baseWidth_ = AverageCharWidth(metrics);
  baseHeight_ = metrics.height();
}

int DialogUnits::ToPixelsX(int units) const { return MulDiv(units, baseWidth_, 4); }
int DialogUnits::ToPixelsY(int units) const { return MulDiv(units, baseHeight_, 8); }

QRect DialogUnits::ToPixels(const UnitRect& units) const {
  return QRect(ToPixelsX(units.x), ToPixelsY(units.y), ToPixelsX(units.width), ToPixelsY(units.height));
}

QFont DialogFont(const DialogTemplate& dialog) {
  QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
  font.setPointSizeF(dialog.fontPoints);
  return font;
}

}  // namespace frontends::qt
