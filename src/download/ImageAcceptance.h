#pragma once
// Judging a firmware file before anything is written: find its descriptor
// table at one of three offsets, read the header and the memory type, and
// derive the memory kind, size and class the image is for.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "firmware/DescriptorTable.h"

// Offsets at which a descriptor table is looked for, in this order.
constexpr int32_t kTableOffsetHigh = 0xF000;
constexpr int32_t kTableOffsetLow = 0xE000;
constexpr int32_t kImageReadSize = 65536;

// Memory kind (1-21) for an EEPROM id and memory type; 1 with a kind, or 0
// with the message in `error`. A known id with an unlisted memory type gives
// kind 0, which GetMemorySize refuses.
int GetMemoryKind(uint8_t eepromId, uint8_t memType, int* kind, std::string* error);
// Capacity in bytes and memory class (1-8) of a memory kind; 0 with the
// message in `error` for any other kind.
int GetMemorySize(int kind, uint32_t* size, int* memClass, std::string* error);

// Everything acceptance learnt about one file. Values acceptance never
// reached stay empty.
struct ImageVerdict {
  int accepted = 0;
  std::string error;
  bool unreadable = false;  // the file does not exist or does not open
  int64_t fileLength = 0;   // bytes read, one past the 64 KiB limit at most
  std::optional<int32_t> tableOffset;
  std::optional<_QTL_UVC_Descriptor::CDescGlobal> header;
  std::optional<int> fwType;
  std::optional<int> memoryKind;
  std::optional<uint32_t> memorySize;
  std::optional<int> memoryClass;
  // The table the verdict was taken from, after its header was read; kept
  // only when asked for.
  std::unique_ptr<_QTL_UVC_Descriptor::CDescriptorTable> table;
};

// Judges the file at `path`, reading it through the platform's files.
ImageVerdict JudgeFirmwareImage(const std::string& path, bool keepTable = false);
