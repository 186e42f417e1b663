// Device notifications on Linux: udev actions as arrivals and removals, and
// the watch thread that reads them, driven here through a pipe.

#include <gtest/gtest.h>

#ifdef ZARNET_HAVE_UDEV

#include <unistd.h>

#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/linux/UdevNotifications.h"

namespace {

TEST(UdevNotifications, OnlyAddAndRemoveSayAnythingAboutPresence) {
  EXPECT_EQ(platform::linux::DeviceEventForUdevAction("add"), platform::kDeviceArrival);
  EXPECT_EQ(platform::linux::DeviceEventForUdevAction("remove"), platform::kDeviceRemoveComplete);
  for (const char* other : {"change", "bind", "unbind", "move", "online", ""})
    EXPECT_EQ(platform::linux::DeviceEventForUdevAction(other), std::nullopt) << other;
}

class Pipe {
 public:
  Pipe() { EXPECT_EQ(::pipe(fds_), 0); }
  ~Pipe() {
    ::close(fds_[0]);
    ::close(fds_[1]);
  }
  int ReadEnd() const { return fds_[0]; }
  void Write(char c) { EXPECT_EQ(::write(fds_[1], &c, 1), 1); }
  char Read() {
    char c = 0;
    EXPECT_EQ(::read(fds_[0], &c, 1), 1);
    return c;
  }

 private:
  int fds_[2] = {-1, -1};
};

TEST(UdevNotifications, TheWatchReadsOnItsOwnThreadAndNeverAfterItIsGone) {
  Pipe pipe;
  std::mutex mutex;
  std::condition_variable arrived;
  std::vector<char> read;
  std::vector<std::thread::id> threads;
  auto watch = platform::linux::DescriptorWatch::Start(pipe.ReadEnd(), [&] {
    const char c = pipe.Read();
    std::lock_guard<std::mutex> lock(mutex);
    read.push_back(c);
    threads.push_back(std::this_thread::get_id());
    arrived.notify_all();
  });
  ASSERT_NE(watch, nullptr);
  pipe.Write('a');
  pipe.Write('r');
  {
    std::unique_lock<std::mutex> lock(mutex);
    arrived.wait(lock, [&] { return read.size() == 2; });
  }
  watch.reset();
  pipe.Write('x');
  EXPECT_EQ(read, (std::vector<char>{'a', 'r'}));
  EXPECT_NE(threads[0], std::this_thread::get_id());
  EXPECT_EQ(pipe.Read(), 'x') << "left for nobody";
}

TEST(UdevNotifications, OnlyTheCaptureClassCanBeRegistered) {
  auto notifications = platform::linux::CreateUdevNotifications();
  ASSERT_NE(notifications, nullptr);
  const platform::Guid other{0x12345678, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}};
  EXPECT_EQ(notifications->Register(other, [](uint32_t, const platform::DeviceBroadcast&) {}), 0u);
  EXPECT_EQ(notifications->Register(platform::kCaptureInterfaceClass, nullptr), 0u);
  // Where the machine lets us listen to udev, a registration comes and goes
  // without waiting for any device.
  const uintptr_t registration =
      notifications->Register(platform::kCaptureInterfaceClass, [](uint32_t, const platform::DeviceBroadcast&) {});
  if (registration != 0) notifications->Unregister(registration);
  notifications->Unregister(registration);  // a second time: nothing
}

}  // namespace

#endif
