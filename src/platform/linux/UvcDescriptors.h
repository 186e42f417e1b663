#pragma once
// Finds a camera's extension unit in a USB device's raw descriptors: the
// bytes the kernel keeps for the device (its device descriptor followed by
// its configuration descriptors, as sysfs shows them in `descriptors`).

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "platform/Types.h"

namespace platform::linux {

struct UvcExtensionUnitInfo {
  uint8_t unitId = 0;
  uint8_t interfaceNumber = 0;  // the VideoControl interface that holds the unit
  // The control selectors the unit declares, ascending.
  std::vector<uint32_t> selectors;
};

struct UsbDeviceId {
  uint16_t vendor = 0;
  uint16_t product = 0;
};

// The ids of the device descriptor the bytes start with; none when they do
// not start with one.
std::optional<UsbDeviceId> ReadUsbDeviceId(std::span<const uint8_t> descriptors);

// The first extension unit with the GUID `unit` inside a VideoControl
// interface; none when there is no such unit. Malformed descriptors end the
// walk (a length that is too small or runs past the end) or are skipped (an
// extension unit too short for its own fields), never read past.
std::optional<UvcExtensionUnitInfo> FindUvcExtensionUnit(std::span<const uint8_t> descriptors, const Guid& unit);

}  // namespace platform::linux
