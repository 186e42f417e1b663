#include "platform/linux/UdevNotifications.h"

#include <libudev.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <map>
#include <mutex>

namespace platform::linux {

std::optional<uint32_t> DeviceEventForUdevAction(const std::string& action) {
  if (action == "add") return kDeviceArrival;
  if (action == "remove") return kDeviceRemoveComplete;
  return std::nullopt;
}

std::unique_ptr<DescriptorWatch> DescriptorWatch::Start(int fd, std::function<void()> onReadable) {
  const int stopFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (stopFd < 0) return nullptr;
  return std::unique_ptr<DescriptorWatch>(new DescriptorWatch(fd, stopFd, std::move(onReadable)));
}

DescriptorWatch::DescriptorWatch(int fd, int stopFd, std::function<void()> onReadable)
    : fd_(fd), stopFd_(stopFd), onReadable_(std::move(onReadable)), thread_([this] { Run(); }) {}

DescriptorWatch::~DescriptorWatch() {
  const uint64_t one = 1;
  [[maybe_unused]] const ssize_t written = ::write(stopFd_, &one, sizeof one);
  thread_.join();
  ::close(stopFd_);
}

void DescriptorWatch::Run() {
  pollfd fds[2] = {{fd_, POLLIN, 0}, {stopFd_, POLLIN, 0}};
  while (true) {
    if (::poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (fds[1].revents != 0) return;
    if (fds[0].revents & (POLLERR | POLLHUP | POLLNVAL)) return;
    if (fds[0].revents & POLLIN) onReadable_();
  }
}

namespace {

// One registration: a udev monitor of the video4linux subsystem and the
// thread that reads it.
class UdevRegistration {
 public:
  static std::unique_ptr<UdevRegistration> Start(udev* context, DeviceEventSink sink) {
    udev_monitor* monitor = udev_monitor_new_from_netlink(context, "udev");
    if (!monitor) return nullptr;
    auto registration = std::unique_ptr<UdevRegistration>(new UdevRegistration(monitor, std::move(sink)));
    if (udev_monitor_filter_add_match_subsystem_devtype(monitor, "video4linux", nullptr) < 0 ||
        udev_monitor_enable_receiving(monitor) < 0)
      return nullptr;
    registration->watch_ =
        DescriptorWatch::Start(udev_monitor_get_fd(monitor), [r = registration.get()] { r->ReceiveOne(); });
    if (!registration->watch_) return nullptr;
    return registration;
  }

  ~UdevRegistration() {
    watch_.reset();  // the thread has ended before the monitor goes
    udev_monitor_unref(monitor_);
  }
  UdevRegistration(const UdevRegistration&) = delete;
  UdevRegistration& operator=(const UdevRegistration&) = delete;

 private:
  UdevRegistration(udev_monitor* monitor, DeviceEventSink sink) : monitor_(monitor), sink_(std::move(sink)) {}

  void ReceiveOne() {
    udev_device* device = udev_monitor_receive_device(monitor_);
    if (!device) return;
    const char* action = udev_device_get_action(device);
    const std::optional<uint32_t> event = DeviceEventForUdevAction(action ? action : "");
    udev_device_unref(device);
    // A video device is a capture interface; removals carry the same class,
    // as the window system's interface removals do.
    if (event) sink_(*event, DeviceBroadcast{kDeviceTypeInterface, kCaptureInterfaceClass});
  }

  udev_monitor* monitor_;
  DeviceEventSink sink_;
  std::unique_ptr<DescriptorWatch> watch_;
};

class UdevNotifications final : public IDeviceNotifications {
 public:
  explicit UdevNotifications(udev* context) : context_(context) {}
  ~UdevNotifications() override {
    registrations_.clear();
    udev_unref(context_);
  }
  UdevNotifications(const UdevNotifications&) = delete;
  UdevNotifications& operator=(const UdevNotifications&) = delete;

  uintptr_t Register(const Guid& interfaceClass, DeviceEventSink sink) override {
    if (!(interfaceClass == kCaptureInterfaceClass) || !sink) return 0;
    auto registration = UdevRegistration::Start(context_, std::move(sink));
    if (!registration) return 0;
    std::lock_guard<std::mutex> lock(mutex_);
    const uintptr_t handle = next_++;
    registrations_[handle] = std::move(registration);
    return handle;
  }

  void Unregister(uintptr_t registration) override {
    std::unique_ptr<UdevRegistration> ending;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      const auto found = registrations_.find(registration);
      if (found == registrations_.end()) return;
      ending = std::move(found->second);
      registrations_.erase(found);
    }
    // Joined outside the lock, so that other registrations never wait for it.
    ending.reset();
  }

 private:
  udev* context_;
  std::mutex mutex_;
  std::map<uintptr_t, std::unique_ptr<UdevRegistration>> registrations_;
  uintptr_t next_ = 1;
};

}  // namespace

std::unique_ptr<IDeviceNotifications> CreateUdevNotifications() {
  udev* context = udev_new();
  if (!context) return nullptr;
  return std::make_unique<UdevNotifications>(context);
}

}  // namespace platform::linux
