#include "platform/linux/UsbfsVendorRequests.h"

#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>

#include <cerrno>

#include "platform/Types.h"

namespace platform::linux {
namespace {

constexpr uint8_t kVendorToDevice = 0x40;
constexpr uint8_t kVendorToHost = 0xC0;

}  // namespace

uint32_t UsbfsErrorForErrno(long error) {
  switch (error) {
    case ENODEV:
    case ESHUTDOWN:
    // A node that does not open because its device re-enumerated or left
    // between the listing and the open: no node any more, not a stall.
    case ENOENT:
    case ENXIO: return kErrorDeviceNotConnected;
    case ETIMEDOUT: return kErrorSemaphoreTimeout;
    case EACCES:
    case EPERM: return kErrorAccessDenied;
    default:  // EPIPE (the device stalled), EPROTO, EIO, ...
      return kErrorGenFailure;
  }
}

uint32_t RefusedVendorRequests::Send(const VendorRequestSetup&, uint8_t*, uint32_t* transferred) {
  if (transferred) *transferred = 0;
  return error_;
}

UsbfsVendorRequests::UsbfsVendorRequests(ILinuxKernel& kernel, int fd) : kernel_(kernel), fd_(fd) {}

UsbfsVendorRequests::~UsbfsVendorRequests() { kernel_.Close(fd_); }

uint32_t UsbfsVendorRequests::Send(const VendorRequestSetup& setup, uint8_t* data, uint32_t* transferred) {
  if (transferred) *transferred = 0;
  if (setup.wLength && !data) return kErrorInvalidParameter;
  usbdevfs_ctrltransfer transfer{};
  transfer.bRequestType = setup.toHost ? kVendorToHost : kVendorToDevice;
  transfer.bRequest = setup.bRequest;
  transfer.wValue = setup.wValue;
  transfer.wIndex = setup.wIndex;
  transfer.wLength = setup.wLength;
  transfer.timeout = kTimeoutMs;
  transfer.data = data;
  const long result = kernel_.Ioctl(fd_, USBDEVFS_CONTROL, &transfer);
  if (result < 0) return UsbfsErrorForErrno(-result);
  if (transferred) *transferred = static_cast<uint32_t>(result);
  // Fewer bytes than asked would leave the rest of a read as it was.
  return result == setup.wLength ? 0 : kErrorGenFailure;
}

}  // namespace platform::linux
