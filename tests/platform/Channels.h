#pragma once
// Trivial in-memory channels that record what reaches them: the ground under
// the adapter and decorator tests.

#include <cstdint>
#include <cstring>
#include <map>
#include <vector>

#include "platform/ExtensionUnitChannel.h"
#include "platform/VendorRequestChannel.h"

namespace channel_test {

using Bytes = std::vector<uint8_t>;

// Controls that hold whatever was last set; a get delivers the control's
// bytes, at most as many as the buffer takes.
class MemoryControls final : public platform::IExtensionUnitChannel {
 public:
  struct Call {
    char what;  // 'L'ength, 'G'et or 'S'et
    uint32_t selector;
    uint32_t length;
    Bytes data;
  };

  platform::Status GetLength(uint32_t selector, uint16_t* length) override {
    calls.push_back({'L', selector, 0, {}});
    *length = static_cast<uint16_t>(controls[selector].size());
    return status;
  }
  platform::Status Get(uint32_t selector, uint8_t* data, uint32_t length, uint32_t* returned) override {
    calls.push_back({'G', selector, length, {}});
    const Bytes& value = controls[selector];
    *returned = std::min<uint32_t>(length, static_cast<uint32_t>(value.size()));
    if (*returned) std::memcpy(data, value.data(), *returned);
    return status;
  }
  platform::Status Set(uint32_t selector, const uint8_t* data, uint32_t length) override {
    calls.push_back({'S', selector, length, Bytes(data, data + length)});
    controls[selector] = Bytes(data, data + length);
    return status;
  }

  std::map<uint32_t, Bytes> controls;
  std::vector<Call> calls;
  platform::Status status = platform::kOk;
};

// Records every request; a read answers bytes counting up from wIndex.
class RecordingRequests final : public platform::IVendorRequestChannel {
 public:
  uint32_t Send(const platform::VendorRequestSetup& setup, uint8_t* data, uint32_t* transferred) override {
    setups.push_back(setup);
    sent.push_back(setup.toHost ? Bytes() : Bytes(data, data + setup.wLength));
    if (result) return result;
    if (setup.toHost)
      for (uint32_t i = 0; i < setup.wLength; ++i) data[i] = static_cast<uint8_t>(setup.wIndex + i);
    *transferred = setup.wLength;
    return 0;
  }

  std::vector<platform::VendorRequestSetup> setups;
  std::vector<Bytes> sent;
  uint32_t result = 0;
};

}  // namespace channel_test
