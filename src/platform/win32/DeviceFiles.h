#pragma once
// Device files on Windows: a file handle opened on a device path, and device
// I/O control calls served by the device's driver.

#include <string>

#include "platform/DeviceFacts.h"
#include "platform/DeviceFile.h"
#include "platform/win32/DeviceSetup.h"

namespace platform::win32 {

class SystemDeviceFiles final : public IDeviceFiles {
 public:
  Handle Open(const std::string& devicePath) override;
  bool Close(Handle handle) override;
  uint32_t IoControl(Handle handle, uint32_t code, const void* in, uint32_t inLength, void* out, uint32_t outLength,
                     uint32_t* returned) override;
};

// What the device listing can say: where it looks, and where a device is
// plugged in; nothing it would have to ask the device.
class DirectShowFacts final : public IDeviceFacts {
 public:
  explicit DirectShowFacts(IDeviceSetupCalls& setup) : setup_(setup) {}
  std::string WhereListed() override { return "DirectShow video-input devices"; }
  DeviceFacts Describe(const std::string& devicePath) override;

 private:
  IDeviceSetupCalls& setup_;
};

}  // namespace platform::win32
