// The commands the camera's controller answers on its command control.

#include <algorithm>

#include "platform/substitute/Camera.h"
#include "platform/substitute/CameraProtocol.h"

namespace substitute {
namespace {

constexpr uint8_t kDeviceClass = 0x00;
constexpr uint8_t kMemoryClass = 0x02;
constexpr uint8_t kClearClass = 0xFF;

constexpr uint16_t ClassBit(int memoryClass) { return static_cast<uint16_t>(1u << memoryClass); }
constexpr uint16_t kSmallEeproms = ClassBit(1) | ClassBit(2) | ClassBit(3) | ClassBit(4);
constexpr uint16_t kAllClasses = kSmallEeproms | ClassBit(5) | ClassBit(6) | ClassBit(7) | ClassBit(8);

// The memory classes that answer a class-0x02 opcode; 0 when no memory does.
uint16_t ClassesAnswering(uint8_t opcode) {
  switch (opcode) {
    case 0x82:  // SPI_SF_Write
    case 0xC2:  // SPI_SF_Read
    case 0x04:  // SPI_SF_ChipErase
      return ClassBit(8);
    case 0xC1:  // ReadFlashInfo
    case 0xC3:  // SPI_SF_ReadStatus
    case 0x83:  // SPI_SF_WriteStatus
      // The controller's serial-flash port answers whatever memory the
      // camera carries: the host protects "the flash" after any failed run.
      return kAllClasses;
    case 0x87:
    case 0xC7: return ClassBit(7);
    case 0x8B:
    case 0xCB: return ClassBit(5);
    case 0x0C: return ClassBit(5) | ClassBit(7);
    case 0x8E:
    case 0xCE:
    case 0x0F: return kSmallEeproms;
    case 0x91:
    case 0xD1:
    case 0x12: return ClassBit(6);
    default: return 0;
  }
}

bool Accepts(const std::vector<uint8_t>& lengths, uint8_t length) {
  return std::find(lengths.begin(), lengths.end(), length) != lengths.end();
}

}  // namespace

platform::Status Camera::Execute(const CommandBlock& block) {
  // Only the command right after the id-byte write may erase.
  const bool eraseKeyArmed = eraseKeyArmed_;
  eraseKeyArmed_ = false;
  if (block.commandClass == kClearClass) {
    transfer_ = {};
    status_ = camera_status::kReady;
    return platform::kOk;
  }
  // A failure stays latched until the clear block, and a command arriving
  // meanwhile is refused without touching it; one arriving while a transfer
  // is still open is refused and ends that transfer.
  if (FailureLatched()) return kStalled;
  if (transfer_.open && !transfer_.mayBeLeft) return Fail(camera_status::kNotFinished);
  transfer_ = {};
  status_ = camera_status::kReady;
  switch (block.commandClass) {
    case kDeviceClass: return ExecuteDeviceCommand(block);
    case kMemoryClass: return ExecuteMemoryCommand(block, eraseKeyArmed);
    default: return Fail(camera_status::kUnknownCommand);
  }
}

bool Camera::FailureLatched() const {
  return status_ != camera_status::kReady && status_ != camera_status::kDone && !transfer_.open;
}

platform::Status Camera::ExecuteDeviceCommand(const CommandBlock& block) {
  switch (block.opcode) {
    case 0x82:  // WriteMemory
      if (block.word2 + static_cast<uint32_t>(block.length) > registers_.size())
        return Fail(camera_status::kOutOfRange);
      return OpenWrite(block, Sink::kRegisters, block.word2);
    case 0xC2: return ReadRegisters(block);
    case 0x07:  // ResetToDownloadMode
      downloadModeParameter_ = block.word2;
      return Leave(CameraMode::kDownload);
    case 0x09: return Leave(CameraMode::kRunning);  // ResetDevice
    case 0x16: return ChangeDataLength(static_cast<uint8_t>(block.length));
    case 0xA7:  // SetByteA7
      if (block.length != 1) return Fail(camera_status::kLengthError);
      return OpenWrite(block, Sink::kByteA7, 0);
    case 0xCD: {  // ReadFirmwareInfo
      if (block.word2 < 8 || block.word2 > 12) return Fail(camera_status::kOutOfRange);
      if (block.length != 8) return Fail(camera_status::kLengthError);
      const FirmwareInfoRecord record = FirmwareRecord(block.word2);
      return OpenRead(block, {record.begin(), record.end()});
    }
    case 0xD0:  // Identify
      if (block.length != 8) return Fail(camera_status::kLengthError);
      return OpenRead(block, {config_.identity.begin(), config_.identity.end()});
    default: return Fail(camera_status::kUnknownCommand);
  }
}

platform::Status Camera::ReadRegisters(const CommandBlock& block) {
  const uint32_t end = block.word2 + static_cast<uint32_t>(block.length);
  if (end > registers_.size()) return Fail(camera_status::kOutOfRange);
  const platform::Status result = OpenRead(block, {registers_.begin() + block.word2, registers_.begin() + end});
  transfer_.namesAddresses = transfer_.open;
  transfer_.address = block.word2;
  return result;
}

platform::Status Camera::Leave(CameraMode mode) {
  // The flash loses a status write still under way.
  memory_.DropPendingStatus();
  departure_ = mode;
  return Complete();
}

platform::Status Camera::ChangeDataLength(uint8_t length) {
  if (!Accepts(config_.acceptedDataLengths, length)) return Fail(camera_status::kOutOfRange);
  dataLength_ = length;
  // The camera confirms the new length with one block of that length, which
  // the host may read or leave.
  const platform::Status result =
      OpenRead(CommandBlock{kDeviceClass, 0x16, 0, length, 0}, std::vector<uint8_t>(length, 0));
  transfer_.mayBeLeft = true;
  return result;
}

platform::Status Camera::ExecuteMemoryCommand(const CommandBlock& block, bool eraseKeyArmed) {
  const uint16_t answering = ClassesAnswering(block.opcode);
  if (answering == 0) return Fail(camera_status::kUnknownCommand);
  if ((answering & ClassBit(memory_.Class())) == 0) return Fail(camera_status::kHardwareError);
  switch (block.opcode) {
    case 0xC1:
      if (block.length != 8) return Fail(camera_status::kLengthError);
      return OpenRead(block, {config_.flashInfo.begin(), config_.flashInfo.end()});
    case 0xC3:
      if (block.length != 1) return Fail(camera_status::kLengthError);
      return OpenRead(block, {memory_.ReadStatus()});
    case 0x83:
      if (block.length != 1) return Fail(camera_status::kLengthError);
      return OpenWrite(block, Sink::kFlashStatus, 0);
    case 0x04: EraseMemory(memory_.Size()); return Complete();
    case 0x0C:
    case 0x0F:
    case 0x12: return ExecuteErase(block, eraseKeyArmed);
    default: return ExecuteMemoryTransfer(block);
  }
}

platform::Status Camera::ExecuteErase(const CommandBlock& block, bool eraseKeyArmed) {
  // The parameter is the count of bytes to erase from address 0 (a flash
  // erases the sectors they touch), and nothing more: 0 erases nothing.
  const uint32_t count = block.length;
  if (count > memory_.Size()) return Fail(camera_status::kOutOfRange);
  const bool keyed = (ClassBit(memory_.Class()) & kSmallEeproms) != 0;
  if (!keyed || eraseKeyArmed) EraseMemory(count);
  return Complete();
}

platform::Status Camera::ExecuteMemoryTransfer(const CommandBlock& block) {
  const uint32_t address = block.Address32();
  if (!memory_.Fits(address, block.length)) return Fail(camera_status::kOutOfRange);
  if (!block.ToHost()) return OpenWrite(block, Sink::kMemory, address);
  const platform::Status result = OpenRead(block, memory_.Read(address, block.length));
  transfer_.namesAddresses = transfer_.open;
  transfer_.address = address;
  return result;
}

}  // namespace substitute
