#pragma once
// A camera's extension unit through uvcvideo's control query on an open
// capture node.
//
// uvcvideo learns each extension-unit control's size the first time the
// control is used and keeps it for as long as the device stays bound: a get
// or set of any other size is then refused, even after the device itself
// has changed the control's length. The channel tracks that size so that it
// never reports a length the driver will refuse.

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>

#include "platform/ExtensionUnitChannel.h"
#include "platform/linux/LinuxKernel.h"

namespace platform {

// The size the driver has fixed for each control of one unit. Channels opened
// on the same appearance of a device share one, as the driver's record
// outlives each open capture node.
class UvcControlSizes {
 public:
  std::optional<uint16_t> Find(uint32_t selector) const;
  // Records the size a control was first used with; a later size is ignored.
  void RecordFirstUse(uint32_t selector, uint16_t size);

 private:
  mutable std::mutex mutex_;
  std::map<uint32_t, uint16_t> sizes_;
};

class UvcExtensionUnit final : public IExtensionUnitChannel {
 public:
  // Owns `fd`, an open capture node of the device, and closes it through
  // `kernel`. Without `sizes` the channel keeps its own record.
  UvcExtensionUnit(ILinuxKernel& kernel, int fd, uint8_t unitId, std::shared_ptr<UvcControlSizes> sizes = nullptr);
  ~UvcExtensionUnit() override;
  UvcExtensionUnit(const UvcExtensionUnit&) = delete;
  UvcExtensionUnit& operator=(const UvcExtensionUnit&) = delete;

  Status GetLength(uint32_t selector, uint16_t* length) override;
  // A buffer of the control's size reads it; a larger one first asks the
  // device for the control's current length and reads that many bytes, and
  // fails when the driver would refuse that length or the buffer is too
  // small for it.
  Status Get(uint32_t selector, uint8_t* data, uint32_t length, uint32_t* returned) override;
  Status Set(uint32_t selector, const uint8_t* data, uint32_t length) override;

 private:
  Status Query(uint32_t selector, uint8_t query, uint8_t* data, uint16_t size);
  Status ReadCurrent(uint32_t selector, uint8_t* data, uint16_t size, uint32_t* returned);

  ILinuxKernel& kernel_;
  const int fd_;
  const uint8_t unitId_;
  std::shared_ptr<UvcControlSizes> sizes_;
};

}  // namespace platform
