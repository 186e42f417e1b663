#pragma once
// Firmware images made from code, for demonstrations, tests and benchmarks:
// no binary sample of unknown origin is ever needed.

#include <cstdint>
#include <string>
#include <vector>

namespace _QTL_UVC_Descriptor {

// EEPROM id and memory type that name one memory part.
struct MemoryPart {
  uint8_t eepromId = 0;
  uint8_t memType = 0;
  uint32_t size = 0;
};

// A typical part for each memory class 1-8; size 0 for any other class.
MemoryPart TypicalPartForClass(int memClass);

struct SampleOptions {
  uint8_t eepromId = 0x30;
  uint8_t memType = 0xC2;
  bool withMemoryRecord = true;
  bool withVersionRecord = true;
  uint8_t fwType = 3;
  uint8_t headerBits = 0;
  uint32_t imageSize = 65536;
  // Where the table lies; by default 0xF000 for images longer than that, else 0.
  int32_t tableOffset = -1;
  // One record of every class the firmware type's family knows, or only a
  // few common ones (small memories have no room for more).
  bool everyRecordClass = true;
  // How many times the set of records is written (benchmarks want many).
  int repeat = 1;
  uint32_t seed = 1;
};

// The image, or an empty vector with `error` set when the options can't make one.
std::vector<uint8_t> BuildSampleImage(const SampleOptions& options, std::string* error);

}  // namespace _QTL_UVC_Descriptor
