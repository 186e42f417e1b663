#pragma once
// Time: waits and a monotonic clock. Tests install a virtual clock so that a
// 33-second reopen takes no real time.

#include <cstdint>

namespace platform {

class IClock {
 public:
  virtual ~IClock() = default;
  virtual void Sleep(uint32_t milliseconds) = 0;
  virtual uint64_t NowMilliseconds() = 0;
};

}  // namespace platform
