#pragma once
// The window templates of the main dialog (102) and the about box (100), as a
// resource script holds them: controls with their ids, kinds, initial texts
// and places in dialog units. Every desktop view builds its window from them.

#include <vector>

enum class ControlKind {
  kEdit,  // single line, read-only, scrolls horizontally
  kProgress,
  kButton,
  kDefaultButton,
  kStatic,         // left-aligned text
  kStaticCentred,  // centred both ways
  kIcon,
  kNotice,  // multi-line, read-only
};

constexpr int kNoControlId = -1;

// A place in dialog units, which follow the dialog's font.
struct UnitRect {
  int x = 0, y = 0, width = 0, height = 0;
};

struct ControlTemplate {
  int id = kNoControlId;
  ControlKind kind = ControlKind::kStatic;
  const char* text = "";
  UnitRect units;
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
