#include <functional>
#include <utility>

#include "FakeCapture.h"

namespace {

using fake::Block;
using fake::Bytes;

std::vector<std::pair<int32_t, int32_t>> g_progress;
void RecordProgress(int32_t done, int32_t total) { g_progress.emplace_back(done, total); }

class CommandSetTest : public fake::DeviceTest {
 protected:
  void SetUp() override {
    DeviceTest::SetUp();
    g_progress.clear();
    key = OpenOneCamera();
  }
  uint32_t key = 0;
};

const Bytes kClearStatus = Block({0xFF, 0, 0, 0, 0, 0, 0, 0});

TEST_F(CommandSetTest, LongSerialFlashReadGoesInTwoPieces) {
  SetProgressFunction(RecordProgress);
  Bytes buffer(0x10000);
  ASSERT_EQ(SPI_SF_Read(key, 0x10000, buffer.data()), 1);
  EXPECT_EQ(capture.wire.CommandBlocks(), (std::vector<Bytes>{Block({0x02, 0xC2, 0x00, 0x00, 0x00, 0x80, 0, 0}),
                                                              Block({0x02, 0xC2, 0x00, 0x80, 0x00, 0x80, 0, 0})}));
  // The count starts again with the second piece.
  EXPECT_EQ(g_progress.size(), 0x2000u);
  EXPECT_EQ(g_progress[0x0FFF], std::make_pair(0x8000, 0x8000));
  EXPECT_EQ(g_progress[0x1000], std::make_pair(8, 0x8000));

  capture.wire.calls.clear();
  ASSERT_EQ(SPI_SF_Read(key, 0xFFFF, buffer.data()), 1);
  EXPECT_EQ(capture.wire.CommandBlocks(), std::vector<Bytes>{Block({0x02, 0xC2, 0, 0, 0xFF, 0xFF, 0, 0})});
}

TEST_F(CommandSetTest, LongSerialFlashWriteCarriesTheHighAddress) {
  Bytes data(0x1F000);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7 + (i >> 8));
  ASSERT_EQ(SPI_SF_Write(key, 0, 0x1F000, data.data()), 1);
  EXPECT_EQ(capture.wire.CommandBlocks(), (std::vector<Bytes>{Block({0x02, 0x82, 0x00, 0x00, 0x00, 0x80, 0x00, 0}),
                                                              Block({0x02, 0x82, 0x00, 0x80, 0x00, 0x80, 0x00, 0}),
                                                              Block({0x02, 0x82, 0x00, 0x00, 0x00, 0xF0, 0x01, 0})}));
  Bytes sent;
  for (const auto& call : capture.wire.Sets(kDataControl)) sent.insert(sent.end(), call.sent.begin(), call.sent.end());
  EXPECT_EQ(sent, data);
}

TEST_F(CommandSetTest, FailedFirstPieceStartsNoSecond) {
  Bytes buffer(0x10000);
  capture.wire.FailNext(5);
  EXPECT_EQ(SPI_SF_Read(key, 0x10000, buffer.data()), 0);
  EXPECT_EQ(capture.wire.CommandBlocks(), (std::vector<Bytes>{Block({0x02, 0xC2, 0, 0, 0, 0x80, 0, 0}), kClearStatus}));
}

TEST_F(CommandSetTest, SerialFlashReadFailuresGoToTheDebugOutput) {
  Bytes buffer(8);
  capture.wire.FailNext(0);
  EXPECT_EQ(SPI_SF_Read(key, 8, buffer.data()), 0);
  capture.wire.FailNext(1);
  EXPECT_EQ(SPI_SF_Read(key, 8, buffer.data()), 0);
  ASSERT_EQ(debug.lines.size(), 4u);
  EXPECT_EQ(debug.lines[0], "SPI SF Read error - Set CMD SPI_SF_Read Failed\n");
  EXPECT_EQ(debug.lines[2], "SPI SF Read error - Get Data SPI_SF_Read Failed\n");
}

TEST_F(CommandSetTest, BlocksOfCommandsWithoutData) {
  const std::vector<std::pair<std::function<int()>, Bytes>> cases = {
      {[&] { return EraseMem0F(key, 0x800); }, Block({0x02, 0x0F, 0, 0, 0x00, 0x08, 0, 0})},
      {[&] { return EraseMem0C(key, 0x2000); }, Block({0x02, 0x0C, 0, 0, 0x00, 0x20, 0, 0})},
      {[&] { return EraseMem12(key, 0x1234); }, Block({0x02, 0x12, 0, 0, 0x34, 0x12, 0, 0})},
      {[&] { return ResetToDownloadMode(key, 1); }, Block({0x00, 0x07, 0x01, 0, 0, 0, 0, 0})},
      {[&] { return ResetDevice(key); }, Block({0x00, 0x09, 0, 0, 0, 0, 0, 0})},
      {[&] { return SPI_SF_ChipErase(key); }, Block({0x02, 0x04, 0, 0, 0, 0, 0, 0})},
  };
  for (const auto& [command, block] : cases) {
    capture.wire.calls.clear();
    EXPECT_EQ(command(), 1);
    ASSERT_EQ(capture.wire.calls.size(), 1u);
    EXPECT_EQ(capture.wire.calls[0].sent, block);
  }
}

TEST_F(CommandSetTest, ShortCommandsAndRegisterWrites) {
  capture.wire.dataForOpcode[0x02C1] = {0x30, 0xC2, 0x22, 0x00, 5, 6, 7, 8};
  capture.wire.dataForOpcode[0x02C3] = {0x8C, 0x77};
  FlashInfo info{};
  ASSERT_EQ(ReadFlashInfo(key, &info), 1);
  EXPECT_EQ(Bytes(info.begin(), info.end()), capture.wire.dataForOpcode[0x02C1]);
  uint8_t status = 0;
  ASSERT_EQ(SPI_SF_ReadStatus(key, &status), 1);
  EXPECT_EQ(status, 0x8C);
  const uint8_t value = 0x5B;
  ASSERT_EQ(WriteMemoryByte(key, 0xFEA6, &value), 1);
  ASSERT_EQ(SetByteA7(key, 1), 1);
  const auto blocks = capture.wire.CommandBlocks();
  EXPECT_EQ(blocks[0], Block({0x02, 0xC1, 0, 0, 0x08, 0, 0, 0}));
  EXPECT_EQ(blocks[1], Block({0x02, 0xC3, 0, 0, 0x01, 0, 0, 0}));
  EXPECT_EQ(blocks[2], Block({0x00, 0x82, 0xA6, 0xFE, 0x01, 0, 0, 0}));
  EXPECT_EQ(blocks[3], Block({0x00, 0xA7, 0, 0, 0x01, 0, 0, 0}));
  const auto data = capture.wire.Sets(kDataControl);
  ASSERT_EQ(data.size(), 2u);
  EXPECT_EQ(data[0].sent, Block({0x5B, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(data[1].sent, Block({0x01, 0, 0, 0, 0, 0, 0, 0}));
}

Bytes RawRecord(int first) {
  Bytes r(8);
  for (int i = 0; i < 8; ++i) r[i] = static_cast<uint8_t>(first + i);
  return r;
}

TEST_F(CommandSetTest, FirmwareInfoFromRecordsEightToTwelve) {
  // First raw record without a format, second with one: the record is built
  // from the second, fourth and fifth.
  for (int first : {0x10, 0x21, 0x30, 0x40, 0x50})
    capture.wire.replies.push_back({platform::kOk, RawRecord(first), {}});
  FirmwareInfoRecord record{};
  ASSERT_EQ(ReadFirmwareInfo(key, &record), 1);
  Bytes expected = RawRecord(0x21);
  for (int first : {0x40, 0x50}) {
    const Bytes r = RawRecord(first);
    expected.insert(expected.end(), r.begin(), r.end());
  }
  EXPECT_EQ(Bytes(record.begin(), record.end()), expected);
  const auto blocks = capture.wire.CommandBlocks();
  ASSERT_EQ(blocks.size(), 5u);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(blocks[i], Block({0x00, 0xCD, 8 + i, 0, 0x08, 0, 0, 0}));

  // Otherwise from the first, third and fourth.
  for (int first : {0x11, 0x21, 0x30, 0x40, 0x50})
    capture.wire.replies.push_back({platform::kOk, RawRecord(first), {}});
  ASSERT_EQ(ReadFirmwareInfo(key, &record), 1);
  expected = RawRecord(0x11);
  for (int first : {0x30, 0x40}) {
    const Bytes r = RawRecord(first);
    expected.insert(expected.end(), r.begin(), r.end());
  }
  EXPECT_EQ(Bytes(record.begin(), record.end()), expected);
}

TEST_F(CommandSetTest, UntouchedBytesKeepTheirValuesBetweenCommands) {
  ResetToDownloadMode(key, 0x0102);
  ResetToDownloadMode(key, 0);
  uint8_t buffer[4] = {};
  ReadMem0E(key, 4, buffer);
  ReadMemory(key, 0x0010, 4, buffer);
  const auto blocks = capture.wire.CommandBlocks();
  EXPECT_EQ(blocks[1], Block({0x00, 0x07, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(blocks[2], Block({0x02, 0xCE, 0, 0, 4, 0, 0, 0}));
  EXPECT_EQ(blocks[3], Block({0x00, 0xC2, 0x10, 0, 4, 0, 0, 0}));
  CurrentCommandBlocks().resetDevice[7] = 0x99;
  ResetCommandBlocks();
  EXPECT_EQ(CurrentCommandBlocks().resetDevice, (CommandBlock{0x00, 0x09, 0, 0, 0, 0, 0, 0}));
}

// Every failing control access inside a command gives exactly one status read
// and one cleared status, and the command gives up at once.
TEST_F(CommandSetTest, EachFailingAccessIsReportedOnce) {
  uint8_t buffer[20] = {};
  FirmwareInfoRecord record{};
  FlashInfo info{};
  const std::vector<std::function<int()>> commands = {
      [&] { return ReadMemory(key, 0xFE21, 13, buffer); },
      [&] { return WriteMem11(key, 0x10, 20, buffer); },
      [&] { return ReadMem0B(key, 9, buffer); },
      [&] { return ReadFirmwareInfo(key, &record); },
      [&] { return ReadFlashInfo(key, &info); },
      [&] { return SPI_SF_WriteStatus(key, 0); },
      [&] { return SetByteA7(key, 1); },
      [&] { return EraseMem0C(key, 3); },
  };
  for (size_t c = 0; c < commands.size(); ++c) {
    capture.wire.calls.clear();
    ASSERT_EQ(commands[c](), 1);
    const size_t accesses = capture.wire.calls.size();
    for (size_t failing = 0; failing < accesses; ++failing) {
      capture.wire.calls.clear();
      capture.wire.failCall = {{failing, platform::kFail}};
      debug.lines.clear();
      EXPECT_EQ(commands[c](), 0) << c << " " << failing;
      const auto& calls = capture.wire.calls;
      ASSERT_EQ(calls.size(), failing + 3) << c << " " << failing;
      EXPECT_FALSE(calls[failing + 1].IsSet());
      EXPECT_EQ(calls[failing + 1].property.id, kCommandControl);
      EXPECT_EQ(calls[failing + 1].length, 8u);
      EXPECT_EQ(calls[failing + 2].sent, kClearStatus);
      EXPECT_EQ(debug.lines.size(), 1u);
    }
    capture.wire.failCall.clear();
  }
}

TEST_F(CommandSetTest, UnregisteredKeyTouchesNoDevice) {
  const uint32_t unknown = key + 1;
  uint8_t buffer[8] = {};
  FirmwareInfoRecord record{};
  FlashInfo info{};
  const std::vector<std::function<int()>> commands = {
      [&] { return ReadFirmwareInfo(unknown, &record); },
      [&] { return ReadFlashInfo(unknown, &info); },
      [&] { return SPI_SF_Read(unknown, 8, buffer); },
      [&] { return SPI_SF_Write(unknown, 0, 8, buffer); },
      [&] { return SPI_SF_ReadStatus(unknown, buffer); },
      [&] { return SPI_SF_WriteStatus(unknown, 0); },
      [&] { return SPI_SF_ChipErase(unknown); },
      [&] { return ReadMem07(unknown, 8, buffer); },
      [&] { return WriteMem07(unknown, 0, 8, buffer); },
      [&] { return ReadMem0B(unknown, 8, buffer); },
      [&] { return WriteMem0B(unknown, 0, 8, buffer); },
      [&] { return EraseMem0C(unknown, 1); },
      [&] { return ReadMem0E(unknown, 8, buffer); },
      [&] { return WriteMem0E(unknown, 0, 8, buffer); },
      [&] { return EraseMem0F(unknown, 1); },
      [&] { return ReadMem11(unknown, 8, buffer); },
      [&] { return WriteMem11(unknown, 0, 8, buffer); },
      [&] { return EraseMem12(unknown, 1); },
      [&] { return ReadMemory(unknown, 0, 8, buffer); },
      [&] { return WriteMemoryByte(unknown, 0, buffer); },
      [&] { return ResetToDownloadMode(unknown, 1); },
      [&] { return ResetDevice(unknown); },
      [&] { return SetByteA7(unknown, 1); },
      [&] { return IsIdentifiedCamera(unknown); },
      [&] { return IsIdentifiedCamera(0); },
      [&] { return ResetDevice(0u); },
  };
  for (const auto& command : commands) EXPECT_EQ(command(), 0);
  EXPECT_TRUE(capture.wire.calls.empty());
  EXPECT_TRUE(debug.lines.empty());
}

}  // namespace
