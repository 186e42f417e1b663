#include "platform/substitute/Camera.h"

#include <algorithm>
#include <cstring>

#include "platform/substitute/CameraProtocol.h"

namespace substitute {

CommandBlock CommandBlock::Parse(const uint8_t* bytes) {
  CommandBlock block;
  block.commandClass = bytes[0];
  block.opcode = bytes[1];
  block.word2 = static_cast<uint16_t>(bytes[2] | (bytes[3] << 8));
  block.length = static_cast<uint16_t>(bytes[4] | (bytes[5] << 8));
  block.word6 = static_cast<uint16_t>(bytes[6] | (bytes[7] << 8));
  return block;
}

Camera::Camera(const SubstituteCameraConfig& config) : config_(config), memory_(config_), registers_(0x10000, 0) {
  PowerUp(CameraMode::kRunning);
}

void Camera::PowerUp(CameraMode mode) {
  mode_ = mode;
  std::fill(registers_.begin(), registers_.end(), 0);
  registers_[kGenerationRegister] = config_.generationHigh;
  registers_[kGenerationRegister + 1] = config_.generationLow;
  registers_[kProtectRegisterA] = config_.protectA;
  registers_[kProtectRegisterB] = config_.protectB;
  dataLength_ = kPowerUpDataLength;
  status_ = camera_status::kReady;
  transfer_ = {};
  eraseKeyArmed_ = false;
  byteA7_.reset();
  departure_.reset();
  memory_.ClearBusy();
}

std::optional<CameraMode> Camera::TakeDeparture() {
  std::optional<CameraMode> departure = departure_;
  departure_.reset();
  return departure;
}

uint16_t Camera::CommandStatus() const {
  if (transfer_.open) return transfer_.toHost ? camera_status::kDataIn : camera_status::kDataOut;
  return status_;
}

bool Camera::MemoryWritable() const {
  const bool lineReleased = (registers_[kProtectRegisterA] & 1) != 0;
  switch (memory_.Class()) {
    case 5:
    case 6: return lineReleased && (registers_[kProtectRegisterB] & 1) == 0;
    case 7:
    case 8: return lineReleased && !memory_.ProtectBitsSet();
    default: return true;
  }
}

bool Camera::FlashStatusWritable() const {
  return !memory_.StatusWriteLocked() || (registers_[kProtectRegisterA] & 1) != 0;
}

FirmwareInfoRecord Camera::FirmwareRecord(uint16_t index) const {
  FirmwareInfoRecord record = config_.firmwareInfo[index - 8];
  if (index == 8 && config_.needsDownloadMode && mode_ == CameraMode::kRunning) record[0] = 0x11;
  return record;
}

uint16_t Camera::ControlLength(uint32_t selector) const {
  return static_cast<uint16_t>(selector == kCommandSelector ? kCommandBlockSize : dataLength_);
}

platform::Status Camera::Get(uint32_t selector, uint8_t* data, uint32_t length, uint32_t* returned) {
  *returned = 0;
  if (selector == kCommandSelector) return GetCommandStatus(data, length, returned);
  return ReadData(data, length, returned);
}

platform::Status Camera::Set(uint32_t selector, const uint8_t* data, uint32_t length) {
  if (selector == kDataSelector) return WriteData(data, length);
  if (length != kCommandBlockSize) return Fail(camera_status::kLengthError);
  return Execute(CommandBlock::Parse(data));
}

platform::Status Camera::GetCommandStatus(uint8_t* data, uint32_t length, uint32_t* returned) const {
  // Reading the status never changes it, not even when the read is refused.
  if (length < kCommandBlockSize) return kStalled;
  const uint16_t status = CommandStatus();
  std::memset(data, 0, kCommandBlockSize);
  data[0] = static_cast<uint8_t>(status);
  data[1] = static_cast<uint8_t>(status >> 8);
  *returned = kCommandBlockSize;
  return platform::kOk;
}

platform::Status Camera::Fail(uint16_t status) {
  status_ = status;
  transfer_ = {};
  return kStalled;
}

platform::Status Camera::Complete() {
  status_ = camera_status::kDone;
  transfer_ = {};
  return platform::kOk;
}

platform::Status Camera::OpenRead(const CommandBlock& block, std::vector<uint8_t> bytes) {
  transfer_ = {};
  transfer_.open = true;
  transfer_.toHost = true;
  transfer_.commandClass = block.commandClass;
  transfer_.opcode = block.opcode;
  transfer_.total = static_cast<uint32_t>(bytes.size());
  transfer_.source = std::move(bytes);
  if (transfer_.total == 0) return Complete();
  return platform::kOk;
}

platform::Status Camera::OpenWrite(const CommandBlock& block, Sink sink, uint32_t address) {
  transfer_ = {};
  transfer_.open = true;
  transfer_.commandClass = block.commandClass;
  transfer_.opcode = block.opcode;
  transfer_.sink = sink;
  transfer_.namesAddresses = sink == Sink::kMemory || sink == Sink::kRegisters;
  transfer_.address = address;
  transfer_.total = block.length;
  if (transfer_.total == 0) return Complete();
  return platform::kOk;
}

platform::Status Camera::ReadData(uint8_t* data, uint32_t length, uint32_t* returned) {
  if (!transfer_.open || !transfer_.toHost) return Fail(camera_status::kWrongDirection);
  if (length != dataLength_) return Fail(camera_status::kLengthError);
  const uint32_t count = std::min(dataLength_, transfer_.total - transfer_.done);
  std::memcpy(data, transfer_.source.data() + transfer_.done, count);
  // The last block of a transfer is padded with zeros up to the data-control length.
  std::memset(data + count, 0, dataLength_ - count);
  *returned = dataLength_;
  transfer_.done += count;
  if (transfer_.done == transfer_.total) return Complete();
  return platform::kOk;
}

platform::Status Camera::WriteData(const uint8_t* data, uint32_t length) {
  if (!transfer_.open || transfer_.toHost) return Fail(camera_status::kWrongDirection);
  if (length != dataLength_) return Fail(camera_status::kLengthError);
  // Only the bytes still due count; the rest of the last block is padding.
  const uint32_t count = std::min(dataLength_, transfer_.total - transfer_.done);
  Deliver(transfer_.address + transfer_.done, data, count);
  transfer_.done += count;
  if (transfer_.done == transfer_.total) {
    NoteEraseKey(transfer_.address, data, transfer_.total);
    return Complete();
  }
  return platform::kOk;
}

void Camera::Deliver(uint32_t address, const uint8_t* data, uint32_t count) {
  switch (transfer_.sink) {
    case Sink::kRegisters: WriteRegisters(address, data, count); break;
    case Sink::kMemory: ProgramMemory(address, data, count); break;
    case Sink::kFlashStatus:
      if (count) WriteFlashStatus(data[0]);
      break;
    case Sink::kByteA7:
      if (count) byteA7_ = data[0];
      break;
    case Sink::kNone: break;
  }
}

void Camera::WriteRegisters(uint32_t address, const uint8_t* data, uint32_t count) {
  for (uint32_t i = 0; i < count; ++i) {
    const uint32_t at = address + i;
    // The generation bytes are fixed in the controller.
    if (at == kGenerationRegister || at == kGenerationRegister + 1u) continue;
    registers_[at] = data[i];
  }
}

void Camera::WriteFlashStatus(uint8_t value) {
  // A flash whose status register is locked ignores the write while the
  // write-protect line is held, as the part does.
  if (!FlashStatusWritable()) return;
  // One arriving while the last is still under way spoils both.
  if (memory_.StatusWritePending()) return memory_.DropPendingStatus();
  memory_.WriteStatusAt(value, nowMs_ + config_.statusWriteMs);
  memory_.Settle(nowMs_);
  memory_.StartBusy(config_.busyReadsAfterStatusWrite);
}

void Camera::Tick(uint64_t nowMs) {
  nowMs_ = nowMs;
  memory_.Settle(nowMs);
}

void Camera::ProgramMemory(uint32_t address, const uint8_t* data, uint32_t count) {
  // A protected part ignores the write; the command still completes, and
  // only reading back tells.
  if (!MemoryWritable() || count == 0) return;
  memory_.Program(address, data, count);
  if (memory_.IsSerialFlash()) memory_.StartBusy(config_.busyReadsAfterWrite);
}

void Camera::EraseMemory(uint32_t count) {
  if (!MemoryWritable()) return;
  memory_.Erase(0, count);
  if (memory_.IsSerialFlash()) memory_.StartBusy(config_.busyReadsAfterErase);
}

void Camera::NoteEraseKey(uint32_t address, const uint8_t* data, uint32_t total) {
  // The small EEPROMs erase only right after their id byte went to address 0.
  // `data` is the last block, which for a one-byte transfer holds that byte.
  const uint8_t key = config_.eraseKey.value_or(DefaultEraseKey(memory_.Class()));
  eraseKeyArmed_ =
      transfer_.sink == Sink::kMemory && transfer_.opcode == 0x8E && address == 0 && total == 1 && data[0] == key;
}

}  // namespace substitute
