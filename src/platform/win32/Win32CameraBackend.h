#pragma once
// The cameras of a Windows host as a camera backend: DirectShow's video-input
// category lists the devices, each device's property bag names it, its
// capture filter's IKsControl reaches the extension unit (KsExtensionUnit)
// and a file on its device path the driver's download-mode requests
// (DriverVendorRequests); the device setup turns a device path into the
// device-instance handle and the port. The system's results pass through
// unchanged as statuses. The component runtime must be initialised on the
// calling thread.

#include <memory>
#include <string>
#include <vector>

#include "platform/CameraBackend.h"
#include "platform/DeviceFacts.h"
#include "platform/win32/DeviceSetup.h"

namespace platform::win32 {

class Win32CameraBackend final : public ICameraBackend, public IDeviceFacts {
 public:
  // `setup` must outlive this object.
  explicit Win32CameraBackend(IDeviceSetupCalls& setup) : setup_(setup) {}

  Status ListVideoInputs(std::vector<std::shared_ptr<IVideoInput>>* out) override;
  Status QueryDeviceInstance(const std::string& devicePath, uint32_t* devInst) override;
  std::shared_ptr<IVendorRequestChannel> OpenVendorRequests(const std::string& devicePath) override;

  // What the device listing can say: where it looks, and where a device is
  // plugged in; nothing it would have to ask the device.
  std::string WhereListed() override { return "DirectShow video-input devices"; }
  DeviceFacts Describe(const std::string& devicePath) override;

 private:
  IDeviceSetupCalls& setup_;
};

}  // namespace platform::win32
