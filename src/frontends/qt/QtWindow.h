#pragma once
// The window seam on Qt: the window's thread is the Qt main thread. Messages
// from other threads wait in this window's own queue, and the main thread is
// woken to handle them; a sender blocks until its message is handled. Keeping
// the queue ourselves (rather than a blocking queued connection) is what lets
// Close release a waiting sender: the dialog's closing joins the download
// thread while that thread may be waiting in a send.

#include <QObject>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/Window.h"

namespace platform {

class QtWindow final : public QObject, public IWindow {
 public:
  // Made on the Qt main thread, which then serves the window.
  QtWindow();
  ~QtWindow() override;
  QtWindow(const QtWindow&) = delete;
  QtWindow& operator=(const QtWindow&) = delete;

  void SetHandler(IWindowHandler* handler) override;
  intptr_t Send(uint32_t message, uintptr_t wParam, intptr_t lParam) override;
  bool Post(uint32_t message, uintptr_t wParam, intptr_t lParam) override;
  bool PostTask(std::function<void()> task) override;
  bool IsWindowThread() const override;
  void Close() override;
  bool IsClosed() const;
  // Messages waiting for the main thread (tests wait for a sender with it).
  size_t QueuedCount() const;

 private:
  struct Item;
  bool Enqueue(const std::shared_ptr<Item>& item);
  // On the main thread: handles what is queued, one item at a time, so that
  // a modal loop opened by a handler goes on serving the queue.
  void HandleQueued();
  void Handle(Item& item);
  IWindowHandler* CurrentHandler();

  const std::thread::id windowThread_;
  mutable std::mutex mutex_;
  std::condition_variable handled_;
  std::deque<std::shared_ptr<Item>> queue_;
  IWindowHandler* handler_ = nullptr;
  bool closed_ = false;
};

}  // namespace platform
