#pragma once
// A window without a screen: its thread is whichever thread created it (a
// test's, or the command-line tool's), and that thread serves the window by
// pumping its queue. Sends from other threads wait until they are handled.

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/Window.h"

namespace platform {

class HeadlessWindow final : public IWindow {
 public:
  HeadlessWindow();
  ~HeadlessWindow() override;
  HeadlessWindow(const HeadlessWindow&) = delete;
  HeadlessWindow& operator=(const HeadlessWindow&) = delete;

  void SetHandler(IWindowHandler* handler) override;
  intptr_t Send(uint32_t message, uintptr_t wParam, intptr_t lParam) override;
  bool Post(uint32_t message, uintptr_t wParam, intptr_t lParam) override;
  bool PostTask(std::function<void()> task) override;
  bool IsWindowThread() const override;

  // On the window's thread: handles one queued item, waiting for one when
  // `wait` is set; false when nothing was handled.
  bool PumpOne(bool wait);
  // On the window's thread: handles items until `done` holds (checked before
  // each wait and after each item).
  void PumpUntil(const std::function<bool()>& done);
  // Handles what is queued now, without waiting.
  void PumpPending();
  void Close() override;

  // The longest a sender waited for its message to be handled, and the
  // longest the window's thread spent handling one item.
  std::chrono::nanoseconds LongestSendWait() const;
  std::chrono::nanoseconds LongestHandling() const;

 private:
  struct Item;
  bool Enqueue(const std::shared_ptr<Item>& item);
  void Handle(Item& item);

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
