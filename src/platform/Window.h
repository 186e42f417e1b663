#pragma once
// The window seam: messages to a window that is served by one thread (the
// window's thread). A send from another thread blocks until the window's
// thread has handled the message, as a synchronous window-message send does;
// a post returns at once. Every window is built on WindowQueue
// (platform/WindowQueue.h) and adds only the way its thread is woken.

#include <cstdint>
#include <functional>

namespace platform {

class IWindowHandler {
 public:
  virtual ~IWindowHandler() = default;
  virtual intptr_t HandleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) = 0;
};

class IWindow {
 public:
  virtual ~IWindow() = default;
  // The handler that the window's thread calls for every message.
  virtual void SetHandler(IWindowHandler* handler) = 0;
  // Handled on the window's thread; the caller waits for the result. From
  // the window's own thread the handler runs at once.
  virtual intptr_t Send(uint32_t message, uintptr_t wParam, intptr_t lParam) = 0;
  // Queued for the window's thread; false when the window can't take it.
  virtual bool Post(uint32_t message, uintptr_t wParam, intptr_t lParam) = 0;
  // Runs `task` on the window's thread later (device notifications arrive so).
  virtual bool PostTask(std::function<void()> task) = 0;
  // True on the thread that serves the window.
  virtual bool IsWindowThread() const = 0;
  // The window goes away: nothing more is handled, and senders that wait are
  // released with the result 0.
  virtual void Close() = 0;
};

}  // namespace platform
