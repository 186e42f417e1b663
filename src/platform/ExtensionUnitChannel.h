#pragma once
// One camera's UVC extension unit, reached control by control: the operation
// every vendor command comes down to. A backend implements it with whatever
// its system offers (a capture framework's property call, a UVC driver's
// control query, a raw control transfer); the property request of the
// capture framework is built on top of it, not below.

#include <cstdint>

#include "platform/Types.h"

namespace platform {

class IExtensionUnitChannel {
 public:
  virtual ~IExtensionUnitChannel() = default;
  // The control's current length in bytes, as the device reports it.
  virtual Status GetLength(uint32_t selector, uint16_t* length) = 0;
  // Reads the control into `data`. A buffer larger than the control
  // receives the control's current bytes; `*returned` says how many.
  virtual Status Get(uint32_t selector, uint8_t* data, uint32_t length, uint32_t* returned) = 0;
  // Writes `length` bytes to the control.
  virtual Status Set(uint32_t selector, const uint8_t* data, uint32_t length) = 0;
  // Whether the driver keeps each control at the size it had when first used
  // for as long as the device stays enumerated (uvcvideo does): a control's
  // new length can then only be used on the device's next appearance, and
  // only if nothing used the control before the length changed.
  virtual bool FixesSizeAtFirstUse() const { return false; }
};

}  // namespace platform
