// The camera's command and data controls: identify, firmware information,
// request checks, the data-control length and the command status.

#include "RawCamera.h"

namespace substitute_test {
namespace {

using substitute::CameraMode;
namespace camera_status = substitute::camera_status;

class ExtensionUnitTest : public SubstituteTest {};

TEST_F(ExtensionUnitTest, IdentifyAnswersMoxelinAndAZeroByte) {
  world.AddCamera();
  RawCamera camera = Open();
  ASSERT_TRUE(camera);
  Bytes data;
  ASSERT_TRUE(camera.Read(Block(0x00, 0xD0, 0, 8), 8, 8, &data));
  EXPECT_EQ(data, (Bytes{'M', 'O', 'X', 'E', 'L', 'I', 'N', 0}));
  EXPECT_EQ(camera.StatusBytes(), (Bytes{camera_status::kDone, 0}));
}

TEST_F(ExtensionUnitTest, IdentifyAtLength64DeliversOneBlockPaddedWithZeros) {
  world.AddCamera();
  RawCamera camera = Open();
  ASSERT_EQ(camera.Command(Block(0x00, 0x16, 0, 64)), platform::kOk);
  Bytes confirm;
  ASSERT_EQ(camera.GetData(65, &confirm), platform::kOk);
  ASSERT_EQ(camera.Command(Block(0x00, 0xD0, 0, 8)), platform::kOk);
  Bytes data;
  ASSERT_EQ(camera.GetData(64, &data), platform::kOk);
  Bytes expected{'M', 'O', 'X', 'E', 'L', 'I', 'N', 0};
  expected.resize(64, 0);
  EXPECT_EQ(data, expected);
  // The transfer is over: another get has nothing to deliver.
  EXPECT_EQ(camera.GetData(64, &data), substitute::kStalled);
  EXPECT_EQ(camera.StatusBytes(), (Bytes{camera_status::kWrongDirection, 0}));
}

TEST_F(ExtensionUnitTest, FirmwareInfoRecordsEightToTwelve) {
  substitute::SubstituteCameraConfig config;
  for (uint8_t r = 0; r < 5; ++r)
    for (uint8_t i = 0; i < 8; ++i) config.firmwareInfo[r][i] = static_cast<uint8_t>(0x10 * (r + 8) + i);
  world.AddCamera(config);
  RawCamera camera = Open();
  for (uint16_t index = 8; index <= 12; ++index) {
    Bytes data;
    ASSERT_TRUE(camera.Read(Block(0x00, 0xCD, index, 8), 8, 8, &data)) << index;
    const auto& record = config.firmwareInfo[index - 8];
    EXPECT_EQ(data, Bytes(record.begin(), record.end())) << index;
  }
  for (uint16_t index : {7, 13}) {
    EXPECT_EQ(camera.Command(Block(0x00, 0xCD, index, 8)), substitute::kStalled);
    EXPECT_EQ(camera.StatusBytes(), (Bytes{camera_status::kOutOfRange, 0}));
  }
}

TEST_F(ExtensionUnitTest, DefaultFirmwareInfoCarriesFormat2AndItsDate) {
  world.AddCamera();
  RawCamera camera = Open();
  Bytes header, date;
  ASSERT_TRUE(camera.Read(Block(0x00, 0xCD, 8, 8), 8, 8, &header));
  ASSERT_TRUE(camera.Read(Block(0x00, 0xCD, 10, 8), 8, 8, &date));
  EXPECT_EQ(header, (Bytes{0x02, 0, 0, 0x21, 0x06, 0x15, 0x00, 0x42}));
  EXPECT_EQ(date, (Bytes{'0', '6', '/', '1', '5', '/', '2', '1'}));
}

TEST_F(ExtensionUnitTest, NeedsDownloadModeShows0x11OnlyWhileRunning) {
  substitute::SubstituteCameraConfig config;
  config.firmwareInfo = substitute::MakeFirmwareInfo(1, {1, 2, 3, 4, 5}, "08/11/09");
  config.needsDownloadMode = true;
  const DeviceId id = world.AddCamera(config);
  RawCamera camera = Open();
  Bytes header;
  ASSERT_TRUE(camera.Read(Block(0x00, 0xCD, 8, 8), 8, 8, &header));
  EXPECT_EQ(header[0], 0x11);
  ASSERT_EQ(camera.Command(Block(0x00, 0x07, 1)), platform::kOk);
  world.Advance(config.rebootDelayMs);
  ASSERT_EQ(world.Mode(id), CameraMode::kDownload);
  camera = Open();
  ASSERT_TRUE(camera.Read(Block(0x00, 0xCD, 8, 8), 8, 8, &header));
  EXPECT_EQ(header, (Bytes{0x01, 0, 0, 1, 2, 3, 4, 5}));
}

TEST_F(ExtensionUnitTest, BlockLengthFieldsMustMatchTheCommand) {
  world.AddCamera();
  RawCamera camera = Open();
  const Bytes wrong[] = {Block(0x00, 0xD0, 0, 9), Block(0x00, 0xCD, 8, 4), Block(0x02, 0xC1, 0, 1),
                         Block(0x02, 0xC3, 0, 8), Block(0x02, 0x83, 0, 0), Block(0x00, 0xA7, 0, 2)};
  for (const Bytes& block : wrong) {
    EXPECT_EQ(camera.Command(block), substitute::kStalled);
    EXPECT_EQ(camera.StatusBytes(), (Bytes{camera_status::kLengthError, 0}));
  }
}

TEST_F(ExtensionUnitTest, RequestsOutsideTheExtensionUnitNeverReachTheCamera) {
  const DeviceId id = world.AddCamera();
  RawCamera camera = Open();
  Bytes block = Block(0x00, 0xD0, 0, 8);
  struct Case {
    const char* what;
    platform::KsNodeProperty property;
    uint32_t propertyLength;
    platform::Status expected;
  };
  auto property = XuProperty(10, platform::kKsPropertySetTopology);
  auto otherSet = property;
  otherSet.set.data1 ^= 1;
  auto otherNode = property;
  otherNode.nodeId = 2;
  auto otherSelector = property;
  otherSelector.id = 12;
  auto plainSet = property;
  plainSet.flags = 2;
  const Case cases[] = {{"short property", property, 24, substitute::kInvalidArgument},
                        {"other set", otherSet, 32, substitute::kSetNotFound},
                        {"other node", otherNode, 32, platform::kNotFound},
                        {"other selector", otherSelector, 32, platform::kNotFound},
                        {"no topology flag", plainSet, 32, substitute::kInvalidArgument}};
  for (const Case& c : cases) {
    EXPECT_EQ(camera.ks->KsProperty(c.property, c.propertyLength, block.data(), 8, nullptr), c.expected) << c.what;
  }
  EXPECT_EQ(world.CommandStatus(id), camera_status::kReady);
  EXPECT_FALSE(world.TransferOpen(id));
}

TEST_F(ExtensionUnitTest, DataControlLengthIsEightAfterPowerUp) {
  const DeviceId id = world.AddCamera();
  EXPECT_EQ(world.DataLength(id), 8u);
  RawCamera camera = Open();
  ASSERT_EQ(camera.Command(Block(0x00, 0xD0, 0, 8)), platform::kOk);
  Bytes data;
  EXPECT_EQ(camera.GetData(65, &data), platform::kOk);
  EXPECT_EQ(data.size(), 8u);
}

class LengthChangeTest : public ExtensionUnitTest, public ::testing::WithParamInterface<uint8_t> {};

TEST_P(LengthChangeTest, NextGetReturnsExactlyTheNewLength) {
  const uint8_t length = GetParam();
  const DeviceId id = world.AddCamera();
  RawCamera camera = Open();
  ASSERT_EQ(camera.Command(Block(0x00, 0x16, 0, length)), platform::kOk);
  Bytes confirm;
  ASSERT_EQ(camera.GetData(65, &confirm), platform::kOk);
  EXPECT_EQ(confirm.size(), length);
  EXPECT_EQ(world.DataLength(id), length);

  // From now on every data transfer is exactly that long.
  const Bytes data = Pattern(length, 3);
  ASSERT_EQ(camera.Command(Block(0x00, 0x82, 0x1000, length)), platform::kOk);
  EXPECT_EQ(camera.SetData(Bytes(length == 8 ? 16 : 8, 0)), substitute::kStalled);
  EXPECT_EQ(camera.StatusBytes(), (Bytes{camera_status::kLengthError, 0}));
  camera.Clear();
  EXPECT_TRUE(camera.Write(Block(0x00, 0x82, 0x1000, length), data, length));
  Bytes back;
  ASSERT_EQ(camera.Command(Block(0x00, 0xC2, 0x1000, length)), platform::kOk);
  EXPECT_EQ(camera.GetData(length - 1, &back), substitute::kStalled);
  camera.Clear();
  EXPECT_TRUE(camera.Read(Block(0x00, 0xC2, 0x1000, length), length, length, &back));
  EXPECT_EQ(back, data);
}

INSTANTIATE_TEST_SUITE_P(Lengths, LengthChangeTest, ::testing::Values(8, 32, 64));

TEST_F(ExtensionUnitTest, LengthChangeRefusesOtherLengths) {
  const DeviceId id = world.AddCamera();
  RawCamera camera = Open();
  for (uint8_t length : {0, 16, 63, 65, 128}) {
    EXPECT_EQ(camera.Command(Block(0x00, 0x16, 0, length)), substitute::kStalled);
    EXPECT_EQ(camera.StatusBytes(), (Bytes{camera_status::kOutOfRange, 0}));
    EXPECT_EQ(world.DataLength(id), 8u);
  }
}

TEST_F(ExtensionUnitTest, SmallPageFlashRefuses64ButTakes32) {
  substitute::SubstituteCameraConfig config;
  substitute::UseSmallPageFlash(config);
  const DeviceId id = world.AddCamera(config);
  RawCamera camera = Open();
  EXPECT_EQ(camera.Command(Block(0x00, 0x16, 0, 64)), substitute::kStalled);
  camera.Clear();
  EXPECT_EQ(camera.Command(Block(0x00, 0x16, 0, 32)), platform::kOk);
  Bytes confirm;
  ASSERT_EQ(camera.GetData(65, &confirm), platform::kOk);
  EXPECT_EQ(world.DataLength(id), 32u);
  Bytes info;
  ASSERT_TRUE(camera.Read(Block(0x02, 0xC1, 0, 8), 8, 32, &info));
  EXPECT_EQ(info, (Bytes{0x30, 0xC2, 0x22, 0x00, 0, 0, 0, 0}));
}

TEST_F(ExtensionUnitTest, ReadPadsTheLastPartialBlockWithZeros) {
  world.AddCamera();
  RawCamera camera = Open();
  ASSERT_EQ(camera.Command(Block(0x00, 0xC2, 0xFE20, 3)), platform::kOk);
  Bytes data;
  ASSERT_EQ(camera.GetData(8, &data), platform::kOk);
  EXPECT_EQ(data, (Bytes{0x00, 0x01, 0x30, 0, 0, 0, 0, 0}));
}

TEST_F(ExtensionUnitTest, WriteKeepsOnlyTheBytesStillDue) {
  const DeviceId id = world.AddCamera();
  RawCamera camera = Open();
  ASSERT_EQ(camera.Command(Block(0x00, 0x82, 0x2000, 13)), platform::kOk);
  ASSERT_EQ(camera.SetData({1, 2, 3, 4, 5, 6, 7, 8}), platform::kOk);
  EXPECT_EQ(world.CommandStatus(id), camera_status::kDataOut);
  ASSERT_EQ(camera.SetData({9, 10, 11, 12, 13, 0xAA, 0xBB, 0xCC}), platform::kOk);
  for (uint16_t i = 0; i < 13; ++i) EXPECT_EQ(world.Register(id, 0x2000 + i), i + 1);
  EXPECT_EQ(world.Register(id, 0x200D), 0);
  EXPECT_EQ(world.CommandStatus(id), camera_status::kDone);
}

TEST_F(ExtensionUnitTest, DataAccessWithoutOrAgainstAnOpenTransferFails) {
  const DeviceId id = world.AddCamera();
  RawCamera camera = Open();
  Bytes data;
  EXPECT_EQ(camera.GetData(8, &data), substitute::kStalled);
  EXPECT_EQ(camera.StatusBytes(), (Bytes{camera_status::kWrongDirection, 0}));
  EXPECT_EQ(camera.SetData(Bytes(8, 0)), substitute::kStalled);
  camera.Clear();

  ASSERT_EQ(camera.Command(Block(0x00, 0xC2, 0xFE21, 2)), platform::kOk);
  EXPECT_EQ(camera.StatusBytes(), (Bytes{camera_status::kDataIn, 0}));
  EXPECT_EQ(camera.SetData(Bytes(8, 0)), substitute::kStalled);
  EXPECT_EQ(camera.StatusBytes(), (Bytes{camera_status::kWrongDirection, 0}));
  // The failure dropped the transfer.
  EXPECT_EQ(camera.GetData(8, &data), substitute::kStalled);
  camera.Clear();

  ASSERT_EQ(camera.Command(Block(0x00, 0x82, 0x3000, 1)), platform::kOk);
  EXPECT_EQ(camera.GetData(8, &data), substitute::kStalled);
  EXPECT_EQ(world.Register(id, 0x3000), 0);
}

TEST_F(ExtensionUnitTest, CommandControlTakesExactlyEightBytes) {
  world.AddCamera();
  RawCamera camera = Open();
  EXPECT_EQ(camera.Set(10, {0x00, 0xD0, 0, 0, 8, 0, 0}), substitute::kStalled);
  EXPECT_EQ(camera.StatusBytes(), (Bytes{camera_status::kLengthError, 0}));
  Bytes status;
  EXPECT_EQ(camera.Get(10, 7, &status), substitute::kStalled);
  EXPECT_EQ(camera.Get(10, 16, &status), platform::kOk);
  EXPECT_EQ(status, (Bytes{camera_status::kLengthError, 0, 0, 0, 0, 0, 0, 0}));
}

TEST_F(ExtensionUnitTest, StatusStaysUntilTheClearBlock) {
  const DeviceId id = world.AddCamera();
  RawCamera camera = Open();
  EXPECT_EQ(camera.StatusBytes(), (Bytes{camera_status::kReady, 0}));
  EXPECT_EQ(camera.Command(Block(0x00, 0x55)), substitute::kStalled);
  EXPECT_EQ(camera.StatusBytes(), (Bytes{camera_status::kUnknownCommand, 0}));
  EXPECT_EQ(camera.StatusBytes(), (Bytes{camera_status::kUnknownCommand, 0}));
  EXPECT_EQ(camera.Clear(), platform::kOk);
  EXPECT_EQ(camera.StatusBytes(), (Bytes{camera_status::kReady, 0}));
  EXPECT_EQ(world.CommandStatus(id), camera_status::kReady);
}

TEST_F(ExtensionUnitTest, UnknownClassesAndOpcodesAreUnknownCommands) {
  world.AddCamera();
  RawCamera camera = Open();
  for (const Bytes& block : {Block(0x01, 0xD0, 0, 8), Block(0x00, 0xC3), Block(0x02, 0x05), Block(0x02, 0xCD)}) {
    EXPECT_EQ(camera.Command(block), substitute::kStalled);
    EXPECT_EQ(camera.StatusBytes(), (Bytes{camera_status::kUnknownCommand, 0}));
    camera.Clear();
  }
}

// A command arriving while a transfer is open is refused, and the transfer
// ends with it; a latched failure refuses every command until the clear block.
TEST_F(ExtensionUnitTest, ANewCommandDoesNotSilentlyEndATransferOrClearAFailure) {
  const DeviceId id = world.AddCamera();
  RawCamera camera = Open();
  ASSERT_EQ(camera.Command(Block(0x00, 0x82, 0x4000, 16)), platform::kOk);
  ASSERT_EQ(camera.SetData(Bytes(8, 0x5A)), platform::kOk);
  Bytes data;
  EXPECT_FALSE(camera.Read(Block(0x00, 0xD0, 0, 8), 8, 8, &data));
  EXPECT_EQ(camera.StatusBytes(), (Bytes{camera_status::kNotFinished, 0}));
  EXPECT_EQ(camera.SetData(Bytes(8, 0x5A)), substitute::kStalled);
  EXPECT_EQ(world.Register(id, 0x4007), 0x5A);
  EXPECT_EQ(world.Register(id, 0x4008), 0);

  EXPECT_FALSE(camera.Read(Block(0x00, 0xD0, 0, 8), 8, 8, &data)) << "still latched";
  EXPECT_EQ(camera.StatusBytes(), (Bytes{camera_status::kWrongDirection, 0}));
  camera.Clear();
  EXPECT_TRUE(camera.Read(Block(0x00, 0xD0, 0, 8), 8, 8, &data));
}

TEST_F(ExtensionUnitTest, GenerationAndProtectionRegistersReadFromTheRegisterSpace) {
  substitute::SubstituteCameraConfig config;
  config.generationHigh = 0x00;
  config.generationLow = 0x45;
  config.protectA = 0x42;
  config.protectB = 0x81;
  const DeviceId id = world.AddCamera(config);
  RawCamera camera = Open();
  Bytes data;
  ASSERT_TRUE(camera.Read(Block(0x00, 0xC2, 0xFE21, 2), 2, 8, &data));
  EXPECT_EQ(data, (Bytes{0x00, 0x45}));
  ASSERT_TRUE(camera.Read(Block(0x00, 0xC2, 0xFEA0, 1), 1, 8, &data));
  EXPECT_EQ(data, Bytes{0x42});
  ASSERT_TRUE(camera.Read(Block(0x00, 0xC2, 0xFEA6, 1), 1, 8, &data));
  EXPECT_EQ(data, Bytes{0x81});

  ASSERT_TRUE(camera.Write(Block(0x00, 0x82, 0xFEA0, 1), {0x43}, 8));
  EXPECT_EQ(world.Register(id, 0xFEA0), 0x43);
  // The generation is the controller's and does not change.
  ASSERT_TRUE(camera.Write(Block(0x00, 0x82, 0xFE21, 2), {0x83, 0x00}, 8));
  EXPECT_EQ(world.Register(id, 0xFE21), 0x00);
  EXPECT_EQ(world.Register(id, 0xFE22), 0x45);
}

TEST_F(ExtensionUnitTest, RegisterTransfersPastTheSpaceAreOutOfRange) {
  world.AddCamera();
  RawCamera camera = Open();
  EXPECT_EQ(camera.Command(Block(0x00, 0xC2, 0xFFFF, 2)), substitute::kStalled);
  EXPECT_EQ(camera.StatusBytes(), (Bytes{camera_status::kOutOfRange, 0}));
  camera.Clear();
  EXPECT_EQ(camera.Command(Block(0x00, 0x82, 0xFFFF, 1)), platform::kOk);
}

TEST_F(ExtensionUnitTest, SetByteA7KeepsItsValue) {
  const DeviceId id = world.AddCamera();
  RawCamera camera = Open();
  EXPECT_FALSE(world.ByteA7(id).has_value());
  ASSERT_TRUE(camera.Write(Block(0x00, 0xA7, 0, 1), {1}, 8));
  EXPECT_EQ(world.ByteA7(id), 1);
}

}  // namespace
}  // namespace substitute_test
