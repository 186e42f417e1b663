#pragma once
// A camera's extension unit through uvcvideo's control query on an open
// capture node.
//
// uvcvideo learns each extension-unit control's size the first time anybody
// uses the control and keeps it for as long as the device stays enumerated:
// a get or set of any other size is refused (ENOBUFS) before the device sees
// it, even after the device itself has changed the control's length. Another
// process may have used the control first, so the channel keeps no record of
// its own: it asks at the size it is given and learns from the refusal.

#include <cstdint>

#include "platform/ExtensionUnitChannel.h"
#include "platform/linux/LinuxKernel.h"

namespace platform::linux {

class UvcExtensionUnit final : public IExtensionUnitChannel {
 public:
  // Owns `fd`, an open capture node of the device, and closes it through
  // `kernel`.
  UvcExtensionUnit(ILinuxKernel& kernel, int fd, uint8_t unitId);
  ~UvcExtensionUnit() override;
  UvcExtensionUnit(const UvcExtensionUnit&) = delete;
  UvcExtensionUnit& operator=(const UvcExtensionUnit&) = delete;

  Status GetLength(uint32_t selector, uint16_t* length) override;
  // Reads `length` bytes when the driver holds the control at that size.
  // Otherwise the device is asked for the control's current length, and a
  // buffer at least that long receives that many bytes, provided the driver
  // holds the control at that length; kBufferSizeRefused when it holds
  // another.
  Status Get(uint32_t selector, uint8_t* data, uint32_t length, uint32_t* returned) override;
  Status Set(uint32_t selector, const uint8_t* data, uint32_t length) override;
  bool FixesSizeAtFirstUse() const override { return true; }

 private:
  Status Query(uint32_t selector, uint8_t query, uint8_t* data, uint16_t size);
  Status ReadCurrent(uint32_t selector, uint8_t* data, uint16_t size, uint32_t* returned);

  ILinuxKernel& kernel_;
  const int fd_;
  const uint8_t unitId_;
};

}  // namespace platform::linux
