// The traffic log keeps every access byte for byte.

#include "RawCamera.h"

namespace substitute_test {
namespace {

using substitute::TrafficEntry;
using substitute::TrafficKind;

class TrafficLogTest : public SubstituteTest {};

TEST_F(TrafficLogTest, ControlAccessesWithTheirBytesAndResults) {
  const DeviceId id = world.AddCamera();
  RawCamera camera = Open();
  world.Advance(42);
  Bytes data;
  ASSERT_TRUE(camera.Read(Block(0x00, 0xC2, 0xFE21, 2), 2, 8, &data));
  camera.GetData(8, &data);

  const std::vector<TrafficEntry> log = world.Traffic();
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[0].kind, TrafficKind::kSet);
  EXPECT_EQ(log[0].Selector(), 10u);
  EXPECT_EQ(log[0].length, 8u);
  EXPECT_EQ(log[0].in, (Bytes{0x00, 0xC2, 0x21, 0xFE, 0x02, 0x00, 0x00, 0x00}));
  EXPECT_TRUE(log[0].out.empty());
  EXPECT_EQ(log[0].status, platform::kOk);
  EXPECT_EQ(log[0].device, id);
  EXPECT_EQ(log[0].devInst, world.Appearance(id));
  EXPECT_EQ(log[0].timeMs, 42u);

  EXPECT_EQ(log[1].kind, TrafficKind::kGet);
  EXPECT_EQ(log[1].Selector(), 11u);
  EXPECT_EQ(log[1].length, 8u);
  EXPECT_EQ(log[1].returned, 8u);
  EXPECT_EQ(log[1].out, (Bytes{0x01, 0x30, 0, 0, 0, 0, 0, 0}));

  EXPECT_EQ(log[2].status, substitute::kStalled);
  EXPECT_TRUE(log[2].out.empty());

  EXPECT_EQ(world.CommandBlocks(id), (std::vector<Bytes>{Block(0x00, 0xC2, 0xFE21, 2)}));
  world.ClearTraffic();
  EXPECT_TRUE(world.Traffic().empty());
}

TEST_F(TrafficLogTest, DriverBlockIsLoggedAsTheVendorRequestItCarries) {
  const DeviceId id = world.AddCamera();
  world.SetMemory(id, 0x10, {0xA1, 0xA2});
  const platform::Handle handle = world.DeviceFiles().Open(world.DevicePath(id));
  Bytes block{3, 0, 0, 0, 0x40, 5, 0, 0, 0x10, 0, 2, 0, 0, 0, 0, 0, 0, 0};
  const Bytes sent = block;
  uint32_t returned = 0;
  ASSERT_EQ(world.DeviceFiles().IoControl(handle, 0x220100, block.data(), 18, block.data(), 18, &returned), 0u);
  const std::vector<TrafficEntry> log = world.Traffic();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].kind, TrafficKind::kVendorRequest);
  EXPECT_TRUE(log[0].setup.toHost);
  EXPECT_EQ(log[0].setup.bRequest, 5);
  EXPECT_EQ(log[0].setup.wValue, 0);
  EXPECT_EQ(log[0].setup.wIndex, 0x10);
  EXPECT_EQ(log[0].setup.wLength, 2);
  EXPECT_TRUE(log[0].in.empty());
  EXPECT_EQ(log[0].out, (Bytes{0xA1, 0xA2}));
  EXPECT_EQ(log[0].returned, 2u);
  EXPECT_EQ(log[0].result, 0u);
  EXPECT_EQ(log[0].device, id);
  Bytes expected = sent;
  expected[12] = 0xA1;
  expected[13] = 0xA2;
  EXPECT_EQ(block, expected);
  EXPECT_EQ(returned, 18u);
}

TEST_F(TrafficLogTest, AccessesToAGoneDeviceAndInjectedFaultsAreLoggedToo) {
  const DeviceId id = world.AddCamera();
  RawCamera camera = Open();
  substitute::FaultRule rule;
  rule.accessNumber = 1;
  world.AddFault(id, rule);
  rule.accessNumber = 2;  // a read's fault is marked on the read
  world.AddFault(id, rule);
  camera.Command(Block(0x00, 0xD0, 0, 8));
  Bytes data;
  camera.GetData(8, &data);
  world.Unplug(id);
  camera.Command(Block(0x00, 0xD0, 0, 8));
  const std::vector<TrafficEntry> log = world.Traffic();
  ASSERT_EQ(log.size(), 3u);
  EXPECT_TRUE(log[0].faultFired);
  EXPECT_EQ(log[0].status, substitute::kStalled);
  EXPECT_TRUE(log[1].faultFired);
  EXPECT_EQ(log[1].kind, TrafficKind::kGet);
  EXPECT_FALSE(log[2].faultFired);
  EXPECT_EQ(log[2].status, platform::kDeviceGone);
  EXPECT_EQ(world.AccessCount(id), 2u);  // a gone camera counts nothing
}

TEST(TrafficLogOff, NothingIsKeptWhenLoggingIsOff) {
  substitute::SubstituteWorldConfig config;
  config.logTraffic = false;
  substitute::SubstituteWorld world(config);
  world.AddCamera();
  RawCamera camera = RawCamera::At(world.CaptureSystem(), 0);
  EXPECT_EQ(camera.Command(Block(0x00, 0xD0, 0, 8)), platform::kOk);
  EXPECT_TRUE(world.Traffic().empty());
}

}  // namespace
}  // namespace substitute_test
