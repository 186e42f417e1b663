#pragma once
// USB vendor control requests to one device: the operation that the camera
// driver's download-mode path comes down to. A backend sends them as plain
// control transfers; the driver's I/O-control block is built on top of it.

#include <cstdint>

namespace platform {

// The setup stage of one vendor request (the request type is always
// "vendor, to the device"; the direction follows `toHost`).
struct VendorRequestSetup {
  bool toHost = false;  // the data stage runs from the device to the host
  uint8_t bRequest = 0;
  uint16_t wValue = 0;
  uint16_t wIndex = 0;
  uint16_t wLength = 0;
  // The driver's probe, which asks whether the download-mode path is served
  // at all. It moves one byte like a read of request 5 at index 0, and only
  // a driver that takes its own block for it (Windows') tells the two apart.
  bool probe = false;
};

class IVendorRequestChannel {
 public:
  virtual ~IVendorRequestChannel() = default;
  // Sends one request. `data` holds wLength bytes: sent to the device, or
  // filled by it when `toHost`; `*transferred` tells how many moved. The
  // result is 0, or the operating system's error code.
  virtual uint32_t Send(const VendorRequestSetup& setup, uint8_t* data, uint32_t* transferred) = 0;
};

}  // namespace platform
