#include "frontends/headless/HeadlessWindow.h"

namespace platform {

struct HeadlessWindow::Item {
  uint32_t message = 0;
  uintptr_t wParam = 0;
  intptr_t lParam = 0;
  std::function<void()> task;
  bool waited = false;  // a send: its sender waits for `handled`
  bool handled = false;
  intptr_t result = 0;
};

HeadlessWindow::HeadlessWindow() : windowThread_(std::this_thread::get_id()) {}

HeadlessWindow::~HeadlessWindow() { Close(); }

void HeadlessWindow::SetHandler(IWindowHandler* handler) {
  std::lock_guard<std::mutex> lock(mutex_);
  handler_ = handler;
}

bool HeadlessWindow::IsWindowThread() const { return std::this_thread::get_id() == windowThread_; }

bool HeadlessWindow::Enqueue(const std::shared_ptr<Item>& item) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (closed_) return false;
    queue_.push_back(item);
  }
  changed_.notify_all();
  return true;
}

intptr_t HeadlessWindow::Send(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  if (IsWindowThread()) {
    IWindowHandler* handler = nullptr;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (closed_) return 0;
      handler = handler_;
    }
    return handler ? handler->HandleMessage(message, wParam, lParam) : 0;
  }
  auto item = std::make_shared<Item>();
  item->message = message;
  item->wParam = wParam;
  item->lParam = lParam;
  item->waited = true;
  const auto start = std::chrono::steady_clock::now();
  if (!Enqueue(item)) return 0;
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [&] { return item->handled || closed_; });
  const auto waited = std::chrono::steady_clock::now() - start;
  if (waited > longestSendWait_) longestSendWait_ = waited;
  return item->handled ? item->result : 0;
}

bool HeadlessWindow::Post(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  auto item = std::make_shared<Item>();
  item->message = message;
  item->wParam = wParam;
  item->lParam = lParam;
  return Enqueue(item);
}

bool HeadlessWindow::PostTask(std::function<void()> task) {
  auto item = std::make_shared<Item>();
  item->task = std::move(task);
  return Enqueue(item);
}

void HeadlessWindow::Handle(Item& item) {
  const auto start = std::chrono::steady_clock::now();
  intptr_t result = 0;
  if (item.task) {
    item.task();
  } else {
    IWindowHandler* handler = nullptr;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      handler = handler_;
    }
    if (handler) result = handler->HandleMessage(item.message, item.wParam, item.lParam);
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

bool HeadlessWindow::PumpOne(bool wait) {
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

void HeadlessWindow::PumpUntil(const std::function<bool()>& done) {
  while (!done()) {
    if (!PumpOne(true)) return;  // closed
  }
}

void HeadlessWindow::PumpPending() {
  while (PumpOne(false)) {
  }
}

void HeadlessWindow::Close() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    closed_ = true;
    queue_.clear();
  }
  changed_.notify_all();
}

std::chrono::nanoseconds HeadlessWindow::LongestHandling() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return longestHandling_;
}

std::chrono::nanoseconds HeadlessWindow::LongestSendWait() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return longestSendWait_;
}

}  // namespace platform
