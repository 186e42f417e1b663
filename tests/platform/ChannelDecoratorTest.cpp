// The traffic log, fault injection and transfer time over any channel, here
// over trivial in-memory ones.

#include <gtest/gtest.h>

#include <memory>

#include "Channels.h"
#include "platform/decorators/Decorate.h"

namespace channel_test {
namespace {

class VirtualClock final : public platform::IClock {
 public:
  void Sleep(uint32_t milliseconds) override {
    now += milliseconds;
    ++sleeps;
  }
  uint64_t NowMilliseconds() override { return now; }
  uint64_t now = 0;
  int sleeps = 0;
};

class RecordingHooks final : public platform::IFaultHooks {
 public:
  bool Reachable() override { return present; }
  void Unplug(std::optional<uint32_t>) override {
    ++unplugs;
    present = false;
  }
  void LatchStatus(uint16_t status) override { latched.push_back(status); }
  bool present = true;
  int unplugs = 0;
  std::vector<uint16_t> latched;
};

class DecoratorTest : public ::testing::Test {
 protected:
  DecoratorTest() {
    decorations.faults = faults;
    decorations.hooks = hooks;
    decorations.incarnation = 1;
    decorations.traffic = {log, {4, 0x21}, clock, faults};
  }
  std::shared_ptr<platform::IExtensionUnitChannel> Unit() { return platform::Decorate(controls, decorations); }

  std::shared_ptr<MemoryControls> controls = std::make_shared<MemoryControls>();
  std::shared_ptr<RecordingRequests> requests = std::make_shared<RecordingRequests>();
  std::shared_ptr<platform::FaultState> faults = std::make_shared<platform::FaultState>();
  std::shared_ptr<RecordingHooks> hooks = std::make_shared<RecordingHooks>();
  std::shared_ptr<platform::TrafficLog> log = std::make_shared<platform::TrafficLog>();
  std::shared_ptr<VirtualClock> clock = std::make_shared<VirtualClock>();
  platform::ChannelDecorations decorations;
};

TEST_F(DecoratorTest, LogKeepsEveryAccessByteForByte) {
  auto unit = Unit();
  auto vendor = platform::Decorate(requests, decorations);
  clock->now = 42;
  const Bytes block{0x02, 0xCE, 0x30, 0, 0x10, 0, 0, 0};
  ASSERT_EQ(unit->Set(10, block.data(), 8), platform::kOk);
  Bytes buffer(12, 0);
  uint32_t returned = 0;
  ASSERT_EQ(unit->Get(10, buffer.data(), 12, &returned), platform::kOk);
  uint16_t length = 0;
  ASSERT_EQ(unit->GetLength(10, &length), platform::kOk);
  Bytes data{0xA1, 0xA2};
  ASSERT_EQ(vendor->Send({false, 4, 0, 0x200, 2}, data.data(), &returned), 0u);
  ASSERT_EQ(vendor->Send({true, 5, 0, 0x10, 3}, buffer.data(), &returned), 0u);

  const auto entries = log->Entries();
  ASSERT_EQ(entries.size(), 5u);
  EXPECT_EQ(entries[0].kind, platform::TrafficKind::kSet);
  EXPECT_EQ(entries[0].selector, 10u);
  EXPECT_EQ(entries[0].in, block);
  EXPECT_EQ(entries[0].device, 4u);
  EXPECT_EQ(entries[0].devInst, 0x21u);
  EXPECT_EQ(entries[0].timeMs, 42u);
  EXPECT_EQ(entries[1].kind, platform::TrafficKind::kGet);
  EXPECT_EQ(entries[1].length, 12u);
  EXPECT_EQ(entries[1].returned, 8u);
  EXPECT_EQ(entries[1].out, block);
  EXPECT_EQ(entries[2].kind, platform::TrafficKind::kGetLength);
  EXPECT_EQ(entries[2].length, 8u);
  EXPECT_EQ(entries[3].kind, platform::TrafficKind::kVendorRequest);
  EXPECT_EQ(entries[3].setup.wIndex, 0x200);
  EXPECT_EQ(entries[3].in, data);
  EXPECT_EQ(entries[4].out, (Bytes{0x10, 0x11, 0x12}));
  EXPECT_TRUE(entries[4].in.empty());
  EXPECT_EQ(faults->Accesses(), 4u);  // a length query is no access of the command protocol
}

TEST_F(DecoratorTest, RuleFiresOnTheNthMatchingDataBlockOfTheOpenCommand) {
  platform::FaultRule rule;
  rule.kind = platform::AccessKind::kControlSet;
  rule.selector = 11;
  rule.opcode = 0x8E;
  rule.addresses = platform::AddressRange{0x108, 0x108};
  rule.cameraStatus = 0x010C;
  faults->Add(rule);
  auto unit = Unit();
  const Bytes write{0x02, 0x8E, 0x00, 0x01, 24, 0, 0, 0};  // 24 bytes at 0x100
  const Bytes chunk(8, 0x5A);
  ASSERT_EQ(unit->Set(10, write.data(), 8), platform::kOk);
  EXPECT_EQ(unit->Set(11, chunk.data(), 8), platform::kOk);       // 0x100-0x107
  EXPECT_EQ(unit->Set(11, chunk.data(), 8), platform::kStalled);  // 0x108-0x10F
  EXPECT_EQ(hooks->latched, (std::vector<uint16_t>{0x010C}));
  EXPECT_EQ(controls->calls.size(), 2u);  // the refused block never reached the camera
  // The refusal closed the transfer: the next block belongs to no command.
  EXPECT_EQ(unit->Set(11, chunk.data(), 8), platform::kOk);
  EXPECT_EQ(faults->Fired(), 1u);
  EXPECT_EQ(faults->Accesses(), 4u);
  const auto entries = log->Entries();
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_TRUE(entries[2].faultFired);
  EXPECT_FALSE(entries[3].faultFired);
}

TEST_F(DecoratorTest, UnplugBeforeTheAccessAndAGoneCameraCountsNothing) {
  platform::FaultRule rule;
  rule.kind = platform::AccessKind::kVendorRequest;
  rule.bRequest = 4;
  rule.skipMatches = 1;
  rule.action = platform::FaultAction::kUnplugBefore;
  faults->Add(rule);
  auto vendor = platform::Decorate(requests, decorations);
  Bytes data(2, 0);
  uint32_t moved = 0;
  EXPECT_EQ(vendor->Send({false, 4, 0, 0, 2}, data.data(), &moved), 0u);
  EXPECT_EQ(vendor->Send({false, 4, 0, 2, 2}, data.data(), &moved), platform::kErrorDeviceNotConnected);
  EXPECT_EQ(hooks->unplugs, 1);
  EXPECT_EQ(requests->setups.size(), 1u);
  // Gone: the next request goes on to the channel uncounted.
  EXPECT_EQ(vendor->Send({false, 4, 0, 4, 2}, data.data(), &moved), 0u);
  EXPECT_EQ(faults->Accesses(), 2u);
}

TEST_F(DecoratorTest, TransfersPauseOnTheClock) {
  decorations.pause = std::make_shared<platform::TransferPause>(clock);
  decorations.timing = {1000, 1500, 250};
  auto unit = Unit();
  auto vendor = platform::Decorate(requests, decorations);
  const Bytes block(8, 0);
  unit->Set(10, block.data(), 8);
  EXPECT_EQ(clock->now, 1u);
  Bytes data(1000, 0);
  uint32_t moved = 0;
  vendor->Send({false, 4, 0, 0, 1000}, data.data(), &moved);  // 1500 us + 1008 bytes of 250 ns: 1752 us
  EXPECT_EQ(clock->now, 2u);
  vendor->Send({false, 4, 0, 0, 1000}, data.data(), &moved);  // with the 752 us left over: 2504 us
  EXPECT_EQ(clock->now, 4u);
  EXPECT_EQ(clock->sleeps, 3);
  EXPECT_EQ(log->Entries()[1].timeMs, 1u);  // stamped when the request was served
  Bytes more(3976, 0);
  vendor->Send({false, 4, 0, 0, 3976}, more.data(), &moved);  // 1500 us + 3984 bytes: 2496 us, 3000 with the 504 left
  EXPECT_EQ(clock->now, 7u);
}

}  // namespace
}  // namespace channel_test
