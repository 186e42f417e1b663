#include "frontends/headless/HeadlessWindow.h"

namespace frontends::headless {

HeadlessWindow::~HeadlessWindow() { Close(); }

void HeadlessWindow::PumpUntil(const std::function<bool()>& done) {
  while (!done()) {
    if (!PumpOne(true)) return;  // closed
  }
}

}  // namespace frontends::headless
