#include "platform/linux/UvcDescriptors.h"

#include <algorithm>
#include <cstddef>

namespace platform::linux {
namespace {

constexpr uint8_t kDeviceType = 0x01;
constexpr size_t kDeviceLength = 18;
constexpr size_t kVendorAt = 8;
constexpr size_t kProductAt = 10;
constexpr uint8_t kInterfaceType = 0x04;
constexpr uint8_t kConfigurationType = 0x02;
constexpr uint8_t kClassSpecificInterfaceType = 0x24;
constexpr uint8_t kExtensionUnitSubtype = 0x06;
constexpr uint8_t kVideoClass = 0x0E;
constexpr uint8_t kVideoControlSubclass = 0x01;
constexpr size_t kInterfaceLength = 9;

// Extension unit fields, by offset; the source ids, the control bitmap's size
// and the bitmap follow bNrInPins.
constexpr size_t kUnitIdAt = 3;
constexpr size_t kGuidAt = 4;
constexpr size_t kInPinsAt = 21;
constexpr size_t kSourceIdsAt = 22;

// The extension unit in one class-specific descriptor of a VideoControl
// interface, when its GUID is `unit` and its fields fit the descriptor.
std::optional<UvcExtensionUnitInfo> ReadUnit(std::span<const uint8_t> d, const Guid& unit) {
  if (d.size() <= kSourceIdsAt || d[2] != kExtensionUnitSubtype) return std::nullopt;
  const auto guid = unit.Bytes();
  if (!std::equal(guid.begin(), guid.end(), d.begin() + kGuidAt)) return std::nullopt;
  const size_t controlSizeAt = kSourceIdsAt + d[kInPinsAt];
  if (controlSizeAt >= d.size()) return std::nullopt;
  const size_t controlSize = d[controlSizeAt];
  if (controlSizeAt + 1 + controlSize > d.size()) return std::nullopt;
  UvcExtensionUnitInfo info;
  info.unitId = d[kUnitIdAt];
  for (size_t bit = 0; bit < 8 * controlSize; ++bit)
    if (d[controlSizeAt + 1 + bit / 8] & (1u << (bit % 8))) info.selectors.push_back(static_cast<uint32_t>(bit + 1));
  return info;
}

uint16_t Word(std::span<const uint8_t> d, size_t at) { return static_cast<uint16_t>(d[at] | (d[at + 1] << 8)); }

}  // namespace

std::optional<UsbDeviceId> ReadUsbDeviceId(std::span<const uint8_t> descriptors) {
  if (descriptors.size() < kDeviceLength || descriptors[0] < kDeviceLength || descriptors[1] != kDeviceType)
    return std::nullopt;
  return UsbDeviceId{Word(descriptors, kVendorAt), Word(descriptors, kProductAt)};
}

std::optional<UvcExtensionUnitInfo> FindUvcExtensionUnit(std::span<const uint8_t> descriptors, const Guid& unit) {
  bool inVideoControl = false;
  uint8_t interfaceNumber = 0;
  size_t at = 0;
  // Each step moves on by at least two bytes, and never past the end.
  while (descriptors.size() - at >= 2) {
    const size_t length = descriptors[at];
    if (length < 2 || length > descriptors.size() - at) break;
    const std::span<const uint8_t> d = descriptors.subspan(at, length);
    at += length;
    if (d[1] == kConfigurationType) inVideoControl = false;
    if (d[1] == kInterfaceType) {
      inVideoControl = length >= kInterfaceLength && d[5] == kVideoClass && d[6] == kVideoControlSubclass;
      interfaceNumber = d[2];
    }
    if (!inVideoControl || d[1] != kClassSpecificInterfaceType) continue;
    if (auto info = ReadUnit(d, unit)) {
      info->interfaceNumber = interfaceNumber;
      return info;
    }
  }
  return std::nullopt;
}

}  // namespace platform::linux
