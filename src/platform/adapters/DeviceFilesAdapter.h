#pragma once
// Device files over a camera backend: a handle stands for the vendor-request
// path opened on a device path, and the camera driver's download-mode I/O
// control block is taken apart here into one vendor request.

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

#include "platform/CameraBackend.h"
#include "platform/DeviceFile.h"

namespace platform {

// The driver's I/O control code for one vendor request.
constexpr uint32_t kVendorRequestIoControl = 0x220100;

// The request block: Flags (4 bytes), bmRequestType, bRequest, wValue,
// wIndex, wLength, then wLength data bytes at offset 12 and 4 unused bytes.
// Flags 0 sends the data to the device, 3 reads it from the device, and 1 is
// the driver's one-byte probe (a read of request 5 at index 0). The request
// type is 0x40 whatever the direction.
struct VendorRequestBlock {
  static constexpr uint32_t kHeaderSize = 16;
  static constexpr uint32_t kDataOffset = 12;
  static constexpr uint32_t kLargestData = 0x8000;  // what the driver's buffer takes
  static constexpr uint8_t kRequestType = 0x40;
};

// Takes a block apart: 0 with the request in `setup`, or 87 (invalid
// parameter) when the block, its lengths or its data break the layout.
uint32_t DecodeVendorRequestBlock(const uint8_t* in, uint32_t inLength, uint32_t outLength, VendorRequestSetup* setup);

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
