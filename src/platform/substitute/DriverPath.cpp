// The camera driver's download-mode requests: a vendor control request packed
// into one I/O control block, acting on the same serial flash as the
// extension-unit commands and under the same protection.

#include <algorithm>
#include <cstring>

#include "platform/substitute/Camera.h"
#include "platform/substitute/CameraProtocol.h"

namespace substitute {
namespace {

constexpr uint8_t kVendorRequestType = 0x40;
constexpr uint32_t kLargestBlockData = 0x8000;  // what the driver's buffer takes
constexpr uint8_t kRequestReset = 1;
constexpr uint8_t kRequestErase = 2;
constexpr uint8_t kRequestWrite = 4;
constexpr uint8_t kRequestRead = 5;
constexpr uint32_t kFlagsProbe = 1;
constexpr uint32_t kFlagsRead = 3;
constexpr uint16_t kResetToUpdatedCode = 9;

uint16_t Word(const std::vector<uint8_t>& block, size_t at) {
  return static_cast<uint16_t>(block[at] | (block[at + 1] << 8));
}

uint32_t Flags(const std::vector<uint8_t>& block) {
  return static_cast<uint32_t>(block[0]) | (static_cast<uint32_t>(block[1]) << 8) |
         (static_cast<uint32_t>(block[2]) << 16) | (static_cast<uint32_t>(block[3]) << 24);
}

bool DataIsZero(const std::vector<uint8_t>& block, uint16_t length) {
  const auto data = block.begin() + kDriverDataOffset;
  return std::all_of(data, data + length, [](uint8_t b) { return b == 0; });
}

// The answer goes back in the same layout: the header as it came, then data.
uint32_t Answer(const std::vector<uint8_t>& block, uint8_t* out, uint32_t outLength, uint32_t* returned) {
  std::memcpy(out, block.data(), std::min<size_t>(outLength, block.size()));
  *returned = outLength;
  return 0;
}

}  // namespace

uint32_t Camera::DriverRequest(const uint8_t* in, uint32_t inLength, uint8_t* out, uint32_t outLength,
                               uint32_t* returned) {
  *returned = 0;
  if (!in || inLength < kDriverHeaderSize || (outLength && !out)) return platform::kErrorInvalidParameter;
  // Input and output may be one buffer: work on a copy of the request.
  const std::vector<uint8_t> block(in, in + inLength);
  const uint32_t flags = Flags(block);
  const uint8_t request = block[5];
  const uint16_t index = Word(block, 8);
  const uint16_t length = Word(block, 10);
  if (block[4] != kVendorRequestType || Word(block, 6) != 0 || inLength != kDriverHeaderSize + length)
    return platform::kErrorInvalidParameter;
  switch (request) {
    case kRequestRead:
      if (flags == kFlagsProbe) return DriverProbe(index, length, block, out, outLength, returned);
      if (flags != kFlagsRead) return platform::kErrorInvalidParameter;
      return DriverRead(index, length, block, out, outLength, returned);
    case kRequestWrite:
      if (flags != 0) return platform::kErrorInvalidParameter;
      return DriverWrite(index, length, block, out, outLength, returned);
    case kRequestErase:
      if (flags != 0 || index != 0 || length != 0) return platform::kErrorInvalidParameter;
      return DriverErase(block, out, outLength, returned);
    case kRequestReset:
      if (flags != 0 || index != kResetToUpdatedCode || length != 0) return platform::kErrorInvalidParameter;
      return DriverReset(block, out, outLength, returned);
    default:
      // The device stalls a request it does not know.
      return platform::kErrorGenFailure;
  }
}

uint32_t Camera::DriverProbe(uint16_t index, uint16_t length, const std::vector<uint8_t>& block, uint8_t* out,
                             uint32_t outLength, uint32_t* returned) {
  if (index != 0 || length != 1 || outLength != kDriverHeaderSize + 1 || !DataIsZero(block, 1))
    return platform::kErrorInvalidParameter;
  Answer(block, out, outLength, returned);
  out[kDriverDataOffset] = config_.probeAnswer;
  return 0;
}

uint32_t Camera::DriverRead(uint16_t address, uint16_t length, const std::vector<uint8_t>& block, uint8_t* out,
                            uint32_t outLength, uint32_t* returned) {
  if (length > kLargestBlockData || outLength != kDriverHeaderSize + length || !DataIsZero(block, length))
    return platform::kErrorInvalidParameter;
  if (!memory_.IsSerialFlash() || length > config_.maxDriverTransfer || !memory_.Fits(address, length))
    return platform::kErrorGenFailure;
  Answer(block, out, outLength, returned);
  const std::vector<uint8_t> bytes = memory_.Read(address, length);
  std::copy(bytes.begin(), bytes.end(), out + kDriverDataOffset);
  return 0;
}

uint32_t Camera::DriverWrite(uint16_t address, uint16_t length, const std::vector<uint8_t>& block, uint8_t* out,
                             uint32_t outLength, uint32_t* returned) {
  if (length > kLargestBlockData || outLength != kDriverHeaderSize) return platform::kErrorInvalidParameter;
  if (!memory_.IsSerialFlash() || length > config_.maxDriverTransfer || !memory_.Fits(address, length))
    return platform::kErrorGenFailure;
  ProgramMemory(address, block.data() + kDriverDataOffset, length);
  return Answer(block, out, outLength, returned);
}

uint32_t Camera::DriverErase(const std::vector<uint8_t>& block, uint8_t* out, uint32_t outLength,
                             uint32_t* returned) {
  if (outLength != kDriverHeaderSize) return platform::kErrorInvalidParameter;
  if (!memory_.IsSerialFlash()) return platform::kErrorGenFailure;
  EraseMemory(memory_.Size());
  return Answer(block, out, outLength, returned);
}

uint32_t Camera::DriverReset(const std::vector<uint8_t>& block, uint8_t* out, uint32_t outLength,
                             uint32_t* returned) {
  if (outLength != kDriverHeaderSize) return platform::kErrorInvalidParameter;
  departure_ = CameraMode::kRunning;
  return Answer(block, out, outLength, returned);
}

}  // namespace substitute
