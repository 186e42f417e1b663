#pragma once
// The window seam on Win32: the window's thread is the thread that runs the
// dialog's message loop. An item queued from another thread posts a private
// message to the dialog's window, and the dialog's window procedure handles
// the queue when that message arrives; any message loop of the thread
// (a message box's, the about box's) dispatches it, so a worker's
// synchronous send is served while such a box is open.

#include <windows.h>

#include <atomic>
#include <cstdint>

#include "platform/WindowQueue.h"

namespace frontends::win32 {

class Win32Window final : public platform::WindowQueue {
 public:
  // Made on the thread that will run the dialog's message loop.
  Win32Window() = default;
  ~Win32Window() override;
  Win32Window(const Win32Window&) = delete;
  Win32Window& operator=(const Win32Window&) = delete;

  // The window that wake-ups are posted to; null stops them. Items queued
  // before a window was attached are announced to it at once.
  void Attach(HWND dialog);

  // The private message a wake-up posts; the window procedure answers it
  // with HandlePending.
  static uint32_t WakeMessage();

 protected:
  void WakeWindowThread() override;

 private:
  std::atomic<HWND> dialog_{nullptr};
};

}  // namespace frontends::win32
