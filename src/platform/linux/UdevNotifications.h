#pragma once
// Capture devices that come and go on Linux: udev's video4linux events as
// device-interface arrivals and removals of the capture class.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "platform/DeviceNotifications.h"

namespace platform::linux {

// The notification for a udev action: "add" arrives, "remove" leaves; other
// actions (change, bind, ...) say nothing about presence.
std::optional<uint32_t> DeviceEventForUdevAction(const std::string& action);

// Notifications for the capture interface class only (registering another
// class fails); each registration is served by its own thread, and its sink
// is never called once Unregister has returned. Null when udev can't be
// reached.
std::unique_ptr<IDeviceNotifications> CreateUdevNotifications();

// Watches one readable descriptor on a thread of its own until destroyed.
class DescriptorWatch {
 public:
  // `onReadable` runs on the watch's thread each time `fd` can be read. Null
  // when the thread or its stop signal can't be made.
  static std::unique_ptr<DescriptorWatch> Start(int fd, std::function<void()> onReadable);
  // Stops the thread and waits for it; never call from `onReadable`.
  ~DescriptorWatch();
  DescriptorWatch(const DescriptorWatch&) = delete;
  DescriptorWatch& operator=(const DescriptorWatch&) = delete;

 private:
  DescriptorWatch(int fd, int stopFd, std::function<void()> onReadable);
  void Run();

  const int fd_;
  const int stopFd_;
  std::function<void()> onReadable_;
  std::thread thread_;
};

}  // namespace platform::linux
