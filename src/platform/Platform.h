#pragma once
// The one platform instance chosen at start-up. The logic above reaches the
// operating system only through these seams and never knows which backend
// serves them.

#include <cstdint>
#include <string>

#include "platform/Capture.h"
#include "platform/Clock.h"
#include "platform/Com.h"
#include "platform/Debug.h"
#include "platform/DeviceFacts.h"
#include "platform/DeviceFile.h"
#include "platform/DeviceNotifications.h"
#include "platform/FileSystem.h"

namespace platform {

struct Platform {
  ICaptureSystem* capture = nullptr;
  IDeviceFiles* deviceFiles = nullptr;
  IFileSystem* files = nullptr;
  IClock* clock = nullptr;
  IDebugOutput* debug = nullptr;
  IComRuntime* com = nullptr;
  IDeviceNotifications* notifications = nullptr;
  // Optional: null where the platform can't describe its devices.
  IDeviceFacts* deviceFacts = nullptr;
};

// The platform in force. Outside every ScopedPlatform this is the host backend.
Platform& Current();
// The host backend itself.
const Platform& Host();

// Puts the given seams in force for the scope's life (seams left null keep
// what is in force) and puts back what was in force before when the scope
// ends, however it ends. Scopes nest and end in the reverse order.
class ScopedPlatform {
 public:
  explicit ScopedPlatform(const Platform& seams);
  ~ScopedPlatform();
  ScopedPlatform(const ScopedPlatform&) = delete;
  ScopedPlatform& operator=(const ScopedPlatform&) = delete;

 private:
  const Platform previous_;
};

// Seams that are about to go away: those of them in force fall back to the
// host's, so that nothing is left pointing at them.
void Withdraw(const Platform& seams);

inline void Sleep(uint32_t milliseconds) { Current().clock->Sleep(milliseconds); }
inline uint64_t NowMilliseconds() { return Current().clock->NowMilliseconds(); }
inline void DebugOutput(const std::string& line) { Current().debug->Write(line); }

}  // namespace platform
