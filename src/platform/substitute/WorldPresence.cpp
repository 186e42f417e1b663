// Which devices are on the bus: arrivals, departures after a reset or an
// unplug, returns when the clock passes their time, and the notifications
// and listeners that hear about them.

#include <algorithm>
#include <string>

#include "platform/substitute/WorldCore.h"

namespace substitute {

// --- presence ---------------------------------------------------------------

void WorldCore::Arrive(DeviceSlot& slot, DeviceId id) {
  slot.present = true;
  slot.returnAt.reset();
  slot.devInst = nextDevInst_++;
  slot.camera->PowerUp(slot.returnMode);
  const bool inDownloadMode = slot.returnMode == CameraMode::kDownload;
  const std::string& downloadPath = slot.camera->Config().downloadModeDevicePath;
  slot.devicePath = inDownloadMode && !downloadPath.empty() ? downloadPath : slot.basePath;
  if (slot.config.newPathEachArrival && slot.departures > 0) slot.devicePath += "~" + std::to_string(slot.departures);
  if (!config_.keepsDeviceInstance || !slot.instances.count(slot.devicePath))
    slot.instances[slot.devicePath] = slot.devInst;
  const size_t position = std::min(slot.returnPosition, order_.size());
  order_.insert(order_.begin() + static_cast<ptrdiff_t>(position), id);
  pendingEvents_.push_back({id, slot.devInst, true, NowLocked(), false});
}

void WorldCore::Depart(DeviceSlot& slot, DeviceId id, std::optional<uint64_t> returnAt, size_t returnPosition,
                       CameraMode returnMode, bool reset) {
  if (!slot.present) return;
  order_.erase(order_.begin() + static_cast<ptrdiff_t>(PositionOf(id)));
  slot.present = false;
  slot.returnAt = returnAt;
  slot.returnPosition = returnPosition;
  slot.returnMode = returnMode;
  ++slot.departures;
  pendingEvents_.push_back({id, slot.devInst, false, NowLocked(), reset});
  busWake_.notify_all();
}

void WorldCore::Unplug(DeviceSlot& slot, DeviceId id, std::optional<uint32_t> replugAfterMs) {
  std::optional<uint64_t> returnAt;
  if (replugAfterMs) returnAt = NowLocked() + *replugAfterMs;
  Depart(slot, id, returnAt, PositionOf(id), CameraMode::kRunning, false);
}

void WorldCore::FollowDeparture(DeviceSlot& slot, DeviceId id) {
  const std::optional<CameraMode> mode = slot.camera->TakeDeparture();
  if (!mode) return;
  const SubstituteCameraConfig& camera = slot.camera->Config();
  std::optional<uint64_t> returnAt;
  if (!camera.neverReturns) returnAt = NowLocked() + camera.rebootDelayMs;
  const size_t position = camera.returnPosition >= 0 ? static_cast<size_t>(camera.returnPosition) : PositionOf(id);
  Depart(slot, id, returnAt, position, *mode, true);
}

size_t WorldCore::PositionOf(DeviceId id) const {
  return static_cast<size_t>(std::find(order_.begin(), order_.end(), id) - order_.begin());
}

void WorldCore::UpdatePresence() {
  const uint64_t now = NowLocked();
  for (;;) {
    DeviceSlot* due = nullptr;
    DeviceId dueId = 0;
    for (DeviceId id = 0; id < slots_.size(); ++id) {
      DeviceSlot& slot = *slots_[id];
      if (slot.present || !slot.returnAt || *slot.returnAt > now) continue;
      if (!due || *slot.returnAt < *due->returnAt) {
        due = &slot;
        dueId = id;
      }
    }
    if (!due) return;
    Arrive(*due, dueId);
  }
}

void WorldCore::Unplug(DeviceId id, std::optional<uint32_t> replugAfterMs) {
  WithDevice(id, [&](DeviceSlot& slot) {
    Unplug(slot, id, replugAfterMs);
    return 0;
  });
}

void WorldCore::Plug(DeviceId id) {
  WithDevice(id, [&](DeviceSlot& slot) {
    if (!slot.present) Arrive(slot, id);
    return 0;
  });
}

int WorldCore::Position(DeviceId id) {
  return WithDevice(id, [&](DeviceSlot& slot) { return slot.present ? static_cast<int>(PositionOf(id)) : -1; });
}

void WorldCore::SetPresenceListener(PresenceListener listener) {
  std::lock_guard<std::mutex> lock(mutex_);
  listener_ = std::move(listener);
}

std::vector<PresenceEvent> WorldCore::PresenceHistory() {
  std::lock_guard<std::mutex> lock(mutex_);
  UpdatePresence();
  return presenceHistory_;
}

void WorldCore::FirePresenceEvents() {
  std::vector<PresenceEvent> events;
  PresenceListener listener;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    events.swap(pendingEvents_);
    presenceHistory_.insert(presenceHistory_.end(), events.begin(), events.end());
    listener = listener_;
  }
  if (events.empty()) return;
  Notify(events);
  if (!listener) return;
  for (const PresenceEvent& event : events) listener(event);
}

void WorldCore::Notify(const std::vector<PresenceEvent>& events) {
  std::vector<platform::DeviceEventSink> sinks;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& registration : sinks_) sinks.push_back(registration.second);
  }
  platform::DeviceBroadcast broadcast;
  broadcast.classGuid = platform::kCaptureInterfaceClass;
  for (const PresenceEvent& event : events) {
    const uint32_t code = event.arrived ? platform::kDeviceArrival : platform::kDeviceRemoveComplete;
    for (const platform::DeviceEventSink& sink : sinks) sink(code, broadcast);
  }
}

uintptr_t WorldCore::RegisterNotifications(const platform::Guid& interfaceClass, platform::DeviceEventSink sink) {
  std::lock_guard<std::mutex> lock(mutex_);
  // Every device of this world is a capture device: other classes hear nothing.
  if (registrationFails_ || !sink) return 0;
  const uintptr_t registration = nextRegistration_++;
  if (interfaceClass == platform::kCaptureInterfaceClass) sinks_[registration] = std::move(sink);
  return registration;
}

void WorldCore::UnregisterNotifications(uintptr_t registration) {
  std::lock_guard<std::mutex> lock(mutex_);
  sinks_.erase(registration);
}

void WorldCore::SetNotificationRegistrationFails(bool fails) {
  std::lock_guard<std::mutex> lock(mutex_);
  registrationFails_ = fails;
}

size_t WorldCore::NotificationRegistrations() {
  std::lock_guard<std::mutex> lock(mutex_);
  return sinks_.size();
}

// --- the real-time bus --------------------------------------------------------

void WorldCore::StartBus() {
  if (!config_.realTime || bus_.joinable()) return;
  bus_ = std::thread([this] { RunBus(); });
}

void WorldCore::StopBus() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    busStopping_ = true;
  }
  busWake_.notify_all();
  if (bus_.joinable()) bus_.join();
}

std::optional<uint64_t> WorldCore::EarliestReturn() const {
  std::optional<uint64_t> earliest;
  for (const auto& slot : slots_) {
    if (!slot->present && slot->returnAt && (!earliest || *slot->returnAt < *earliest)) earliest = slot->returnAt;
  }
  return earliest;
}

void WorldCore::RunBus() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!busStopping_) {
    const std::optional<uint64_t> next = EarliestReturn();
    if (next) {
      const auto due = createdAt_ + std::chrono::milliseconds(*next - std::min(*next, config_.startMs));
      busWake_.wait_until(lock, due);
    } else {
      busWake_.wait(lock);
    }
    UpdatePresence();
    if (pendingEvents_.empty()) continue;
    lock.unlock();
    FirePresenceEvents();
    lock.lock();
  }
}

}  // namespace substitute
