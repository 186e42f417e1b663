#pragma once
// The vendor commands. Each exists on a camera object (used inside the device
// layer) and as a one-shot operation that takes the camera key first, works on
// a copy of the registered camera and returns 1 on success, 0 on failure (also,
// without device traffic, for a key that is not registered).
//
// Every command has one process-wide block that it fills in place and sends
// whole; bytes that a command does not fill keep their initial values.

#include <array>
#include <cstdint>

#include "device/CameraDevice.h"
#include "device/Transport.h"

using FirmwareInfoRecord = std::array<uint8_t, 24>;
using FlashInfo = std::array<uint8_t, 8>;
using IdentificationString = std::array<uint8_t, 8>;

struct CommandBlocks {
  CommandBlock writeMemory{0x00, 0x82, 0, 0, 0x00, 0, 0, 0};
  CommandBlock readMemory{0x00, 0xC2, 0, 0, 0x00, 0, 0, 0};
  CommandBlock resetToDownloadMode{0x00, 0x07, 0, 0, 0x00, 0, 0, 0};
  CommandBlock resetDevice{0x00, 0x09, 0, 0, 0x00, 0, 0, 0};
  CommandBlock changeDataControlLength{0x00, 0x16, 0, 0, 0x00, 0, 0, 0};
  CommandBlock setByteA7{0x00, 0xA7, 0, 0, 0x01, 0, 0, 0};
  CommandBlock readFirmwareInfo{0x00, 0xCD, 0, 0, 0x08, 0, 0, 0};
  CommandBlock identify{0x00, 0xD0, 0, 0, 0x08, 0, 0, 0};
  CommandBlock readFlashInfo{0x02, 0xC1, 0, 0, 0x08, 0, 0, 0};
  CommandBlock spiSfRead{0x02, 0xC2, 0, 0, 0x00, 0, 0, 0};
  CommandBlock spiSfWrite{0x02, 0x82, 0, 0, 0x00, 0, 0, 0};
  CommandBlock spiSfReadStatus{0x02, 0xC3, 0, 0, 0x01, 0, 0, 0};
  CommandBlock spiSfWriteStatus{0x02, 0x83, 0, 0, 0x01, 0, 0, 0};
  CommandBlock spiSfChipErase{0x02, 0x04, 0, 0, 0x00, 0, 0, 0};
  CommandBlock readMem07{0x02, 0xC7, 0, 0, 0x00, 0, 0, 0};
  CommandBlock writeMem07{0x02, 0x87, 0, 0, 0x00, 0, 0, 0};
  CommandBlock readMem0B{0x02, 0xCB, 0, 0, 0x00, 0, 0, 0};
  CommandBlock writeMem0B{0x02, 0x8B, 0, 0, 0x00, 0, 0, 0};
  CommandBlock eraseMem0C{0x02, 0x0C, 0, 0, 0x00, 0, 0, 0};
  CommandBlock readMem0E{0x02, 0xCE, 0, 0, 0x00, 0, 0, 0};
  CommandBlock writeMem0E{0x02, 0x8E, 0, 0, 0x00, 0, 0, 0};
  CommandBlock eraseMem0F{0x02, 0x0F, 0, 0, 0x00, 0, 0, 0};
  CommandBlock readMem11{0x02, 0xD1, 0, 0, 0x00, 0, 0, 0};
  CommandBlock writeMem11{0x02, 0x91, 0, 0, 0x00, 0, 0, 0};
  CommandBlock eraseMem12{0x02, 0x12, 0, 0, 0x00, 0, 0, 0};
};

CommandBlocks& CurrentCommandBlocks();
// Back to the initial bytes.
void ResetCommandBlocks();

// --- On a camera object ---------------------------------------------------
// Memory transfers of 0x10000 bytes or more go in pieces of 0x8000 bytes until
// less than 0x10000 remains; the progress count restarts with each piece.

int WriteMemory(CCameraDevice& camera, uint16_t address, uint32_t length, const uint8_t* data);
int ReadMemory(CCameraDevice& camera, uint16_t address, uint32_t length, uint8_t* buffer);
int ResetToDownloadMode(CCameraDevice& camera, uint16_t parameter);
int ResetDevice(CCameraDevice& camera);
int SetByteA7(CCameraDevice& camera, uint8_t value);
int ReadFirmwareInfo(CCameraDevice& camera, FirmwareInfoRecord* record);
int Identify(CCameraDevice& camera, IdentificationString* answer);
int ReadFlashInfo(CCameraDevice& camera, FlashInfo* info);
int SPI_SF_Read(CCameraDevice& camera, uint32_t address, uint32_t length, uint8_t* buffer, ProgressFunction progress);
int SPI_SF_Write(CCameraDevice& camera, uint32_t address, uint32_t length, const uint8_t* data,
                 ProgressFunction progress);
int SPI_SF_ReadStatus(CCameraDevice& camera, uint8_t* status);
int SPI_SF_WriteStatus(CCameraDevice& camera, uint8_t value);
int SPI_SF_ChipErase(CCameraDevice& camera);
int ReadMem07(CCameraDevice& camera, uint32_t address, uint32_t length, uint8_t* buffer);
int WriteMem07(CCameraDevice& camera, uint32_t address, uint32_t length, const uint8_t* data);
int ReadMem0B(CCameraDevice& camera, uint32_t address, uint32_t length, uint8_t* buffer, ProgressFunction progress);
// Without progress when `progress` is null.
int WriteMem0B(CCameraDevice& camera, uint32_t address, uint32_t length, const uint8_t* data,
               ProgressFunction progress);
int EraseMem0C(CCameraDevice& camera, uint16_t parameter);
int ReadMem0E(CCameraDevice& camera, uint32_t address, uint32_t length, uint8_t* buffer);
int WriteMem0E(CCameraDevice& camera, uint32_t address, uint32_t length, const uint8_t* data);
int EraseMem0F(CCameraDevice& camera, uint16_t parameter);
int ReadMem11(CCameraDevice& camera, uint32_t address, uint32_t length, uint8_t* buffer, ProgressFunction progress);
int WriteMem11(CCameraDevice& camera, uint32_t address, uint32_t length, const uint8_t* data,
               ProgressFunction progress);
int EraseMem12(CCameraDevice& camera, uint16_t parameter);

// --- One-shot operations on a camera key ----------------------------------
// Reads start at address 0; "with progress" passes the installed progress
// function (SetProgressFunction).

int ReadFirmwareInfo(uint32_t key, FirmwareInfoRecord* record);  // writes the camera back on success
int ReadFlashInfo(uint32_t key, FlashInfo* info);
int SPI_SF_Read(uint32_t key, uint32_t length, uint8_t* buffer);                         // with progress
int SPI_SF_Write(uint32_t key, uint32_t address, uint32_t length, const uint8_t* data);  // with progress
int SPI_SF_ReadStatus(uint32_t key, uint8_t* status);
int SPI_SF_WriteStatus(uint32_t key, uint8_t value);
int SPI_SF_ChipErase(uint32_t key);
int ReadMem07(uint32_t key, uint32_t length, uint8_t* buffer);
int WriteMem07(uint32_t key, uint32_t address, uint32_t length, const uint8_t* data);
int ReadMem0B(uint32_t key, uint32_t length, uint8_t* buffer);                         // with progress
int WriteMem0B(uint32_t key, uint32_t address, uint32_t length, const uint8_t* data);  // without progress
int EraseMem0C(uint32_t key, uint16_t parameter);
int ReadMem0E(uint32_t key, uint32_t length, uint8_t* buffer);
int WriteMem0E(uint32_t key, uint32_t address, uint32_t length, const uint8_t* data);
int EraseMem0F(uint32_t key, uint16_t parameter);
int ReadMem11(uint32_t key, uint32_t length, uint8_t* buffer);                         // with progress
int WriteMem11(uint32_t key, uint32_t address, uint32_t length, const uint8_t* data);  // with progress
int EraseMem12(uint32_t key, uint16_t parameter);
int ReadMemory(uint32_t key, uint16_t address, uint32_t length, uint8_t* buffer);
int WriteMemoryByte(uint32_t key, uint16_t address, const uint8_t* value);
int ResetToDownloadMode(uint32_t key, uint16_t parameter);
int ResetDevice(uint32_t key);
int SetByteA7(uint32_t key, uint8_t value);
