#include "platform/linux/UvcExtensionUnit.h"

#include <linux/usb/video.h>
#include <linux/uvcvideo.h>

#include <cerrno>
#include <limits>

namespace platform::linux {
namespace {

Status StatusForErrno(long error) {
  switch (error) {
    case ENODEV:
    case ESHUTDOWN: return kDeviceGone;
    // The driver knows no such unit, or no such control in the unit: the
    // device is still there.
    case ENOENT: return kNotFound;
    case ENOBUFS: return kBufferSizeRefused;  // the driver holds the control at another size
    case EINVAL:
    case ERANGE: return kInvalidArgument;
    default:  // EPIPE (the device stalled), EIO, EPROTO, ETIMEDOUT, ...
      return kStalled;
  }
}

bool FitsSelector(uint32_t selector) { return selector >= 1 && selector <= std::numeric_limits<uint8_t>::max(); }

}  // namespace

UvcExtensionUnit::UvcExtensionUnit(ILinuxKernel& kernel, int fd, uint8_t unitId)
    : kernel_(kernel), fd_(fd), unitId_(unitId) {}

UvcExtensionUnit::~UvcExtensionUnit() { kernel_.Close(fd_); }

Status UvcExtensionUnit::Query(uint32_t selector, uint8_t query, uint8_t* data, uint16_t size) {
  uvc_xu_control_query request{};
  request.unit = unitId_;
  request.selector = static_cast<uint8_t>(selector);
  request.query = query;
  request.size = size;
  request.data = data;
  const long result = kernel_.Ioctl(fd_, UVCIOC_CTRL_QUERY, &request);
  return result < 0 ? StatusForErrno(-result) : kOk;
}

Status UvcExtensionUnit::GetLength(uint32_t selector, uint16_t* length) {
  *length = 0;
  if (!FitsSelector(selector)) return kInvalidArgument;
  uint8_t answer[2] = {};
  const Status status = Query(selector, UVC_GET_LEN, answer, sizeof answer);
  if (Failed(status)) return status;
  *length = static_cast<uint16_t>(answer[0] | (answer[1] << 8));
  return kOk;
}

Status UvcExtensionUnit::ReadCurrent(uint32_t selector, uint8_t* data, uint16_t size, uint32_t* returned) {
  const Status status = Query(selector, UVC_GET_CUR, data, size);
  if (Failed(status)) return status;
  *returned = size;
  return kOk;
}

Status UvcExtensionUnit::Get(uint32_t selector, uint8_t* data, uint32_t length, uint32_t* returned) {
  *returned = 0;
  if (!data || !FitsSelector(selector)) return kInvalidArgument;
  // Every transfer of the protocol reads the control at its own size: one
  // query. A refusal costs the device nothing.
  if (length <= std::numeric_limits<uint16_t>::max()) {
    const Status status = ReadCurrent(selector, data, static_cast<uint16_t>(length), returned);
    if (status != kBufferSizeRefused) return status;
  }
  // Not the size the driver holds (a buffer larger than the control, as the
  // length change's confirmation reads into): the control's current length,
  // then the control at that length.
  uint16_t live = 0;
  const Status status = GetLength(selector, &live);
  if (Failed(status)) return status;
  // At the buffer's own length the driver has just refused it.
  if (live >= length) return kBufferSizeRefused;
  return ReadCurrent(selector, data, live, returned);
}

Status UvcExtensionUnit::Set(uint32_t selector, const uint8_t* data, uint32_t length) {
  if (!data || !FitsSelector(selector) || length > std::numeric_limits<uint16_t>::max()) return kInvalidArgument;
  // The query's buffer is shared by both directions; a set only reads it.
  return Query(selector, UVC_SET_CUR, const_cast<uint8_t*>(data), static_cast<uint16_t>(length));
}

}  // namespace platform::linux
