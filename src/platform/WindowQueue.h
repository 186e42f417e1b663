#pragma once
// The message queue behind every window: sends from other threads wait in it
// until the window's thread has handled them, posts and tasks wait their
// turn, and closing releases every waiting sender. A window adds only the
// way its thread is woken when an item arrives.

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/Window.h"

namespace platform {

class WindowQueue : public IWindow {
 public:
  // The thread that makes the window is the window's thread.
  WindowQueue();
  // A window calls Close in its own destructor, before its wake-up goes.
  ~WindowQueue() override;
  WindowQueue(const WindowQueue&) = delete;
  WindowQueue& operator=(const WindowQueue&) = delete;

  void SetHandler(IWindowHandler* handler) override;
  intptr_t Send(uint32_t message, uintptr_t wParam, intptr_t lParam) override;
  bool Post(uint32_t message, uintptr_t wParam, intptr_t lParam) override;
  bool PostTask(std::function<void()> task) override;
  bool IsWindowThread() const override;
  void Close() override;

  bool IsClosed() const;
  // Items waiting for the window's thread.
  size_t QueuedCount() const;

  // On the window's thread: handles one queued item, waiting for one when
  // `wait` is set; false when nothing was handled (empty or closed).
  bool HandleOne(bool wait);
  // On the window's thread: handles what is queued, one item at a time, so
  // that a modal loop opened by a handler goes on serving the queue.
  void HandlePending();

  // The longest a sender waited for its message to be handled, and the
  // longest the window's thread spent handling one item.
  std::chrono::nanoseconds LongestSendWait() const;
  std::chrono::nanoseconds LongestHandling() const;

 protected:
  // Called with the queue's lock held each time an item is queued, so that
  // a window closed and destroyed meanwhile is never woken. Must not call
  // back into the queue.
  virtual void WakeWindowThread() = 0;

 private:
  struct Item;
  bool Enqueue(const std::shared_ptr<Item>& item);
  void Handle(Item& item);
  IWindowHandler* CurrentHandler() const;

  const std::thread::id windowThread_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::shared_ptr<Item>> queue_;
  IWindowHandler* handler_ = nullptr;
  bool closed_ = false;
  std::chrono::nanoseconds longestSendWait_{0};
  std::chrono::nanoseconds longestHandling_{0};
};

}  // namespace platform
