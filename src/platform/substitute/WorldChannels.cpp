// The extension unit's controls and the driver's vendor requests on their way
// to a camera: presence first, then the camera itself, then whatever
// departure the access caused. Fault injection, the traffic log and the
// transfer time are stacked over these by the world's backend.

#include "platform/substitute/CameraProtocol.h"
#include "platform/substitute/WorldCore.h"

namespace substitute {

template <typename Result, typename Serve>
Result WorldCore::OnDevice(const DeviceRef& ref, Result gone, Serve serve) {
  Result result = gone;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    UpdatePresence();
    if (DeviceSlot* slot = Current(ref)) {
      slot->camera->Tick(NowLocked());
      result = serve(*slot);
      FollowDeparture(*slot, ref.id);
    }
  }
  FirePresenceEvents();
  return result;
}

namespace {

// The extension unit's own refusals: controls it does not have, and a
// request without a buffer.
platform::Status CheckControl(const DeviceSlot& slot, uint32_t selector, const void* data) {
  if (!slot.config.hasExtensionUnit) return kSetNotFound;
  if (selector != kCommandSelector && selector != kDataSelector) return platform::kNotFound;
  if (!data) return kInvalidArgument;
  return platform::kOk;
}

// Whether the driver serves the download-mode requests now.
bool DriverServes(const DeviceSlot& slot) {
  const SubstituteCameraConfig& camera = slot.camera->Config();
  return camera.driverPath == DriverPathService::kServed ||
         (camera.driverPath == DriverPathService::kDownloadModeOnly && slot.camera->Mode() == CameraMode::kDownload);
}

}  // namespace

platform::Status WorldCore::ControlLength(const DeviceRef& ref, uint32_t selector, uint16_t* length) {
  *length = 0;
  return OnDevice(ref, platform::kDeviceGone, [&](DeviceSlot& slot) {
    const platform::Status refused = CheckControl(slot, selector, length);
    if (platform::Failed(refused)) return refused;
    *length = slot.camera->ControlLength(selector);
    return platform::kOk;
  });
}

platform::Status WorldCore::ControlGet(const DeviceRef& ref, uint32_t selector, uint8_t* data, uint32_t length,
                                       uint32_t* returned) {
  *returned = 0;
  return OnDevice(ref, platform::kDeviceGone, [&](DeviceSlot& slot) {
    const platform::Status refused = CheckControl(slot, selector, data);
    if (platform::Failed(refused)) return refused;
    // The driver serves a buffer larger than the control by asking the
    // camera for the control's length first and then reading that many
    // bytes; the camera itself only ever sees transfers of a control's size.
    const uint32_t current = slot.camera->ControlLength(selector);
    return slot.camera->Get(selector, data, length > current ? current : length, returned);
  });
}

platform::Status WorldCore::ControlSet(const DeviceRef& ref, uint32_t selector, const uint8_t* data, uint32_t length) {
  return OnDevice(ref, platform::kDeviceGone, [&](DeviceSlot& slot) {
    const platform::Status refused = CheckControl(slot, selector, data);
    if (platform::Failed(refused)) return refused;
    return slot.camera->Set(selector, data, length);
  });
}

std::optional<DeviceRef> WorldCore::Openable(const std::string& path) {
  std::lock_guard<std::mutex> lock(mutex_);
  UpdatePresence();
  for (DeviceId id : order_) {
    const DeviceSlot& slot = *slots_[id];
    if (slot.config.hasDevicePath && slot.devicePath == path && slot.config.opens) return DeviceRef{id, slot.devInst};
  }
  return std::nullopt;
}

uint32_t WorldCore::VendorRequest(const DeviceRef& ref, const platform::VendorRequestSetup& setup, uint8_t* data,
                                  uint32_t* transferred) {
  *transferred = 0;
  return OnDevice(ref, platform::kErrorDeviceNotConnected, [&](DeviceSlot& slot) {
    if (!DriverServes(slot)) return slot.camera->Config().driverRefusalError;
    return slot.camera->VendorRequest(setup, data, transferred);
  });
}

platform::DeviceFacts WorldCore::Facts(const std::string& path) {
  std::lock_guard<std::mutex> lock(mutex_);
  UpdatePresence();
  platform::DeviceFacts facts;
  for (DeviceId id : order_) {
    const DeviceSlot& slot = *slots_[id];
    if (!slot.config.hasDevicePath || slot.devicePath != path) continue;
    facts.usbVendorId = slot.config.usbVendorId;
    facts.usbProductId = slot.config.usbProductId;
    facts.serialNumber = slot.config.serialNumber;
    facts.port = slot.config.port;
    facts.hasExtensionUnit = slot.config.hasKsControl && slot.config.hasExtensionUnit;
    if (*facts.hasExtensionUnit) facts.extensionUnitId = static_cast<uint8_t>(kExtensionUnitNode);
    facts.downloadPathOpens = slot.config.opens && DriverServes(slot);
    break;
  }
  return facts;
}

bool WorldCore::Reachable(const DeviceRef& ref) {
  return OnDevice(ref, false, [](DeviceSlot&) { return true; });
}

void WorldCore::Unplug(const DeviceRef& ref, std::optional<uint32_t> replugAfterMs) {
  OnDevice(ref, 0, [&](DeviceSlot& slot) {
    Unplug(slot, ref.id, replugAfterMs);
    return 0;
  });
}

void WorldCore::LatchStatus(const DeviceRef& ref, uint16_t status) {
  OnDevice(ref, 0, [&](DeviceSlot& slot) {
    slot.camera->Refuse(status);
    return 0;
  });
}

}  // namespace substitute
