#include "download/DownloadMode.h"

#include <cstring>

#include "device/Device.h"
#include "platform/Platform.h"

std::vector<uint8_t> VendorRequest::Block(const uint8_t* data) const {
  std::vector<uint8_t> block(kHeaderSize + wLength + kTrailerSize, 0);
  for (int i = 0; i < 4; ++i) block[i] = static_cast<uint8_t>(Flags >> (8 * i));
  block[4] = bmRequestType;
  block[5] = bRequest;
  block[6] = static_cast<uint8_t>(wValue);
  block[7] = static_cast<uint8_t>(wValue >> 8);
  block[8] = static_cast<uint8_t>(wIndex);
  block[9] = static_cast<uint8_t>(wIndex >> 8);
  block[10] = static_cast<uint8_t>(wLength);
  block[11] = static_cast<uint8_t>(wLength >> 8);
  if (data && wLength) std::memcpy(block.data() + kHeaderSize, data, wLength);
  return block;
}

namespace {

// Sends the block with the given input and output lengths; on success the
// bytes at offset 12 are copied to `out`.
uint32_t Send(platform::Handle handle, const VendorRequest& request, const uint8_t* data, uint32_t inLength,
              uint32_t outLength, uint8_t* out, uint32_t outCount) {
  std::vector<uint8_t> block = request.Block(data);
  uint32_t returned = 0;
  const uint32_t result = platform::Current().deviceFiles->IoControl(handle, IOCTL_DL_VENDOR_REQUEST, block.data(),
                                                                     inLength, block.data(), outLength, &returned);
  if (result == 0 && out && outCount) std::memcpy(out, block.data() + VendorRequest::kHeaderSize, outCount);
  return result;
}

VendorRequest Request(uint32_t flags, uint8_t bRequest, uint16_t wIndex, uint16_t wLength) {
  VendorRequest r;
  r.Flags = flags;
  r.bRequest = bRequest;
  r.wIndex = wIndex;
  r.wLength = wLength;
  return r;
}

}  // namespace

uint32_t ProbeDevice(platform::Handle handle, uint8_t* answer) {
  uint8_t zero = 0;
  return Send(handle, Request(1, 5, 0, 1), &zero, 17, 17, answer, answer ? 1 : 0);
}

uint32_t ResetToUpdatedCode(platform::Handle handle) {
  return Send(handle, Request(0, 1, 9, 0), nullptr, 16, 16, nullptr, 0);
}

uint32_t EraseFlash(platform::Handle handle) { return Send(handle, Request(0, 2, 0, 0), nullptr, 16, 16, nullptr, 0); }

uint32_t WriteFlash(platform::Handle handle, uint16_t address, uint32_t length, const uint8_t* data) {
  if (length > kMaxVendorRequestData) return platform::kErrorInvalidParameter;
  const auto n = static_cast<uint16_t>(length);
  return Send(handle, Request(0, 4, address, n), data, 16 + length, 16, nullptr, 0);
}

uint32_t ReadFlash(platform::Handle handle, uint16_t address, uint32_t length, uint8_t* destination) {
  if (length > kMaxVendorRequestData) return platform::kErrorInvalidParameter;
  const auto n = static_cast<uint16_t>(length);
  return Send(handle, Request(3, 5, address, n), nullptr, 16 + length, 16 + length, destination, length);
}

bool HasSmallTransferFlash(uint32_t key) {
  static constexpr uint8_t kSmallTransferFlash[4] = {0x30, 0xC2, 0x22, 0x00};
  FlashInfo info{};
  ReadFlashInfo(key, &info);
  return std::memcmp(info.data(), kSmallTransferFlash, sizeof kSmallTransferFlash) == 0;
}
