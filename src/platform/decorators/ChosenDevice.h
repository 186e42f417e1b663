#pragma once
// Narrows the capture system to one chosen device: the devices present when
// the choice was made, other than the chosen one, are left out of every
// enumeration. A device that appears later is listed, so the chosen camera
// is still found when it comes back under a new device path after a reset.
// Where the chosen device's port is known, a later device is listed only
// when it is plugged in at that port (and has the same serial number, when
// both tell one): another camera that resets at the same moment comes back
// under a new path too, and must not be taken for the chosen one.

#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/Capture.h"
#include "platform/DeviceFacts.h"

namespace platform {

// Who a camera is across its resets.
struct DeviceIdentity {
  std::string port;
  std::optional<std::string> serialNumber;
  std::optional<uint16_t> usbVendorId;
  std::optional<uint16_t> usbProductId;

  // None when the facts tell no port.
  static std::optional<DeviceIdentity> Of(const DeviceFacts& facts);
  // A device with these facts can be this camera: same port, and no other
  // serial number under the same USB id.
  bool Matches(const DeviceFacts& facts) const;
};

class ChosenDeviceCapture : public ICaptureSystem {
 public:
  // `inner` and `facts` must outlive this object; `facts` is asked only
  // when there is an identity.
  ChosenDeviceCapture(ICaptureSystem& inner, std::set<std::string> leftOut,
                      std::optional<DeviceIdentity> identity = std::nullopt, IDeviceFacts* facts = nullptr);

  Status CreateVideoInputEnumerator(std::unique_ptr<IEnumMoniker>* out) override;
  Status QueryDeviceInstance(const std::string& devicePath, uint32_t* devInst) override;

 private:
  bool Kept(const std::string& devicePath);

  ICaptureSystem& inner_;
  const std::set<std::string> leftOut_;
  const std::optional<DeviceIdentity> identity_;
  IDeviceFacts* facts_;
};

// The device paths of the capture system's devices in enumeration order; a
// device without one has an empty path.
std::vector<std::string> ListedDevicePaths(ICaptureSystem& capture);

}  // namespace platform
