#pragma once
// The download-mode path on Windows: each vendor request goes to the camera's
// driver as its I/O control block (platform/VendorRequestBlock.h), with
// DeviceIoControl on a file opened on the camera's device path.

#include <windows.h>

#include <memory>
#include <string>

#include "platform/VendorRequestChannel.h"

namespace platform::win32 {

class DriverVendorRequests final : public IVendorRequestChannel {
 public:
  // Opens the device path for reading and writing, shared, as the driver
  // expects; null when it does not open.
  static std::shared_ptr<DriverVendorRequests> Open(const std::string& devicePath);

  // Takes over `file` and closes it at its end.
  explicit DriverVendorRequests(HANDLE file) : file_(file) {}
  ~DriverVendorRequests() override;
  DriverVendorRequests(const DriverVendorRequests&) = delete;
  DriverVendorRequests& operator=(const DriverVendorRequests&) = delete;

  uint32_t Send(const VendorRequestSetup& setup, uint8_t* data, uint32_t* transferred) override;

 private:
  HANDLE file_;
};

}  // namespace platform::win32
