#pragma once
// The state of a substitute world behind one mutex: its devices and which of
// them are on the bus, time and the debug lines. The devices and channels
// handed out keep only weak references to it, so that once the world is gone
// they fail as on a gone device.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/Capture.h"
#include "platform/DeviceFacts.h"
#include "platform/DeviceNotifications.h"
#include "platform/Types.h"
#include "platform/VendorRequestChannel.h"
#include "platform/decorators/Faults.h"
#include "platform/decorators/TrafficLog.h"
#include "platform/substitute/Camera.h"
#include "platform/substitute/SubstituteConfig.h"

namespace substitute {

// Fault injection and the traffic log are the decorators' own; a world
// stacks them over its cameras' channels.
using platform::AccessFacts;
using platform::AccessKind;
using platform::AddressRange;
using platform::CommandFault;
using platform::DriverFault;
using platform::FaultAction;
using platform::FaultPlan;
using platform::FaultRule;
using platform::TrafficEntry;
using platform::TrafficKind;

// One incarnation of a device: a reset or an unplug ends it.
struct DeviceRef {
  DeviceId id = 0;
  uint32_t devInst = 0;
};

struct PresenceEvent {
  DeviceId device = 0;
  uint32_t devInst = 0;
  bool arrived = false;
  uint64_t timeMs = 0;
  // A departure the camera's own reset caused, not an unplug.
  bool reset = false;
};
using PresenceListener = std::function<void(const PresenceEvent&)>;

struct DeviceSlot {
  SubstituteDeviceConfig config;
  std::string basePath;
  std::string devicePath;
  std::unique_ptr<Camera> camera;
  // The fault rules and the access count, shared with the channels' decorators.
  std::shared_ptr<platform::FaultState> faults = std::make_shared<platform::FaultState>();
  bool present = false;
  // The appearance: a new number each time the device comes onto the bus, so
  // that objects of an earlier appearance find it gone.
  uint32_t devInst = 0;
  // The device instance the device list reports, per device path: Windows
  // gives a device that comes back on the same port under the same path the
  // instance it had, so it tells nothing about a restart.
  std::map<std::string, uint32_t> instances;
  size_t returnPosition = 0;
  std::optional<uint64_t> returnAt;
  CameraMode returnMode = CameraMode::kRunning;
  uint32_t departures = 0;
};

class WorldCore {
 public:
  explicit WorldCore(const SubstituteWorldConfig& config);
  WorldCore(const WorldCore&) = delete;
  WorldCore& operator=(const WorldCore&) = delete;

  DeviceId AddDevice(const SubstituteDeviceConfig& config);

  // Enumeration.
  platform::Status Enumerate(std::vector<DeviceRef>* devices);
  platform::Status QueryDeviceInstance(const std::string& path, uint32_t* devInst);
  platform::Status Bind(const DeviceRef& ref);
  platform::Status ReadProperty(const DeviceRef& ref, const std::string& name, std::string* value);
  // Whether the device offers a control interface (kNoInterface when not)
  // and on it the camera's extension unit.
  platform::Status ExtensionUnit(const DeviceRef& ref, bool* hasUnit);
  void SetEnumerationFailure(platform::Status status);
  void SetDeviceListFailure(platform::Status status);

  // The extension unit of one appearance of a device.
  platform::Status ControlLength(const DeviceRef& ref, uint32_t selector, uint16_t* length);
  platform::Status ControlGet(const DeviceRef& ref, uint32_t selector, uint8_t* data, uint32_t length,
                              uint32_t* returned);
  platform::Status ControlSet(const DeviceRef& ref, uint32_t selector, const uint8_t* data, uint32_t length);

  // The driver's vendor requests: the device a path opens on, and one request.
  std::optional<DeviceRef> Openable(const std::string& path);
  uint32_t VendorRequest(const DeviceRef& ref, const platform::VendorRequestSetup& setup, uint8_t* data,
                         uint32_t* transferred);
  // What a listing can tell about the present device behind a path.
  platform::DeviceFacts Facts(const std::string& path);

  // What fault actions reach.
  bool Reachable(const DeviceRef& ref);
  void Unplug(const DeviceRef& ref, std::optional<uint32_t> replugAfterMs);
  void LatchStatus(const DeviceRef& ref, uint16_t status);
  std::shared_ptr<platform::FaultState> Faults(DeviceId id);

  // Time.
  void Sleep(uint32_t milliseconds);
  uint64_t Now();

  // Debug output, kept for tests.
  void WriteDebug(const std::string& line);
  std::vector<std::string> DebugLines();
  void ClearDebugLines();

  // Presence.
  void Unplug(DeviceId id, std::optional<uint32_t> replugAfterMs);
  void Plug(DeviceId id);
  void SetPresenceListener(PresenceListener listener);
  std::vector<PresenceEvent> PresenceHistory();
  int Position(DeviceId id);

  // Device notifications: arrivals and removals of capture devices go to
  // every sink registered for the capture interface class.
  uintptr_t RegisterNotifications(const platform::Guid& interfaceClass, platform::DeviceEventSink sink);
  void UnregisterNotifications(uintptr_t registration);
  void SetNotificationRegistrationFails(bool fails);
  size_t NotificationRegistrations();

  // In real time nobody need call in for a camera to come back: a bus thread
  // watches the return times. Started and stopped by the owning world.
  void StartBus();
  void StopBus();

  // Runs `work` on a device under the lock (inspection and set-up by tests).
  template <typename Work>
  auto WithDevice(DeviceId id, Work&& work) {
    std::unique_lock<std::mutex> lock(mutex_);
    UpdatePresence();
    DeviceSlot& slot = Slot(id);
    slot.camera->Tick(NowLocked());
    auto result = work(slot);
    lock.unlock();
    FirePresenceEvents();
    return result;
  }

  std::shared_ptr<std::atomic<int>> LiveObjects() const { return liveObjects_; }
  std::shared_ptr<std::atomic<int>> ForeignReleases() const { return foreignReleases_; }
  std::shared_ptr<std::atomic<int>> OpenVendorChannels() const { return openVendorChannels_; }
  const SubstituteWorldConfig& Config() const { return config_; }

 private:
  DeviceSlot& Slot(DeviceId id);
  DeviceSlot* Current(const DeviceRef& ref);
  uint64_t NowLocked() const;
  void UpdatePresence();
  void Arrive(DeviceSlot& slot, DeviceId id);
  void Depart(DeviceSlot& slot, DeviceId id, std::optional<uint64_t> returnAt, size_t returnPosition,
              CameraMode returnMode, bool reset);
  void Unplug(DeviceSlot& slot, DeviceId id, std::optional<uint32_t> replugAfterMs);
  void FollowDeparture(DeviceSlot& slot, DeviceId id);
  size_t PositionOf(DeviceId id) const;
  void FirePresenceEvents();
  void Notify(const std::vector<PresenceEvent>& events);
  void RunBus();
  std::optional<uint64_t> EarliestReturn() const;
  // Runs `serve` on the device if this appearance of it is still on the bus,
  // follows a departure it caused and tells about it; `gone` otherwise.
  template <typename Result, typename Serve>
  Result OnDevice(const DeviceRef& ref, Result gone, Serve serve);

  const SubstituteWorldConfig config_;
  const std::chrono::steady_clock::time_point createdAt_ = std::chrono::steady_clock::now();
  std::mutex mutex_;
  std::vector<std::unique_ptr<DeviceSlot>> slots_;
  std::vector<DeviceId> order_;  // the present devices in enumeration order
  uint32_t nextDevInst_ = 0x11;
  uint64_t virtualNow_;
  platform::Status enumerationFailure_ = platform::kOk;
  platform::Status deviceListFailure_ = platform::kOk;
  std::vector<std::string> debugLines_;
  std::vector<PresenceEvent> pendingEvents_;
  std::vector<PresenceEvent> presenceHistory_;
  PresenceListener listener_;
  std::map<uintptr_t, platform::DeviceEventSink> sinks_;
  uintptr_t nextRegistration_ = 1;
  bool registrationFails_ = false;
  std::thread bus_;
  std::condition_variable busWake_;
  bool busStopping_ = false;
  std::shared_ptr<std::atomic<int>> liveObjects_ = std::make_shared<std::atomic<int>>(0);
  std::shared_ptr<std::atomic<int>> foreignReleases_ = std::make_shared<std::atomic<int>>(0);
  std::shared_ptr<std::atomic<int>> openVendorChannels_ = std::make_shared<std::atomic<int>>(0);
};

}  // namespace substitute
