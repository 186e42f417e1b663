#include "platform/decorators/Decorate.h"

#include <utility>

namespace platform {

std::shared_ptr<IExtensionUnitChannel> Decorate(std::shared_ptr<IExtensionUnitChannel> channel,
                                                const ChannelDecorations& d) {
  if (d.faults && d.hooks)
    channel = std::make_shared<FaultyExtensionUnit>(std::move(channel), d.faults, d.hooks, d.incarnation);
  if (d.traffic.log) channel = std::make_shared<LoggedExtensionUnit>(std::move(channel), d.traffic);
  if (d.pause) channel = std::make_shared<TimedExtensionUnit>(std::move(channel), d.pause, d.timing);
  return channel;
}

std::shared_ptr<IVendorRequestChannel> Decorate(std::shared_ptr<IVendorRequestChannel> channel,
                                                const ChannelDecorations& d) {
  if (d.faults && d.hooks) channel = std::make_shared<FaultyVendorRequests>(std::move(channel), d.faults, d.hooks);
  if (d.traffic.log) channel = std::make_shared<LoggedVendorRequests>(std::move(channel), d.traffic);
  if (d.pause) channel = std::make_shared<TimedVendorRequests>(std::move(channel), d.pause, d.timing);
  return channel;
}

}  // namespace platform
