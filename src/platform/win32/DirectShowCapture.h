#pragma once
// The capture seam over DirectShow and kernel streaming: the system device
// enumerator's video-input category, its monikers, property bags and capture
// filters, and the filter's IKsControl. The system's results pass through
// unchanged as statuses. The component runtime must be initialised on the
// calling thread.

#include <memory>
#include <string>

#include "platform/Capture.h"
#include "platform/win32/DeviceSetup.h"

namespace platform::win32 {

class DirectShowCapture final : public ICaptureSystem {
 public:
  // `setup` must outlive this object.
  explicit DirectShowCapture(IDeviceSetupCalls& setup) : setup_(setup) {}

  Status CreateVideoInputEnumerator(std::unique_ptr<IEnumMoniker>* out) override;
  Status QueryDeviceInstance(const std::string& devicePath, uint32_t* devInst) override;

 private:
  IDeviceSetupCalls& setup_;
};

}  // namespace platform::win32
