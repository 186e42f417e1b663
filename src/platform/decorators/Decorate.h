#pragma once
// Stacks the decorators over a camera's channels: fault injection next to the
// channel, the traffic log above it (so that it sees what the faults made of
// each access), and the transfer time outermost. Each layer is optional.

#include <cstdint>
#include <memory>

#include "platform/ExtensionUnitChannel.h"
#include "platform/VendorRequestChannel.h"
#include "platform/decorators/Faults.h"
#include "platform/decorators/Timing.h"
#include "platform/decorators/TrafficLog.h"

namespace platform {

struct ChannelDecorations {
  // Faults: the camera's shared state and what its actions reach; both or neither.
  std::shared_ptr<FaultState> faults;
  std::shared_ptr<IFaultHooks> hooks;
  uint64_t incarnation = 0;  // the camera's appearance on the bus the channel belongs to
  // Traffic log: none when `traffic.log` is null.
  TrafficRecorder traffic;
  // Transfer time: none when `pause` is null.
  std::shared_ptr<TransferPause> pause;
  TransferTiming timing;
};

std::shared_ptr<IExtensionUnitChannel> Decorate(std::shared_ptr<IExtensionUnitChannel> channel,
                                                const ChannelDecorations& decorations);
std::shared_ptr<IVendorRequestChannel> Decorate(std::shared_ptr<IVendorRequestChannel> channel,
                                                const ChannelDecorations& decorations);

}  // namespace platform
