#include "download/ImageAcceptance.h"

#include <vector>

#include "platform/Platform.h"

using _QTL_UVC_Descriptor::CDescGlobal;
using _QTL_UVC_Descriptor::CDescriptorTable;

namespace {

const char kErrorNoPath[] = "Cannot find any Firmware data";
const char kErrorData[] = "FW Data Error\n";
const char kErrorEepromId[] = "FW Data Error -- Error EEPROMID";
const char kErrorMemType[] = "FW Data Error -- Error MemType";

int KindForEeprom12(uint8_t memType) {
  static const int kinds[] = {10, 11, 13, 14, 15, 16, 17, 18, 19, 20};
  return memType < 10 ? kinds[memType] : 0;
}

int KindForSerialFlash(uint8_t memType) {
  switch (memType) {
    case 0xC2: return 2;
    case 0x1C: return 3;
    case 0xBF: return 4;
    case 0x9D: return 5;
    default: return 0;
  }
}

// The file's bytes: a 64 KiB buffer preset to 0xFF, and the count read. One
// byte past 64 KiB is asked for, so that a file too long for any memory is
// known as such instead of being cut without a word.
struct FileBytes {
  std::vector<uint8_t> bytes = std::vector<uint8_t>(kImageReadSize + 1, 0xFF);
  int64_t count = 0;
};

bool ReadImageFile(const std::string& path, FileBytes* file) {
  auto reader = platform::Current().files->OpenRead(path, false);
  if (!reader) return false;
  file->count = static_cast<int64_t>(reader->Read(file->bytes.data(), file->bytes.size()));
  return true;
}

// Tries the candidate stretches in order and returns the offset of the first
// whose header carries the marker, or nothing.
std::optional<int32_t> FindTable(const FileBytes& file, CDescriptorTable& table) {
  const int64_t n = std::min<int64_t>(file.count, kImageReadSize);
  for (int32_t offset : {kTableOffsetHigh, kTableOffsetLow, 0}) {
    if (offset != 0 && n <= offset) continue;
    table.Load(static_cast<int32_t>(n - offset), file.bytes.data() + offset);
    const CDescGlobal* header = table.ReadHeader();
    if (header && header->m_marker == CDescGlobal::kMarker) return offset;
  }
  return std::nullopt;
}

void JudgeHeader(const CDescGlobal& header, ImageVerdict& verdict) {
  verdict.fwType = header.m_fwType;
  int kind = 0;
  if (!GetMemoryKind(header.m_eepromId, header.m_memType, &kind, &verdict.error)) return;
  if (kind) verdict.memoryKind = kind;
  uint32_t size = 0;
  int memClass = 0;
  if (!GetMemorySize(kind, &size, &memClass, &verdict.error)) return;
  verdict.memorySize = size;
  verdict.memoryClass = memClass;
  if (static_cast<int64_t>(size) >= verdict.fileLength) {
    verdict.accepted = 1;
    return;
  }
  verdict.error = kErrorData;
}

}  // namespace

int GetMemoryKind(uint8_t eepromId, uint8_t memType, int* kind, std::string* error) {
  switch (eepromId) {
    case 0x11: *kind = memType == 0 ? 12 : memType == 1 ? 21 : 0; return 1;
    case 0x12: *kind = KindForEeprom12(memType); return 1;
    case 0x20: *kind = 1; return 1;
    case 0x30:
    case 0x55: *kind = KindForSerialFlash(memType); return 1;
    case 0x47: *kind = 6; return 1;
    case 0x59: *kind = 7; return 1;
    case 0x49: *kind = 8; return 1;
    case 0x4B: *kind = 9; return 1;
    default: *error = kErrorEepromId; return 0;
  }
}

int GetMemorySize(int kind, uint32_t* size, int* memClass, std::string* error) {
  struct Row {
    uint32_t size;
    int memClass;
  };
  static const Row rows[22] = {
      {0, 0},    {8192, 7},  {65536, 8}, {65536, 8}, {65536, 8}, {65536, 8}, {128, 1},  {256, 2},
      {512, 3},  {2048, 4},  {8192, 6},  {16384, 6}, {512, 5},   {8192, 6},  {8192, 6}, {16384, 6},
      {8192, 6}, {16384, 6}, {4096, 6},  {4096, 6},  {8192, 6},  {2048, 5},
  };
  if (kind < 1 || kind > 21) {
    *error = kErrorMemType;
    return 0;
  }
  *size = rows[kind].size;
  *memClass = rows[kind].memClass;
  return 1;
}

ImageVerdict JudgeFirmwareImage(const std::string& path, bool keepTable) {
  ImageVerdict verdict;
  platform::IFileSystem& files = *platform::Current().files;
  if (path.empty()) {
    verdict.error = kErrorNoPath;
    return verdict;
  }
  if (!files.GetStatus(path)) {
    verdict.error = path + " does not exist";
    verdict.unreadable = true;
    return verdict;
  }
  FileBytes file;
  if (!ReadImageFile(path, &file)) {
    verdict.error = "Fail to open file " + path;
    verdict.unreadable = true;
    return verdict;
  }
  verdict.fileLength = file.count;

  auto table = std::make_unique<CDescriptorTable>();
  verdict.tableOffset = FindTable(file, *table);
  if (!verdict.tableOffset) {
    verdict.error = kErrorData;
    return verdict;
  }
  verdict.header = table->m_header;
  JudgeHeader(table->m_header, verdict);
  if (keepTable) verdict.table = std::move(table);
  return verdict;
}
