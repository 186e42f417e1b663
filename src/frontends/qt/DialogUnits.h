#pragma once
// Dialog units to pixels. Dialog units follow the dialog's font, so a
// template's layout keeps its proportions at any font size and screen scale.

#include <QFont>
#include <QRect>

#include "ui/DialogTemplates.h"

namespace frontends::qt {

// Dialog units to pixels for one font, rounded as the window system rounds:
// a horizontal unit is a quarter of the font's average character width, a
// vertical unit an eighth of its height.
class DialogUnits {
 public:
  explicit DialogUnits(const QFont& font);
  DialogUnits(int baseWidth, int baseHeight) : baseWidth_(baseWidth), baseHeight_(baseHeight) {}
  int ToPixelsX(int units) const;
  int ToPixelsY(int units) const;
  QRect ToPixels(const UnitRect& units) const;
  int BaseWidth() const { return baseWidth_; }
  int BaseHeight() const { return baseHeight_; }

 private:
  int baseWidth_;
  int baseHeight_;
};

// The dialogs' font: the desktop's general font family at the template's size.
QFont DialogFont(const DialogTemplate& dialog);

}  // namespace frontends::qt
