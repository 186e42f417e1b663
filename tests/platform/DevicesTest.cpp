// The capture devices of a world: enumeration, property bags, filters,
// device instances and device files, and the world as a platform.

#include <memory>
#include <thread>

#include "RawCamera.h"

namespace substitute_test {
namespace {

class DevicesTest : public SubstituteTest {
 protected:
  std::shared_ptr<platform::IMoniker> MonikerAt(uint32_t position) {
    std::unique_ptr<platform::IEnumMoniker> devices;
    EXPECT_EQ(world.CaptureSystem().CreateVideoInputEnumerator(&devices), platform::kOk);
    std::shared_ptr<platform::IMoniker> moniker;
    if (!devices || (position && devices->Skip(position) != platform::kOk)) return moniker;
    devices->Next(&moniker);
    return moniker;
  }
  platform::Status Property(uint32_t position, const std::string& name, std::string* value) {
    std::shared_ptr<platform::IPropertyBag> bag;
    const platform::Status bound = MonikerAt(position)->BindToPropertyBag(&bag);
    if (platform::Failed(bound)) return bound;
    return bag->Read(name, value);
  }
  Bytes IdentifyAt(uint32_t position) {
    RawCamera camera = Open(position);
    Bytes data;
    if (!camera || !camera.Read(Block(0x00, 0xD0, 0, 8), 8, 8, &data)) return {};
    return data;
  }
};

TEST_F(DevicesTest, EmptyWorldEnumeratesToNothing) {
  std::unique_ptr<platform::IEnumMoniker> devices;
  EXPECT_EQ(world.CaptureSystem().CreateVideoInputEnumerator(&devices), platform::kOk);
  EXPECT_EQ(devices, nullptr);
}

TEST_F(DevicesTest, EnumeratorSkipsAndEndsLikeTheFramework) {
  world.AddDevice(substitute::PlainWebcam());
  world.AddCamera();
  std::unique_ptr<platform::IEnumMoniker> devices;
  ASSERT_EQ(world.CaptureSystem().CreateVideoInputEnumerator(&devices), platform::kOk);
  std::shared_ptr<platform::IMoniker> moniker;
  EXPECT_EQ(devices->Skip(2), platform::kOk);
  EXPECT_EQ(devices->Next(&moniker), platform::kFalse);
  EXPECT_EQ(moniker, nullptr);
  EXPECT_EQ(devices->Reset(), platform::kOk);
  EXPECT_EQ(devices->Skip(3), platform::kFalse);
  EXPECT_EQ(devices->Reset(), platform::kOk);
  EXPECT_EQ(devices->Next(&moniker), platform::kOk);
  EXPECT_EQ(devices->Next(&moniker), platform::kOk);
  EXPECT_EQ(devices->Next(&moniker), platform::kFalse);
}

TEST_F(DevicesTest, EnumerationIsASnapshot) {
  world.AddCamera();
  std::unique_ptr<platform::IEnumMoniker> devices;
  ASSERT_EQ(world.CaptureSystem().CreateVideoInputEnumerator(&devices), platform::kOk);
  world.AddCamera();
  EXPECT_EQ(devices->Skip(1), platform::kOk);
  std::shared_ptr<platform::IMoniker> moniker;
  EXPECT_EQ(devices->Next(&moniker), platform::kFalse);
}

TEST_F(DevicesTest, OnlyTheCameraAnswersIdentify) {
  world.AddDevice(substitute::PlainWebcam());
  world.AddDevice(substitute::WebcamWithoutExtensionUnit());
  world.AddCamera();
  EXPECT_EQ(IdentifyAt(0), (Bytes{'U', 'V', 'C', 'C', 'A', 'M', '0', '1'}));
  EXPECT_TRUE(IdentifyAt(1).empty());
  EXPECT_EQ(IdentifyAt(2), (Bytes{'M', 'O', 'X', 'E', 'L', 'I', 'N', 0}));
  RawCamera noUnit = Open(1);
  ASSERT_TRUE(noUnit);
  EXPECT_EQ(noUnit.Command(Block(0x00, 0xD0, 0, 8)), substitute::kSetNotFound);
}

TEST_F(DevicesTest, PropertyBagsHoldPathAndNameWhereTheyHaveThem) {
  const DeviceId camera = world.AddCamera();
  world.AddDevice(substitute::DeviceWithoutFriendlyName());
  world.AddDevice(substitute::DeviceWithoutDevicePath());
  std::string value;
  EXPECT_EQ(Property(0, "DevicePath", &value), platform::kOk);
  EXPECT_EQ(value, world.DevicePath(camera));
  EXPECT_EQ(Property(0, "FriendlyName", &value), platform::kOk);
  EXPECT_EQ(value, "Corvex USB Camera");
  EXPECT_EQ(Property(0, "Description", &value), substitute::kPropertyMissing);
  EXPECT_EQ(Property(1, "FriendlyName", &value), substitute::kPropertyMissing);
  EXPECT_EQ(Property(1, "DevicePath", &value), platform::kOk);
  EXPECT_EQ(Property(2, "DevicePath", &value), substitute::kPropertyMissing);
  EXPECT_EQ(IdentifyAt(1)[0], 'M');  // no name, still a camera
}

TEST_F(DevicesTest, FilterWithoutPropertyInterface) {
  world.AddDevice(substitute::DeviceWithoutKsControl());
  std::shared_ptr<platform::ICaptureFilter> filter;
  ASSERT_EQ(MonikerAt(0)->BindToFilter(&filter), platform::kOk);
  std::shared_ptr<platform::IKsControl> control;
  EXPECT_EQ(filter->QueryKsControl(&control), platform::kNoInterface);
  EXPECT_EQ(control, nullptr);
}

TEST_F(DevicesTest, DevicePathsNameInstancesAndOpen) {
  const DeviceId first = world.AddCamera();
  const DeviceId second = world.AddCamera();
  substitute::SubstituteDeviceConfig locked = substitute::CameraDevice();
  locked.opens = false;
  const DeviceId third = world.AddDevice(locked);
  EXPECT_NE(world.DevicePath(first), world.DevicePath(second));
  uint32_t devInst = 0;
  EXPECT_EQ(world.CaptureSystem().QueryDeviceInstance(world.DevicePath(second), &devInst), platform::kOk);
  EXPECT_EQ(devInst, world.DevInst(second));
  EXPECT_NE(devInst, world.DevInst(first));
  EXPECT_EQ(world.CaptureSystem().QueryDeviceInstance("\\\\?\\nothing", &devInst), platform::kOk);
  EXPECT_EQ(devInst, 0u);

  const platform::Handle a = world.DeviceFiles().Open(world.DevicePath(first));
  const platform::Handle b = world.DeviceFiles().Open(world.DevicePath(first));
  EXPECT_NE(a, platform::kInvalidHandle);
  EXPECT_NE(a, b);
  EXPECT_EQ(world.DeviceFiles().Open(world.DevicePath(third)), platform::kInvalidHandle);
  EXPECT_EQ(world.DeviceFiles().Open(""), platform::kInvalidHandle);
  EXPECT_EQ(world.OpenHandleCount(), 2u);
  EXPECT_TRUE(world.DeviceFiles().Close(a));
  EXPECT_TRUE(world.DeviceFiles().Close(b));
  EXPECT_EQ(world.OpenHandleCount(), 0u);
}

TEST_F(DevicesTest, ObjectsAreCountedWhileAlive) {
  world.AddCamera();
  EXPECT_EQ(world.LiveObjectCount(), 0);
  {
    RawCamera camera = Open();
    ASSERT_TRUE(camera);
    EXPECT_EQ(world.LiveObjectCount(), 1);  // the enumerator, moniker and filter are gone already
  }
  EXPECT_EQ(world.LiveObjectCount(), 0);
}

TEST_F(DevicesTest, TheBackendServesTheCamerasWithoutTheAdapters) {
  const DeviceId id = world.AddCamera();
  world.AddDevice(substitute::WebcamWithoutExtensionUnit());
  std::vector<std::shared_ptr<platform::IVideoInput>> devices;
  ASSERT_EQ(world.Backend().ListVideoInputs(&devices), platform::kOk);
  ASSERT_EQ(devices.size(), 2u);
  std::shared_ptr<platform::IExtensionUnitChannel> none;
  EXPECT_EQ(devices[1]->OpenExtensionUnit(&none), platform::kOk);
  EXPECT_EQ(none, nullptr);
  std::shared_ptr<platform::IExtensionUnitChannel> unit;
  ASSERT_EQ(devices[0]->OpenExtensionUnit(&unit), platform::kOk);
  const Bytes identify = Block(0x00, 0xD0, 0, 8);
  ASSERT_EQ(unit->Set(10, identify.data(), 8), platform::kOk);
  uint16_t length = 0;
  EXPECT_EQ(unit->GetLength(11, &length), platform::kOk);
  EXPECT_EQ(length, 8u);
  Bytes data(65, 0);
  uint32_t returned = 0;
  ASSERT_EQ(unit->Get(11, data.data(), 65, &returned), platform::kOk);
  EXPECT_EQ(returned, 8u);
  EXPECT_EQ(data[0], 'M');
  EXPECT_EQ(unit->Set(12, identify.data(), 8), platform::kNotFound);
  const auto requests = world.Backend().OpenVendorRequests(world.DevicePath(id));
  ASSERT_NE(requests, nullptr);
  uint8_t probe = 0;
  EXPECT_EQ(requests->Send({true, 5, 0, 0, 1}, &probe, &returned), 0u);
  EXPECT_EQ(probe, 0x01);
  EXPECT_EQ(world.AccessCount(id), 4u);   // a length query is no access of the command protocol
  EXPECT_EQ(world.Traffic().size(), 5u);  // but it is logged
}

TEST(WorldLifetime, ObjectsThatOutliveTheWorldFailAsOnAGoneDevice) {
  RawCamera camera;
  {
    substitute::SubstituteWorld world;
    world.AddCamera();
    camera = RawCamera::At(world.CaptureSystem(), 0);
    ASSERT_TRUE(camera);
  }
  EXPECT_EQ(camera.Command(Block(0x00, 0xD0, 0, 8)), platform::kDeviceGone);
}

TEST(WorldLifetime, DestroyingAnInstalledWorldPutsTheHostBack) {
  auto world = std::make_unique<substitute::SubstituteWorld>();
  platform::ScopedPlatform inForce(world->Platform());
  EXPECT_EQ(platform::Current().capture, &world->CaptureSystem());
  EXPECT_EQ(platform::Current().notifications, &world->DeviceNotifications());
  world.reset();
  EXPECT_EQ(platform::Current().capture, platform::Host().capture);
  EXPECT_EQ(platform::Current().clock, platform::Host().clock);
}

TEST_F(DevicesTest, PlatformSeamsServeClockDebugAndComponentRuntime) {
  substitute::SubstituteWorldConfig config;
  config.startMs = 1000;
  substitute::SubstituteWorld timed(config);
  platform::ScopedPlatform inForce(timed.Platform());
  EXPECT_EQ(platform::NowMilliseconds(), 1000u);
  platform::Sleep(3500);
  EXPECT_EQ(platform::NowMilliseconds(), 4500u);
  platform::DebugOutput("SPI SF Read error - Set CMD SPI_SF_Read Failed\n");
  EXPECT_EQ(timed.DebugLines(), (std::vector<std::string>{"SPI SF Read error - Set CMD SPI_SF_Read Failed\n"}));
  timed.ClearDebugLines();
  EXPECT_TRUE(timed.DebugLines().empty());
  platform::Current().com->Initialize();
  platform::Current().com->Uninitialize();
  EXPECT_EQ(timed.ComInitializations(), 1);
  EXPECT_EQ(timed.ComUninitializations(), 1);
  EXPECT_EQ(platform::Current().files, platform::Host().files);
}

TEST_F(DevicesTest, TwoThreadsTakingTurnsKeepTheWorldWhole) {
  const DeviceId first = world.AddCamera();
  const DeviceId second = world.AddCamera(substitute::CameraOfClass(1));
  auto identifyMany = [this](uint32_t position) {
    RawCamera camera = Open(position);
    for (int i = 0; i < 200; ++i) {
      Bytes data;
      ASSERT_TRUE(camera.Read(Block(0x00, 0xD0, 0, 8), 8, 8, &data));
      ASSERT_EQ(data[0], 'M');
    }
  };
  std::thread other(identifyMany, 1);
  identifyMany(0);
  other.join();
  EXPECT_EQ(world.AccessCount(first), 400u);
  EXPECT_EQ(world.AccessCount(second), 400u);
}

}  // namespace
}  // namespace substitute_test
