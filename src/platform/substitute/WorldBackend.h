#pragma once
// The substitute world as a camera backend: the video-input devices present,
// their extension units and the driver's vendor requests, each channel with
// the world's fault injection, traffic log and transfer time stacked over it.
// Every object handed out stands for one appearance of a device and fails as
// on a gone device once it has left, or once the world is gone.

#include <memory>

#include "platform/CameraBackend.h"
#include "platform/decorators/Decorate.h"
#include "platform/substitute/WorldCore.h"

namespace substitute {

// The layers every channel gets besides its camera's fault state.
struct ChannelLayers {
  std::shared_ptr<platform::TrafficLog> log;       // null: no log
  std::shared_ptr<platform::IClock> clock;         // stamps the log
  std::shared_ptr<platform::TransferPause> pause;  // null: traffic takes no time
  platform::TransferTiming timing;
};

// What the fault decorators may do to one appearance of a device: tell
// whether it is still there, take it off the bus, latch its command status.
std::shared_ptr<platform::IFaultHooks> FaultHooksFor(const std::shared_ptr<WorldCore>& core, const DeviceRef& ref);

class WorldBackend final : public platform::ICameraBackend {
 public:
  WorldBackend(std::shared_ptr<WorldCore> core, ChannelLayers layers);

  platform::Status ListVideoInputs(std::vector<std::shared_ptr<platform::IVideoInput>>* out) override;
  platform::Status QueryDeviceInstance(const std::string& devicePath, uint32_t* devInst) override;
  std::shared_ptr<platform::IVendorRequestChannel> OpenVendorRequests(const std::string& devicePath) override;

 private:
  std::shared_ptr<WorldCore> core_;
  ChannelLayers layers_;
};

}  // namespace substitute
