#include "RawGadget.h"

#include <fcntl.h>
#include <linux/usb/raw_gadget.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace rig {
namespace {

long Retry(int fd, unsigned long request, void* arg) {
  long result = 0;
  do {
    result = ::ioctl(fd, request, arg);
  } while (result < 0 && errno == EINTR);
  return result;
}

// An endpoint-0 transfer: the raw gadget's header followed by the data.
struct Ep0Io {
  explicit Ep0Io(size_t length) : bytes(sizeof(usb_raw_ep_io) + length) {
    auto* io = Header();
    io->ep = 0;
    io->flags = 0;
    io->length = static_cast<uint32_t>(length);
  }
  usb_raw_ep_io* Header() { return reinterpret_cast<usb_raw_ep_io*>(bytes.data()); }
  uint8_t* Data() { return bytes.data() + sizeof(usb_raw_ep_io); }
  std::vector<uint8_t> bytes;
};

}  // namespace

RawGadget::RawGadget(const std::string& driver, const std::string& device, std::string* error) {
  fd_ = ::open("/dev/raw-gadget", O_RDWR | O_CLOEXEC);
  if (fd_ < 0) {
    *error = std::string("/dev/raw-gadget: ") + std::strerror(errno);
    return;
  }
  usb_raw_init init{};
  std::strncpy(reinterpret_cast<char*>(init.driver_name), driver.c_str(), UDC_NAME_LENGTH_MAX - 1);
  std::strncpy(reinterpret_cast<char*>(init.device_name), device.c_str(), UDC_NAME_LENGTH_MAX - 1);
  init.speed = USB_SPEED_HIGH;
  if (Retry(fd_, USB_RAW_IOCTL_INIT, &init) < 0 || Retry(fd_, USB_RAW_IOCTL_RUN, nullptr) < 0) {
    *error = "raw gadget on " + driver + "/" + device + ": " + std::strerror(errno);
    ::close(fd_);
    fd_ = -1;
  }
}

RawGadget::~RawGadget() {
  if (fd_ >= 0) ::close(fd_);
}

bool RawGadget::Fetch(GadgetEvent* event) {
  // The event's header, then room for the setup packet of a control event.
  alignas(usb_raw_event) uint8_t raw[sizeof(usb_raw_event) + sizeof(usb_ctrlrequest)] = {};
  auto* header = reinterpret_cast<usb_raw_event*>(raw);
  header->length = sizeof(usb_ctrlrequest);
  if (Retry(fd_, USB_RAW_IOCTL_EVENT_FETCH, raw) < 0) return false;
  event->kind = header->type == USB_RAW_EVENT_CONTROL ? GadgetEvent::kControl : GadgetEvent::kOther;
  if (event->kind == GadgetEvent::kControl)
    std::memcpy(&event->setup, raw + sizeof(usb_raw_event), sizeof event->setup);
  return true;
}

bool RawGadget::Send(const uint8_t* data, size_t length) {
  Ep0Io io(length);
  if (length) std::memcpy(io.Data(), data, length);
  return Retry(fd_, USB_RAW_IOCTL_EP0_WRITE, io.Header()) >= 0;
}

long RawGadget::Receive(uint8_t* data, size_t length) {
  Ep0Io io(length);
  const long received = Retry(fd_, USB_RAW_IOCTL_EP0_READ, io.Header());
  if (received < 0) return -1;
  if (received > 0) std::memcpy(data, io.Data(), static_cast<size_t>(received));
  return received;
}

bool RawGadget::Stall() { return Retry(fd_, USB_RAW_IOCTL_EP0_STALL, nullptr) >= 0; }

bool RawGadget::Configure(const std::vector<uint8_t>& endpoint, uint32_t milliamps) {
  usb_endpoint_descriptor descriptor{};
  std::memcpy(&descriptor, endpoint.data(), std::min(endpoint.size(), sizeof descriptor));
  // The streaming endpoint is enabled for the host's sake; nothing streams.
  Retry(fd_, USB_RAW_IOCTL_EP_ENABLE, &descriptor);
  return Retry(fd_, USB_RAW_IOCTL_VBUS_DRAW, reinterpret_cast<void*>(static_cast<uintptr_t>(milliamps / 2))) >= 0 &&
         Retry(fd_, USB_RAW_IOCTL_CONFIGURE, nullptr) >= 0;
}

}  // namespace rig
