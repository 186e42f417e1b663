// What tests may look at and change in a substitute world besides the seams.

#include "platform/substitute/SubstituteWorld.h"
#include "platform/substitute/WorldBackend.h"

namespace substitute {

bool SubstituteWorld::IsPresent(DeviceId id) {
  return core_->WithDevice(id, [](DeviceSlot& slot) { return slot.present; });
}

uint32_t SubstituteWorld::DevInst(DeviceId id) {
  return core_->WithDevice(id, [](DeviceSlot& slot) { return slot.present ? slot.instances[slot.devicePath] : 0u; });
}

uint32_t SubstituteWorld::Appearance(DeviceId id) {
  return core_->WithDevice(id, [](DeviceSlot& slot) { return slot.present ? slot.devInst : 0u; });
}

int SubstituteWorld::Position(DeviceId id) { return core_->Position(id); }

std::string SubstituteWorld::DevicePath(DeviceId id) {
  return core_->WithDevice(id, [](DeviceSlot& slot) { return slot.devicePath; });
}

uint32_t SubstituteWorld::Departures(DeviceId id) {
  return core_->WithDevice(id, [](DeviceSlot& slot) { return slot.departures; });
}

std::optional<uint64_t> SubstituteWorld::ReturnTime(DeviceId id) {
  return core_->WithDevice(id, [](DeviceSlot& slot) { return slot.returnAt; });
}

void SubstituteWorld::Unplug(DeviceId id, std::optional<uint32_t> replugAfterMs) { core_->Unplug(id, replugAfterMs); }
void SubstituteWorld::Plug(DeviceId id) { core_->Plug(id); }
void SubstituteWorld::SetPresenceListener(PresenceListener listener) {
  core_->SetPresenceListener(std::move(listener));
}
std::vector<PresenceEvent> SubstituteWorld::PresenceHistory() { return core_->PresenceHistory(); }
void SubstituteWorld::SetEnumerationFailure(platform::Status status) { core_->SetEnumerationFailure(status); }
void SubstituteWorld::SetDeviceListFailure(platform::Status status) { core_->SetDeviceListFailure(status); }
size_t SubstituteWorld::OpenHandleCount() { return static_cast<size_t>(*core_->OpenVendorChannels()); }
int SubstituteWorld::LiveObjectCount() { return *core_->LiveObjects(); }
int SubstituteWorld::ForeignReleaseCount() { return *core_->ForeignReleases(); }

std::vector<uint8_t> SubstituteWorld::Memory(DeviceId id) {
  return core_->WithDevice(id, [](DeviceSlot& slot) { return slot.camera->Memory().Bytes(); });
}

void SubstituteWorld::SetMemory(DeviceId id, uint32_t address, const std::vector<uint8_t>& bytes) {
  core_->WithDevice(id, [&](DeviceSlot& slot) {
    slot.camera->Memory().Overwrite(address, bytes);
    return 0;
  });
}

uint8_t SubstituteWorld::Register(DeviceId id, uint16_t address) {
  return core_->WithDevice(id, [&](DeviceSlot& slot) { return slot.camera->Register(address); });
}

void SubstituteWorld::SetRegister(DeviceId id, uint16_t address, uint8_t value) {
  core_->WithDevice(id, [&](DeviceSlot& slot) {
    slot.camera->SetRegister(address, value);
    return 0;
  });
}

uint8_t SubstituteWorld::FlashStatusRegister(DeviceId id) {
  return core_->WithDevice(id, [](DeviceSlot& slot) { return slot.camera->Memory().StatusRegister(); });
}

uint32_t SubstituteWorld::FlashBusyReadsLeft(DeviceId id) {
  return core_->WithDevice(id, [](DeviceSlot& slot) { return slot.camera->Memory().BusyReadsLeft(); });
}

void SubstituteWorld::SetFlashStatusRegister(DeviceId id, uint8_t value) {
  core_->WithDevice(id, [&](DeviceSlot& slot) {
    slot.camera->Memory().WriteStatus(value);
    return 0;
  });
}

bool SubstituteWorld::MemoryWritable(DeviceId id) {
  return core_->WithDevice(id, [](DeviceSlot& slot) { return slot.camera->MemoryWritable(); });
}

uint32_t SubstituteWorld::DataLength(DeviceId id) {
  return core_->WithDevice(id, [](DeviceSlot& slot) { return slot.camera->DataLength(); });
}

uint16_t SubstituteWorld::CommandStatus(DeviceId id) {
  return core_->WithDevice(id, [](DeviceSlot& slot) { return slot.camera->CommandStatus(); });
}

bool SubstituteWorld::TransferOpen(DeviceId id) {
  return core_->WithDevice(id, [](DeviceSlot& slot) { return slot.camera->TransferOpen(); });
}

CameraMode SubstituteWorld::Mode(DeviceId id) {
  return core_->WithDevice(id, [](DeviceSlot& slot) { return slot.camera->Mode(); });
}

std::optional<uint16_t> SubstituteWorld::DownloadModeParameter(DeviceId id) {
  return core_->WithDevice(id, [](DeviceSlot& slot) { return slot.camera->DownloadModeParameter(); });
}

std::optional<uint8_t> SubstituteWorld::ByteA7(DeviceId id) {
  return core_->WithDevice(id, [](DeviceSlot& slot) { return slot.camera->ByteA7(); });
}

uint64_t SubstituteWorld::AccessCount(DeviceId id) { return core_->Faults(id)->Accesses(); }

void SubstituteWorld::AddFault(DeviceId id, const FaultRule& rule) { core_->Faults(id)->Add(rule); }
void SubstituteWorld::ClearFaults(DeviceId id) { core_->Faults(id)->Clear(); }
uint32_t SubstituteWorld::FaultsFired(DeviceId id) { return core_->Faults(id)->Fired(); }

std::shared_ptr<platform::IFaultHooks> SubstituteWorld::FaultHooks(DeviceId id) {
  return FaultHooksFor(core_, DeviceRef{id, DevInst(id)});
}

std::vector<std::vector<uint8_t>> SubstituteWorld::CommandBlocks(DeviceId id) {
  std::vector<std::vector<uint8_t>> blocks;
  for (const TrafficEntry& entry : Traffic()) {
    if (entry.device == id && entry.kind == TrafficKind::kSet && entry.Selector() == kCommandSelector)
      blocks.push_back(entry.in);
  }
  return blocks;
}

}  // namespace substitute
