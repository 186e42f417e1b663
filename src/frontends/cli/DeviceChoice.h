#pragma once
// --device: the device commands act on one chosen device instead of the
// first camera that answers identify. The choice is a video node
// (/dev/video0), a device path or a position, as `list` shows them, or the
// device's USB id (vvvv:pppp), serial number or port (1-1.2) when only one
// device has it. Where the platform tells the chosen device's port, only a
// device at that port is taken for it after a reset.

#include <optional>
#include <string>

#include "platform/Platform.h"
#include "platform/decorators/ChosenDevice.h"

class DeviceChoice {
 public:
  DeviceChoice() = default;
  DeviceChoice(const DeviceChoice&) = delete;
  DeviceChoice& operator=(const DeviceChoice&) = delete;

  // Narrows the platform in force to the chosen device for this object's
  // life; an empty `choice` leaves it alone. False, with `error` set, when
  // no device present matches.
  bool Make(const std::string& choice, std::string* error);

 private:
  std::optional<platform::ChosenDeviceCapture> capture_;
  std::optional<platform::ScopedPlatform> inForce_;
};
