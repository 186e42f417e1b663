#include "udev/PlayedUvcDrivers.h"

#include <linux/usb/video.h>
#include <linux/usbdevice_fs.h>
#include <linux/uvcvideo.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstddef>

#include "platform/CameraExtensionUnit.h"
#include "support/FakeLinuxKernel.h"

namespace emulated {
namespace {

long ErrnoFor(platform::Status status) { return status == platform::kDeviceGone ? -ENODEV : -EPIPE; }

bool KnownSelector(uint8_t selector) {
  return selector == platform::kCameraCommandSelector || selector == platform::kCameraDataSelector;
}

// The request's argument: a pointer to a `Struct` holding a pointer, at
// `dataAt`, to `dataLength(struct)` bytes; both are made local for the call.
template <typename Struct, typename Length>
long WithLocalArgument(UMockdevIoctlData* arg, size_t dataAt, Length dataLength, const auto& play) {
  UMockdevIoctlData* outer = umockdev_ioctl_data_resolve(arg, 0, sizeof(Struct), nullptr);
  if (!outer) return -EFAULT;
  long result = -EFAULT;
  const size_t length = dataLength(*reinterpret_cast<const Struct*>(outer->data));
  UMockdevIoctlData* inner = umockdev_ioctl_data_resolve(outer, dataAt, length, nullptr);
  if (inner || length == 0) result = play(reinterpret_cast<Struct*>(outer->data));
  if (inner) g_object_unref(inner);
  g_object_unref(outer);
  return result;
}

gboolean OnIoctl(UMockdevIoctlBase* handler, UMockdevIoctlClient* client, gpointer self) {
  // Handled here alone: the base class would answer it too.
  g_signal_stop_emission_by_name(handler, "handle-ioctl");
  auto& drivers = *static_cast<PlayedUvcDrivers*>(self);
  const unsigned long request = umockdev_ioctl_client_get_request(client);
  const auto connection = reinterpret_cast<uintptr_t>(client);
  UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
  const auto play = [&](void* local) { return drivers.Play(connection, request, local); };
  long result = -ENOTTY;
  if (request == UVCIOC_CTRL_QUERY) {
    result = WithLocalArgument<uvc_xu_control_query>(
        arg, offsetof(uvc_xu_control_query, data), [](const uvc_xu_control_query& q) { return q.size; }, play);
  } else if (request == USBDEVFS_CONTROL) {
    result = WithLocalArgument<usbdevfs_ctrltransfer>(
        arg, offsetof(usbdevfs_ctrltransfer, data), [](const usbdevfs_ctrltransfer& t) { return t.wLength; }, play);
  } else {
    result = drivers.Play(connection, request, nullptr);
  }
  umockdev_ioctl_client_complete(client, result < 0 ? -1 : result, result < 0 ? static_cast<int>(-result) : 0);
  return TRUE;
}

void OnConnected(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self) {
  static_cast<PlayedUvcDrivers*>(self)->Connect(reinterpret_cast<uintptr_t>(client),
                                                umockdev_ioctl_client_get_devnode(client));
}

void OnVanished(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self) {
  static_cast<PlayedUvcDrivers*>(self)->Hangup(reinterpret_cast<uintptr_t>(client));
}

}  // namespace

PlayedUvcDrivers::PlayedUvcDrivers(substitute::SubstituteWorld& world, UMockdevTestbed* testbed, uint8_t unitId)
    : world_(world), testbed_(testbed), handler_(umockdev_ioctl_base_new()), unitId_(unitId) {
  g_signal_connect(handler_, "handle-ioctl", G_CALLBACK(OnIoctl), this);
  g_signal_connect(handler_, "client-connected", G_CALLBACK(OnConnected), this);
  g_signal_connect(handler_, "client-vanished", G_CALLBACK(OnVanished), this);
}

PlayedUvcDrivers::~PlayedUvcDrivers() {
  for (const std::string& node : attached_) umockdev_testbed_detach_ioctl(testbed_, node.c_str(), nullptr);
  g_signal_handlers_disconnect_by_data(handler_, this);
  g_object_unref(handler_);
}

void PlayedUvcDrivers::Attach(const std::string& node, substitute::DeviceId camera) {
  std::lock_guard<std::mutex> lock(mutex_);
  nodes_[node] = camera;
  if (!attached_.insert(node).second) return;
  GError* error = nullptr;
  if (!umockdev_testbed_attach_ioctl(testbed_, node.c_str(), handler_, &error)) {
    ADD_FAILURE() << node << ": " << error->message;
    g_error_free(error);
  }
}

long PlayedUvcDrivers::Play(uintptr_t connection, unsigned long request, void* arg) {
  std::lock_guard<std::mutex> lock(mutex_);
  ++ioctls_;
  Opened* opened = nullptr;
  long result = Resolve(connection, &opened);
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

void PlayedUvcDrivers::Hangup(uintptr_t connection) {
  std::lock_guard<std::mutex> lock(mutex_);
  opened_.erase(connection);
}

void PlayedUvcDrivers::Connect(uintptr_t connection, const std::string& node) {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto camera = nodes_.find(node);
  if (camera == nodes_.end()) return;
  Opened opened;
  opened.camera = camera->second;
  opened.appearance = world_.Appearance(opened.camera);
  const std::string devicePath = world_.DevicePath(opened.camera);
  if (node.starts_with("/dev/bus/usb/")) {
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
  opened_[connection] = std::move(opened);
}

long PlayedUvcDrivers::Resolve(uintptr_t connection, Opened** out) {
  const auto found = opened_.find(connection);
  if (found == opened_.end()) return -ENOTTY;
  // A descriptor stands for the appearance it was opened on.
  const uint32_t appearance = found->second.appearance;
  if (appearance == 0 || world_.Appearance(found->second.camera) != appearance) return -ENODEV;
  *out = &found->second;
  return 0;
}

long PlayedUvcDrivers::FixedSize(Opened& opened, uint8_t selector, uint16_t* size) {
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

long PlayedUvcDrivers::PlayQuery(Opened& opened, void* arg) {
  auto* query = static_cast<uvc_xu_control_query*>(arg);
  if (!opened.unit) return -ENOTTY;
  if (query->unit != unitId_ || !KnownSelector(query->selector)) return -ENOENT;
  uint16_t fixed = 0;
  if (const long error = FixedSize(opened, query->selector, &fixed); error < 0) return error;
  if (query->query != UVC_GET_LEN && query->query != UVC_GET_CUR && query->query != UVC_SET_CUR) return -EINVAL;
  if (const long refusal = fake::UvcSizeRefusal(query->query, query->size, fixed)) return refusal;
  switch (query->query) {
    case UVC_GET_LEN: {
      uint16_t length = 0;
      const platform::Status status = opened.unit->GetLength(query->selector, &length);
      if (platform::Failed(status)) return ErrnoFor(status);
      query->data[0] = static_cast<uint8_t>(length);
      query->data[1] = static_cast<uint8_t>(length >> 8);
      return 0;
    }
    case UVC_GET_CUR: {
      uint32_t returned = 0;
      const platform::Status status = opened.unit->Get(query->selector, query->data, query->size, &returned);
      if (platform::Failed(status)) return ErrnoFor(status);
      return returned == query->size ? 0 : -EPIPE;
    }
    case UVC_SET_CUR: {
      if (failure_ && !failure_->onTransfer && failure_->number == query->selector && ++setsSeen_ == failure_->nth)
        return -failure_->error;
      const platform::Status status = opened.unit->Set(query->selector, query->data, query->size);
      return platform::Failed(status) ? ErrnoFor(status) : 0;
    }
    default: return -EINVAL;
  }
}

long PlayedUvcDrivers::PlayTransfer(Opened& opened, void* arg) {
  auto* transfer = static_cast<usbdevfs_ctrltransfer*>(arg);
  if (!opened.vendor) return -ENOTTY;
  if (transfer->bRequestType != 0x40 && transfer->bRequestType != 0xC0) return -EINVAL;
  if (failure_ && failure_->onTransfer && failure_->number == transfer->bRequest && ++transfersSeen_ == failure_->nth)
    return -failure_->error;
  const platform::VendorRequestSetup setup{transfer->bRequestType == 0xC0, transfer->bRequest, transfer->wValue,
                                           transfer->wIndex, transfer->wLength};
  uint32_t moved = 0;
  const uint32_t error = opened.vendor->Send(setup, static_cast<uint8_t*>(transfer->data), &moved);
  if (error == platform::kErrorDeviceNotConnected) return -ENODEV;
  if (error != 0) return -EPIPE;
  return static_cast<long>(moved);
}

std::vector<PlayedUvcDrivers::ControlQuery> PlayedUvcDrivers::Queries() {
  std::lock_guard<std::mutex> lock(mutex_);
  return queries_;
}

std::vector<PlayedUvcDrivers::ControlTransfer> PlayedUvcDrivers::Transfers() {
  std::lock_guard<std::mutex> lock(mutex_);
  return transfers_;
}

size_t PlayedUvcDrivers::IoctlCount() {
  std::lock_guard<std::mutex> lock(mutex_);
  return ioctls_;
}

void PlayedUvcDrivers::FailSet(uint8_t selector, size_t nth, int error) {
  std::lock_guard<std::mutex> lock(mutex_);
  failure_ = Failure{false, selector, nth, error};
  setsSeen_ = 0;
}

void PlayedUvcDrivers::FailTransfer(uint8_t request, size_t nth, int error) {
  std::lock_guard<std::mutex> lock(mutex_);
  failure_ = Failure{true, request, nth, error};
  transfersSeen_ = 0;
}

}  // namespace emulated
