// Resets: the camera leaves the bus and comes back after its reboot delay as
// a new device instance, on the virtual clock.

#include "RawCamera.h"

namespace substitute_test {
namespace {

using substitute::CameraMode;

class ResetTest : public SubstituteTest {
 protected:
  bool Identifies(RawCamera& camera) {
    Bytes data;
    return camera && camera.Read(Block(0x00, 0xD0, 0, 8), 8, 8, &data) && data[0] == 'M';
  }
};

TEST_F(ResetTest, ResetDeviceLeavesTheBusAtOnce) {
  const DeviceId id = world.AddCamera();
  const std::string path = world.DevicePath(id);
  const platform::Handle handle = world.DeviceFiles().Open(path);
  RawCamera camera = Open();
  ASSERT_EQ(camera.Command(Block(0x00, 0x09)), platform::kOk);

  EXPECT_FALSE(world.IsPresent(id));
  EXPECT_EQ(world.Departures(id), 1u);
  EXPECT_EQ(camera.Command(Block(0x00, 0xD0, 0, 8)), platform::kDeviceGone);
  Bytes block{1, 0, 0, 0, 0x40, 5, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0};  // the driver's probe
  uint32_t returned = 0;
  EXPECT_EQ(world.DeviceFiles().IoControl(handle, 0x220100, block.data(), 17, block.data(), 17, &returned),
            platform::kErrorDeviceNotConnected);
  std::unique_ptr<platform::IEnumMoniker> devices;
  EXPECT_EQ(world.CaptureSystem().CreateVideoInputEnumerator(&devices), platform::kOk);
  EXPECT_EQ(devices, nullptr);
  uint32_t devInst = 77;
  EXPECT_EQ(world.CaptureSystem().QueryDeviceInstance(path, &devInst), platform::kOk);
  EXPECT_EQ(devInst, 0u);
  EXPECT_EQ(world.DeviceFiles().Open(path), platform::kInvalidHandle);
  // A handle on a gone device still closes.
  EXPECT_TRUE(world.DeviceFiles().Close(handle));
}

TEST_F(ResetTest, ComesBackAfterTheRebootDelayAsANewAppearanceUnderTheSameInstance) {
  substitute::SubstituteCameraConfig config;
  config.rebootDelayMs = 2500;
  const DeviceId id = world.AddCamera(config);
  const uint32_t first = world.Appearance(id);
  const uint32_t instance = world.DevInst(id);
  RawCamera camera = Open();
  ASSERT_EQ(camera.Command(Block(0x00, 0x16, 0, 64)), platform::kOk);
  world.Advance(1000);
  ASSERT_EQ(camera.Command(Block(0x00, 0x09)), platform::kOk);
  EXPECT_EQ(world.ReturnTime(id), 3500u);
  world.Advance(2499);
  EXPECT_FALSE(world.IsPresent(id));
  world.Advance(1);
  ASSERT_TRUE(world.IsPresent(id));
  EXPECT_NE(world.Appearance(id), first);
  EXPECT_NE(world.Appearance(id), 0u);
  // Windows keeps the device instance of a device back on the same port.
  uint32_t devInst = 0;
  ASSERT_EQ(world.CaptureSystem().QueryDeviceInstance(world.DevicePath(id), &devInst), platform::kOk);
  EXPECT_EQ(devInst, instance);
  // Back from power-up; the interface of the old instance stays dead.
  EXPECT_EQ(world.DataLength(id), 8u);
  EXPECT_EQ(camera.Command(Block(0x00, 0xD0, 0, 8)), platform::kDeviceGone);
  RawCamera again = Open();
  EXPECT_TRUE(Identifies(again));
}

TEST_F(ResetTest, SleepThroughThePlatformClockBringsItBack) {
  const DeviceId id = world.AddCamera();
  platform::ScopedPlatform inForce(world.Platform());
  RawCamera camera = Open();
  ASSERT_EQ(camera.Command(Block(0x00, 0x09)), platform::kOk);
  platform::Sleep(1999);
  EXPECT_FALSE(world.IsPresent(id));
  platform::Sleep(1);
  EXPECT_TRUE(world.IsPresent(id));
  EXPECT_EQ(platform::NowMilliseconds(), 2000u);
}

TEST_F(ResetTest, MemoryKeepsWhatWasWrittenAcrossAReset) {
  const DeviceId id = world.AddCamera(substitute::CameraOfClass(1));
  RawCamera camera = Open();
  ASSERT_TRUE(camera.Write(MemoryBlock(0x8E, 10, 3), {7, 8, 9}, 8));
  ASSERT_EQ(camera.Command(Block(0x00, 0x09)), platform::kOk);
  world.Advance(5000);
  const Bytes memory = world.Memory(id);
  EXPECT_EQ(Bytes(memory.begin() + 10, memory.begin() + 13), (Bytes{7, 8, 9}));
}

TEST_F(ResetTest, ReturnsAtTheConfiguredPosition) {
  substitute::SubstituteCameraConfig config;
  config.returnPosition = 2;
  const DeviceId camera = world.AddCamera(config);
  const DeviceId webcam = world.AddDevice(substitute::PlainWebcam());
  const DeviceId other = world.AddDevice(substitute::WebcamWithoutExtensionUnit());
  EXPECT_EQ(world.Position(camera), 0);
  RawCamera raw = Open(0);
  ASSERT_EQ(raw.Command(Block(0x00, 0x09)), platform::kOk);
  EXPECT_EQ(world.Position(camera), -1);
  EXPECT_EQ(world.Position(webcam), 0);
  world.Advance(config.rebootDelayMs);
  EXPECT_EQ(world.Position(webcam), 0);
  EXPECT_EQ(world.Position(other), 1);
  EXPECT_EQ(world.Position(camera), 2);
  RawCamera moved = Open(2);
  EXPECT_TRUE(Identifies(moved));
}

TEST_F(ResetTest, ReturnsWhereItWasByDefault) {
  world.AddDevice(substitute::PlainWebcam());
  const DeviceId camera = world.AddCamera();
  world.AddDevice(substitute::PlainWebcam());
  RawCamera raw = Open(1);
  ASSERT_EQ(raw.Command(Block(0x00, 0x09)), platform::kOk);
  world.Advance(2000);
  EXPECT_EQ(world.Position(camera), 1);
}

TEST_F(ResetTest, CameraThatNeverReturnsStaysAway) {
  substitute::SubstituteCameraConfig config;
  config.neverReturns = true;
  const DeviceId id = world.AddCamera(config);
  RawCamera camera = Open();
  ASSERT_EQ(camera.Command(Block(0x00, 0x07, 1)), platform::kOk);
  EXPECT_FALSE(world.ReturnTime(id).has_value());
  world.Advance(3500 + 60 * 500);
  EXPECT_FALSE(world.IsPresent(id));
  world.Plug(id);
  EXPECT_TRUE(world.IsPresent(id));
  EXPECT_EQ(world.Mode(id), CameraMode::kDownload);
}

TEST_F(ResetTest, DownloadModeKeepsItsParameterAndMayChangeThePath) {
  substitute::SubstituteCameraConfig config;
  config.needsDownloadMode = true;
  config.downloadModeDevicePath = "\\\\?\\usb#vid_1b3f&pid_2203#boot#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global";
  const DeviceId id = world.AddCamera(config);
  const std::string runningPath = world.DevicePath(id);
  RawCamera camera = Open();
  ASSERT_EQ(camera.Command(Block(0x00, 0x07, 0x0001)), platform::kOk);
  EXPECT_EQ(world.DownloadModeParameter(id), 1);
  world.Advance(config.rebootDelayMs);
  EXPECT_EQ(world.Mode(id), CameraMode::kDownload);
  EXPECT_EQ(world.DevicePath(id), config.downloadModeDevicePath);
  EXPECT_EQ(world.DeviceFiles().Open(runningPath), platform::kInvalidHandle);
  EXPECT_NE(world.DeviceFiles().Open(config.downloadModeDevicePath), platform::kInvalidHandle);

  camera = Open();
  ASSERT_EQ(camera.Command(Block(0x00, 0x09)), platform::kOk);
  world.Advance(config.rebootDelayMs);
  EXPECT_EQ(world.Mode(id), CameraMode::kRunning);
  EXPECT_EQ(world.DevicePath(id), runningPath);
}

TEST_F(ResetTest, NotificationSinksHearRemovalAndArrival) {
  const DeviceId id = world.AddCamera();
  std::vector<uint32_t> events;
  platform::IDeviceNotifications& notifications = world.DeviceNotifications();
  const uintptr_t registration =
      notifications.Register(platform::kCaptureInterfaceClass, [&](uint32_t event, const platform::DeviceBroadcast& d) {
        EXPECT_EQ(d.deviceType, platform::kDeviceTypeInterface);
        EXPECT_TRUE(d.classGuid == platform::kCaptureInterfaceClass);
        events.push_back(event);
      });
  ASSERT_NE(registration, 0u);
  RawCamera camera = Open();
  ASSERT_EQ(camera.Command(Block(0x00, 0x09)), platform::kOk);
  EXPECT_EQ(events, (std::vector<uint32_t>{platform::kDeviceRemoveComplete}));
  world.Advance(2000);
  EXPECT_EQ(events, (std::vector<uint32_t>{platform::kDeviceRemoveComplete, platform::kDeviceArrival}));

  notifications.Unregister(registration);
  world.Unplug(id);
  EXPECT_EQ(events.size(), 2u);
  const auto history = world.PresenceHistory();
  ASSERT_EQ(history.size(), 4u);  // the first arrival, then the three changes
  EXPECT_FALSE(history[3].arrived);
}

TEST_F(ResetTest, OtherInterfaceClassesAndFailedRegistrationsHearNothing) {
  const DeviceId id = world.AddCamera();
  int heard = 0;
  platform::Guid other = platform::kCaptureInterfaceClass;
  other.data1 ^= 0xFF;
  EXPECT_NE(world.DeviceNotifications().Register(other, [&](uint32_t, const platform::DeviceBroadcast&) { ++heard; }),
            0u);
  world.SetNotificationRegistrationFails(true);
  EXPECT_EQ(world.DeviceNotifications().Register(platform::kCaptureInterfaceClass,
                                                 [&](uint32_t, const platform::DeviceBroadcast&) { ++heard; }),
            0u);
  world.Unplug(id);
  world.Plug(id);
  EXPECT_EQ(heard, 0);
  EXPECT_EQ(world.NotificationRegistrations(), 0u);
}

}  // namespace
}  // namespace substitute_test
