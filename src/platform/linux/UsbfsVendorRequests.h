#pragma once
// Download-mode vendor requests as plain control transfers on the device's
// usbfs node (/dev/bus/usb/BBB/DDD).

#include <cstdint>

#include "platform/VendorRequestChannel.h"
#include "platform/linux/LinuxKernel.h"

namespace platform::linux {

// The operating system's error code for a usbfs errno.
uint32_t UsbfsErrorForErrno(long error);

// The vendor-request path of a camera whose usbfs node can't be opened (no
// permission, most often): the camera itself still opens, and every request
// fails as on a driver that refuses them, so downloads go over the extension
// unit.
class RefusedVendorRequests final : public IVendorRequestChannel {
 public:
  explicit RefusedVendorRequests(uint32_t error) : error_(error) {}
  uint32_t Send(const VendorRequestSetup& setup, uint8_t* data, uint32_t* transferred) override;

 private:
  uint32_t error_;
};

class UsbfsVendorRequests final : public IVendorRequestChannel {
 public:
  // How long one request may take before it is reported as timed out.
  static constexpr uint32_t kTimeoutMs = 5000;

  // Owns `fd`, the device's usbfs node opened for reading and writing, and
  // closes it through `kernel`.
  UsbfsVendorRequests(ILinuxKernel& kernel, int fd);
  ~UsbfsVendorRequests() override;
  UsbfsVendorRequests(const UsbfsVendorRequests&) = delete;
  UsbfsVendorRequests& operator=(const UsbfsVendorRequests&) = delete;

  // 0, or the error code: 1167 when the device is gone, 31 when it stalled
  // or moved fewer bytes than asked, 121 when it did not answer in time, 5
  // when the node may not be used, 87 for data missing.
  uint32_t Send(const VendorRequestSetup& setup, uint8_t* data, uint32_t* transferred) override;

 private:
  ILinuxKernel& kernel_;
  const int fd_;
};

}  // namespace platform::linux
