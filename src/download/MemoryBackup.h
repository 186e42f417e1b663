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
  std::string note;     // how the length was found, when it was not given
  bool Ok() const { return failure.empty(); }
};

// Reads `length` bytes of the memory of `memoryClass` on the open camera
// `key`. Runs where the download jobs run, never beside one.
MemoryRead ReadCameraMemory(uint32_t key, int memoryClass, uint32_t length, const MemoryReadProgress& progress);

// Reads the whole memory of `memoryClass` without knowing which part of the
// class the camera carries: the largest first, then each smaller size while
// the camera refuses. A part that wraps around at its size (its bytes repeat
// from there on) is cut there. The note says how the length was found.
MemoryRead ReadWholeCameraMemory(uint32_t key, int memoryClass, const MemoryReadProgress& progress);

// The largest memory a class is used for (what a whole backup reads); 0 for
// an unknown class.
uint32_t LargestMemoryOfClass(int memoryClass);
