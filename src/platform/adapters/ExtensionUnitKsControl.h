#pragma once
// The capture framework's property interface over an extension-unit channel:
// takes the 32-byte node request apart, refuses what does not address the
// camera's extension unit the way the framework does, and passes the rest on
// as one control access.

#include <memory>
#include <vector>

#include "platform/Capture.h"
#include "platform/ExtensionUnitChannel.h"

namespace platform {

// Where the extension unit lies and which controls it has.
struct ExtensionUnitAddress {
  Guid unit;
  uint32_t nodeId = 0;
  std::vector<uint32_t> selectors;
};

// The framework's answer to a node request that does not reach the channel;
// kOk when it does. A read with no buffer (length 0) asks for the size.
Status CheckNodeRequest(const ExtensionUnitAddress& address, const KsNodeProperty& property, uint32_t propertyLength,
                        const uint8_t* data, uint32_t length);

class ExtensionUnitKsControl final : public IKsControl {
 public:
  // A null channel stands for a filter without that extension unit: every
  // request then fails with kSetNotFound.
  ExtensionUnitKsControl(std::shared_ptr<IExtensionUnitChannel> channel, ExtensionUnitAddress address);
  Status KsProperty(const KsNodeProperty& property, uint32_t propertyLength, uint8_t* data, uint32_t length,
                    uint32_t* returned) override;
  bool FixesControlSizes() const override { return channel_ && channel_->FixesSizeAtFirstUse(); }

 private:
  Status SizeOf(uint32_t selector, uint32_t* returned);

  std::shared_ptr<IExtensionUnitChannel> channel_;
  ExtensionUnitAddress address_;
};

}  // namespace platform
