#pragma once
// The window seam on Qt: the window's thread is the Qt main thread. Messages
// from other threads wait in the window's own queue, and the main thread is
// woken to handle them; a sender blocks until its message is handled. Keeping
// the queue ourselves (rather than a blocking queued connection) is what lets
// Close release a waiting sender: the dialog's closing joins the download
// thread while that thread may be waiting in a send.

#include <QObject>

#include "platform/WindowQueue.h"

namespace frontends::qt {

class QtWindow final : public QObject, public platform::WindowQueue {
 public:
  // Made on the Qt main thread, which then serves the window.
  QtWindow() = default;
  ~QtWindow() override;
  QtWindow(const QtWindow&) = delete;
  QtWindow& operator=(const QtWindow&) = delete;

 protected:
  void WakeWindowThread() override;
};

}  // namespace frontends::qt
