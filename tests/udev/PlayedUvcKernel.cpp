#include "udev/PlayedUvcKernel.h"

#include <linux/usb/video.h>
#include <linux/usbdevice_fs.h>
#include <linux/uvcvideo.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "platform/CameraExtensionUnit.h"

namespace emulated {
namespace {

long ErrnoFor(platform::Status status) { return status == platform::kDeviceGone ? -ENODEV : -EPIPE; }

std::string CanonicalPath(const std::string& path) {
  char* resolved = ::realpath(path.c_str(), nullptr);
  if (!resolved) return path;
  std::string canonical = resolved;
  std::free(resolved);
  return canonical;
}

// Where a descriptor points now; a removed file ends in " (deleted)".
std::string TargetOf(int fd) {
  char target[PATH_MAX];
  const ssize_t n = ::readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), target, sizeof target - 1);
  return n < 0 ? std::string() : std::string(target, static_cast<size_t>(n));
}

bool KnownSelector(uint8_t selector) {
  return selector == platform::kCameraCommandSelector || selector == platform::kCameraDataSelector;
}

}  // namespace

PlayedUvcKernel::PlayedUvcKernel(substitute::SubstituteWorld& world, const std::string& root, uint8_t unitId)
    : world_(world), root_(CanonicalPath(root)), unitId_(unitId) {}

void PlayedUvcKernel::Attach(const std::string& node, substitute::DeviceId camera) {
  std::lock_guard<std::mutex> lock(mutex_);
  nodes_[node] = camera;
}

long PlayedUvcKernel::Ioctl(int fd, unsigned long request, void* arg) {
  std::lock_guard<std::mutex> lock(mutex_);
  ++ioctls_;
  Opened* opened = nullptr;
  long result = Resolve(fd, &opened);
  if (request == UVCIOC_CTRL_QUERY) {
    const auto* query = static_cast<const uvc_xu_control_query*>(arg);
    if (result == 0) result = PlayQuery(*opened, arg);
    queries_.push_back({query->selector, query->query, query->size, result});
    return result;
  }
  if (request == USBDEVFS_CONTROL) {
    const auto* transfer = static_cast<const usbdevfs_ctrltransfer*>(arg);
    if (result == 0) result = PlayTransfer(*opened, arg);
    transfers_.push_back(
        {transfer->bRequestType, transfer->bRequest, transfer->wValue, transfer->wIndex, transfer->wLength, result});
    return result;
  }
  return -ENOTTY;
}

void PlayedUvcKernel::Close(int fd) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    opened_.erase(fd);
  }
  ::close(fd);
}

long PlayedUvcKernel::Resolve(int fd, Opened** out) {
  auto found = opened_.find(fd);
  if (found == opened_.end()) {
    const std::string target = TargetOf(fd);
    if (target.ends_with(" (deleted)")) return -ENODEV;
    if (!target.starts_with(root_)) return -ENOTTY;
    const auto node = nodes_.find(target.substr(root_.size()));
    if (node == nodes_.end()) return -ENOTTY;
    Opened opened;
    opened.camera = node->second;
    opened.appearance = world_.DevInst(opened.camera);
    if (opened.appearance == 0) return -ENODEV;
    const std::string devicePath = world_.DevicePath(opened.camera);
    if (node->first.starts_with("/dev/bus/usb/")) {
      opened.vendor = world_.Backend().OpenVendorRequests(devicePath);
    } else {
      std::vector<std::shared_ptr<platform::IVideoInput>> inputs;
      world_.Backend().ListVideoInputs(&inputs);
      for (const auto& input : inputs) {
        std::string path;
        if (platform::Failed(input->ReadProperty("DevicePath", &path)) || path != devicePath) continue;
        input->OpenExtensionUnit(&opened.unit);
      }
    }
    found = opened_.emplace(fd, std::move(opened)).first;
  }
  // A descriptor stands for the appearance it was first used on.
  if (world_.DevInst(found->second.camera) != found->second.appearance) return -ENODEV;
  *out = &found->second;
  return 0;
}

long PlayedUvcKernel::FixedSize(Opened& opened, uint8_t selector, uint16_t* size) {
  auto& sizes = sizes_[{opened.camera, opened.appearance}];
  const auto fixed = sizes.find(selector);
  if (fixed != sizes.end()) {
    *size = fixed->second;
    return 0;
  }
  // The driver learns a control's size from the device on the control's
  // first query and keeps it.
  const platform::Status status = opened.unit->GetLength(selector, size);
  if (platform::Failed(status)) return ErrnoFor(status);
  sizes.emplace(selector, *size);
  return 0;
}

long PlayedUvcKernel::PlayQuery(Opened& opened, void* arg) {
  auto* query = static_cast<uvc_xu_control_query*>(arg);
  if (!opened.unit) return -ENOTTY;
  if (query->unit != unitId_ || !KnownSelector(query->selector)) return -ENOENT;
  uint16_t fixed = 0;
  if (const long error = FixedSize(opened, query->selector, &fixed); error < 0) return error;
  switch (query->query) {
    case UVC_GET_LEN: {
      if (query->size != 2) return -ENOBUFS;
      uint16_t length = 0;
      const platform::Status status = opened.unit->GetLength(query->selector, &length);
      if (platform::Failed(status)) return ErrnoFor(status);
      query->data[0] = static_cast<uint8_t>(length);
      query->data[1] = static_cast<uint8_t>(length >> 8);
      return 0;
    }
    case UVC_GET_CUR: {
      if (query->size != fixed) return -ENOBUFS;
      uint32_t returned = 0;
      const platform::Status status = opened.unit->Get(query->selector, query->data, query->size, &returned);
      if (platform::Failed(status)) return ErrnoFor(status);
      return returned == query->size ? 0 : -EPIPE;
    }
    case UVC_SET_CUR: {
      if (query->size != fixed) return -ENOBUFS;
      if (failure_ && failure_->selector == query->selector && ++setsSeen_ == failure_->nth) return -failure_->error;
      const platform::Status status = opened.unit->Set(query->selector, query->data, query->size);
      return platform::Failed(status) ? ErrnoFor(status) : 0;
    }
    default: return -EINVAL;
  }
}

long PlayedUvcKernel::PlayTransfer(Opened& opened, void* arg) {
  auto* transfer = static_cast<usbdevfs_ctrltransfer*>(arg);
  if (!opened.vendor) return -ENOTTY;
  if (transfer->bRequestType != 0x40 && transfer->bRequestType != 0xC0) return -EINVAL;
  const platform::VendorRequestSetup setup{transfer->bRequestType == 0xC0, transfer->bRequest, transfer->wValue,
                                           transfer->wIndex, transfer->wLength};
  uint32_t moved = 0;
  const uint32_t error = opened.vendor->Send(setup, static_cast<uint8_t*>(transfer->data), &moved);
  if (error == platform::kErrorDeviceNotConnected) return -ENODEV;
  if (error != 0) return -EPIPE;
  return static_cast<long>(moved);
}

std::vector<PlayedUvcKernel::ControlQuery> PlayedUvcKernel::Queries() {
  std::lock_guard<std::mutex> lock(mutex_);
  return queries_;
}

std::vector<PlayedUvcKernel::ControlTransfer> PlayedUvcKernel::Transfers() {
  std::lock_guard<std::mutex> lock(mutex_);
  return transfers_;
}

size_t PlayedUvcKernel::IoctlCount() {
  std::lock_guard<std::mutex> lock(mutex_);
  return ioctls_;
}

void PlayedUvcKernel::FailSet(uint8_t selector, size_t nth, int error) {
  std::lock_guard<std::mutex> lock(mutex_);
  failure_ = Failure{selector, nth, error};
  setsSeen_ = 0;
}

}  // namespace emulated
