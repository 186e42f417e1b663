// The driver's download-mode requests on the camera's device file.

#include "RawCamera.h"

namespace substitute_test {
namespace {

using substitute::CameraMode;
using substitute::DriverPathService;

constexpr uint32_t kCode = 0x220100;

Bytes Request(uint32_t flags, uint8_t request, uint16_t index, uint16_t length, const Bytes& data = {}) {
  Bytes block(16u + length, 0);
  for (int i = 0; i < 4; ++i) block[i] = static_cast<uint8_t>(flags >> (8 * i));
  block[4] = 0x40;
  block[5] = request;
  block[8] = static_cast<uint8_t>(index);
  block[9] = static_cast<uint8_t>(index >> 8);
  block[10] = static_cast<uint8_t>(length);
  block[11] = static_cast<uint8_t>(length >> 8);
  std::copy(data.begin(), data.end(), block.begin() + 12);
  return block;
}

Bytes ProbeRequest() { return Request(1, 5, 0, 1); }
Bytes EraseRequest() { return Request(0, 2, 0, 0); }
Bytes WriteRequest(uint16_t address, const Bytes& data) {
  return Request(0, 4, address, static_cast<uint16_t>(data.size()), data);
}
Bytes ReadRequest(uint16_t address, uint16_t count) { return Request(3, 5, address, count); }
Bytes ResetRequest() { return Request(0, 1, 9, 0); }

class DriverPathTest : public SubstituteTest {
 protected:
  DeviceId Add(substitute::SubstituteCameraConfig config = {}) {
    const DeviceId added = world.AddCamera(config);
    handle = world.DeviceFiles().Open(world.DevicePath(added));
    return added;
  }
  // In and out are one buffer, as the driver's buffered method has it.
  uint32_t Send(Bytes block, uint32_t outLength, Bytes* answer = nullptr) {
    const auto inLength = static_cast<uint32_t>(block.size());
    block.resize(std::max<size_t>(block.size(), outLength));
    returned = 0xDEAD;
    const uint32_t result =
        world.DeviceFiles().IoControl(handle, kCode, block.data(), inLength, block.data(), outLength, &returned);
    block.resize(outLength);
    if (answer) *answer = block;
    return result;
  }
  void LiftProtection(DeviceId id) {
    world.SetRegister(id, 0xFEA0, 0x11);
    world.SetFlashStatusRegister(id, 0);
  }

  platform::Handle handle = platform::kInvalidHandle;
  uint32_t returned = 0;
};

TEST_F(DriverPathTest, ProbeAnswersTheConfiguredByte) {
  substitute::SubstituteCameraConfig config;
  config.probeAnswer = 0x5A;
  Add(config);
  ASSERT_NE(handle, platform::kInvalidHandle);
  Bytes answer;
  EXPECT_EQ(Send(ProbeRequest(), 17, &answer), 0u);
  EXPECT_EQ(returned, 17u);
  EXPECT_EQ(answer[12], 0x5A);
  const Bytes probe = ProbeRequest();
  EXPECT_EQ(Bytes(answer.begin(), answer.begin() + 12), Bytes(probe.begin(), probe.begin() + 12));
}

TEST_F(DriverPathTest, EraseWriteAndReadActOnTheSerialFlash) {
  const DeviceId id = Add();
  LiftProtection(id);
  EXPECT_EQ(Send(EraseRequest(), 16), 0u);
  EXPECT_EQ(world.Memory(id), Bytes(65536, 0xFF));
  const Bytes data = Pattern(4096, 9);
  EXPECT_EQ(Send(WriteRequest(0x1000, data), 16), 0u);
  EXPECT_EQ(returned, 16u);
  Bytes answer;
  EXPECT_EQ(Send(ReadRequest(0x1000, 4096), 16 + 4096, &answer), 0u);
  EXPECT_EQ(returned, 16u + 4096);
  EXPECT_EQ(Bytes(answer.begin() + 12, answer.begin() + 12 + 4096), data);
  const Bytes memory = world.Memory(id);
  EXPECT_EQ(Bytes(memory.begin() + 0x1000, memory.begin() + 0x2000), data);
}

TEST_F(DriverPathTest, ZeroLengthWriteIsAcceptedAndWritesNothing) {
  const DeviceId id = Add();
  LiftProtection(id);
  const Bytes before = world.Memory(id);
  EXPECT_EQ(Send(WriteRequest(0x2710, {}), 16), 0u);
  EXPECT_EQ(world.Memory(id), before);
  EXPECT_EQ(world.FlashBusyReadsLeft(id), 0u);
}

TEST_F(DriverPathTest, SameProtectionAsTheExtensionUnit) {
  const DeviceId id = Add();
  const Bytes before = world.Memory(id);
  EXPECT_EQ(Send(EraseRequest(), 16), 0u);
  EXPECT_EQ(Send(WriteRequest(0, {0, 0, 0}), 16), 0u);
  EXPECT_EQ(world.Memory(id), before);
}

TEST_F(DriverPathTest, WriteWithoutEraseCorrupts) {
  substitute::SubstituteCameraConfig config;
  config.initialMemory = {0x0F, 0xF0};
  const DeviceId id = Add(config);
  LiftProtection(id);
  EXPECT_EQ(Send(WriteRequest(0, {0xFF, 0x3C}), 16), 0u);
  EXPECT_EQ(world.Memory(id)[0], 0x0F);
  EXPECT_EQ(world.Memory(id)[1], 0x30);
}

struct LayoutCase {
  const char* what;
  Bytes block;
  uint32_t inLength;  // 0: the block's size
  uint32_t outLength;
};

Bytes With(Bytes block, size_t at, uint8_t value) {
  block[at] = value;
  return block;
}

class DriverLayoutTest : public DriverPathTest, public ::testing::WithParamInterface<LayoutCase> {};

TEST_P(DriverLayoutTest, WrongBlockLayoutIsInvalidParameter) {
  const LayoutCase& c = GetParam();
  const DeviceId id = Add();
  LiftProtection(id);
  const Bytes before = world.Memory(id);
  Bytes block = c.block;
  const uint32_t inLength = c.inLength ? c.inLength : static_cast<uint32_t>(block.size());
  block.resize(std::max<size_t>({block.size(), c.outLength, inLength}));
  EXPECT_EQ(world.DeviceFiles().IoControl(handle, kCode, block.data(), inLength, block.data(), c.outLength, &returned),
            platform::kErrorInvalidParameter);
  EXPECT_EQ(returned, 0u);
  EXPECT_EQ(world.Memory(id), before);
  EXPECT_TRUE(world.IsPresent(id));
}

INSTANTIATE_TEST_SUITE_P(Blocks, DriverLayoutTest,
                         ::testing::Values(LayoutCase{"request type C0", With(ProbeRequest(), 4, 0xC0), 0, 17},
                                           LayoutCase{"value not 0", With(EraseRequest(), 6, 1), 0, 16},
                                           LayoutCase{"input shorter than the header", EraseRequest(), 12, 16},
                                           LayoutCase{"input longer than 16 + wLength", EraseRequest(), 20, 16},
                                           LayoutCase{"probe of two bytes", Request(1, 5, 0, 2), 0, 18},
                                           LayoutCase{"probe output 16", ProbeRequest(), 0, 16},
                                           LayoutCase{"probe index not 0", Request(1, 5, 4, 1), 0, 17},
                                           LayoutCase{"read flags 2", Request(2, 5, 0, 4), 0, 20},
                                           LayoutCase{"read output too short", ReadRequest(0, 4), 0, 16},
                                           LayoutCase{"read data not zeroed", With(ReadRequest(0, 4), 13, 1), 0, 20},
                                           LayoutCase{"read beyond the driver's buffer", ReadRequest(0, 0x8001), 0,
                                                      0x8011},
                                           LayoutCase{"write flags 1", Request(1, 4, 0, 2, {0, 0}), 0, 16},
                                           LayoutCase{"write output with data", WriteRequest(0, {0, 0}), 0, 18},
                                           LayoutCase{"erase index 1", Request(0, 2, 1, 0), 0, 16},
                                           LayoutCase{"erase with data", Request(0, 2, 0, 1), 0, 16},
                                           LayoutCase{"reset index 8", Request(0, 1, 8, 0), 0, 16},
                                           LayoutCase{"reset flags 1", Request(1, 1, 9, 0), 0, 16}),
                         [](const ::testing::TestParamInfo<LayoutCase>& param) {
                           std::string name = param.param.what;
                           for (char& ch : name)
                             if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                           return name;
                         });

TEST_F(DriverPathTest, UnknownRequestStallsTheDevice) {
  Add();
  EXPECT_EQ(Send(Request(0, 7, 0, 0), 16), platform::kErrorGenFailure);
}

TEST_F(DriverPathTest, TransfersPastTheFlashOrAboveTheDeviceLimitStall) {
  substitute::SubstituteCameraConfig config;
  substitute::UseSmallPageFlash(config);
  const DeviceId id = Add(config);
  LiftProtection(id);
  EXPECT_EQ(Send(WriteRequest(0, Bytes(32, 0)), 16), 0u);
  EXPECT_EQ(Send(WriteRequest(0, Bytes(33, 0)), 16), platform::kErrorGenFailure);
  EXPECT_EQ(Send(ReadRequest(0xFFF0, 32), 48), platform::kErrorGenFailure);
  EXPECT_EQ(Send(ReadRequest(0xFFE0, 32), 48), 0u);
}

TEST_F(DriverPathTest, EepromCameraAnswersTheProbeButStallsFlashRequests) {
  Add(substitute::CameraOfClass(1));
  EXPECT_EQ(Send(ProbeRequest(), 17), 0u);
  EXPECT_EQ(Send(EraseRequest(), 16), platform::kErrorGenFailure);
  EXPECT_EQ(Send(ReadRequest(0, 8), 24), platform::kErrorGenFailure);
}

TEST_F(DriverPathTest, RefusingDriverAnswersEveryRequestWithItsError) {
  substitute::SubstituteCameraConfig config;
  config.driverPath = DriverPathService::kRefused;
  const DeviceId id = Add(config);
  const Bytes before = world.Memory(id);
  for (const Bytes& block : {ProbeRequest(), EraseRequest(), ReadRequest(0, 4), ResetRequest()})
    EXPECT_EQ(Send(block, static_cast<uint32_t>(block.size())), platform::kErrorInvalidFunction);
  EXPECT_EQ(world.Memory(id), before);
  EXPECT_TRUE(world.IsPresent(id));

  world.ConfigureCamera(id, [](substitute::SubstituteCameraConfig& c) { c.driverRefusalError = 50; });
  EXPECT_EQ(Send(ProbeRequest(), 17), 50u);
}

TEST_F(DriverPathTest, DownloadModeOnlyDriverServesAfterTheSwitch) {
  substitute::SubstituteCameraConfig config;
  config.driverPath = DriverPathService::kDownloadModeOnly;
  const DeviceId id = Add(config);
  EXPECT_EQ(Send(ProbeRequest(), 17), platform::kErrorInvalidFunction);
  RawCamera camera = Open();
  ASSERT_EQ(camera.Command(Block(0x00, 0x07, 1)), platform::kOk);
  world.Advance(config.rebootDelayMs);
  ASSERT_EQ(world.Mode(id), CameraMode::kDownload);
  handle = world.DeviceFiles().Open(world.DevicePath(id));
  EXPECT_EQ(Send(ProbeRequest(), 17), 0u);
}

TEST_F(DriverPathTest, OtherCodesAndHandles) {
  Add();
  Bytes block = ProbeRequest();
  EXPECT_EQ(world.DeviceFiles().IoControl(handle, 0x220104, block.data(), 17, block.data(), 17, &returned),
            platform::kErrorInvalidFunction);
  EXPECT_EQ(world.DeviceFiles().IoControl(handle + 1000, kCode, block.data(), 17, block.data(), 17, &returned),
            platform::kErrorInvalidHandle);
  EXPECT_TRUE(world.DeviceFiles().Close(handle));
  EXPECT_FALSE(world.DeviceFiles().Close(handle));
  EXPECT_EQ(world.DeviceFiles().IoControl(handle, kCode, block.data(), 17, block.data(), 17, &returned),
            platform::kErrorInvalidHandle);
}

TEST_F(DriverPathTest, ResetToUpdatedCodeLeavesAndComesBackRunning) {
  substitute::SubstituteCameraConfig config;
  config.needsDownloadMode = true;
  const DeviceId id = Add(config);
  RawCamera camera = Open();
  ASSERT_EQ(camera.Command(Block(0x00, 0x07, 1)), platform::kOk);
  world.Advance(config.rebootDelayMs);
  handle = world.DeviceFiles().Open(world.DevicePath(id));
  const uint32_t before = world.Appearance(id);
  EXPECT_EQ(Send(ResetRequest(), 16), 0u);
  EXPECT_FALSE(world.IsPresent(id));
  EXPECT_EQ(Send(ProbeRequest(), 17), platform::kErrorDeviceNotConnected);
  world.Advance(config.rebootDelayMs - 1);
  EXPECT_FALSE(world.IsPresent(id));
  world.Advance(1);
  EXPECT_TRUE(world.IsPresent(id));
  EXPECT_NE(world.Appearance(id), before);
  EXPECT_EQ(world.Mode(id), CameraMode::kRunning);
  // The old handle belongs to the instance that left.
  EXPECT_EQ(Send(ProbeRequest(), 17), platform::kErrorDeviceNotConnected);
}

}  // namespace
}  // namespace substitute_test
