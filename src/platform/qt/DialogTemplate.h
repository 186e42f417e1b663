#pragma once
// The window templates of the main dialog (102) and the about box (100), as a
// resource script holds them: controls with their ids, kinds, initial texts
// and places in dialog units. Dialog units follow the dialog's font, so the
// layout keeps its proportions at any font size and any screen scale.

#include <QFont>
#include <QRect>
#include <vector>

namespace platform::qt {

enum class ControlKind {
  kEdit,           // single line, read-only, scrolls horizontally
  kProgress,
  kButton,
  kDefaultButton,
  kStatic,         // left-aligned text
  kStaticCentred,  // centred both ways
  kIcon,
  kNotice,         // multi-line, read-only
};

constexpr int kNoId = -1;

struct ControlTemplate {
  int id = kNoId;
  ControlKind kind = ControlKind::kStatic;
  const char* text = "";
  QRect units;  // x, y, width, height in dialog units
};

struct DialogTemplate {
  const char* caption = "";
  int width = 0;  // dialog units
  int height = 0;
  double fontPoints = 8;
  std::vector<ControlTemplate> controls;
};

const DialogTemplate& MainDialogTemplate();
const DialogTemplate& AboutBoxTemplate();

// Dialog units to pixels for one font, rounded as the window system rounds:
// a horizontal unit is a quarter of the font's average character width, a
// vertical unit an eighth of its height.
class DialogUnits {
 public:
  explicit DialogUnits(const QFont& font);
  DialogUnits(int baseWidth, int baseHeight) : baseWidth_(baseWidth), baseHeight_(baseHeight) {}
  int ToPixelsX(int units) const;
  int ToPixelsY(int units) const;
  QRect ToPixels(const QRect& units) const;
  int BaseWidth() const { return baseWidth_; }
  int BaseHeight() const { return baseHeight_; }

 private:
  int baseWidth_;
  int baseHeight_;
};

// The dialogs' font: the desktop's general font family at the template's size.
QFont DialogFont(const DialogTemplate& dialog);

}  // namespace platform::qt
