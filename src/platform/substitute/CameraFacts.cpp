// What an access to the camera is about, for the fault rules to match on.

#include <algorithm>

#include "platform/substitute/Camera.h"
#include "platform/substitute/CameraProtocol.h"

namespace substitute {
namespace {

std::optional<AddressRange> Span(uint32_t first, uint32_t count) {
  if (count == 0) return std::nullopt;
  return AddressRange{first, first + count - 1};
}

bool MovesMemory(const CommandBlock& block) {
  if (block.commandClass == 0x00) return block.opcode == 0x82 || block.opcode == 0xC2;
  return block.commandClass == 0x02 && block.HasDataPhase() && block.opcode != 0xC1 && block.opcode != 0xC3 &&
         block.opcode != 0x83;
}

}  // namespace

AccessFacts Camera::DescribeControl(bool isSet, uint32_t selector, const uint8_t* data, uint32_t length) const {
  AccessFacts facts;
  facts.kind = isSet ? AccessKind::kKsSet : AccessKind::kKsGet;
  facts.selector = selector;
  if (isSet && selector == kCommandSelector && data && length >= kCommandBlockSize) {
    const CommandBlock block = CommandBlock::Parse(data);
    facts.commandClass = block.commandClass;
    facts.opcode = block.opcode;
    if (MovesMemory(block)) {
      const uint32_t address = block.commandClass == 0x00 ? block.word2 : block.Address32();
      facts.addresses = Span(address, block.length);
    }
    return facts;
  }
  if (!transfer_.open) return facts;
  facts.commandClass = transfer_.commandClass;
  facts.opcode = transfer_.opcode;
  if (selector == kDataSelector && transfer_.namesAddresses)
    facts.addresses = Span(transfer_.address + transfer_.done, std::min(dataLength_, transfer_.total - transfer_.done));
  return facts;
}

AccessFacts Camera::DescribeDriverRequest(const uint8_t* in, uint32_t inLength) {
  AccessFacts facts;
  facts.kind = AccessKind::kIoControl;
  if (!in || inLength < kDriverDataOffset) return facts;
  facts.bRequest = in[5];
  const uint32_t flags = in[0];
  const uint16_t index = static_cast<uint16_t>(in[8] | (in[9] << 8));
  const uint16_t length = static_cast<uint16_t>(in[10] | (in[11] << 8));
  if (in[5] == 4 || (in[5] == 5 && flags == 3)) facts.addresses = Span(index, length);
  return facts;
}

}  // namespace substitute
