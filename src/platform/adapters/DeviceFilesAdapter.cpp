#include "platform/adapters/DeviceFilesAdapter.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/VendorRequestBlock.h"

namespace platform {

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
  if (code != IOCTL_DL_VENDOR_REQUEST) return kErrorInvalidFunction;
  const auto* input = static_cast<const uint8_t*>(in);
  auto* output = static_cast<uint8_t*>(out);
  VendorRequestSetup setup;
  if (outLength && !output) return kErrorInvalidParameter;
  const uint32_t refused = DecodeVendorRequestBlock(input, inLength, outLength, &setup);
  if (refused) return refused;
  // Input and output may be one buffer: the block is kept as it came.
  const std::vector<uint8_t> block(input, input + inLength);
  std::vector<uint8_t> data(block.begin() + VendorRequest::kDataOffset,
                            block.begin() + VendorRequest::kDataOffset + setup.wLength);
  uint32_t transferred = 0;
  const uint32_t result = channel->Send(setup, data.data(), &transferred);
  if (result != 0) return result;
  // The answer is the block as it came, with the data read in place.
  std::memcpy(output, block.data(), std::min<size_t>(outLength, block.size()));
  if (setup.toHost && setup.wLength) std::memcpy(output + VendorRequest::kDataOffset, data.data(), setup.wLength);
  if (returned) *returned = outLength;
  return 0;
}

}  // namespace platform
