#pragma once
// What the platform can tell about a listed video-input device without
// sending the device anything: where it sits on USB, whether it carries the
// camera's extension unit, whether the download-mode path would open, and
// what to do when the host refuses one of its nodes. An optional seam: a
// platform that can't tell leaves it null, and every fact is then unknown.

#include <cstdint>
#include <optional>
#include <string>

namespace platform {

// Each fact is none when it can't be told.
struct DeviceFacts {
  std::optional<uint16_t> usbVendorId;
  std::optional<uint16_t> usbProductId;
  std::optional<std::string> serialNumber;  // the USB serial, when the device has one
  // Where the device is plugged in ("1-1.2" on Linux, the location path on
  // Windows): unlike the device path, it stays the same when the device
  // leaves the bus and comes back, so it tells one camera from another
  // across a reset.
  std::optional<std::string> port;
  std::optional<bool> hasExtensionUnit;  // the camera's unit, found by its GUID
  std::optional<uint8_t> extensionUnitId;
  std::optional<bool> downloadPathOpens;
  // One line naming the node the host refused and what to do about it;
  // empty when nothing was refused.
  std::string permissionHint;
};

class IDeviceFacts {
 public:
  virtual ~IDeviceFacts() = default;
  // Where devices are looked for, in words ("udev subsystem video4linux
  // (/dev/video*)").
  virtual std::string WhereListed() = 0;
  // The facts of the device behind a device path as it is now; all unknown
  // when no such device is present.
  virtual DeviceFacts Describe(const std::string& devicePath) = 0;
};

}  // namespace platform
