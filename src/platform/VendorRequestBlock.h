#pragma once
// The camera driver's download-mode request block: one vendor request handed
// to the driver with one device I/O control code. The download path builds
// it, the device-file adapter takes it apart into the request it carries, and
// a backend whose driver wants the block itself builds it again; all three
// follow this one layout, so the bytes the driver gets do not depend on the
// road they took.

#include <cstdint>
#include <vector>

#include "platform/VendorRequestChannel.h"

namespace platform {

// The driver's I/O control code: device type 0x22 (unknown), function 0x40,
// buffered, any access. Input and output are the same buffer.
constexpr uint32_t IOCTL_DL_VENDOR_REQUEST = 0x220100;

// What `Flags` tells the driver.
constexpr uint32_t kVendorRequestToDevice = 0;
constexpr uint32_t kVendorRequestProbe = 1;
constexpr uint32_t kVendorRequestFromDevice = 3;

// The block, little-endian: the 12 bytes of these fields, then wLength data
// bytes and 4 unused bytes. A read sends its data bytes zeroed and gets them
// back in place; a write's answer is the 16 bytes without the data.
struct VendorRequest {
  static constexpr uint8_t kRequestType = 0x40;  // whatever the direction
  static constexpr uint32_t kDataOffset = 12;
  static constexpr uint32_t kUnusedSize = 4;
  static constexpr uint32_t kSizeWithoutData = kDataOffset + kUnusedSize;
  static constexpr uint32_t kLargestData = 0x8000;  // what the driver's buffer takes

  uint32_t Flags = kVendorRequestToDevice;
  uint8_t bmRequestType = kRequestType;
  uint8_t bRequest = 0;
  uint16_t wValue = 0;
  uint16_t wIndex = 0;
  uint16_t wLength = 0;

  // The block that carries `setup`, and the other way round.
  static VendorRequest Carrying(const VendorRequestSetup& setup);
  VendorRequestSetup Carried() const;
  // The fields of a block of at least 12 bytes, as they are.
  static VendorRequest FromBlock(const uint8_t* block);

  bool FromDevice() const { return Flags != kVendorRequestToDevice; }
  uint32_t InputLength() const { return kSizeWithoutData + wLength; }
  uint32_t OutputLength() const { return kSizeWithoutData + (FromDevice() ? wLength : 0u); }
  // The whole block (InputLength() bytes) with `data` at offset 12; a
  // request from the device sends zeros there whatever `data` holds.
  std::vector<uint8_t> Block(const uint8_t* data) const;
};

// Takes a block apart: 0 with the request it carries in `setup`, or 87
// (invalid parameter) when the block, its lengths or its data break the
// layout, so that nothing the driver would not have known reaches a device.
uint32_t DecodeVendorRequestBlock(const uint8_t* in, uint32_t inLength, uint32_t outLength, VendorRequestSetup* setup);

}  // namespace platform
