#pragma once
// A worker thread with its own message queue: thread messages are posted to
// it and handled one at a time, in order, until the quit message arrives.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "platform/WindowMessages.h"

namespace platform {

class MessageThread {
 public:
  MessageThread() = default;
  virtual ~MessageThread();
  MessageThread(const MessageThread&) = delete;
  MessageThread& operator=(const MessageThread&) = delete;

  // Starts the thread; it runs InitInstance, then its message loop.
  bool CreateThread();
  // Queues a message; false when the thread is not running.
  bool PostToThread(uint32_t message, uintptr_t wParam, intptr_t lParam);
  // Waits without limit until the thread has ended; the exit code of its
  // last message (the quit message's wParam) is returned.
  int Join();
  bool IsRunning() const;
  // True when no message waits and none is being handled.
  bool IsIdle() const;
  // Called on the thread each time it falls idle (tests and tools use it to
  // learn that a job has ended).
  void SetIdleListener(std::function<void()> listener);

 protected:
  // On the new thread, before the loop; false ends the thread at once.
  virtual bool InitInstance() { return true; }
  // On the thread, after the loop; returns the exit code.
  virtual int ExitInstance() { return exitCode_; }
  virtual void OnThreadMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) = 0;

 private:
  struct Message {
    uint32_t message;
    uintptr_t wParam;
    intptr_t lParam;
  };
  void Run();

  mutable std::mutex mutex_;
  std::condition_variable arrived_;
  std::deque<Message> queue_;
  std::thread thread_;
  bool accepting_ = false;
  bool handling_ = false;
  std::function<void()> idleListener_;
  int exitCode_ = 0;
};

}  // namespace platform
