#pragma once
// What a host backend offers where it has nothing of its own yet: a camera
// backend that lists nothing and opens no device path (every caller then
// reports that no camera is there), device notifications that are never
// served (the window then works without automatic re-identification), and
// the address of the camera's extension unit that every host uses.

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/CameraBackend.h"
#include "platform/CameraExtensionUnit.h"
#include "platform/DeviceFacts.h"
#include "platform/DeviceNotifications.h"
#include "platform/adapters/ExtensionUnitKsControl.h"

namespace platform {

class NoCameraBackend final : public ICameraBackend, public IDeviceFacts {
 public:
  // `whereListed` says why nothing is listed.
  explicit NoCameraBackend(std::string whereListed) : whereListed_(std::move(whereListed)) {}
  Status ListVideoInputs(std::vector<std::shared_ptr<IVideoInput>>* out) override {
    out->clear();
    return kOk;
  }
  Status QueryDeviceInstance(const std::string&, uint32_t* devInst) override {
    *devInst = 0;
    return kOk;
  }
  std::shared_ptr<IVendorRequestChannel> OpenVendorRequests(const std::string&) override { return nullptr; }
  std::string WhereListed() override { return whereListed_; }
  DeviceFacts Describe(const std::string&) override { return {}; }

 private:
  std::string whereListed_;
};

class NoNotifications final : public IDeviceNotifications {
 public:
  uintptr_t Register(const Guid&, DeviceEventSink) override { return 0; }
  void Unregister(uintptr_t) override {}
};

inline ExtensionUnitAddress CameraExtensionUnitAddress() {
  return {kCameraExtensionUnitGuid, kCameraExtensionUnitNode, {kCameraCommandSelector, kCameraDataSelector}};
}

}  // namespace platform
