#include "platform/adapters/ExtensionUnitKsControl.h"

#include <algorithm>
#include <utility>

namespace platform {

Status CheckNodeRequest(const ExtensionUnitAddress& address, const KsNodeProperty& property, uint32_t propertyLength,
                        const uint8_t* data, uint32_t length) {
  if (propertyLength < KsNodeProperty::kSize) return kInvalidArgument;
  if (!(property.set == address.unit)) return kSetNotFound;
  if (property.flags != kKsPropertyGetTopology && property.flags != kKsPropertySetTopology) return kInvalidArgument;
  if (property.nodeId != address.nodeId) return kNotFound;
  const auto& selectors = address.selectors;
  if (std::find(selectors.begin(), selectors.end(), property.id) == selectors.end()) return kNotFound;
  if (!data && !(property.flags == kKsPropertyGetTopology && length == 0)) return kInvalidArgument;
  return kOk;
}

ExtensionUnitKsControl::ExtensionUnitKsControl(std::shared_ptr<IExtensionUnitChannel> channel,
                                               ExtensionUnitAddress address)
    : channel_(std::move(channel)), address_(std::move(address)) {}

Status ExtensionUnitKsControl::KsProperty(const KsNodeProperty& property, uint32_t propertyLength, uint8_t* data,
                                          uint32_t length, uint32_t* returned) {
  if (returned) *returned = 0;
  if (!channel_) return kSetNotFound;
  const Status refused = CheckNodeRequest(address_, property, propertyLength, data, length);
  if (Failed(refused)) return refused;
  if (property.flags == kKsPropertySetTopology) return channel_->Set(property.id, data, length);
  if (length == 0) return SizeOf(property.id, returned);
  uint32_t received = 0;
  const Status status = channel_->Get(property.id, data, length, &received);
  if (returned) *returned = received;
  return status;
}

// As the capture framework answers a read with no buffer: the control's size,
// which the driver asks the camera for.
Status ExtensionUnitKsControl::SizeOf(uint32_t selector, uint32_t* returned) {
  uint16_t size = 0;
  const Status status = channel_->GetLength(selector, &size);
  if (Failed(status)) return status;
  if (returned) *returned = size;
  return kMoreData;
}

}  // namespace platform
