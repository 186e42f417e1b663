#pragma once
// Checks that every fuzz target applies to a record it has read: the record
// writes itself back only inside the length it reports, and what it wrote
// reads back into the same record. A failed check aborts, which is what
// libFuzzer reports as a crash.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "firmware/Descriptor.h"

namespace fuzz {

// Aborts with the message when `condition` is false.
void Require(bool condition, const char* what);

// Bytes a record's write-back covers: its length, or in the long form the
// 16-bit total that the escape announces.
size_t WrittenLength(const _QTL_UVC_Descriptor::CDescriptor& record);

// Writes the record back between guard bytes (twice, with different guards)
// and requires the guards untouched and both writes alike. Returns the bytes
// written; empty when the class refused or writes nothing.
std::vector<uint8_t> CheckedWriteBack(_QTL_UVC_Descriptor::CDescriptor& record);

// Reads `written` as a new record of the family, writes that back and
// requires the same bytes and the same fields as `original`.
void CheckRereadsAlike(const _QTL_UVC_Descriptor::CDescriptor& original, const std::vector<uint8_t>& written,
                       uint8_t fwType);

// A code-region record may only be written once the table has given it its
// code; outside the table, it takes the code it holds itself.
void GiveOwnCode(_QTL_UVC_Descriptor::CDescriptor& record);

// Both checks in turn, and the record's field listing.
void CheckRecord(_QTL_UVC_Descriptor::CDescriptor& record, uint8_t fwType);

}  // namespace fuzz
