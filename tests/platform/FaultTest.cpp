// Fault injection: refused accesses and unplugged cameras at chosen moments.

#include "RawCamera.h"

namespace substitute_test {
namespace {

using substitute::AccessKind;
using substitute::AddressRange;
using substitute::FaultAction;
using substitute::FaultRule;

class FaultTest : public SubstituteTest {
 protected:
  void SetUp() override {
    id = world.AddCamera(substitute::CameraOfClass(1));
    camera = Open();
  }
  DeviceId id = 0;
  RawCamera camera;
};

TEST_F(FaultTest, NthAccessFailsWithTheChosenStatus) {
  FaultRule rule;
  rule.accessNumber = 3;
  rule.ksStatus = static_cast<platform::Status>(0x80070079u);
  rule.cameraStatus = 0x010C;
  world.AddFault(id, rule);
  Bytes data;
  EXPECT_EQ(camera.Command(Block(0x00, 0xD0, 0, 8)), platform::kOk);  // 1
  EXPECT_EQ(camera.GetData(8, &data), platform::kOk);                 // 2
  EXPECT_EQ(camera.Command(Block(0x00, 0xD0, 0, 8)), rule.ksStatus);  // 3
  EXPECT_EQ(camera.StatusBytes(), (Bytes{0x0C, 0x01}));               // 4
  EXPECT_EQ(camera.GetData(8, &data), substitute::kStalled);          // 5: the command never opened
  EXPECT_EQ(world.AccessCount(id), 5u);
  EXPECT_EQ(world.FaultsFired(id), 1u);
}

TEST_F(FaultTest, RuleOnTheOpenCommandFailsItsSecondDataBlock) {
  FaultRule rule;
  rule.kind = AccessKind::kControlSet;
  rule.selector = 11;
  rule.commandClass = 0x02;
  rule.opcode = 0x8E;
  rule.skipMatches = 1;
  rule.maxFires = 1;
  world.AddFault(id, rule);
  const Bytes before = world.Memory(id);
  EXPECT_FALSE(camera.Write(MemoryBlock(0x8E, 0, 24), Pattern(24, 1), 8));
  EXPECT_EQ(camera.StatusBytes(), (Bytes{0x09, 0x00}));
  const Bytes after = world.Memory(id);
  EXPECT_EQ(Bytes(after.begin(), after.begin() + 8), Pattern(8, 1));
  EXPECT_EQ(Bytes(after.begin() + 8, after.end()), Bytes(before.begin() + 8, before.end()));
  EXPECT_FALSE(world.TransferOpen(id));
  camera.Clear();
  // The rule has fired its once: the same write goes through now.
  EXPECT_TRUE(camera.Write(MemoryBlock(0x8E, 0, 24), Pattern(24, 1), 8));
}

TEST_F(FaultTest, AddressRangeMatchesTheBlockThatTouchesIt) {
  FaultRule rule;
  rule.kind = AccessKind::kControlGet;
  rule.addresses = AddressRange{0x41, 0x41};
  world.AddFault(id, rule);
  Bytes data;
  ASSERT_EQ(camera.Command(MemoryBlock(0xCE, 0x30, 0x20)), platform::kOk);
  EXPECT_EQ(camera.GetData(8, &data), platform::kOk);         // 0x30-0x37
  EXPECT_EQ(camera.GetData(8, &data), platform::kOk);         // 0x38-0x3F
  EXPECT_EQ(camera.GetData(8, &data), substitute::kStalled);  // 0x40-0x47
  camera.Clear();
  // A command block naming the range is matched too, but only by set rules.
  FaultRule onCommand;
  onCommand.kind = AccessKind::kControlSet;
  onCommand.addresses = AddressRange{0x70, 0x7F};
  world.AddFault(id, onCommand);
  EXPECT_EQ(camera.Command(MemoryBlock(0xCE, 0x60, 0x11)), substitute::kStalled);
  camera.Clear();
  EXPECT_EQ(camera.Command(MemoryBlock(0xCE, 0x60, 0x10)), platform::kOk);
}

TEST_F(FaultTest, IoControlRuleByRequestNumber) {
  const DeviceId flash = world.AddCamera();
  world.SetRegister(flash, 0xFEA0, 0x11);
  world.SetFlashStatusRegister(flash, 0);
  const platform::Handle handle = world.DeviceFiles().Open(world.DevicePath(flash));
  FaultRule rule;
  rule.bRequest = 2;
  rule.ioError = 121;
  world.AddFault(flash, rule);
  const Bytes before = world.Memory(flash);
  Bytes erase{0, 0, 0, 0, 0x40, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  uint32_t returned = 0;
  EXPECT_EQ(world.DeviceFiles().IoControl(handle, 0x220100, erase.data(), 16, erase.data(), 16, &returned), 121u);
  EXPECT_EQ(world.Memory(flash), before);
  Bytes probe{1, 0, 0, 0, 0x40, 5, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(world.DeviceFiles().IoControl(handle, 0x220100, probe.data(), 17, probe.data(), 17, &returned), 0u);
  EXPECT_EQ(world.AccessCount(flash), 2u);
}

TEST_F(FaultTest, UnplugBeforeTheAccessLeavesForGood) {
  FaultRule rule;
  rule.accessNumber = 2;
  rule.action = FaultAction::kUnplugBefore;
  world.AddFault(id, rule);
  EXPECT_EQ(camera.Command(MemoryBlock(0x8E, 0, 8)), platform::kOk);
  const Bytes before = world.Memory(id);
  EXPECT_EQ(camera.SetData(Bytes(8, 0)), platform::kDeviceGone);
  EXPECT_EQ(world.Memory(id), before);
  EXPECT_FALSE(world.IsPresent(id));
  EXPECT_FALSE(world.ReturnTime(id).has_value());
  world.Advance(100000);
  EXPECT_FALSE(world.IsPresent(id));
  world.Plug(id);
  EXPECT_TRUE(world.IsPresent(id));
}

TEST_F(FaultTest, UnplugAfterTheAccessMidWriteKeepsTheBlocksThatLanded) {
  FaultRule rule;
  rule.selector = 11;
  rule.opcode = 0x8E;
  rule.skipMatches = 1;
  rule.action = FaultAction::kUnplugAfter;
  rule.replugAfterMs = 700;
  world.AddFault(id, rule);
  const Bytes data = Pattern(32, 5);
  EXPECT_FALSE(camera.Write(MemoryBlock(0x8E, 0, 32), data, 8));
  const Bytes after = world.Memory(id);
  EXPECT_EQ(Bytes(after.begin(), after.begin() + 16), Bytes(data.begin(), data.begin() + 16));
  EXPECT_NE(Bytes(after.begin() + 16, after.begin() + 24), Bytes(data.begin() + 16, data.begin() + 24));
  EXPECT_FALSE(world.IsPresent(id));
  world.Advance(700);
  EXPECT_TRUE(world.IsPresent(id));
}

TEST_F(FaultTest, KindFiltersAndClearing) {
  FaultRule rule;
  rule.kind = AccessKind::kControlGet;
  world.AddFault(id, rule);
  EXPECT_EQ(camera.Command(Block(0x00, 0xD0, 0, 8)), platform::kOk);
  Bytes data;
  EXPECT_EQ(camera.GetData(8, &data), substitute::kStalled);
  camera.Clear();
  world.ClearFaults(id);
  EXPECT_EQ(camera.Command(Block(0x00, 0xD0, 0, 8)), platform::kOk);
  EXPECT_EQ(camera.GetData(8, &data), platform::kOk);
}

TEST_F(FaultTest, WorldWideFailuresOfEnumerationAndTheDeviceList) {
  world.SetEnumerationFailure(platform::kFail);
  std::unique_ptr<platform::IEnumMoniker> devices;
  EXPECT_EQ(world.CaptureSystem().CreateVideoInputEnumerator(&devices), platform::kFail);
  EXPECT_EQ(devices, nullptr);
  world.SetEnumerationFailure(platform::kOk);
  EXPECT_EQ(world.CaptureSystem().CreateVideoInputEnumerator(&devices), platform::kOk);
  EXPECT_NE(devices, nullptr);
  world.SetDeviceListFailure(platform::kFail);
  uint32_t devInst = 1;
  EXPECT_EQ(world.CaptureSystem().QueryDeviceInstance(world.DevicePath(id), &devInst), platform::kFail);
  EXPECT_EQ(devInst, 0u);
}

}  // namespace
}  // namespace substitute_test
