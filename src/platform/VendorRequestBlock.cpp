#include "platform/VendorRequestBlock.h"

#include <algorithm>
#include <cstring>

#include "platform/CameraVendorRequests.h"
#include "platform/Types.h"

namespace platform {
namespace {

void PutWord(uint8_t* at, uint16_t value) {
  at[0] = static_cast<uint8_t>(value);
  at[1] = static_cast<uint8_t>(value >> 8);
}

uint16_t Word(const uint8_t* at) { return static_cast<uint16_t>(at[0] | (at[1] << 8)); }

uint32_t Long(const uint8_t* at) {
  return static_cast<uint32_t>(at[0]) | (static_cast<uint32_t>(at[1]) << 8) | (static_cast<uint32_t>(at[2]) << 16) |
         (static_cast<uint32_t>(at[3]) << 24);
}

bool HasProbeShape(const VendorRequestSetup& setup) {
  return setup.bRequest == kCameraRequestRead && setup.wIndex == 0 && setup.wLength == 1;
}

bool KnownFlags(uint32_t flags) {
  return flags == kVendorRequestToDevice || flags == kVendorRequestProbe || flags == kVendorRequestFromDevice;
}

}  // namespace

VendorRequest VendorRequest::Carrying(const VendorRequestSetup& setup) {
  VendorRequest request;
  if (setup.probe)
    request.Flags = kVendorRequestProbe;
  else
    request.Flags = setup.toHost ? kVendorRequestFromDevice : kVendorRequestToDevice;
  request.bRequest = setup.bRequest;
  request.wValue = setup.wValue;
  request.wIndex = setup.wIndex;
  request.wLength = setup.wLength;
  return request;
}

std::vector<uint8_t> VendorRequest::Block(const uint8_t* data) const {
  std::vector<uint8_t> block(InputLength(), 0);
  for (int i = 0; i < 4; ++i) block[i] = static_cast<uint8_t>(Flags >> (8 * i));
  block[4] = bmRequestType;
  block[5] = bRequest;
  PutWord(&block[6], wValue);
  PutWord(&block[8], wIndex);
  PutWord(&block[10], wLength);
  if (data && wLength && !FromDevice()) std::memcpy(block.data() + kDataOffset, data, wLength);
  return block;
}

VendorRequestSetup VendorRequest::Carried() const {
  VendorRequestSetup setup;
  setup.toHost = FromDevice();
  setup.bRequest = bRequest;
  setup.wValue = wValue;
  setup.wIndex = wIndex;
  setup.wLength = wLength;
  setup.probe = Flags == kVendorRequestProbe;
  return setup;
}

VendorRequest VendorRequest::FromBlock(const uint8_t* block) {
  VendorRequest request;
  request.Flags = Long(block);
  request.bmRequestType = block[4];
  request.bRequest = block[5];
  request.wValue = Word(block + 6);
  request.wIndex = Word(block + 8);
  request.wLength = Word(block + 10);
  return request;
}

uint32_t DecodeVendorRequestBlock(const uint8_t* in, uint32_t inLength, uint32_t outLength, VendorRequestSetup* setup) {
  if (!in || inLength < VendorRequest::kSizeWithoutData) return kErrorInvalidParameter;
  const VendorRequest request = VendorRequest::FromBlock(in);
  *setup = request.Carried();
  if (request.bmRequestType != VendorRequest::kRequestType || inLength != request.InputLength() ||
      request.wLength > VendorRequest::kLargestData || !KnownFlags(request.Flags))
    return kErrorInvalidParameter;
  if (setup->probe && !HasProbeShape(*setup)) return kErrorInvalidParameter;
  if (outLength != request.OutputLength()) return kErrorInvalidParameter;
  const uint8_t* data = in + VendorRequest::kDataOffset;
  if (setup->toHost && std::any_of(data, data + setup->wLength, [](uint8_t b) { return b != 0; }))
    return kErrorInvalidParameter;
  return 0;
}

}  // namespace platform
