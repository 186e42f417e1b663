#include "frontends/headless/HeadlessWindow.h"

namespace platform {

HeadlessWindow::~HeadlessWindow() { Close(); }

void HeadlessWindow::PumpUntil(const std::function<bool()>& done) {
  while (!done()) {
    if (!PumpOne(true)) return;  // closed
  }
}

}  // namespace platform
