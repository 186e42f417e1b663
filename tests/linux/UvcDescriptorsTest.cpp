// Finding the camera's extension unit in a device's raw descriptors.

#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "platform/linux/UvcDescriptors.h"

namespace {

using Bytes = std::vector<uint8_t>;
using platform::Guid;

const Guid kCamera{0x1229A78C, 0x47B4, 0x4094, {0xB0, 0xCE, 0xDB, 0x07, 0x38, 0x6F, 0xB9, 0x38}};
const Guid kOther{0x1229A78C, 0x47B4, 0x4094, {0xB0, 0xCE, 0xDB, 0x07, 0x38, 0x6F, 0xB9, 0x39}};

Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

Bytes Device() { return Bytes{18, 0x01, 0x00, 0x02, 0xEF, 0x02, 0x01, 0x40} + Bytes(10, 0); }
Bytes Configuration() { return {9, 0x02, 0, 0, 2, 1, 0, 0x80, 50}; }
Bytes Interface(uint8_t number, uint8_t cls, uint8_t subclass) { return {9, 0x04, number, 0, 1, cls, subclass, 0, 0}; }
Bytes VideoControl(uint8_t number) { return Interface(number, 0x0E, 0x01); }
Bytes VideoControlHeader() { return {13, 0x24, 0x01, 0x00, 0x01, 0, 0, 0, 0, 0, 0, 0, 0}; }

Bytes ExtensionUnit(uint8_t id, const Guid& guid, const Bytes& sources, const Bytes& controls) {
  const auto g = guid.Bytes();
  Bytes unit = Bytes{0, 0x24, 0x06, id} + Bytes(g.begin(), g.end()) +
               Bytes{static_cast<uint8_t>(8 * controls.size()), static_cast<uint8_t>(sources.size())} + sources +
               Bytes{static_cast<uint8_t>(controls.size())} + controls + Bytes{0};
  unit[0] = static_cast<uint8_t>(unit.size());
  return unit;
}

// Selectors 1, 10 and 11 behind two source pins.
Bytes CameraUnit(uint8_t id) { return ExtensionUnit(id, kCamera, {1, 2}, {0x01, 0x06}); }

struct Found {
  uint8_t unitId;
  uint8_t interfaceNumber;
  std::vector<uint32_t> selectors;
};

TEST(UvcDescriptors, FindsTheCameraUnitOnlyWhereItIsWhole) {
  struct Case {
    const char* what;
    Bytes descriptors;
    std::optional<Found> expected;
  };
  const Bytes head = Device() + Configuration() + VideoControl(0) + VideoControlHeader();
  Bytes shortBitmap = CameraUnit(5);
  shortBitmap.resize(shortBitmap.size() - 3);  // ends at bControlSize
  shortBitmap[0] = static_cast<uint8_t>(shortBitmap.size());
  Bytes bitmapLast = CameraUnit(7);
  bitmapLast.pop_back();  // no iExtension: the bitmap ends the descriptor
  bitmapLast[0] = static_cast<uint8_t>(bitmapLast.size());
  const Case cases[] = {
      {"after an unrelated unit, at id 6", head + ExtensionUnit(3, kOther, {1}, {0xFF}) + CameraUnit(6),
       Found{6, 0, {1, 10, 11}}},
      {"in interface 2",
       Device() + Configuration() + Interface(0, 0x01, 0x01) + Interface(1, 0x01, 0x02) + VideoControl(2) +
           CameraUnit(4),
       Found{4, 2, {1, 10, 11}}},
      {"a unit too short for its bitmap is skipped", head + shortBitmap + CameraUnit(9), Found{9, 0, {1, 10, 11}}},
      {"a unit whose bitmap is its last byte", head + bitmapLast, Found{7, 0, {1, 10, 11}}},
      {"in a streaming interface (a format descriptor there)", head + Interface(1, 0x0E, 0x02) + CameraUnit(6),
       std::nullopt},
      {"in an audio control interface", Device() + Configuration() + Interface(0, 0x01, 0x01) + CameraUnit(6),
       std::nullopt},
      {"after a new configuration, outside any interface", head + Configuration() + CameraUnit(6), std::nullopt},
      {"behind a zero length", head + Bytes{0, 0x24} + CameraUnit(6), std::nullopt},
      {"behind a length of one", head + Bytes{1} + CameraUnit(6), std::nullopt},
      {"behind a length past the end", head + Bytes{60, 0x24} + CameraUnit(6), std::nullopt},
      {"only other units", head + ExtensionUnit(6, kOther, {1}, {0x06}), std::nullopt},
      {"nothing", Bytes{}, std::nullopt},
  };
  for (const Case& c : cases) {
    const auto info = platform::linux::FindUvcExtensionUnit(c.descriptors, kCamera);
    ASSERT_EQ(info.has_value(), c.expected.has_value()) << c.what;
    if (!info) continue;
    EXPECT_EQ(info->unitId, c.expected->unitId) << c.what;
    EXPECT_EQ(info->interfaceNumber, c.expected->interfaceNumber) << c.what;
    EXPECT_EQ(info->selectors, c.expected->selectors) << c.what;
  }
}

TEST(UvcDescriptors, TheUsbIdComesFromAWholeDeviceDescriptor) {
  Bytes device = Device();
  const uint8_t idAndVersion[] = {0xE3, 0x2F, 0x21, 0x0C, 0x99};  // vendor, product, bcdDevice's low byte
  std::copy(std::begin(idAndVersion), std::end(idAndVersion), device.begin() + 8);
  const auto id = platform::linux::ReadUsbDeviceId(device + Configuration());
  ASSERT_TRUE(id);
  EXPECT_EQ(id->vendor, 0x2FE3);
  EXPECT_EQ(id->product, 0x0C21);
  Bytes shortLength = device, otherType = device;
  shortLength[0] = 17;
  otherType[1] = 0x02;
  for (const Bytes& bad : {shortLength, otherType, Bytes(device.begin(), device.end() - 1)})
    EXPECT_FALSE(platform::linux::ReadUsbDeviceId(bad));
}

TEST(UvcDescriptors, EveryTruncationStaysInsideTheBytes) {
  const Bytes whole = Device() + Configuration() + VideoControl(0) + VideoControlHeader() + CameraUnit(6) + Bytes{7, 5};
  const size_t unitEnd = whole.size() - 2;
  for (size_t length = 0; length <= whole.size(); ++length) {
    const Bytes cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(length));  // exact size, for ASan
    EXPECT_EQ(platform::linux::FindUvcExtensionUnit(cut, kCamera).has_value(), length >= unitEnd) << length;
  }
}

}  // namespace
