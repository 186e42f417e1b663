#pragma once
// The device side of a USB controller through the kernel's raw_gadget
// module: one open of /dev/raw-gadget is one device on the bus, from its
// connection to the descriptor's close (the host sees it unplugged).

#include <linux/usb/ch9.h>

#include <cstdint>
#include <string>
#include <vector>

namespace rig {

struct GadgetEvent {
  enum Kind { kControl, kOther } kind = kOther;
  usb_ctrlrequest setup{};  // kControl only
};

class RawGadget {
 public:
  // Opens the raw gadget device and binds it to the controller; `fd` is
  // negative with `error` set when that fails.
  RawGadget(const std::string& driver, const std::string& device, std::string* error);
  ~RawGadget();
  RawGadget(const RawGadget&) = delete;
  RawGadget& operator=(const RawGadget&) = delete;

  bool Ok() const { return fd_ >= 0; }
  // Waits for the next event from the host; false when the gadget failed.
  bool Fetch(GadgetEvent* event);
  // The data stage of a request towards the host.
  bool Send(const uint8_t* data, size_t length);
  // The data stage of a request towards the device (length 0: the status
  // stage of a request without data). Returns the bytes received, or -1.
  long Receive(uint8_t* data, size_t length);
  bool Stall();
  // What a set-configuration request needs of the controller.
  bool Configure(const std::vector<uint8_t>& endpoint, uint32_t milliamps);

 private:
  int fd_ = -1;
};

}  // namespace rig
