#include "frontends/qt/QtWindow.h"

#include <QMetaObject>

namespace platform {

struct QtWindow::Item {
  uint32_t message = 0;
  uintptr_t wParam = 0;
  intptr_t lParam = 0;
  std::function<void()> task;
  bool handled = false;
  intptr_t result = 0;
};

QtWindow::QtWindow() : windowThread_(std::this_thread::get_id()) {}

QtWindow::~QtWindow() { Close(); }

void QtWindow::SetHandler(IWindowHandler* handler) {
  std::lock_guard<std::mutex> lock(mutex_);
  handler_ = handler;
}

IWindowHandler* QtWindow::CurrentHandler() {
  std::lock_guard<std::mutex> lock(mutex_);
  return closed_ ? nullptr : handler_;
}

bool QtWindow::IsWindowThread() const { return std::this_thread::get_id() == windowThread_; }

bool QtWindow::IsClosed() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return closed_;
}

size_t QtWindow::QueuedCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return queue_.size();
}

bool QtWindow::Enqueue(const std::shared_ptr<Item>& item) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (closed_) return false;
  queue_.push_back(item);
  // Queued to this object's thread, the main thread. Done under the lock so
  // that a window closed and destroyed meanwhile is never called.
  QMetaObject::invokeMethod(this, [this] { HandleQueued(); }, Qt::QueuedConnection);
  return true;
}

intptr_t QtWindow::Send(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  if (IsWindowThread()) {
    IWindowHandler* handler = CurrentHandler();
    return handler ? handler->HandleMessage(message, wParam, lParam) : 0;
  }
  auto item = std::make_shared<Item>();
  item->message = message;
  item->wParam = wParam;
  item->lParam = lParam;
  if (!Enqueue(item)) return 0;
  std::unique_lock<std::mutex> lock(mutex_);
  handled_.wait(lock, [&] { return item->handled || closed_; });
  return item->handled ? item->result : 0;
}

bool QtWindow::Post(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  auto item = std::make_shared<Item>();
  item->message = message;
  item->wParam = wParam;
  item->lParam = lParam;
  return Enqueue(item);
}

bool QtWindow::PostTask(std::function<void()> task) {
  auto item = std::make_shared<Item>();
  item->task = std::move(task);
  return Enqueue(item);
}

void QtWindow::HandleQueued() {
  while (true) {
    std::shared_ptr<Item> item;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (closed_ || queue_.empty()) return;
      item = queue_.front();
      queue_.pop_front();
    }
    Handle(*item);
  }
}

void QtWindow::Handle(Item& item) {
  intptr_t result = 0;
  if (item.task) {
    item.task();
  } else if (IWindowHandler* handler = CurrentHandler()) {
    result = handler->HandleMessage(item.message, item.wParam, item.lParam);
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    item.result = result;
    item.handled = true;
  }
  handled_.notify_all();
}

void QtWindow::Close() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    closed_ = true;
    queue_.clear();
  }
  handled_.notify_all();
}

}  // namespace platform
