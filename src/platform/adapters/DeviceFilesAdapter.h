#pragma once
// Device files over a camera backend: a handle stands for the vendor-request
// path opened on a device path, and the camera driver's download-mode I/O
// control block (VendorRequestBlock.h) is taken apart here into one vendor
// request.

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

#include "platform/CameraBackend.h"
#include "platform/DeviceFile.h"

namespace platform {

class DeviceFilesAdapter final : public IDeviceFiles {
 public:
  // The backend must outlive the adapter.
  explicit DeviceFilesAdapter(ICameraBackend& backend);

  Handle Open(const std::string& devicePath) override;
  bool Close(Handle handle) override;
  uint32_t IoControl(Handle handle, uint32_t code, const void* in, uint32_t inLength, void* out, uint32_t outLength,
                     uint32_t* returned) override;

 private:
  std::shared_ptr<IVendorRequestChannel> Channel(Handle handle);

  ICameraBackend& backend_;
  std::mutex mutex_;
  std::map<Handle, std::shared_ptr<IVendorRequestChannel>> open_;
  Handle nextHandle_ = 0x100;
};

}  // namespace platform
