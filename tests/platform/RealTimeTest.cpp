// A real-time world: the bus thread brings a camera back without anybody
// calling in. Delays and latencies are zero, so nothing here waits on the
// wall clock; the test waits for the arrival event itself.

#include <condition_variable>
#include <mutex>

#include "RawCamera.h"

namespace substitute_test {
namespace {

TEST(RealTimeWorld, BusThreadAnnouncesTheReturnOnItsOwn) {
  substitute::SubstituteWorldConfig config;
  config.realTime = true;
  config.latency = {0, 0, 0};
  substitute::SubstituteWorld world(config);
  substitute::SubstituteCameraConfig camera;
  camera.rebootDelayMs = 0;
  const DeviceId id = world.AddCamera(camera);

  std::mutex mutex;
  std::condition_variable changed;
  int arrivals = 0;
  const uintptr_t registration = world.DeviceNotifications().Register(
      platform::kCaptureInterfaceClass, [&](uint32_t event, const platform::DeviceBroadcast&) {
        std::lock_guard<std::mutex> lock(mutex);
        if (event == platform::kDeviceArrival) ++arrivals;
        changed.notify_all();
      });
  RawCamera raw = RawCamera::At(world.CaptureSystem(), 0);
  ASSERT_EQ(raw.Command(Block(0x00, 0x09)), platform::kOk);
  {
    std::unique_lock<std::mutex> lock(mutex);
    ASSERT_TRUE(changed.wait_for(lock, std::chrono::seconds(30), [&] { return arrivals == 1; }));
  }
  world.DeviceNotifications().Unregister(registration);
  EXPECT_TRUE(world.IsPresent(id));
  EXPECT_EQ(world.Departures(id), 1u);
}

}  // namespace
}  // namespace substitute_test
