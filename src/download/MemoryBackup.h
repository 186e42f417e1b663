#pragma once
// Saving what a camera's memory holds before it is overwritten: the memory is
// read from address 0 with the same procedures the verify passes read with
// (the download-mode path for the serial flash where the driver serves it,
// else the class's extension-unit read command).

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Bytes read so far of `total`.
using MemoryReadProgress = std::function<void(uint32_t done, uint32_t total)>;

struct MemoryRead {
  std::vector<uint8_t> bytes;
  std::string failure;  // empty when every byte was read
  bool Ok() const { return failure.empty(); }
};

// Reads `length` bytes of the memory of `memoryClass` on the open camera
// `key`. Runs where the download jobs run, never beside one.
MemoryRead ReadCameraMemory(uint32_t key, int memoryClass, uint32_t length, const MemoryReadProgress& progress);

// The largest memory a class is used for (what a whole backup reads); 0 for
// an unknown class.
uint32_t LargestMemoryOfClass(int memoryClass);
