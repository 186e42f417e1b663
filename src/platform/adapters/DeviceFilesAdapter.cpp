#include "platform/adapters/DeviceFilesAdapter.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/CameraVendorRequests.h"

namespace platform {
namespace {

constexpr uint32_t kFlagsWrite = 0;
constexpr uint32_t kFlagsProbe = 1;
constexpr uint32_t kFlagsRead = 3;
constexpr uint8_t kProbeRequest = kCameraRequestRead;

uint16_t Word(const uint8_t* at) { return static_cast<uint16_t>(at[0] | (at[1] << 8)); }

uint32_t Long(const uint8_t* at) {
  return static_cast<uint32_t>(at[0]) | (static_cast<uint32_t>(at[1]) << 8) | (static_cast<uint32_t>(at[2]) << 16) |
         (static_cast<uint32_t>(at[3]) << 24);
}

bool IsProbe(const VendorRequestSetup& setup) {
  return setup.bRequest == kProbeRequest && setup.wIndex == 0 && setup.wLength == 1;
}

}  // namespace

uint32_t DecodeVendorRequestBlock(const uint8_t* in, uint32_t inLength, uint32_t outLength, VendorRequestSetup* setup) {
  using Block = VendorRequestBlock;
  if (!in || inLength < Block::kHeaderSize) return kErrorInvalidParameter;
  const uint32_t flags = Long(in);
  setup->bRequest = in[5];
  setup->wValue = Word(in + 6);
  setup->wIndex = Word(in + 8);
  setup->wLength = Word(in + 10);
  if (in[4] != Block::kRequestType || inLength != Block::kHeaderSize + setup->wLength ||
      setup->wLength > Block::kLargestData)
    return kErrorInvalidParameter;
  if (flags != kFlagsWrite && flags != kFlagsProbe && flags != kFlagsRead) return kErrorInvalidParameter;
  if (flags == kFlagsProbe && !IsProbe(*setup)) return kErrorInvalidParameter;
  setup->toHost = flags != kFlagsWrite;
  // A read gives its data back in the block; a write gives back the header.
  const uint32_t answerLength = Block::kHeaderSize + (setup->toHost ? setup->wLength : 0u);
  if (outLength != answerLength) return kErrorInvalidParameter;
  const uint8_t* data = in + Block::kDataOffset;
  if (setup->toHost && std::any_of(data, data + setup->wLength, [](uint8_t b) { return b != 0; }))
    return kErrorInvalidParameter;
  return 0;
}

DeviceFilesAdapter::DeviceFilesAdapter(ICameraBackend& backend) : backend_(backend) {}

Handle DeviceFilesAdapter::Open(const std::string& devicePath) {
  std::shared_ptr<IVendorRequestChannel> channel = backend_.OpenVendorRequests(devicePath);
  if (!channel) return kInvalidHandle;
  std::lock_guard<std::mutex> lock(mutex_);
  const Handle handle = nextHandle_++;
  open_[handle] = std::move(channel);
  return handle;
}

bool DeviceFilesAdapter::Close(Handle handle) {
  std::shared_ptr<IVendorRequestChannel> closing;
  std::lock_guard<std::mutex> lock(mutex_);
  const auto found = open_.find(handle);
  if (found == open_.end()) return false;
  closing = std::move(found->second);
  open_.erase(found);
  return true;
}

std::shared_ptr<IVendorRequestChannel> DeviceFilesAdapter::Channel(Handle handle) {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto found = open_.find(handle);
  return found == open_.end() ? nullptr : found->second;
}

uint32_t DeviceFilesAdapter::IoControl(Handle handle, uint32_t code, const void* in, uint32_t inLength, void* out,
                                       uint32_t outLength, uint32_t* returned) {
  if (returned) *returned = 0;
  const std::shared_ptr<IVendorRequestChannel> channel = Channel(handle);
  if (!channel) return kErrorInvalidHandle;
  if (code != kVendorRequestIoControl) return kErrorInvalidFunction;
  const auto* input = static_cast<const uint8_t*>(in);
  auto* output = static_cast<uint8_t*>(out);
  VendorRequestSetup setup;
  if (outLength && !output) return kErrorInvalidParameter;
  const uint32_t refused = DecodeVendorRequestBlock(input, inLength, outLength, &setup);
  if (refused) return refused;
  // Input and output may be one buffer: the block is kept as it came.
  const std::vector<uint8_t> block(input, input + inLength);
  std::vector<uint8_t> data(block.begin() + VendorRequestBlock::kDataOffset,
                            block.begin() + VendorRequestBlock::kDataOffset + setup.wLength);
  uint32_t transferred = 0;
  const uint32_t result = channel->Send(setup, data.data(), &transferred);
  if (result != 0) return result;
  // The answer is the block as it came, with the data read in place.
  std::memcpy(output, block.data(), std::min<size_t>(outLength, block.size()));
  if (setup.toHost && setup.wLength) std::memcpy(output + VendorRequestBlock::kDataOffset, data.data(), setup.wLength);
  if (returned) *returned = outLength;
  return 0;
}

}  // namespace platform
