#pragma once
// Narrows the capture system to one chosen device: the devices present when
// the choice was made, other than the chosen one, are left out of every
// enumeration. A device that appears later is listed, so the chosen camera
// is still found when it comes back under a new device path after a reset.

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/Capture.h"

namespace platform {

class ChosenDeviceCapture : public ICaptureSystem {
 public:
  // `inner` must outlive this object.
  ChosenDeviceCapture(ICaptureSystem& inner, std::set<std::string> leftOut);

  Status CreateVideoInputEnumerator(std::unique_ptr<IEnumMoniker>* out) override;
  Status QueryDeviceInstance(const std::string& devicePath, uint32_t* devInst) override;

 private:
  ICaptureSystem& inner_;
  const std::set<std::string> leftOut_;
};

// The device paths of the capture system's devices in enumeration order; a
// device without one has an empty path.
std::vector<std::string> ListedDevicePaths(ICaptureSystem& capture);

}  // namespace platform
