#include "platform/linux/UvcExtensionUnit.h"

#include <linux/usb/video.h>
#include <linux/uvcvideo.h>

#include <cerrno>
#include <limits>
#include <utility>

namespace platform {
namespace {

Status StatusForErrno(long error) {
  switch (error) {
    case ENODEV:
    case ESHUTDOWN: return kDeviceGone;
    // The driver knows no such unit, or no such control in the unit: the
    // device is still there.
    case ENOENT: return kNotFound;
    case ENOBUFS:  // a size other than the one the driver has fixed
    case EINVAL:
    case ERANGE: return kInvalidArgument;
    default:  // EPIPE (the device stalled), EIO, EPROTO, ETIMEDOUT, ...
      return kStalled;
  }
}

bool FitsSelector(uint32_t selector) { return selector >= 1 && selector <= std::numeric_limits<uint8_t>::max(); }

}  // namespace

std::optional<uint16_t> UvcControlSizes::Find(uint32_t selector) const {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto found = sizes_.find(selector);
  if (found == sizes_.end()) return std::nullopt;
  return found->second;
}

void UvcControlSizes::RecordFirstUse(uint32_t selector, uint16_t size) {
  std::lock_guard<std::mutex> lock(mutex_);
  sizes_.emplace(selector, size);
}

UvcExtensionUnit::UvcExtensionUnit(ILinuxKernel& kernel, int fd, uint8_t unitId, std::shared_ptr<UvcControlSizes> sizes)
    : kernel_(kernel),
      fd_(fd),
      unitId_(unitId),
      sizes_(sizes ? std::move(sizes) : std::make_shared<UvcControlSizes>()) {}

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
  // The driver fixes a control's size at its first use, whatever the query.
  sizes_->RecordFirstUse(selector, *length);
  return kOk;
}

Status UvcExtensionUnit::ReadCurrent(uint32_t selector, uint8_t* data, uint16_t size, uint32_t* returned) {
  const Status status = Query(selector, UVC_GET_CUR, data, size);
  if (Failed(status)) return status;
  sizes_->RecordFirstUse(selector, size);
  *returned = size;
  return kOk;
}

Status UvcExtensionUnit::Get(uint32_t selector, uint8_t* data, uint32_t length, uint32_t* returned) {
  *returned = 0;
  if (!data || !FitsSelector(selector)) return kInvalidArgument;
  const std::optional<uint16_t> fixed = sizes_->Find(selector);
  if (fixed && *fixed == length) return ReadCurrent(selector, data, *fixed, returned);
  uint16_t live = 0;
  const Status status = GetLength(selector, &live);
  if (Failed(status)) return status;
  // A length the buffer can't take, or one the driver would refuse because
  // it still holds the control's first size: the device's new length can't
  // be read through this driver.
  if (live > length || sizes_->Find(selector) != live) return kInvalidArgument;
  return ReadCurrent(selector, data, live, returned);
}

Status UvcExtensionUnit::Set(uint32_t selector, const uint8_t* data, uint32_t length) {
  if (!data || !FitsSelector(selector) || length > std::numeric_limits<uint16_t>::max()) return kInvalidArgument;
  // The query's buffer is shared by both directions; a set only reads it.
  const Status status = Query(selector, UVC_SET_CUR, const_cast<uint8_t*>(data), static_cast<uint16_t>(length));
  if (Failed(status)) return status;
  sizes_->RecordFirstUse(selector, static_cast<uint16_t>(length));
  return kOk;
}

}  // namespace platform
