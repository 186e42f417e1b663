#include "download/DownloadMode.h"

#include <cstring>
#include <vector>

#include "device/Device.h"
#include "platform/CameraVendorRequests.h"
#include "platform/Platform.h"

namespace {

using platform::VendorRequest;

// Sends the request's block with the input and output lengths its kind
// takes; on success the first `outCount` bytes at offset 12 go to `out`.
uint32_t Send(platform::Handle handle, const VendorRequest& request, const uint8_t* data, uint8_t* out,
              uint32_t outCount) {
  std::vector<uint8_t> block = request.Block(data);
  uint32_t returned = 0;
  const uint32_t result = platform::Current().deviceFiles->IoControl(handle, platform::IOCTL_DL_VENDOR_REQUEST,
                                                                     block.data(), request.InputLength(), block.data(),
                                                                     request.OutputLength(), &returned);
  if (result == 0 && out && outCount) std::memcpy(out, block.data() + VendorRequest::kDataOffset, outCount);
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
  return Send(handle, Request(platform::kVendorRequestProbe, platform::kCameraRequestRead, 0, 1), nullptr, answer,
              answer ? 1 : 0);
}

uint32_t ResetToUpdatedCode(platform::Handle handle) {
  const VendorRequest reset =
      Request(platform::kVendorRequestToDevice, platform::kCameraRequestReset, platform::kCameraResetToUpdatedCode, 0);
  return Send(handle, reset, nullptr, nullptr, 0);
}

uint32_t EraseFlash(platform::Handle handle) {
  return Send(handle, Request(platform::kVendorRequestToDevice, platform::kCameraRequestErase, 0, 0), nullptr, nullptr,
              0);
}

uint32_t WriteFlash(platform::Handle handle, uint16_t address, uint32_t length, const uint8_t* data) {
  if (length > VendorRequest::kLargestData) return platform::kErrorInvalidParameter;
  const auto n = static_cast<uint16_t>(length);
  return Send(handle, Request(platform::kVendorRequestToDevice, platform::kCameraRequestWrite, address, n), data,
              nullptr, 0);
}

uint32_t ReadFlash(platform::Handle handle, uint16_t address, uint32_t length, uint8_t* destination) {
  if (length > VendorRequest::kLargestData) return platform::kErrorInvalidParameter;
  const auto n = static_cast<uint16_t>(length);
  return Send(handle, Request(platform::kVendorRequestFromDevice, platform::kCameraRequestRead, address, n), nullptr,
              destination, length);
}

bool HasSmallTransferFlash(uint32_t key) {
  static constexpr uint8_t kSmallTransferFlash[4] = {0x30, 0xC2, 0x22, 0x00};
  FlashInfo info{};
  ReadFlashInfo(key, &info);
  return std::memcmp(info.data(), kSmallTransferFlash, sizeof kSmallTransferFlash) == 0;
}
