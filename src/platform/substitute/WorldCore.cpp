#include "platform/substitute/WorldCore.h"

#include <algorithm>
#include <thread>

#include "platform/substitute/CameraProtocol.h"

namespace substitute {
namespace {

std::string MadeUpPath(DeviceId id, const SubstituteDeviceConfig& config) {
  char path[160];
  std::snprintf(path, sizeof path,
                "\\\\?\\usb#vid_%04x&pid_%04x&mi_00#7&2a1c0b3&0&%04zu#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global",
                unsigned{config.usbVendorId}, unsigned{config.usbProductId}, id);
  return path;
}

}  // namespace

WorldCore::WorldCore(const SubstituteWorldConfig& config) : config_(config), virtualNow_(config.startMs) {}

DeviceId WorldCore::AddDevice(const SubstituteDeviceConfig& config) {
  std::unique_lock<std::mutex> lock(mutex_);
  const DeviceId id = slots_.size();
  auto slot = std::make_unique<DeviceSlot>();
  slot->config = config;
  slot->basePath = config.devicePath.empty() ? MadeUpPath(id, config) : config.devicePath;
  slot->camera = std::make_unique<Camera>(config.camera);
  slot->returnPosition = order_.size();
  slots_.push_back(std::move(slot));
  Arrive(*slots_.back(), id);
  lock.unlock();
  FirePresenceEvents();
  return id;
}

DeviceSlot& WorldCore::Slot(DeviceId id) {
  if (id >= slots_.size()) {
    // A test that names a device it never added has a bug of its own.
    std::fprintf(stderr, "substitute world: no device %zu\n", id);
    std::abort();
  }
  return *slots_[id];
}

DeviceSlot* WorldCore::Current(const DeviceRef& ref) {
  if (ref.id >= slots_.size()) return nullptr;
  DeviceSlot& slot = *slots_[ref.id];
  return slot.present && slot.devInst == ref.devInst ? &slot : nullptr;
}

// --- time -------------------------------------------------------------------

uint64_t WorldCore::NowLocked() const {
  if (!config_.realTime) return virtualNow_;
  const auto elapsed = std::chrono::steady_clock::now() - createdAt_;
  return config_.startMs +
         static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
}

uint64_t WorldCore::Now() {
  std::lock_guard<std::mutex> lock(mutex_);
  return NowLocked();
}

void WorldCore::Sleep(uint32_t milliseconds) {
  if (config_.realTime) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
  } else {
    std::lock_guard<std::mutex> lock(mutex_);
    virtualNow_ += milliseconds;
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    UpdatePresence();
  }
  FirePresenceEvents();
}

// --- debug output -------------------------------------------------------------

void WorldCore::WriteDebug(const std::string& line) {
  std::lock_guard<std::mutex> lock(mutex_);
  debugLines_.push_back(line);
}

std::vector<std::string> WorldCore::DebugLines() {
  std::lock_guard<std::mutex> lock(mutex_);
  return debugLines_;
}

void WorldCore::ClearDebugLines() {
  std::lock_guard<std::mutex> lock(mutex_);
  debugLines_.clear();
}

// --- enumeration ------------------------------------------------------------

platform::Status WorldCore::Enumerate(std::vector<DeviceRef>* devices) {
  std::lock_guard<std::mutex> lock(mutex_);
  UpdatePresence();
  devices->clear();
  if (platform::Failed(enumerationFailure_)) return enumerationFailure_;
  for (DeviceId id : order_) devices->push_back({id, slots_[id]->devInst});
  return platform::kOk;
}

void WorldCore::SetEnumerationFailure(platform::Status status) {
  std::lock_guard<std::mutex> lock(mutex_);
  enumerationFailure_ = status;
}

void WorldCore::SetDeviceListFailure(platform::Status status) {
  std::lock_guard<std::mutex> lock(mutex_);
  deviceListFailure_ = status;
}

platform::Status WorldCore::QueryDeviceInstance(const std::string& path, uint32_t* devInst) {
  std::lock_guard<std::mutex> lock(mutex_);
  UpdatePresence();
  *devInst = 0;
  if (platform::Failed(deviceListFailure_)) return deviceListFailure_;
  for (DeviceId id : order_) {
    const DeviceSlot& slot = *slots_[id];
    if (slot.config.hasDevicePath && slot.devicePath == path) *devInst = slot.instances.at(path);
  }
  return platform::kOk;
}

platform::Status WorldCore::Bind(const DeviceRef& ref) {
  std::lock_guard<std::mutex> lock(mutex_);
  UpdatePresence();
  return Current(ref) ? platform::kOk : platform::kDeviceGone;
}

platform::Status WorldCore::ReadProperty(const DeviceRef& ref, const std::string& name, std::string* value) {
  std::lock_guard<std::mutex> lock(mutex_);
  UpdatePresence();
  const DeviceSlot* slot = Current(ref);
  if (!slot) return platform::kDeviceGone;
  if (name == "DevicePath" && slot->config.hasDevicePath) {
    *value = slot->devicePath;
    return platform::kOk;
  }
  if (name == "FriendlyName" && slot->config.friendlyName) {
    *value = *slot->config.friendlyName;
    return platform::kOk;
  }
  return kPropertyMissing;
}

platform::Status WorldCore::ExtensionUnit(const DeviceRef& ref, bool* hasUnit) {
  std::lock_guard<std::mutex> lock(mutex_);
  UpdatePresence();
  *hasUnit = false;
  const DeviceSlot* slot = Current(ref);
  if (!slot) return platform::kDeviceGone;
  if (!slot->config.hasKsControl) return platform::kNoInterface;
  *hasUnit = slot->config.hasExtensionUnit;
  return platform::kOk;
}

std::shared_ptr<platform::FaultState> WorldCore::Faults(DeviceId id) {
  return WithDevice(id, [](DeviceSlot& slot) { return slot.faults; });
}

}  // namespace substitute
