#pragma once
// Basic values shared by every seam of the platform layer.

#include <array>
#include <cstdint>
#include <cstring>

namespace platform {

// A 32-bit status in the manner of the capture framework: negative means failure.
using Status = int32_t;
constexpr Status kOk = 0;
constexpr Status kFalse = 1;  // success that delivered nothing (end of an enumeration)
constexpr Status kFail = static_cast<Status>(0x80004005u);
constexpr Status kNoInterface = static_cast<Status>(0x80004002u);
constexpr Status kNotFound = static_cast<Status>(0x80070490u);
constexpr Status kDeviceGone = static_cast<Status>(0x8007048Fu);  // device not connected
constexpr Status kStalled = static_cast<Status>(0x8007001Fu);     // the device refused the request
constexpr Status kInvalidArgument = static_cast<Status>(0x80070057u);
constexpr Status kAccessDenied = static_cast<Status>(0x80070005u);  // the device may not be opened
// The driver holds the control at another size than the buffer's and sent
// the device nothing.
constexpr Status kBufferSizeRefused = static_cast<Status>(0x8007007Au);
// The answer to a read with no buffer: the property's size is in the count
// of bytes returned.
constexpr Status kMoreData = static_cast<Status>(0x800700EAu);
// An object of a single-threaded apartment called from another thread.
constexpr Status kWrongThread = static_cast<Status>(0x8001010Eu);

inline bool Failed(Status s) { return s < 0; }

// A device file handle; -1 is "none".
using Handle = intptr_t;
constexpr Handle kInvalidHandle = -1;

// Operating-system error codes that the device-file seam returns.
constexpr uint32_t kErrorInvalidFunction = 1;
constexpr uint32_t kErrorAccessDenied = 5;
constexpr uint32_t kErrorInvalidHandle = 6;
constexpr uint32_t kErrorGenFailure = 31;
constexpr uint32_t kErrorInvalidParameter = 87;
constexpr uint32_t kErrorSemaphoreTimeout = 121;  // the device did not answer in time
constexpr uint32_t kErrorDeviceNotConnected = 1167;

// A GUID with the field layout the capture framework uses.
struct Guid {
  uint32_t data1 = 0;
  uint16_t data2 = 0;
  uint16_t data3 = 0;
  std::array<uint8_t, 8> data4{};

  // The 16 bytes as they lie in memory on a little-endian machine.
  std::array<uint8_t, 16> Bytes() const {
    std::array<uint8_t, 16> b{};
    for (int i = 0; i < 4; ++i) b[i] = static_cast<uint8_t>(data1 >> (8 * i));
    for (int i = 0; i < 2; ++i) b[4 + i] = static_cast<uint8_t>(data2 >> (8 * i));
    for (int i = 0; i < 2; ++i) b[6 + i] = static_cast<uint8_t>(data3 >> (8 * i));
    for (int i = 0; i < 8; ++i) b[8 + i] = data4[i];
    return b;
  }
  friend bool operator==(const Guid& a, const Guid& b) { return a.Bytes() == b.Bytes(); }
};

}  // namespace platform
