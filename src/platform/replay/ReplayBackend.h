#pragma once
// A camera played back from a trace. Its clock is virtual and follows the
// recording: a wait passes at once, and a transfer is answered no earlier
// than it was recorded, so the time the command sees is the recorded run's.
// A listing answers what was listed at that time, between the transfers it
// lay between in the recording: the camera leaves after its reset and comes
// back when it did. Transfers must come as recorded, in order; the first that
// differs (another operation, selector, request or bytes sent, or another
// device) or that goes beyond the recording stops the replay, and from then
// on the camera is gone.

#include <memory>
#include <string>
#include <vector>

#include "platform/CameraBackend.h"
#include "platform/Clock.h"
#include "platform/DeviceFacts.h"
#include "platform/replay/RecordedTrace.h"

namespace platform {

// What every object of one replay shares: the recording, the clock and the
// place reached in it.
class ReplayState;

class ReplayBackend final : public ICameraBackend, public IDeviceFacts {
 public:
  explicit ReplayBackend(RecordedTrace trace);
  ~ReplayBackend() override;
  ReplayBackend(const ReplayBackend&) = delete;
  ReplayBackend& operator=(const ReplayBackend&) = delete;

  Status ListVideoInputs(std::vector<std::shared_ptr<IVideoInput>>* out) override;
  Status QueryDeviceInstance(const std::string& devicePath, uint32_t* devInst) override;
  std::shared_ptr<IVendorRequestChannel> OpenVendorRequests(const std::string& devicePath) override;
  std::string WhereListed() override;
  DeviceFacts Describe(const std::string& devicePath) override;

  // The replay's clock; it outlives nothing the backend handed out.
  IClock& Clock();

  // Why the command's run was not the recorded one: where the replay
  // stopped, or, once the command has ended, the transfers it left
  // unplayed. Empty when it went as recorded.
  std::string Verdict();

 private:
  std::shared_ptr<ReplayState> state_;
  std::unique_ptr<IClock> clock_;
};

}  // namespace platform
