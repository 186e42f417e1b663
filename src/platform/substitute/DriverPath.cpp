// The camera driver's download-mode requests: vendor control requests acting
// on the same serial flash as the extension-unit commands and under the same
// protection.

#include <algorithm>
#include <cstring>

#include "platform/CameraVendorRequests.h"
#include "platform/substitute/Camera.h"
#include "platform/substitute/CameraProtocol.h"

namespace substitute {
namespace {

constexpr uint8_t kRequestReset = platform::kCameraRequestReset;
constexpr uint8_t kRequestErase = platform::kCameraRequestErase;
constexpr uint8_t kRequestWrite = platform::kCameraRequestWrite;
constexpr uint8_t kRequestRead = platform::kCameraRequestRead;
constexpr uint16_t kResetToUpdatedCode = platform::kCameraResetToUpdatedCode;

// A one-byte read at index 0 is the driver's probe: the camera answers it
// whatever memory it carries.
bool IsProbe(const platform::VendorRequestSetup& setup) {
  return setup.toHost && setup.bRequest == kRequestRead && setup.wIndex == 0 && setup.wLength == 1;
}

}  // namespace

bool Camera::FlashTakes(const platform::VendorRequestSetup& setup) const {
  return memory_.IsSerialFlash() && setup.wLength <= config_.maxDriverTransfer &&
         memory_.Fits(setup.wIndex, setup.wLength);
}

uint32_t Camera::VendorRequest(const platform::VendorRequestSetup& setup, uint8_t* data, uint32_t* transferred) {
  *transferred = 0;
  if (setup.wValue != 0 || (setup.wLength && !data)) return platform::kErrorInvalidParameter;
  if (IsProbe(setup)) {
    data[0] = config_.probeAnswer;
    *transferred = 1;
    return 0;
  }
  switch (setup.bRequest) {
    case kRequestRead: return DriverRead(setup, data, transferred);
    case kRequestWrite: return DriverWrite(setup, data, transferred);
    case kRequestErase: return DriverErase(setup);
    case kRequestReset: return DriverReset(setup);
    default:
      // The device stalls a request it does not know.
      return platform::kErrorGenFailure;
  }
}

uint32_t Camera::DriverRead(const platform::VendorRequestSetup& setup, uint8_t* data, uint32_t* transferred) {
  if (!setup.toHost) return platform::kErrorInvalidParameter;
  if (!FlashTakes(setup)) return platform::kErrorGenFailure;
  const std::vector<uint8_t> bytes = memory_.Read(setup.wIndex, setup.wLength);
  std::copy(bytes.begin(), bytes.end(), data);
  *transferred = setup.wLength;
  return 0;
}

uint32_t Camera::DriverWrite(const platform::VendorRequestSetup& setup, const uint8_t* data, uint32_t* transferred) {
  if (setup.toHost) return platform::kErrorInvalidParameter;
  if (!FlashTakes(setup)) return platform::kErrorGenFailure;
  ProgramMemory(setup.wIndex, data, setup.wLength);
  *transferred = setup.wLength;
  return 0;
}

uint32_t Camera::DriverErase(const platform::VendorRequestSetup& setup) {
  if (setup.toHost || setup.wIndex != 0 || setup.wLength != 0) return platform::kErrorInvalidParameter;
  if (!memory_.IsSerialFlash()) return platform::kErrorGenFailure;
  EraseMemory(memory_.Size());
  return 0;
}

uint32_t Camera::DriverReset(const platform::VendorRequestSetup& setup) {
  if (setup.toHost || setup.wIndex != kResetToUpdatedCode || setup.wLength != 0)
    return platform::kErrorInvalidParameter;
  departure_ = CameraMode::kRunning;
  return 0;
}

}  // namespace substitute
