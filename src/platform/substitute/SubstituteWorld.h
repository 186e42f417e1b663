#pragma once
// A substitute for the camera, its firmware and its driver, reached only
// through operation-level channels (extension-unit controls and vendor
// requests) and its own enumeration; the capture framework's objects and the
// driver's device files are the platform's adapters over those. A test (or a
// demonstration) creates one world, adds devices, installs `Platform()` and
// lets the host talk to the cameras as it would to hardware; the world
// answers whatever arrives and keeps what it was told. Fault injection, the
// traffic log and the transfer time are decorators stacked over every
// channel, as they could be over any backend's.
//
// Time is virtual unless the world is made real-time: Sleep then advances
// the clock at once, and a camera that left the bus comes back when the
// clock passes its return time (looked at whenever anything calls in). In
// real time the clock really sleeps, every transfer costs its modelled USB
// time, and a bus thread brings cameras back on time. Arrivals and removals
// reach the device-notification sinks on the thread that caused them (the
// bus thread in real time). The seam objects are safe to use from two
// threads in turn; one lock guards the world and is never held while a
// real-time world sleeps or calls a sink.

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/CameraBackend.h"
#include "platform/Platform.h"
#include "platform/substitute/Camera.h"
#include "platform/substitute/CameraProtocol.h"
#include "platform/substitute/SubstituteConfig.h"
#include "platform/substitute/WorldCore.h"

namespace substitute {

class SubstituteWorld {
 public:
  explicit SubstituteWorld(const SubstituteWorldConfig& config = {});
  // Puts the host backend back if this world's seams are still installed.
  ~SubstituteWorld();
  SubstituteWorld(const SubstituteWorld&) = delete;
  SubstituteWorld& operator=(const SubstituteWorld&) = delete;

  // The seams: capture, device files, clock, debug output, device
  // notifications, device facts and a no-op component runtime; the file
  // system, the window and the view stay the host's.
  platform::Platform Platform();
  platform::ICaptureSystem& CaptureSystem();
  platform::IDeviceFiles& DeviceFiles();
  platform::IClock& Clock();
  platform::IDebugOutput& DebugOutput();
  platform::IComRuntime& ComRuntime();
  platform::IDeviceNotifications& DeviceNotifications();
  // The operation-level backend that capture and device files are adapters
  // over; its channels carry the world's faults, log and transfer time.
  platform::ICameraBackend& Backend();

  // Devices take the enumeration positions in the order they are added.
  DeviceId AddCamera(const SubstituteCameraConfig& camera = {});
  DeviceId AddDevice(const SubstituteDeviceConfig& device);

  // Time.
  uint64_t Now();
  void Advance(uint32_t milliseconds);

  // Presence on the bus.
  bool IsPresent(DeviceId id);
  uint32_t DevInst(DeviceId id);     // the reported device instance; 0 while away
  uint32_t Appearance(DeviceId id);  // new with each arrival; 0 while away
  int Position(DeviceId id);         // -1 while away
  std::string DevicePath(DeviceId id);
  uint32_t Departures(DeviceId id);
  std::optional<uint64_t> ReturnTime(DeviceId id);
  // Pulls the camera off the bus; it comes back after `replugAfterMs`, or
  // when plugged in again.
  void Unplug(DeviceId id, std::optional<uint32_t> replugAfterMs = std::nullopt);
  void Plug(DeviceId id);
  void SetPresenceListener(PresenceListener listener);
  std::vector<PresenceEvent> PresenceHistory();
  void SetNotificationRegistrationFails(bool fails);
  size_t NotificationRegistrations();
  void SetEnumerationFailure(platform::Status status);  // kOk: enumerates again
  void SetDeviceListFailure(platform::Status status);
  size_t OpenHandleCount();
  int LiveObjectCount();  // listed devices and extension-unit channels still held
  // Listed devices and extension-unit channels released on a thread other
  // than the one that made them.
  int ForeignReleaseCount();

  // The camera's state.
  std::vector<uint8_t> Memory(DeviceId id);
  void SetMemory(DeviceId id, uint32_t address, const std::vector<uint8_t>& bytes);
  uint8_t Register(DeviceId id, uint16_t address);
  void SetRegister(DeviceId id, uint16_t address, uint8_t value);
  uint8_t FlashStatusRegister(DeviceId id);  // without the busy bit
  uint32_t FlashBusyReadsLeft(DeviceId id);
  void SetFlashStatusRegister(DeviceId id, uint8_t value);
  bool MemoryWritable(DeviceId id);
  uint32_t DataLength(DeviceId id);
  uint16_t CommandStatus(DeviceId id);
  bool TransferOpen(DeviceId id);
  CameraMode Mode(DeviceId id);
  std::optional<uint16_t> DownloadModeParameter(DeviceId id);
  std::optional<uint8_t> ByteA7(DeviceId id);
  uint64_t AccessCount(DeviceId id);
  // Changes a camera's settings in place (see Camera::MutableConfig).
  template <typename Change>
  void ConfigureCamera(DeviceId id, Change&& change) {
    core_->WithDevice(id, [&](DeviceSlot& slot) {
      change(slot.camera->MutableConfig());
      return 0;
    });
  }

  // Faults, on every channel of the device.
  void AddFault(DeviceId id, const FaultRule& rule);
  void ClearFaults(DeviceId id);
  uint32_t FaultsFired(DeviceId id);
  // What fault decorators stacked over another backend's channels, with a
  // fault state of their own, may do to the device as it appears now.
  std::shared_ptr<platform::IFaultHooks> FaultHooks(DeviceId id);

  // Traffic, byte for byte.
  std::vector<TrafficEntry> Traffic();
  void ClearTraffic();
  // The 8-byte blocks set on the command control of one device, in order.
  std::vector<std::vector<uint8_t>> CommandBlocks(DeviceId id);

  // Debug output and the component runtime.
  std::vector<std::string> DebugLines();
  void ClearDebugLines();
  int ComInitializations();
  int ComUninitializations();
  void RefuseComInitialization(bool refuses);

 private:
  struct Seams;
  std::shared_ptr<WorldCore> core_;
  std::unique_ptr<Seams> seams_;
};

}  // namespace substitute
