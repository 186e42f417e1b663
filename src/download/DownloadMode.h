#pragma once
// The download-mode path: USB vendor control requests handed to the camera's
// driver with one device I/O control code, on the camera's device handle.

#include <cstdint>
#include <vector>

#include "platform/Types.h"

constexpr uint32_t IOCTL_DL_VENDOR_REQUEST = 0x220100;
constexpr uint32_t kMaxVendorRequestData = 0x8000;

// The request block: 12 bytes of header, the data, and 4 unused bytes.
struct VendorRequest {
  uint32_t Flags = 0;
  uint8_t bmRequestType = 0x40;
  uint8_t bRequest = 0;
  uint16_t wValue = 0;
  uint16_t wIndex = 0;
  uint16_t wLength = 0;

  static constexpr size_t kHeaderSize = 12;
  static constexpr size_t kTrailerSize = 4;
  // The whole block, header little-endian, `data` (wLength bytes) at offset 12.
  std::vector<uint8_t> Block(const uint8_t* data) const;
};

// Whether the camera's serial flash is the one that takes 32-byte transfers
// on this path (it names itself so in its flash information).
bool HasSmallTransferFlash(uint32_t key);

// Each returns 0 when the driver carried the request out, else the
// operating system's error code.
uint32_t ProbeDevice(platform::Handle handle, uint8_t* answer);
uint32_t ResetToUpdatedCode(platform::Handle handle);
uint32_t EraseFlash(platform::Handle handle);
uint32_t WriteFlash(platform::Handle handle, uint16_t address, uint32_t length, const uint8_t* data);
uint32_t ReadFlash(platform::Handle handle, uint16_t address, uint32_t length, uint8_t* destination);
