#pragma once
// The procedures that differ by memory class (1 to 8; 8 is the serial flash):
// write protection off and back on, erase, write an image from address 0, and
// read it back for comparison. Each step is a one-shot command on the camera
// key; every operation returns 1 on success and 0 on failure.

#include <cstdint>

int DisableWriteProtect(uint32_t key, int memoryClass);
int SerialFlashUnprotect(uint32_t key);
int SerialFlashProtect(uint32_t key);
// 1 for every known class, whatever its writes do.
int RestoreWriteProtect(uint32_t key, int memoryClass);
int EraseMemory(uint32_t key, int memoryClass, uint16_t eraseParameter);
int WriteMemoryImage(uint32_t key, int memoryClass, const uint8_t* data, uint32_t length);
// Reads `length` bytes from address 0 with the class's read command; the
// buffer needs room for `length` bytes.
int ReadMemoryImage(uint32_t key, int memoryClass, uint8_t* buffer, uint32_t length);
// 1 when the memory from address 0 holds exactly `expected`.
int VerifyMemoryImage(uint32_t key, int memoryClass, const uint8_t* expected, uint32_t length);

// The protection register values (0xFEA0, 0xFEA6) kept by the last unprotect,
// which the next protect restores from.
struct KeptProtection {
  uint8_t registerA0 = 0;
  uint8_t registerA6 = 0;
};
KeptProtection KeptProtectionBytes();
void ResetKeptProtection();
