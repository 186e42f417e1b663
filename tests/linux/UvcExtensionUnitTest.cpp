// The extension unit over uvcvideo's control query, against a driver that
// answers like uvcvideo: a control's size fixed at its first use, and
// ENOBUFS for any other size afterwards.

#include <gtest/gtest.h>

#include <memory>

#include "platform/linux/UvcExtensionUnit.h"
#include "support/FakeLinuxKernel.h"

namespace {

using fake::Bytes;
using platform::Status;

constexpr int kFd = 41;
constexpr uint8_t kUnit = 4;

using Query = fake::LinuxKernel::Query;

Query Len(uint8_t selector) { return {kUnit, selector, UVC_GET_LEN, 2, {}}; }
Query Cur(uint8_t selector, uint16_t size) { return {kUnit, selector, UVC_GET_CUR, size, {}}; }

fake::LinuxKernel UvcDriver() {
  fake::LinuxKernel driver;
  driver.onlyFd = kFd;
  driver.unit = kUnit;
  driver.controls = {{10, Bytes(8, 0)}, {11, Bytes{'M', 'O', 'X', 'E', 'L', 'I', 'N', 0}}};
  return driver;
}

class UvcExtensionUnitTest : public ::testing::Test {
 protected:
  fake::LinuxKernel driver = UvcDriver();
  std::unique_ptr<platform::linux::UvcExtensionUnit> unit =
      std::make_unique<platform::linux::UvcExtensionUnit>(driver, kFd, kUnit);
};

TEST_F(UvcExtensionUnitTest, CommandSetDataGetAndLengthAreTheDriverQueries) {
  const Bytes block{0x00, 0xD0, 0x00, 0x00, 0x08, 0x00, 0x00, 0x00};
  EXPECT_EQ(unit->Set(10, block.data(), 8), platform::kOk);
  Bytes data(8, 0xEE);
  uint32_t returned = 0;
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(unit->Get(11, data.data(), 8, &returned), platform::kOk);
    EXPECT_EQ(returned, 8u);
    EXPECT_EQ(data, driver.controls[11]);
  }
  driver.controls[12] = Bytes(0x1234, 0);
  uint16_t length = 0;
  EXPECT_EQ(unit->GetLength(12, &length), platform::kOk);
  EXPECT_EQ(length, 0x1234);
  // Every get of a block asks at the block's own size: one query each.
  const std::vector<Query> expected{{kUnit, 10, UVC_SET_CUR, 8, block}, Cur(11, 8), Cur(11, 8), Len(12)};
  EXPECT_EQ(driver.queries, expected);
  unit.reset();
  EXPECT_EQ(driver.closed, std::vector<int>{kFd});
}

// Another process may have used the control first: the channel learns the
// size the driver holds from its refusal, which costs the camera nothing.
TEST_F(UvcExtensionUnitTest, AGetReadsOnlyWhatTheDriverStillAccepts) {
  struct Case {
    const char* what;
    size_t firstUse;  // the device's length when the control was first used; 0: not used yet
    size_t deviceLength;
    uint32_t buffer;
    Status expected;
    std::vector<Query> queries;
  };
  const Case cases[] = {
      {"the length step back at 8", 8, 8, 65, platform::kOk, {Cur(11, 65), Len(11), Cur(11, 8)}},
      {"the length step at 64, held at 8",
       8,
       64,
       65,
       platform::kBufferSizeRefused,
       {Cur(11, 65), Len(11), Cur(11, 64)}},
      {"the length step at 64, not used yet", 0, 64, 65, platform::kOk, {Cur(11, 65), Len(11), Cur(11, 64)}},
      {"longer than the buffer", 0, 66, 65, platform::kBufferSizeRefused, {Cur(11, 65), Len(11)}},
      {"a block of 8, held at 64", 64, 8, 8, platform::kBufferSizeRefused, {Cur(11, 8), Len(11)}},
      {"a block of 64, held at 64", 64, 64, 64, platform::kOk, {Cur(11, 64)}},
  };
  for (const Case& c : cases) {
    fake::LinuxKernel fresh = UvcDriver();
    platform::linux::UvcExtensionUnit channel(fresh, kFd, kUnit);
    Bytes buffer(65, 0);
    uint32_t returned = 99;
    if (c.firstUse) {
      fresh.controls[11].resize(c.firstUse);
      ASSERT_EQ(channel.Get(11, buffer.data(), static_cast<uint32_t>(c.firstUse), &returned), platform::kOk) << c.what;
    }
    fresh.queries.clear();
    fresh.controls[11].resize(c.deviceLength, 0x5A);
    EXPECT_EQ(channel.Get(11, buffer.data(), c.buffer, &returned), c.expected) << c.what;
    EXPECT_EQ(fresh.queries, c.queries) << c.what;
    const bool read = c.expected == platform::kOk;
    EXPECT_EQ(returned, read ? c.deviceLength : 0u) << c.what;
    EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + returned), read ? fresh.controls[11] : Bytes()) << c.what;
  }
}

TEST_F(UvcExtensionUnitTest, DriverErrorsBecomeStatuses) {
  const std::pair<int, Status> cases[] = {
      {ENODEV, platform::kDeviceGone},      {ENOENT, platform::kNotFound},
      {ESHUTDOWN, platform::kDeviceGone},   {ENOBUFS, platform::kBufferSizeRefused},
      {EINVAL, platform::kInvalidArgument}, {ERANGE, platform::kInvalidArgument},
      {EPIPE, platform::kStalled},          {EIO, platform::kStalled},
      {EPROTO, platform::kStalled},         {ETIMEDOUT, platform::kStalled},
      {EOVERFLOW, platform::kStalled},
  };
  for (const auto& [error, status] : cases) {
    driver.failWith = error;
    Bytes data(8, 0);
    uint16_t length = 7;
    uint32_t returned = 7;
    EXPECT_EQ(unit->GetLength(11, &length), status) << error;
    EXPECT_EQ(length, 0) << error;
    EXPECT_EQ(unit->Get(11, data.data(), 8, &returned), status) << error;
    EXPECT_EQ(returned, 0u) << error;
    EXPECT_EQ(unit->Set(10, data.data(), 8), status) << error;
  }
}

TEST_F(UvcExtensionUnitTest, RequestsTheQueryCannotCarryAreRefusedBeforeTheDriver) {
  Bytes data(8, 0);
  uint32_t returned = 0;
  EXPECT_EQ(unit->Get(11, nullptr, 8, &returned), platform::kInvalidArgument);
  EXPECT_EQ(unit->Set(11, nullptr, 8), platform::kInvalidArgument);
  EXPECT_EQ(unit->Get(0, data.data(), 8, &returned), platform::kInvalidArgument);
  EXPECT_EQ(unit->Set(256, data.data(), 8), platform::kInvalidArgument);
  Bytes large(0x10000, 0);
  EXPECT_EQ(unit->Set(11, large.data(), 0x10000), platform::kInvalidArgument);
  EXPECT_TRUE(driver.queries.empty());
}

}  // namespace
