#pragma once
// The capture framework's objects over a camera backend: an enumeration of
// the video-input devices listed at one moment, their monikers, property
// bags, capture filters and property interfaces.

#include <memory>

#include "platform/CameraBackend.h"
#include "platform/Capture.h"
#include "platform/adapters/ExtensionUnitKsControl.h"

namespace platform {

class CaptureSystemAdapter final : public ICaptureSystem {
 public:
  // The backend must outlive the adapter; the objects handed out keep only
  // what the backend handed them.
  CaptureSystemAdapter(ICameraBackend& backend, ExtensionUnitAddress unit);

  Status CreateVideoInputEnumerator(std::unique_ptr<IEnumMoniker>* out) override;
  Status QueryDeviceInstance(const std::string& devicePath, uint32_t* devInst) override;

 private:
  ICameraBackend& backend_;
  ExtensionUnitAddress unit_;
};

}  // namespace platform
