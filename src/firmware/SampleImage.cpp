#include "firmware/SampleImage.h"

#include <memory>

#include "firmware/Bytes.h"
#include "firmware/DescIdentity.h"
#include "firmware/DescIspTuning.h"
#include "firmware/DescTableHeader.h"
#include "firmware/Descriptor.h"

namespace _QTL_UVC_Descriptor {

namespace {

constexpr uint16_t kSampleCodeSize = 64;
constexpr size_t kDownloadedAtMost = 0xFFFE;

// Record types a small image carries: strings, ids and the system configuration.
const uint8_t kFewTypes[] = {1, 4, 5};

// USB string descriptors hold UTF-16LE text; samples keep to ASCII.
void SetSampleString(CDescString& record, uint8_t type) {
  const char* text = type == 1 ? "Zarnet" : type == 2 ? "Sample Camera" : type == 3 ? "0001" : "UVC";
  uint8_t length = 2;
  for (const char* c = text; *c && length + 2 <= CDescString::kMaxDescriptorLength; ++c) {
    record.m_buffer[length++] = static_cast<uint8_t>(*c);
    record.m_buffer[length++] = 0;
  }
  record.m_buffer[0] = length;
  record.m_buffer[1] = CDescString::kStringDescriptorType;
  record.m_buffer[length] = 0;
}

bool IsCodeRegion(const CDescriptor& record) {
  return dynamic_cast<const CDescCodeInfo*>(&record) || dynamic_cast<const CDescSmallCachecode*>(&record);
}

// A new record of the family's class for the type, ready to be written; null
// for a type the family has no class for.
std::unique_ptr<CDescriptor> SampleRecord(uint8_t type, uint8_t fwType) {
  std::unique_ptr<CDescriptor> record(CreateDescriptor(type, fwType));
  if (!record || dynamic_cast<CDescDummy*>(record.get())) return nullptr;
  record->m_type = type;  // the string class keeps the type it is given
  // A new lens-shading object holds no data, and no reader takes such a record.
  if (auto* lsc = dynamic_cast<CDescIspLSC*>(record.get())) lsc->m_dataCount = CDescIspLSC::kDataSize;
  if (auto* text = dynamic_cast<CDescString*>(record.get())) SetSampleString(*text, type);
  return record;
}

// Every type from 1 to 63 that the family gives a class of its own (or a
// few common ones); the leading records are written separately.
std::vector<std::unique_ptr<CDescriptor>> RecordsFor(const SampleOptions& options) {
  std::vector<uint8_t> types;
  if (options.everyRecordClass) {
    for (uint8_t t = 1; t < 64; ++t) types.push_back(t);
  } else {
    types.assign(std::begin(kFewTypes), std::end(kFewTypes));
  }
  std::vector<std::unique_ptr<CDescriptor>> records;
  for (int round = 0; round < options.repeat; ++round) {
    for (uint8_t type : types)
      if (auto record = SampleRecord(type, options.fwType)) records.push_back(std::move(record));
  }
  return records;
}

// Deterministic code-like bytes that are neither blank nor uniform.
void FillCode(std::vector<uint8_t>& image, size_t from, size_t to, uint32_t seed) {
  uint32_t x = seed * 2654435761u + 1;
  for (size_t i = from; i < to; ++i) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    image[i] = static_cast<uint8_t>(x == 0xFF ? 0x00 : x);
  }
}

// Points a code-region record at `size` bytes that lie at table offset `at`.
void AttachCode(CDescriptor& record, const uint8_t* code, uint16_t at, uint16_t size) {
  if (auto* info = dynamic_cast<CDescCodeInfo*>(&record)) {
    info->m_codeOffset = at;
    info->m_codeSize = size;
    std::copy(code, code + size, info->m_code);
    info->m_codeData = info->m_code;
  } else if (auto* cache = dynamic_cast<CDescSmallCachecode*>(&record)) {
    cache->m_codeOffset = at;
    cache->m_codeSize = size;
    std::copy(code, code + size, cache->m_code);
    cache->m_codeData = cache->m_code;
    cache->m_extLength = static_cast<uint16_t>(size + 8);
  }
}

// Writes the leading records and the records from `at`; returns the end
// offset within the table, or 0 when the records do not fit in `room`.
size_t WriteRecords(const SampleOptions& options, std::vector<std::unique_ptr<CDescriptor>>& records, uint8_t* table,
                    size_t room, uint8_t* count) {
  std::vector<uint8_t> scratch(16384);
  size_t at = CDescGlobal::kSize;
  auto place = [&](CDescriptor& record) {
    if (!record.BuildTo(scratch.data())) return true;  // a class with nothing to write
    const size_t length =
        record.m_length == CDescriptor::kLongFormEscape && record.m_extLength ? record.m_extLength : record.m_length;
    if (at + length > room) return false;
    std::copy(scratch.begin(), scratch.begin() + static_cast<std::ptrdiff_t>(length), table + at);
    at += length;
    ++*count;
    return true;
  };
  CDescHWAPVersion version;
  CDescEEPInfo memory;
  memory.m_memType = options.memType;
  if (options.withVersionRecord && !place(version)) return 0;
  if (options.withMemoryRecord && !place(memory)) return 0;
  for (auto& record : records)
    if (!place(*record)) return 0;
  return at;
}

}  // namespace

MemoryPart TypicalPartForClass(int memClass) {
  switch (memClass) {
    case 1: return {0x47, 0, 128};
    case 2: return {0x59, 0, 256};
    case 3: return {0x49, 0, 512};
    case 4: return {0x4B, 0, 2048};
    case 5: return {0x11, 0, 512};
    case 6: return {0x12, 2, 8192};
    case 7: return {0x20, 0, 8192};
    case 8: return {0x30, 0xC2, 65536};
    default: return {};
  }
}

std::vector<uint8_t> BuildSampleImage(const SampleOptions& options, std::string* error) {
  const size_t size = options.imageSize;
  const int32_t tableAt = options.tableOffset >= 0 ? options.tableOffset : (size > 0xF000 ? 0xF000 : 0);
  if (size > 65536 || size < CDescGlobal::kSize || static_cast<size_t>(tableAt) + CDescGlobal::kSize > size) {
    *error = "the image size must be 6 to 65536 bytes and leave room for the table";
    return {};
  }
  std::vector<uint8_t> image(size);
  FillCode(image, 0, size, options.seed);
  // A download writes an image's first 0xFFFE bytes only: a sample leaves
  // what lies beyond blank, so that it is written whole.
  for (size_t i = kDownloadedAtMost; i < size; ++i) image[i] = 0xFF;

  auto records = RecordsFor(options);
  // A code-region record only writes itself once it has code. Its size does
  // not depend on where the code lies, so it is measured with provisional
  // code first, then pointed at the first bytes after the records.
  bool hasCode = false;
  for (auto& record : records) {
    if (!IsCodeRegion(*record)) continue;
    hasCode = true;
    AttachCode(*record, image.data(), 0, kSampleCodeSize);
  }
  const size_t room = size - static_cast<size_t>(tableAt);
  uint8_t count = 0;
  std::vector<uint8_t> table(room);
  size_t end = WriteRecords(options, records, table.data(), room, &count);
  if (end == 0 || (hasCode && end + kSampleCodeSize > room) || end > 0xFFFF) {
    *error = "the records do not fit in the image; choose a larger size or fewer records";
    return {};
  }
  if (hasCode) {
    const uint8_t* code = image.data() + tableAt + end;
    for (auto& record : records)
      if (IsCodeRegion(*record)) AttachCode(*record, code, static_cast<uint16_t>(end), kSampleCodeSize);
    count = 0;
    end = WriteRecords(options, records, table.data(), room, &count);
  }

  CDescGlobal header;
  header.m_eepromId = options.eepromId;
  header.m_marker = CDescGlobal::kMarker;
  header.m_headerBits = options.headerBits & 7;
  header.m_fwType = options.fwType & 31;
  header.m_tableEnd = static_cast<uint16_t>(end);
  header.m_recordCount = count;
  header.BuildTo(table.data());
  std::copy(table.begin(), table.begin() + static_cast<std::ptrdiff_t>(end), image.begin() + tableAt);
  return image;
}

}  // namespace _QTL_UVC_Descriptor
