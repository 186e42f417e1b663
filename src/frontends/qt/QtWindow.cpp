#include "frontends/qt/QtWindow.h"

#include <QMetaObject>

namespace frontends::qt {

// Closed before the queue goes, so that no sender wakes a window half torn down.
QtWindow::~QtWindow() { Close(); }

void QtWindow::WakeWindowThread() {
  // Queued to this object's thread, the main thread; a call still pending
  // when the window is destroyed is dropped with it.
  QMetaObject::invokeMethod(
      this, [this] { HandlePending(); }, Qt::QueuedConnection);
}

}  // namespace frontends::qt
