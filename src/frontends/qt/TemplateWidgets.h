#pragma once
// Widgets made from a window template: each control at its place, in the
// dialog's font, in template order (which is also the tab order).

#include <QWidget>
#include <map>

#include "frontends/qt/DialogUnits.h"

namespace frontends::qt {

// Fills `client` with the template's controls and fixes its size to the
// template's; returns the controls that have an id.
std::map<int, QWidget*> BuildControls(const DialogTemplate& dialog, QWidget& client);

}  // namespace frontends::qt
