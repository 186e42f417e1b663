#pragma once
// A window without a screen: its thread is whichever thread created it (a
// test's, or the command-line tool's), and that thread serves the window by
// pumping its queue. Sends from other threads wait until they are handled.

#include <functional>

#include "platform/WindowQueue.h"

namespace frontends::headless {

class HeadlessWindow final : public platform::WindowQueue {
 public:
  HeadlessWindow() = default;
  ~HeadlessWindow() override;
  HeadlessWindow(const HeadlessWindow&) = delete;
  HeadlessWindow& operator=(const HeadlessWindow&) = delete;

  // On the window's thread: handles one queued item, waiting for one when
  // `wait` is set; false when nothing was handled.
  bool PumpOne(bool wait) { return HandleOne(wait); }
  // On the window's thread: handles items until `done` holds (checked before
  // each wait and after each item).
  void PumpUntil(const std::function<bool()>& done);
  // Handles what is queued now, without waiting.
  void PumpPending() { HandlePending(); }

 protected:
  // The pump waits on the queue itself: nothing else needs waking.
  void WakeWindowThread() override {}
};

}  // namespace frontends::headless
