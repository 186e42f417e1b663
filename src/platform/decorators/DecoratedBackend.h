#pragma once
// Any camera backend with the decorators (Decorate.h) stacked over every
// channel it opens: fault injection, the traffic log and the transfer time
// then reach a host's cameras as they reach the substitute's, through the
// same adapters above.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/CameraBackend.h"
#include "platform/decorators/Decorate.h"

namespace platform {

class DecoratedCameraBackend final : public ICameraBackend {
 public:
  // The decorations of the channels of the device behind a device path. Asked
  // each time a channel opens, so that they can follow the device from one
  // appearance on the bus to the next; none leave the channel as it is.
  using DecorationsFor = std::function<ChannelDecorations(const std::string& devicePath)>;

  // `inner` must outlive this backend; what it hands out may outlive both.
  DecoratedCameraBackend(ICameraBackend& inner, DecorationsFor decorations);

  Status ListVideoInputs(std::vector<std::shared_ptr<IVideoInput>>* out) override;
  Status QueryDeviceInstance(const std::string& devicePath, uint32_t* devInst) override;
  std::shared_ptr<IVendorRequestChannel> OpenVendorRequests(const std::string& devicePath) override;

 private:
  ICameraBackend& inner_;
  std::shared_ptr<const DecorationsFor> decorations_;
};

}  // namespace platform
