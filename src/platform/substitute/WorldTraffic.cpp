// Control accesses and I/O control calls on their way to a device: presence,
// the fault plan, the capture framework's own checks, the camera, the log,
// and the modelled USB time once the lock is let go.

#include <algorithm>
#include <vector>

#include "platform/substitute/CameraProtocol.h"
#include "platform/substitute/WorldCore.h"

namespace substitute {

platform::Status WorldCore::KsProperty(const DeviceRef& ref, const platform::KsNodeProperty& property,
                                       uint32_t propertyLength, uint8_t* data, uint32_t length,
                                       uint32_t* returned) {
  uint32_t received = 0;
  platform::Status status = platform::kDeviceGone;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    UpdatePresence();
    bool faultFired = false;
    if (DeviceSlot* slot = Current(ref))
      status = ServeControl(*slot, ref.id, property, propertyLength, data, length, &received, &faultFired);
    LogControl(ref, property, propertyLength, data, length, received, status, faultFired);
  }
  if (returned) *returned = received;
  Pause(config_.latency.controlTransferMicros);
  FirePresenceEvents();
  return status;
}

platform::Status WorldCore::ServeControl(DeviceSlot& slot, DeviceId id, const platform::KsNodeProperty& property,
                                         uint32_t propertyLength, uint8_t* data, uint32_t length,
                                         uint32_t* returned, bool* faultFired) {
  const bool isSet = property.flags == platform::kKsPropertySetTopology;
  AccessFacts facts = slot.camera->DescribeControl(isSet, property.id, data, length);
  facts.number = ++slot.accesses;
  const std::optional<FaultRule> fault = slot.faults.Match(facts);
  *faultFired = fault.has_value();
  if (fault && fault->action == FaultAction::kUnplugBefore) {
    Unplug(slot, id, fault->replugAfterMs);
    return platform::kDeviceGone;
  }
  if (fault && fault->action == FaultAction::kFail) {
    slot.camera->Refuse(fault->cameraStatus);
    return fault->ksStatus;
  }
  platform::Status status = CheckControlRequest(slot, property, propertyLength, data);
  if (!platform::Failed(status)) {
    status = isSet ? slot.camera->Set(property.id, data, length)
                   : slot.camera->Get(property.id, data, length, returned);
  }
  FollowDeparture(slot, id);
  if (fault) Unplug(slot, id, fault->replugAfterMs);  // unplugged right after the access
  return status;
}

platform::Status WorldCore::CheckControlRequest(const DeviceSlot& slot, const platform::KsNodeProperty& property,
                                                uint32_t propertyLength, const uint8_t* data) const {
  if (!slot.config.hasExtensionUnit) return kSetNotFound;
  if (propertyLength < platform::KsNodeProperty::kSize) return kInvalidArgument;
  if (!(property.set == kExtensionUnitGuid)) return kSetNotFound;
  if (property.flags != platform::kKsPropertyGetTopology && property.flags != platform::kKsPropertySetTopology)
    return kInvalidArgument;
  if (property.nodeId != kExtensionUnitNode) return platform::kNotFound;
  if (property.id != kCommandSelector && property.id != kDataSelector) return platform::kNotFound;
  if (!data) return kInvalidArgument;
  return platform::kOk;
}

uint32_t WorldCore::IoControl(platform::Handle handle, uint32_t code, const void* in, uint32_t inLength, void* out,
                              uint32_t outLength, uint32_t* returned) {
  uint32_t delivered = 0;
  uint32_t result = platform::kErrorInvalidHandle;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    UpdatePresence();
    const auto found = handles_.find(handle);
    if (found != handles_.end()) {
      const DeviceRef ref = found->second;
      const auto* input = static_cast<const uint8_t*>(in);
      auto* output = static_cast<uint8_t*>(out);
      // Input and output may be one buffer: the log keeps the input as it came.
      const std::vector<uint8_t> request = input ? std::vector<uint8_t>(input, input + inLength) : std::vector<uint8_t>();
      bool faultFired = false;
      result = platform::kErrorDeviceNotConnected;
      if (DeviceSlot* slot = Current(ref))
        result = ServeDriver(*slot, ref.id, code, input, inLength, output, outLength, &delivered, &faultFired);
      LogDriver(ref, code, request, output, outLength, delivered, result, faultFired);
    }
  }
  if (returned) *returned = delivered;
  const UsbLatency& latency = config_.latency;
  Pause(latency.ioControlMicros + (static_cast<uint64_t>(inLength) + outLength) * latency.ioControlNanosPerByte / 1000);
  FirePresenceEvents();
  return result;
}

uint32_t WorldCore::ServeDriver(DeviceSlot& slot, DeviceId id, uint32_t code, const uint8_t* in, uint32_t inLength,
                                uint8_t* out, uint32_t outLength, uint32_t* returned, bool* faultFired) {
  AccessFacts facts = Camera::DescribeDriverRequest(in, inLength);
  facts.number = ++slot.accesses;
  const std::optional<FaultRule> fault = slot.faults.Match(facts);
  *faultFired = fault.has_value();
  if (fault && fault->action == FaultAction::kUnplugBefore) {
    Unplug(slot, id, fault->replugAfterMs);
    return platform::kErrorDeviceNotConnected;
  }
  if (fault && fault->action == FaultAction::kFail) return fault->ioError;
  const SubstituteCameraConfig& camera = slot.camera->Config();
  const bool served = camera.driverPath == DriverPathService::kServed ||
                      (camera.driverPath == DriverPathService::kDownloadModeOnly &&
                       slot.camera->Mode() == CameraMode::kDownload);
  uint32_t result = platform::kErrorInvalidFunction;
  if (code == kDriverRequestCode) {
    result = served ? slot.camera->DriverRequest(in, inLength, out, outLength, returned)
                    : camera.driverRefusalError;
  }
  FollowDeparture(slot, id);
  if (fault) Unplug(slot, id, fault->replugAfterMs);
  return result;
}

void WorldCore::LogControl(const DeviceRef& ref, const platform::KsNodeProperty& property, uint32_t propertyLength,
                           const uint8_t* data, uint32_t length, uint32_t returned, platform::Status status,
                           bool faultFired) {
  if (!config_.logTraffic) return;
  TrafficEntry entry;
  const bool isSet = property.flags == platform::kKsPropertySetTopology;
  entry.kind = isSet ? TrafficKind::kKsSet : TrafficKind::kKsGet;
  entry.device = ref.id;
  entry.devInst = ref.devInst;
  entry.timeMs = NowLocked();
  entry.faultFired = faultFired;
  entry.property = property;
  entry.propertyLength = propertyLength;
  entry.length = length;
  entry.status = status;
  entry.returned = returned;
  if (data && isSet) entry.in.assign(data, data + length);
  if (data && !isSet) entry.out.assign(data, data + std::min(returned, length));
  traffic_.Add(std::move(entry));
}

void WorldCore::LogDriver(const DeviceRef& ref, uint32_t code, const std::vector<uint8_t>& in, const uint8_t* out,
                          uint32_t outLength, uint32_t returned, uint32_t result, bool faultFired) {
  if (!config_.logTraffic) return;
  TrafficEntry entry;
  entry.kind = TrafficKind::kIoControl;
  entry.device = ref.id;
  entry.devInst = ref.devInst;
  entry.timeMs = NowLocked();
  entry.faultFired = faultFired;
  entry.ioCode = code;
  entry.length = static_cast<uint32_t>(in.size());
  entry.outLength = outLength;
  entry.ioResult = result;
  entry.returned = returned;
  entry.in = in;
  if (out) entry.out.assign(out, out + std::min(returned, outLength));
  traffic_.Add(std::move(entry));
}

}  // namespace substitute
