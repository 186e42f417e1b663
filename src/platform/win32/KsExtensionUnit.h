#pragma once
// The camera's extension unit through a capture filter's kernel-streaming
// property interface. Every control access is one KSP_NODE property request
// (the unit's GUID, the control's selector, get or set on the topology, the
// unit's node), and the system's result passes through as the status.

#include <windows.h>

#include <dshow.h>

#include <ks.h>
#include <ksproxy.h>

#include <cstdint>

#include "platform/ExtensionUnitChannel.h"
#include "platform/win32/ComPtr.h"

namespace platform::win32 {

class KsExtensionUnit final : public IExtensionUnitChannel {
 public:
  explicit KsExtensionUnit(ComPtr<::IKsControl> control);

  Status GetLength(uint32_t selector, uint16_t* length) override;
  Status Get(uint32_t selector, uint8_t* data, uint32_t length, uint32_t* returned) override;
  Status Set(uint32_t selector, const uint8_t* data, uint32_t length) override;

 private:
  Status Property(uint32_t selector, ULONG flags, void* data, uint32_t length, ULONG* returned);

  ComPtr<::IKsControl> control_;
};

}  // namespace platform::win32
