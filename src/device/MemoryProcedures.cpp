#include "device/MemoryProcedures.h"

#include <algorithm>
#include <vector>

#include "device/CommandSet.h"
#include "platform/Platform.h"

namespace {

constexpr uint16_t kProtectionRegisterA0 = 0xFEA0;
constexpr uint16_t kProtectionRegisterA6 = 0xFEA6;
constexpr uint8_t kProtectedFlashStatus = 0x8C;
constexpr uint8_t kFlashBusy = 0x01;
constexpr int kMoreStatusReads = 20;
constexpr uint32_t kStatusPollMilliseconds = 50;
// Read-back room beyond the image, as the download procedure has always had.
constexpr uint32_t kReadBackSlack = 10;

KeptProtection& Kept() {
  static KeptProtection kept;
  return kept;
}

int UnknownMemoryClass() {
  platform::DebugOutput("Error memory type!");
  return 0;
}

bool IsKnownClass(int memoryClass) { return memoryClass >= 1 && memoryClass <= 8; }

// Classes 1-4 erase after a one-byte mark at address 0; the mark and the size
// differ by memory part.
struct SmallMemoryErase {
  uint8_t mark;
  uint16_t size;
};
constexpr SmallMemoryErase kSmallMemoryErase[4] = {{0x47, 0x80}, {0x59, 0x100}, {0x49, 0x200}, {0x4B, 0x800}};

int WriteRegister(uint32_t key, uint16_t address, uint8_t value) { return WriteMemoryByte(key, address, &value); }

int ReadAndKeepProtection(uint32_t key) {
  return ReadMemory(key, kProtectionRegisterA0, 1, &Kept().registerA0) &&
         ReadMemory(key, kProtectionRegisterA6, 1, &Kept().registerA6);
}

// Reads the flash status until it is no longer busy, at most 21 reads 50 ms apart.
int WaitWhileFlashBusy(uint32_t key, uint8_t* status) {
  *status = 0;
  if (!SPI_SF_ReadStatus(key, status)) return 0;
  for (int i = 0; i < kMoreStatusReads && (*status & kFlashBusy); ++i) {
    platform::Sleep(kStatusPollMilliseconds);
    if (!SPI_SF_ReadStatus(key, status)) return 0;
  }
  return 1;
}

int EraseSmallMemory(uint32_t key, int memoryClass) {
  const SmallMemoryErase& erase = kSmallMemoryErase[memoryClass - 1];
  return WriteMem0E(key, 0, 1, &erase.mark) && EraseMem0F(key, erase.size);
}

int EraseSerialFlash(uint32_t key) {
  FlashInfo info{};
  return ReadFlashInfo(key, &info) && SPI_SF_ChipErase(key);
}

int WriteSerialFlash(uint32_t key, const uint8_t* data, uint32_t length) {
  FlashInfo info{};
  return ReadFlashInfo(key, &info) && SPI_SF_Write(key, 0, length, data);
}

}  // namespace

int ReadMemoryImage(uint32_t key, int memoryClass, uint8_t* buffer, uint32_t length) {
  switch (memoryClass) {
    case 1:
    case 2:
    case 3:
    case 4: return ReadMem0E(key, length, buffer);
    case 5: return ReadMem0B(key, length, buffer);
    case 6: return ReadMem11(key, length, buffer);
    case 7: return ReadMem07(key, length, buffer);
    case 8: return SPI_SF_Read(key, length, buffer);
    default: return UnknownMemoryClass();
  }
}

int DisableWriteProtect(uint32_t key, int memoryClass) {
  if (!IsKnownClass(memoryClass)) return UnknownMemoryClass();
  if (memoryClass <= 4) return 1;
  if (memoryClass >= 7) return SerialFlashUnprotect(key);
  return ReadAndKeepProtection(key) && WriteRegister(key, kProtectionRegisterA0, Kept().registerA0 | 0x01) &&
         WriteRegister(key, kProtectionRegisterA6, Kept().registerA6 & ~0x01);
}

int SerialFlashUnprotect(uint32_t key) {
  if (!ReadAndKeepProtection(key) || !WriteRegister(key, kProtectionRegisterA0, Kept().registerA0 | 0x01) ||
      !WriteRegister(key, kProtectionRegisterA6, Kept().registerA6 | 0x01))
    return 0;
  uint8_t status = 0;
  if (!SPI_SF_WriteStatus(key, 0) || !WaitWhileFlashBusy(key, &status)) return 0;
  // A flash still busy or still protected gets its status cleared once more.
  if (status != 0 && !SPI_SF_WriteStatus(key, 0)) return 0;
  return 1;
}

int SerialFlashProtect(uint32_t key) {
  uint8_t status = 0;
  if (!SPI_SF_WriteStatus(key, kProtectedFlashStatus) || !WaitWhileFlashBusy(key, &status)) return 0;
  return WriteRegister(key, kProtectionRegisterA6, Kept().registerA6 & ~0x01) &&
         WriteRegister(key, kProtectionRegisterA0, Kept().registerA0 & ~0x01);
}

int RestoreWriteProtect(uint32_t key, int memoryClass) {
  if (!IsKnownClass(memoryClass)) return UnknownMemoryClass();
  if (memoryClass == 5 || memoryClass == 6) {
    if (WriteRegister(key, kProtectionRegisterA6, Kept().registerA6))
      WriteRegister(key, kProtectionRegisterA0, Kept().registerA0);
  } else if (memoryClass >= 7) {
    SerialFlashProtect(key);
  }
  return 1;
}

int EraseMemory(uint32_t key, int memoryClass, uint16_t eraseParameter) {
  switch (memoryClass) {
    case 1:
    case 2:
    case 3:
    case 4: return EraseSmallMemory(key, memoryClass);
    case 5:
    case 7: return EraseMem0C(key, eraseParameter);
    case 6: return EraseMem12(key, eraseParameter);
    case 8: return EraseSerialFlash(key);
    default: return UnknownMemoryClass();
  }
}

int WriteMemoryImage(uint32_t key, int memoryClass, const uint8_t* data, uint32_t length) {
  switch (memoryClass) {
    case 1:
    case 2:
    case 3:
    case 4: return WriteMem0E(key, 0, length, data);
    case 5: return WriteMem0B(key, 0, length, data);
    case 6: return WriteMem11(key, 0, length, data);
    case 7: return WriteMem07(key, 0, length, data);
    case 8: return WriteSerialFlash(key, data, length);
    default: return UnknownMemoryClass();
  }
}

int VerifyMemoryImage(uint32_t key, int memoryClass, const uint8_t* expected, uint32_t length) {
  std::vector<uint8_t> readBack(static_cast<size_t>(length) + kReadBackSlack);
  if (!ReadMemoryImage(key, memoryClass, readBack.data(), length)) return 0;
  return std::equal(expected, expected + length, readBack.begin()) ? 1 : 0;
}

KeptProtection KeptProtectionBytes() { return Kept(); }

void ResetKeptProtection() { Kept() = KeptProtection{}; }
