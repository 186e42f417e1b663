// Walks a descriptor table over arbitrary bytes: the walk must end, every
// record it hands out must lie inside the table's copy, step the cursor by
// the record's real length, and write itself back only inside that length.

#include <cstddef>
#include <cstdint>
#include <memory>

#include "RecordChecks.h"
#include "firmware/Bytes.h"
#include "firmware/DescriptorTable.h"

using _QTL_UVC_Descriptor::CDescriptor;
using _QTL_UVC_Descriptor::CDescriptorTable;
using _QTL_UVC_Descriptor::GetLE16;

namespace {

// The real length of the record at `at`: its 10-bit length, or the 16-bit
// total that follows the long-form escape.
size_t RealLength(const uint8_t* at) {
  const uint16_t length = CDescriptor::DecodeLength(at);
  return length == CDescriptor::kLongFormEscape ? GetLE16(at + 2) : length;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static auto* table = new CDescriptorTable();  // 138 KiB: kept, not rebuilt per input
  // A fresh table for every input, as far as Load allows: the leading-record
  // flags outlive Load on purpose, so they are cleared here.
  table->m_eepInfoDone = 0;
  table->m_hwApVersionDone = 0;
  table->Load(static_cast<int32_t>(size), data);
  if (!table->ReadHeader()) return 0;
  const uint8_t fwType = table->m_header.m_fwType;
  for (;;) {
    const int32_t before = table->CursorOffset();
    std::unique_ptr<CDescriptor> record(table->ReadNext());
    if (!record) break;
    const int32_t step = table->CursorOffset() - before;
    fuzz::Require(step > 0, "the walk did not move on");
    fuzz::Require(table->CursorOffset() <= table->m_imageLength, "a record runs past the table's copy");
    fuzz::Require(static_cast<size_t>(step) == RealLength(table->m_image + before),
                  "the walk stepped by other than the record's length");
    fuzz::CheckRecord(*record, fwType);
  }
  return 0;
}
