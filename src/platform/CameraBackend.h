#pragma once
// What a camera backend offers besides the channels themselves: the
// video-input devices present, their properties, their extension units, the
// device-instance handle behind a device path and the vendor-request path
// opened on a device path. The capture framework's objects, the camera
// registry's device lookups and the driver's device files are composed over
// this, so that a backend never has to understand those in turn.

#include <memory>
#include <string>
#include <vector>

#include "platform/ExtensionUnitChannel.h"
#include "platform/Types.h"
#include "platform/VendorRequestChannel.h"

namespace platform {

// One video-input device as it was listed. It stands for that appearance of
// the device: once the device has left, everything on it fails as on a gone
// device.
class IVideoInput {
 public:
  virtual ~IVideoInput() = default;
  // kOk while the device can be bound to.
  virtual Status Bind() = 0;
  // A string property: "DevicePath" or "FriendlyName".
  virtual Status ReadProperty(const std::string& name, std::string* value) = 0;
  // The camera's extension unit. A failure when the device offers no control
  // interface at all; kOk without a channel when it offers one but has no
  // such extension unit.
  virtual Status OpenExtensionUnit(std::shared_ptr<IExtensionUnitChannel>* out) = 0;
};

class ICameraBackend {
 public:
  virtual ~ICameraBackend() = default;
  // The video-input devices present now, in enumeration order; a negative
  // status when they can't be listed.
  virtual Status ListVideoInputs(std::vector<std::shared_ptr<IVideoInput>>* out) = 0;
  // Device-instance handle of the present device behind a device path; 0
  // when none. A negative status when the device list can't be had.
  virtual Status QueryDeviceInstance(const std::string& devicePath, uint32_t* devInst) = 0;
  // The vendor-request path of the device behind a device path; null when
  // the path does not open.
  virtual std::shared_ptr<IVendorRequestChannel> OpenVendorRequests(const std::string& devicePath) = 0;
};

// The host's own camera backend, the one Host()'s capture system and device
// files are adapters over, without decorations: a traced run composes them
// over it once more.
ICameraBackend* HostCameraBackend();

}  // namespace platform
