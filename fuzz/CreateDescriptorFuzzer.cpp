// Reads arbitrary record bytes with the class the factory picks for them. The
// first input byte picks the record family; the record follows, with zeros
// after it as in the descriptor table's copy.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "RecordChecks.h"
#include "firmware/Descriptor.h"
#include "firmware/DescriptorTable.h"

using _QTL_UVC_Descriptor::CDescriptor;
using _QTL_UVC_Descriptor::CDescriptorTable;
using _QTL_UVC_Descriptor::CreateDescriptor;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const uint8_t kFamilies[] = {0, 1, 3};
  if (size < 3) return 0;
  const uint8_t fwType = kFamilies[data[0] % 3];
  // The table holds at most 64 KiB, followed by its zeros.
  const size_t recordSize = std::min<size_t>(size - 1, CDescriptorTable::kCapacity);
  std::vector<uint8_t> record(data + 1, data + 1 + recordSize);
  record.resize(recordSize + CDescriptorTable::kReadSlack, 0);

  std::unique_ptr<CDescriptor> object(CreateDescriptor(CDescriptor::DecodeType(record.data()), fwType));
  fuzz::Require(object != nullptr, "no record object");
  if (!object->ParseFrom(record.data())) return 0;
  fuzz::GiveOwnCode(*object);
  fuzz::CheckRecord(*object, fwType);
  return 0;
}
