#pragma once
// Device arrival and removal notifications for a device-interface class.

#include <cstdint>
#include <functional>

#include "platform/Types.h"

namespace platform {

constexpr uint32_t kDeviceArrival = 0x8000;         // DBT_DEVICEARRIVAL
constexpr uint32_t kDeviceRemoveComplete = 0x8004;  // DBT_DEVICEREMOVECOMPLETE
constexpr uint32_t kDeviceTypeInterface = 5;        // DBT_DEVTYP_DEVICEINTERFACE

// What a notification says about the device.
struct DeviceBroadcast {
  uint32_t deviceType = kDeviceTypeInterface;
  Guid classGuid;
};

using DeviceEventSink = std::function<void(uint32_t event, const DeviceBroadcast& device)>;

class IDeviceNotifications {
 public:
  virtual ~IDeviceNotifications() = default;
  // Registers for the class's notifications; 0 when registration failed.
  // The sink may be called on any thread.
  virtual uintptr_t Register(const Guid& interfaceClass, DeviceEventSink sink) = 0;
  virtual void Unregister(uintptr_t registration) = 0;
};

// The capture device interface class (KSCATEGORY_CAPTURE).
inline const Guid kCaptureInterfaceClass = {
    0x65E8773D, 0x8F56, 0x11D0, {0xA3, 0xB9, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};

}  // namespace platform
