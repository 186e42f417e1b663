#pragma once
// The state of a substitute world behind one mutex: its devices and which of
// them are on the bus, open device files, time, the traffic log and the debug
// lines. The capture objects handed to a host keep only weak references to
// it, so that once the world is gone they fail as on a gone device.

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
#include "platform/DeviceNotifications.h"
#include "platform/Types.h"
#include "platform/substitute/Camera.h"
#include "platform/substitute/Faults.h"
#include "platform/substitute/SubstituteConfig.h"
#include "platform/substitute/TrafficLog.h"

namespace substitute {

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
};
using PresenceListener = std::function<void(const PresenceEvent&)>;

struct DeviceSlot {
  SubstituteDeviceConfig config;
  std::string basePath;
  std::string devicePath;
  std::unique_ptr<Camera> camera;
  FaultPlan faults;
  bool present = false;
  uint32_t devInst = 0;
  size_t returnPosition = 0;
  std::optional<uint64_t> returnAt;
  CameraMode returnMode = CameraMode::kRunning;
  uint64_t accesses = 0;
  uint32_t departures = 0;
};

class WorldCore {
 public:
  explicit WorldCore(const SubstituteWorldConfig& config);
  WorldCore(const WorldCore&) = delete;
  WorldCore& operator=(const WorldCore&) = delete;

  DeviceId AddDevice(const SubstituteDeviceConfig& config);

  // Capture seam.
  platform::Status Enumerate(std::vector<DeviceRef>* devices);
  platform::Status QueryDeviceInstance(const std::string& path, uint32_t* devInst);
  platform::Status Bind(const DeviceRef& ref);
  platform::Status ReadProperty(const DeviceRef& ref, const std::string& name, std::string* value);
  platform::Status QueryKsControl(const DeviceRef& ref);
  platform::Status KsProperty(const DeviceRef& ref, const platform::KsNodeProperty& property, uint32_t propertyLength,
                              uint8_t* data, uint32_t length, uint32_t* returned);
  void SetEnumerationFailure(platform::Status status);
  void SetDeviceListFailure(platform::Status status);

  // Device files.
  platform::Handle Open(const std::string& path);
  bool Close(platform::Handle handle);
  uint32_t IoControl(platform::Handle handle, uint32_t code, const void* in, uint32_t inLength, void* out,
                     uint32_t outLength, uint32_t* returned);
  size_t OpenHandleCount();

  // Time.
  void Sleep(uint32_t milliseconds);
  uint64_t Now();

  // Debug output, kept for tests.
  void WriteDebug(const std::string& line);
  std::vector<std::string> DebugLines();
  void ClearDebugLines();

  // Traffic.
  std::vector<TrafficEntry> Traffic();
  void ClearTraffic();

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
    auto result = work(Slot(id));
    lock.unlock();
    FirePresenceEvents();
    return result;
  }

  std::shared_ptr<std::atomic<int>> LiveObjects() const { return liveObjects_; }
  bool RealTime() const { return config_.realTime; }

 private:
  DeviceSlot& Slot(DeviceId id);
  DeviceSlot* Current(const DeviceRef& ref);
  uint64_t NowLocked() const;
  void UpdatePresence();
  void Arrive(DeviceSlot& slot, DeviceId id);
  void Depart(DeviceSlot& slot, DeviceId id, std::optional<uint64_t> returnAt, size_t returnPosition,
              CameraMode returnMode);
  void Unplug(DeviceSlot& slot, DeviceId id, std::optional<uint32_t> replugAfterMs);
  void FollowDeparture(DeviceSlot& slot, DeviceId id);
  size_t PositionOf(DeviceId id) const;
  void FirePresenceEvents();
  void Notify(const std::vector<PresenceEvent>& events);
  void Pause(uint64_t micros);
  void RunBus();
  std::optional<uint64_t> EarliestReturn() const;

  platform::Status ServeControl(DeviceSlot& slot, DeviceId id, const platform::KsNodeProperty& property,
                                uint32_t propertyLength, uint8_t* data, uint32_t length, uint32_t* returned,
                                bool* faultFired);
  platform::Status CheckControlRequest(const DeviceSlot& slot, const platform::KsNodeProperty& property,
                                       uint32_t propertyLength, const uint8_t* data) const;
  uint32_t ServeDriver(DeviceSlot& slot, DeviceId id, uint32_t code, const uint8_t* in, uint32_t inLength,
                       uint8_t* out, uint32_t outLength, uint32_t* returned, bool* faultFired);
  void LogControl(const DeviceRef& ref, const platform::KsNodeProperty& property, uint32_t propertyLength,
                  const uint8_t* data, uint32_t length, uint32_t returned, platform::Status status,
                  bool faultFired);
  void LogDriver(const DeviceRef& ref, uint32_t code, const std::vector<uint8_t>& in, const uint8_t* out,
                 uint32_t outLength, uint32_t returned, uint32_t result, bool faultFired);

  const SubstituteWorldConfig config_;
  const std::chrono::steady_clock::time_point createdAt_ = std::chrono::steady_clock::now();
  std::mutex mutex_;
  std::vector<std::unique_ptr<DeviceSlot>> slots_;
  std::vector<DeviceId> order_;  // the present devices in enumeration order
  uint32_t nextDevInst_ = 0x11;
  std::map<platform::Handle, DeviceRef> handles_;
  platform::Handle nextHandle_ = 0x100;
  uint64_t virtualNow_;
  platform::Status enumerationFailure_ = platform::kOk;
  platform::Status deviceListFailure_ = platform::kOk;
  TrafficLog traffic_;
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
};

}  // namespace substitute
