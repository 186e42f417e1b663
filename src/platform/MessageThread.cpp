#include "platform/MessageThread.h"

namespace platform {

MessageThread::~MessageThread() {
  // Owners end the thread (quit, Join) while their own part still lives; this
  // is the last guard against a thread outliving its object.
  if (thread_.joinable()) {
    PostToThread(msg::kQuit, 0, 0);
    thread_.join();
  }
}

bool MessageThread::CreateThread() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (thread_.joinable()) return false;
  accepting_ = true;
  thread_ = std::thread([this] { Run(); });
  return true;
}

bool MessageThread::PostToThread(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!accepting_) return false;
    queue_.push_back({message, wParam, lParam});
  }
  arrived_.notify_one();
  return true;
}

int MessageThread::Join() {
  if (thread_.joinable()) thread_.join();
  return exitCode_;
}

bool MessageThread::IsIdle() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return queue_.empty() && !handling_;
}

void MessageThread::SetIdleListener(std::function<void()> listener) {
  std::lock_guard<std::mutex> lock(mutex_);
  idleListener_ = std::move(listener);
}

bool MessageThread::IsRunning() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return accepting_;
}

void MessageThread::Run() {
  if (InitInstance()) {
    while (true) {
      Message m{};
      {
        std::unique_lock<std::mutex> lock(mutex_);
        arrived_.wait(lock, [this] { return !queue_.empty(); });
        m = queue_.front();
        queue_.pop_front();
        handling_ = m.message != msg::kQuit;
      }
      if (m.message == msg::kQuit) {
        exitCode_ = static_cast<int>(m.wParam);
        break;
      }
      OnThreadMessage(m.message, m.wParam, m.lParam);
      std::function<void()> listener;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        handling_ = false;
        if (queue_.empty()) listener = idleListener_;
      }
      if (listener) listener();
    }
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    accepting_ = false;
    queue_.clear();
  }
  exitCode_ = ExitInstance();
}

}  // namespace platform
