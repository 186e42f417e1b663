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
};

// The platform in force. Until Install is called this is the host backend.
Platform& Current();
// Replaces the platform in force; seams left null keep the host's.
void Install(const Platform& platform);
// Back to the host backend (tests call this between cases).
void InstallHost();
// The host backend itself.
const Platform& Host();

inline void Sleep(uint32_t milliseconds) { Current().clock->Sleep(milliseconds); }
inline uint64_t NowMilliseconds() { return Current().clock->NowMilliseconds(); }
inline void DebugOutput(const std::string& line) { Current().debug->Write(line); }

}  // namespace platform
