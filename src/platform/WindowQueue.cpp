#include "platform/WindowQueue.h"

namespace platform {

struct WindowQueue::Item {
  uint32_t message = 0;
  uintptr_t wParam = 0;
  intptr_t lParam = 0;
  std::function<void()> task;
  bool handled = false;
  intptr_t result = 0;
};

WindowQueue::WindowQueue() : windowThread_(std::this_thread::get_id()) {}

WindowQueue::~WindowQueue() { Close(); }

void WindowQueue::SetHandler(IWindowHandler* handler) {
  std::lock_guard<std::mutex> lock(mutex_);
  handler_ = handler;
}

IWindowHandler* WindowQueue::CurrentHandler() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return closed_ ? nullptr : handler_;
}

bool WindowQueue::IsWindowThread() const { return std::this_thread::get_id() == windowThread_; }

bool WindowQueue::IsClosed() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return closed_;
}

size_t WindowQueue::QueuedCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return queue_.size();
}

bool WindowQueue::Enqueue(const std::shared_ptr<Item>& item) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (closed_) return false;
    queue_.push_back(item);
    WakeWindowThread();
  }
  changed_.notify_all();
  return true;
}

intptr_t WindowQueue::Send(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  if (IsWindowThread()) {
    IWindowHandler* handler = CurrentHandler();
    return handler ? handler->HandleMessage(message, wParam, lParam) : 0;
  }
  auto item = std::make_shared<Item>();
  item->message = message;
  item->wParam = wParam;
  item->lParam = lParam;
  const auto start = std::chrono::steady_clock::now();
  if (!Enqueue(item)) return 0;
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [&] { return item->handled || closed_; });
  const auto waited = std::chrono::steady_clock::now() - start;
  if (waited > longestSendWait_) longestSendWait_ = waited;
  return item->handled ? item->result : 0;
}

bool WindowQueue::Post(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  auto item = std::make_shared<Item>();
  item->message = message;
  item->wParam = wParam;
  item->lParam = lParam;
  return Enqueue(item);
}

bool WindowQueue::PostTask(std::function<void()> task) {
  auto item = std::make_shared<Item>();
  item->task = std::move(task);
  return Enqueue(item);
}

void WindowQueue::Handle(Item& item) {
  const auto start = std::chrono::steady_clock::now();
  intptr_t result = 0;
  if (item.task) {
    item.task();
  } else if (IWindowHandler* handler = CurrentHandler()) {
    result = handler->HandleMessage(item.message, item.wParam, item.lParam);
  }
  const auto spent = std::chrono::steady_clock::now() - start;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    item.result = result;
    item.handled = true;
    if (spent > longestHandling_) longestHandling_ = spent;
  }
  changed_.notify_all();
}

bool WindowQueue::HandleOne(bool wait) {
  std::shared_ptr<Item> item;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    if (wait) changed_.wait(lock, [this] { return !queue_.empty() || closed_; });
    if (queue_.empty() || closed_) return false;
    item = queue_.front();
    queue_.pop_front();
  }
  Handle(*item);
  return true;
}

void WindowQueue::HandlePending() {
  while (HandleOne(false)) {
  }
}

void WindowQueue::Close() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    closed_ = true;
    queue_.clear();
  }
  changed_.notify_all();
}

std::chrono::nanoseconds WindowQueue::LongestSendWait() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return longestSendWait_;
}

std::chrono::nanoseconds WindowQueue::LongestHandling() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return longestHandling_;
}

}  // namespace platform
