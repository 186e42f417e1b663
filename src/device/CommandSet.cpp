#include "device/CommandSet.h"

#include <algorithm>

#include "device/CameraRegistry.h"

namespace {

constexpr uint32_t kLongTransfer = 0x10000;
constexpr uint32_t kTransferPiece = 0x8000;
constexpr uint16_t kFirstFirmwareInfoRecord = 8;
constexpr uint16_t kFirmwareInfoRecords = 5;
constexpr uint8_t kFirmwareInfoRecordLength = 8;

CommandBlocks& Blocks() {
  static CommandBlocks blocks;
  return blocks;
}

void PutLE16(CommandBlock& block, size_t offset, uint32_t value) {
  block[offset] = static_cast<uint8_t>(value);
  block[offset + 1] = static_cast<uint8_t>(value >> 8);
}

// How a memory command frames its block, and what the serial-flash read tells
// the debug output when it fails.
struct MemoryCommand {
  CommandBlock& block;
  bool carriesHighAddress;  // class 0x02 commands put address bits 16-31 in bytes 6-7
  const char* blockFailureLine = nullptr;
  const char* dataFailureLine = nullptr;
};

void DebugLine(const char* line) {
  if (line) platform::DebugOutput(line);
}

// DataPhase: Status(uint32_t bufferOffset, uint16_t length, int32_t* done).
template <typename DataPhase>
int TransferPiece(CCameraDevice& camera, const MemoryCommand& command, uint32_t address, uint32_t length,
                  uint32_t bufferOffset, DataPhase& dataPhase) {
  PutLE16(command.block, 2, address);
  PutLE16(command.block, 4, length);
  if (command.carriesHighAddress) PutLE16(command.block, 6, address >> 16);
  const platform::Status set = SetControl(camera, kCommandControl, command.block.size(), command.block.data());
  if (platform::Failed(set)) {
    DebugLine(command.blockFailureLine);
    ReportCommandError(camera, set);
    return 0;
  }
  int32_t done = 0;
  const platform::Status data = dataPhase(bufferOffset, static_cast<uint16_t>(length), &done);
  if (platform::Failed(data)) {
    DebugLine(command.dataFailureLine);
    ReportCommandError(camera, data);
    return 0;
  }
  return 1;
}

// The data phase carries at most 16 bits of length, so long transfers are split.
template <typename DataPhase>
int TransferMemory(CCameraDevice& camera, const MemoryCommand& command, uint32_t address, uint32_t length,
                   DataPhase dataPhase) {
  uint32_t offset = 0;
  while (length - offset >= kLongTransfer) {
    if (!TransferPiece(camera, command, address + offset, kTransferPiece, offset, dataPhase)) return 0;
    offset += kTransferPiece;
  }
  return TransferPiece(camera, command, address + offset, length - offset, offset, dataPhase);
}

int ReadMemoryCommand(CCameraDevice& camera, const MemoryCommand& command, uint32_t address, uint32_t length,
                      uint8_t* buffer, ProgressFunction progress) {
  return TransferMemory(camera, command, address, length, [&](uint32_t offset, uint16_t count, int32_t* done) {
    return progress ? ReadDataWithProgress(camera, buffer + offset, count, done, progress)
                    : ReadData(camera, buffer + offset, count, done);
  });
}

int WriteMemoryCommand(CCameraDevice& camera, const MemoryCommand& command, uint32_t address, uint32_t length,
                       const uint8_t* data, ProgressFunction progress) {
  return TransferMemory(camera, command, address, length, [&](uint32_t offset, uint16_t count, int32_t* done) {
    return progress ? WriteDataWithProgress(camera, data + offset, count, done, progress)
                    : WriteData(camera, data + offset, count, done);
  });
}

int SendParameterCommand(CCameraDevice& camera, CommandBlock& block, size_t offset, uint16_t parameter) {
  PutLE16(block, offset, parameter);
  return SendCommandBlock(camera, block);
}

// The erase commands carry their parameter in the length field and 0 as address.
int SendEraseCommand(CCameraDevice& camera, CommandBlock& block, uint16_t parameter) {
  PutLE16(block, 2, 0);
  return SendParameterCommand(camera, block, 4, parameter);
}

// The camera answers in one of two layouts: when the first record carries no
// format but the second does, the data starts one record later.
FirmwareInfoRecord AssembleFirmwareInfo(const std::array<uint8_t, 40>& raw) {
  const bool shifted = (raw[0] & 0x0F) == 0 && (raw[8] & 0x0F) != 0;
  const size_t head = shifted ? 8 : 0;
  const size_t tail = shifted ? 24 : 16;
  FirmwareInfoRecord record{};
  std::copy_n(raw.begin() + head, 8, record.begin());
  std::copy_n(raw.begin() + tail, 16, record.begin() + 8);
  return record;
}

}  // namespace

CommandBlocks& CurrentCommandBlocks() { return Blocks(); }

void ResetCommandBlocks() { Blocks() = CommandBlocks{}; }

// --- On a camera object ---------------------------------------------------

int WriteMemory(CCameraDevice& camera, uint16_t address, uint32_t length, const uint8_t* data) {
  return WriteMemoryCommand(camera, {Blocks().writeMemory, false}, address, length, data, nullptr);
}

int ReadMemory(CCameraDevice& camera, uint16_t address, uint32_t length, uint8_t* buffer) {
  return ReadMemoryCommand(camera, {Blocks().readMemory, false}, address, length, buffer, nullptr);
}

int ResetToDownloadMode(CCameraDevice& camera, uint16_t parameter) {
  const int sent = SendParameterCommand(camera, Blocks().resetToDownloadMode, 2, parameter);
  if (sent) CameraRestarted();
  return sent;
}

int ResetDevice(CCameraDevice& camera) {
  const int sent = SendCommandBlock(camera, Blocks().resetDevice);
  if (sent) CameraRestarted();
  return sent;
}

int SetByteA7(CCameraDevice& camera, uint8_t value) { return SendShortWriteCommand(camera, Blocks().setByteA7, value); }

int ReadFirmwareInfo(CCameraDevice& camera, FirmwareInfoRecord* record) {
  std::array<uint8_t, 40> raw{};
  CommandBlock& block = Blocks().readFirmwareInfo;
  for (uint16_t i = 0; i < kFirmwareInfoRecords; ++i) {
    PutLE16(block, 2, kFirstFirmwareInfoRecord + i);
    block[4] = kFirmwareInfoRecordLength;
    block[5] = 0;
    if (!SendShortReadCommand(camera, block, raw.data() + size_t{i} * kFirmwareInfoRecordLength,
                              kFirmwareInfoRecordLength))
      return 0;
  }
  *record = AssembleFirmwareInfo(raw);
  return 1;
}

int Identify(CCameraDevice& camera, IdentificationString* answer) {
  return SendShortReadCommand(camera, Blocks().identify, answer->data(), answer->size());
}

int ReadFlashInfo(CCameraDevice& camera, FlashInfo* info) {
  return SendShortReadCommand(camera, Blocks().readFlashInfo, info->data(), info->size());
}

int SPI_SF_Read(CCameraDevice& camera, uint32_t address, uint32_t length, uint8_t* buffer, ProgressFunction progress) {
  const MemoryCommand command{Blocks().spiSfRead, true, "SPI SF Read error - Set CMD SPI_SF_Read Failed\n",
                              "SPI SF Read error - Get Data SPI_SF_Read Failed\n"};
  return TransferMemory(camera, command, address, length, [&](uint32_t offset, uint16_t count, int32_t* done) {
    return ReadDataWithProgress(camera, buffer + offset, count, done, progress);
  });
}

int SPI_SF_Write(CCameraDevice& camera, uint32_t address, uint32_t length, const uint8_t* data,
                 ProgressFunction progress) {
  return TransferMemory(camera, {Blocks().spiSfWrite, true}, address, length,
                        [&](uint32_t offset, uint16_t count, int32_t* done) {
                          return WriteDataWithProgress(camera, data + offset, count, done, progress);
                        });
}

int SPI_SF_ReadStatus(CCameraDevice& camera, uint8_t* status) {
  return SendShortReadCommand(camera, Blocks().spiSfReadStatus, status, 1);
}

int SPI_SF_WriteStatus(CCameraDevice& camera, uint8_t value) {
  return SendShortWriteCommand(camera, Blocks().spiSfWriteStatus, value);
}

int SPI_SF_ChipErase(CCameraDevice& camera) { return SendCommandBlock(camera, Blocks().spiSfChipErase); }

int ReadMem07(CCameraDevice& camera, uint32_t address, uint32_t length, uint8_t* buffer) {
  return ReadMemoryCommand(camera, {Blocks().readMem07, true}, address, length, buffer, nullptr);
}

int WriteMem07(CCameraDevice& camera, uint32_t address, uint32_t length, const uint8_t* data) {
  return WriteMemoryCommand(camera, {Blocks().writeMem07, true}, address, length, data, nullptr);
}

int ReadMem0B(CCameraDevice& camera, uint32_t address, uint32_t length, uint8_t* buffer, ProgressFunction progress) {
  return ReadMemoryCommand(camera, {Blocks().readMem0B, true}, address, length, buffer, progress);
}

int WriteMem0B(CCameraDevice& camera, uint32_t address, uint32_t length, const uint8_t* data,
               ProgressFunction progress) {
  return WriteMemoryCommand(camera, {Blocks().writeMem0B, true}, address, length, data, progress);
}

int EraseMem0C(CCameraDevice& camera, uint16_t parameter) {
  return SendEraseCommand(camera, Blocks().eraseMem0C, parameter);
}

int ReadMem0E(CCameraDevice& camera, uint32_t address, uint32_t length, uint8_t* buffer) {
  return ReadMemoryCommand(camera, {Blocks().readMem0E, true}, address, length, buffer, nullptr);
}

int WriteMem0E(CCameraDevice& camera, uint32_t address, uint32_t length, const uint8_t* data) {
  return WriteMemoryCommand(camera, {Blocks().writeMem0E, true}, address, length, data, nullptr);
}

int EraseMem0F(CCameraDevice& camera, uint16_t parameter) {
  return SendEraseCommand(camera, Blocks().eraseMem0F, parameter);
}

int ReadMem11(CCameraDevice& camera, uint32_t address, uint32_t length, uint8_t* buffer, ProgressFunction progress) {
  return ReadMemoryCommand(camera, {Blocks().readMem11, true}, address, length, buffer, progress);
}

int WriteMem11(CCameraDevice& camera, uint32_t address, uint32_t length, const uint8_t* data,
               ProgressFunction progress) {
  return WriteMemoryCommand(camera, {Blocks().writeMem11, true}, address, length, data, progress);
}

int EraseMem12(CCameraDevice& camera, uint16_t parameter) {
  return SendEraseCommand(camera, Blocks().eraseMem12, parameter);
}

// --- One-shot operations on a camera key ----------------------------------

int ReadFirmwareInfo(uint32_t key, FirmwareInfoRecord* record) {
  CCameraDevice camera;
  if (!LookupCamera(key, &camera)) return 0;
  if (!ReadFirmwareInfo(camera, record)) return 0;
  StoreCamera(key, camera);
  return 1;
}

int ReadFlashInfo(uint32_t key, FlashInfo* info) {
  return RunOnCamera(key, [&](CCameraDevice& camera) { return ReadFlashInfo(camera, info); });
}

int SPI_SF_Read(uint32_t key, uint32_t length, uint8_t* buffer) {
  return RunOnCamera(
      key, [&](CCameraDevice& camera) { return SPI_SF_Read(camera, 0, length, buffer, InstalledProgressFunction()); });
}

int SPI_SF_Write(uint32_t key, uint32_t address, uint32_t length, const uint8_t* data) {
  return RunOnCamera(key, [&](CCameraDevice& camera) {
    return SPI_SF_Write(camera, address, length, data, InstalledProgressFunction());
  });
}

int SPI_SF_ReadStatus(uint32_t key, uint8_t* status) {
  return RunOnCamera(key, [&](CCameraDevice& camera) { return SPI_SF_ReadStatus(camera, status); });
}

int SPI_SF_WriteStatus(uint32_t key, uint8_t value) {
  return RunOnCamera(key, [&](CCameraDevice& camera) { return SPI_SF_WriteStatus(camera, value); });
}

int SPI_SF_ChipErase(uint32_t key) {
  return RunOnCamera(key, [](CCameraDevice& camera) { return SPI_SF_ChipErase(camera); });
}

int ReadMem07(uint32_t key, uint32_t length, uint8_t* buffer) {
  return RunOnCamera(key, [&](CCameraDevice& camera) { return ReadMem07(camera, 0, length, buffer); });
}

int WriteMem07(uint32_t key, uint32_t address, uint32_t length, const uint8_t* data) {
  return RunOnCamera(key, [&](CCameraDevice& camera) { return WriteMem07(camera, address, length, data); });
}

int ReadMem0B(uint32_t key, uint32_t length, uint8_t* buffer) {
  return RunOnCamera(
      key, [&](CCameraDevice& camera) { return ReadMem0B(camera, 0, length, buffer, InstalledProgressFunction()); });
}

int WriteMem0B(uint32_t key, uint32_t address, uint32_t length, const uint8_t* data) {
  return RunOnCamera(key, [&](CCameraDevice& camera) { return WriteMem0B(camera, address, length, data, nullptr); });
}

int EraseMem0C(uint32_t key, uint16_t parameter) {
  return RunOnCamera(key, [&](CCameraDevice& camera) { return EraseMem0C(camera, parameter); });
}

int ReadMem0E(uint32_t key, uint32_t length, uint8_t* buffer) {
  return RunOnCamera(key, [&](CCameraDevice& camera) { return ReadMem0E(camera, 0, length, buffer); });
}

int WriteMem0E(uint32_t key, uint32_t address, uint32_t length, const uint8_t* data) {
  return RunOnCamera(key, [&](CCameraDevice& camera) { return WriteMem0E(camera, address, length, data); });
}

int EraseMem0F(uint32_t key, uint16_t parameter) {
  return RunOnCamera(key, [&](CCameraDevice& camera) { return EraseMem0F(camera, parameter); });
}

int ReadMem11(uint32_t key, uint32_t length, uint8_t* buffer) {
  return RunOnCamera(
      key, [&](CCameraDevice& camera) { return ReadMem11(camera, 0, length, buffer, InstalledProgressFunction()); });
}

int WriteMem11(uint32_t key, uint32_t address, uint32_t length, const uint8_t* data) {
  return RunOnCamera(key, [&](CCameraDevice& camera) {
    return WriteMem11(camera, address, length, data, InstalledProgressFunction());
  });
}

int EraseMem12(uint32_t key, uint16_t parameter) {
  return RunOnCamera(key, [&](CCameraDevice& camera) { return EraseMem12(camera, parameter); });
}

int ReadMemory(uint32_t key, uint16_t address, uint32_t length, uint8_t* buffer) {
  return RunOnCamera(key, [&](CCameraDevice& camera) { return ReadMemory(camera, address, length, buffer); });
}

int WriteMemoryByte(uint32_t key, uint16_t address, const uint8_t* value) {
  return RunOnCamera(key, [&](CCameraDevice& camera) { return WriteMemory(camera, address, 1, value); });
}

int ResetToDownloadMode(uint32_t key, uint16_t parameter) {
  return RunOnCamera(key, [&](CCameraDevice& camera) { return ResetToDownloadMode(camera, parameter); });
}

int ResetDevice(uint32_t key) {
  return RunOnCamera(key, [](CCameraDevice& camera) { return ResetDevice(camera); });
}

int SetByteA7(uint32_t key, uint8_t value) {
  return RunOnCamera(key, [&](CCameraDevice& camera) { return SetByteA7(camera, value); });
}
