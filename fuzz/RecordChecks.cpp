#include "RecordChecks.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "firmware/DescIdentity.h"
#include "firmware/DescriptorTable.h"

using _QTL_UVC_Descriptor::CDescCodeInfo;
using _QTL_UVC_Descriptor::CDescDummy;
using _QTL_UVC_Descriptor::CDescriptor;
using _QTL_UVC_Descriptor::CDescriptorTable;
using _QTL_UVC_Descriptor::CDescSmallCachecode;
using _QTL_UVC_Descriptor::CreateDescriptor;
using _QTL_UVC_Descriptor::DescriptorFields;

namespace fuzz {

namespace {

constexpr size_t kGuard = 64;
// Room for the largest record the long form can announce, so that a first,
// unguarded write-back can tell how long the record says it is.
constexpr size_t kScratchSize = 65536 + 2 * kGuard;

// Writes into a buffer sized to the record's own report, guards around it:
// any byte written beyond them is a heap overflow that AddressSanitizer sees.
std::vector<uint8_t> GuardedWrite(CDescriptor& record, size_t length, uint8_t guard) {
  std::vector<uint8_t> area(kGuard + length + kGuard, guard);
  Require(record.BuildTo(area.data() + kGuard) == 1, "a record wrote itself once and then refused");
  Require(WrittenLength(record) == length, "a record reported another length on its second write-back");
  const auto guardUntouched = [guard](uint8_t b) { return b == guard; };
  Require(std::all_of(area.begin(), area.begin() + kGuard, guardUntouched), "write-back before the record");
  Require(std::all_of(area.end() - kGuard, area.end(), guardUntouched), "write-back past the record's length");
  return {area.begin() + kGuard, area.end() - kGuard};
}

bool SameFields(const DescriptorFields& a, const DescriptorFields& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i].name != b[i].name || a[i].isBytes != b[i].isBytes) return false;
    // The code of a code region is not part of the record's bytes, and raw
    // bytes kept beside their flags are rebuilt from the flags alone.
    if (a[i].name == "code" || a[i].name.rfind("raw", 0) == 0) continue;
    if (a[i].number != b[i].number || a[i].bytes != b[i].bytes) return false;
  }
  return true;
}

}  // namespace

void Require(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "fuzz check failed: %s\n", what);
  std::abort();
}

void GiveOwnCode(CDescriptor& record) {
  if (auto* info = dynamic_cast<CDescCodeInfo*>(&record)) info->m_codeData = info->m_code;
  if (auto* cache = dynamic_cast<CDescSmallCachecode*>(&record)) cache->m_codeData = cache->m_code;
}

size_t WrittenLength(const CDescriptor& record) {
  return record.m_length == CDescriptor::kLongFormEscape ? record.m_extLength : record.m_length;
}

std::vector<uint8_t> CheckedWriteBack(CDescriptor& record) {
  if (dynamic_cast<CDescDummy*>(&record)) {
    // Writes nothing: a guard-only area shows whether that holds.
    std::vector<uint8_t> area(kGuard, 0xA5);
    Require(record.BuildTo(area.data()) == 1, "an unknown record refused its write-back");
    Require(std::all_of(area.begin(), area.end(), [](uint8_t b) { return b == 0xA5; }),
            "an unknown record wrote bytes");
    return {};
  }
  auto scratch = std::make_unique<uint8_t[]>(kScratchSize);
  if (!record.BuildTo(scratch.get())) return {};
  const size_t length = WrittenLength(record);
  Require(length >= 2 && length <= 65535, "a written record's length does not cover its header");
  std::vector<uint8_t> first = GuardedWrite(record, length, 0xA5);
  std::vector<uint8_t> second = GuardedWrite(record, length, 0x5A);
  Require(first == second, "two write-backs of one record differ");
  return first;
}

void CheckRereadsAlike(const CDescriptor& original, const std::vector<uint8_t>& written, uint8_t fwType) {
  if (written.empty()) return;
  // As in the table, zeros follow the bytes, so a class may read its fixed
  // layout past a short record.
  std::vector<uint8_t> bytes(written);
  bytes.resize(written.size() + CDescriptorTable::kReadSlack, 0);
  std::unique_ptr<CDescriptor> again(CreateDescriptor(CDescriptor::DecodeType(bytes.data()), fwType));
  Require(again != nullptr, "no record object");
  Require(again->ParseFrom(bytes.data()) != 0, "a written record is refused when read back");
  Require(WrittenLength(*again) == written.size(), "a written record reads back with another length");
  GiveOwnCode(*again);
  Require(CheckedWriteBack(*again) == written, "a record read back writes other bytes");
  DescriptorFields before;
  DescriptorFields after;
  original.ListFields(before);
  again->ListFields(after);
  if (!SameFields(before, after)) {
    for (const auto* fields : {&before, &after}) {
      std::fprintf(stderr, "%s:", original.ClassName());
      for (const auto& f : *fields) std::fprintf(stderr, " %s=%lld", f.name.c_str(), static_cast<long long>(f.number));
      std::fprintf(stderr, "\n");
    }
    Require(false, "a record read back holds other fields");
  }
}

void CheckRecord(CDescriptor& record, uint8_t fwType) {
  DescriptorFields fields;
  record.ListFields(fields);
  const std::vector<uint8_t> written = CheckedWriteBack(record);
  CheckRereadsAlike(record, written, fwType);
}

}  // namespace fuzz
