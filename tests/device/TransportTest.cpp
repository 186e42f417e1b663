#include <numeric>
#include <utility>

#include "FakeCapture.h"

namespace {

using fake::Block;
using fake::Bytes;

std::vector<std::pair<int32_t, int32_t>> g_progress;
void RecordProgress(int32_t done, int32_t total) { g_progress.emplace_back(done, total); }

class TransportTest : public fake::DeviceTest {
 protected:
  void SetUp() override {
    DeviceTest::SetUp();
    g_progress.clear();
    key = OpenOneCamera();
    camera = Registered(key);
  }
  void TearDown() override {
    camera = CCameraDevice{};
    DeviceTest::TearDown();
  }
  const std::vector<fake::KsCall>& Calls() const { return capture.wire.calls; }

  uint32_t key = 0;
  CCameraDevice camera;
};

Bytes Sequence(size_t n, int first = 1) {
  Bytes b(n);
  std::iota(b.begin(), b.end(), static_cast<uint8_t>(first));
  return b;
}

TEST_F(TransportTest, ReadMemoryOfTheGenerationRegisterOnTheWire) {
  capture.wire.dataForOpcode[0x00C2] = {0x01, 0x3F};
  uint8_t buffer[2] = {0xFF, 0xFF};
  ASSERT_EQ(ReadMemory(key, 0xFE21, 2, buffer), 1);
  EXPECT_EQ(buffer[0], 0x01);
  EXPECT_EQ(buffer[1], 0x3F);
  ASSERT_EQ(Calls().size(), 2u);
  const fake::KsCall& set = Calls()[0];
  EXPECT_EQ(set.sent, Block({0x00, 0xC2, 0x21, 0xFE, 0x02, 0x00, 0x00, 0x00}));
  EXPECT_EQ(set.property.set, kExtensionUnitGuid);
  EXPECT_EQ(set.property.id, 10u);
  EXPECT_EQ(set.property.flags, 0x10000002u);
  EXPECT_EQ(set.property.nodeId, 3u);
  EXPECT_EQ(set.property.reserved, 0u);
  EXPECT_EQ(set.propertyLength, 32u);
  EXPECT_EQ(Calls()[1].property.id, 11u);
  EXPECT_EQ(Calls()[1].property.flags, 0x10000001u);
  EXPECT_EQ(Calls()[1].length, 8u);
}

TEST_F(TransportTest, ChunkedReadPutsOnlyTheRemainderThroughTheBounceBuffer) {
  capture.wire.replies = {{platform::kOk, Sequence(8, 1), {}}, {platform::kOk, Sequence(8, 9), {}}};
  Bytes buffer(16, 0xEE);
  int32_t done = -5;
  EXPECT_EQ(ReadDataWithProgress(camera, buffer.data(), 13, &done, RecordProgress), 0);
  EXPECT_EQ(buffer, Block({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 0xEE, 0xEE, 0xEE}));
  ASSERT_EQ(Calls().size(), 2u);
  EXPECT_EQ(Calls()[0].length, 8u);
  EXPECT_EQ(Calls()[1].length, 8u);
  EXPECT_EQ(g_progress, (std::vector<std::pair<int32_t, int32_t>>{{8, 13}, {13, 13}}));
  EXPECT_EQ(done, -5);
}

TEST_F(TransportTest, ChunkedWritePadsTheLastBlockWithZeros) {
  const Bytes data = Sequence(13, 1);
  int32_t done = 0;
  EXPECT_EQ(WriteDataWithProgress(camera, data.data(), 13, &done, RecordProgress), 0);
  ASSERT_EQ(Calls().size(), 2u);
  EXPECT_EQ(Calls()[0].sent, Block({1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_EQ(Calls()[1].sent, Block({9, 10, 11, 12, 13, 0, 0, 0}));
  EXPECT_EQ(Calls()[1].property.id, kDataControl);
  EXPECT_EQ(g_progress, (std::vector<std::pair<int32_t, int32_t>>{{8, 13}, {13, 13}}));
}

TEST_F(TransportTest, ZeroLengthMovesNothing) {
  int32_t done = 7;
  EXPECT_EQ(ReadDataWithProgress(camera, nullptr, 0, &done, RecordProgress), 0);
  EXPECT_EQ(WriteDataWithProgress(camera, nullptr, 0, &done, RecordProgress), 0);
  EXPECT_TRUE(Calls().empty());
  EXPECT_TRUE(g_progress.empty());
  EXPECT_EQ(done, 7);
}

TEST_F(TransportTest, WholeBlocksOnly) {
  const Bytes data = Sequence(16, 1);
  int32_t done = 0;
  EXPECT_EQ(WriteDataWithProgress(camera, data.data(), 16, &done, RecordProgress), 0);
  ASSERT_EQ(Calls().size(), 2u);
  EXPECT_EQ(Calls()[1].sent, Block({9, 10, 11, 12, 13, 14, 15, 16}));
  EXPECT_EQ(g_progress.back(), std::make_pair(16, 16));
}

TEST_F(TransportTest, FailureReportsTheWholeBlocksMoved) {
  struct Case {
    size_t length;
    size_t failingCall;
    int32_t done;
  };
  for (const Case& c : {Case{24, 1, 8}, Case{13, 1, 8}, Case{13, 0, 0}, Case{5, 0, 0}}) {
    for (bool write : {false, true}) {
      capture.wire.calls.clear();
      capture.wire.failCall = {{c.failingCall, platform::kDeviceGone}};
      g_progress.clear();
      Bytes buffer(c.length);
      int32_t done = -1;
      const platform::Status status =
          write ? WriteDataWithProgress(camera, buffer.data(), static_cast<uint16_t>(c.length), &done, RecordProgress)
                : ReadDataWithProgress(camera, buffer.data(), static_cast<uint16_t>(c.length), &done, RecordProgress);
      EXPECT_EQ(status, platform::kDeviceGone);
      EXPECT_EQ(done, c.done);
      EXPECT_EQ(Calls().size(), c.failingCall + 1);
      EXPECT_EQ(g_progress.size(), c.failingCall);
    }
  }
}

TEST_F(TransportTest, StatusNames) {
  const std::vector<std::tuple<uint8_t, uint8_t, std::string>> cases = {
      {0x00, 0, "VCMD_STS_CMD"},
      {0x01, 0, "VCMD_STS_DATA_IN"},
      {0x02, 0, "VCMD_STS_DATA_OUT"},
      {0x03, 0, "VCMD_STS_ERR_DIR"},
      {0x04, 0, "VCMD_STS_NOT_FINISH"},
      {0x05, 0, "VCMD_STS_ERR_LEN"},
      {0x06, 0, "VCMD_STS_UNKNOWN_SCMD"},
      {0x07, 0, "VCMD_STS_ERR_OUTRANGE"},
      {0x08, 0, "VCMD_STS_UNKNOWN_CMD"},
      {0x09, 7, "VCMD_STS_HW_ERR"},
      {0xFE, 0, "VCMD_STS_RET_NO_ERR"},
      {0x0C, 0x01, "undefined error code 0x010C"},
      {0x0A, 0, "undefined error code 0x000A"},
      {0xFF, 0xAB, "undefined error code 0xABFF"},
  };
  for (const auto& [code, high, name] : cases) EXPECT_EQ(StatusName(code, high), name);
}

TEST_F(TransportTest, ReportReadsTheStatusAndClearsIt) {
  capture.wire.replies.push_back({platform::kOk, Block({0x0C, 0x01, 9, 9, 9, 9, 9, 9}), {}});
  ReportCommandError(camera, platform::kFail);
  ASSERT_EQ(Calls().size(), 2u);
  EXPECT_FALSE(Calls()[0].IsSet());
  EXPECT_EQ(Calls()[0].property.id, kCommandControl);
  EXPECT_EQ(Calls()[0].length, 8u);
  EXPECT_EQ(Calls()[1].sent, Block({0xFF, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(debug.lines, std::vector<std::string>{" error 80004005 : undefined error code 0x010C"});
}

TEST_F(TransportTest, FailedStatusReadIsNamedByItsOwnCode) {
  capture.wire.failCall[0] = platform::kNotFound;
  ReportCommandError(camera, platform::kFail);
  EXPECT_EQ(debug.lines, std::vector<std::string>{" error 80070490: fail to get err_code "});
  ASSERT_EQ(Calls().size(), 2u);
  EXPECT_EQ(Calls()[1].sent, Block({0xFF, 0, 0, 0, 0, 0, 0, 0}));
}

TEST_F(TransportTest, LengthChangeTakesTheAnsweredLength) {
  capture.wire.replies.push_back({platform::kOk, {}, 64u});
  ChangeDataControlLength(camera, 64);
  EXPECT_EQ(DataControlLength(), 64u);
  ASSERT_EQ(Calls().size(), 2u);
  EXPECT_EQ(Calls()[0].sent, Block({0x00, 0x16, 0, 0, 0x40, 0, 0, 0}));
  EXPECT_EQ(Calls()[1].property.id, kDataControl);
  EXPECT_EQ(Calls()[1].length, 65u);
  // Whole blocks now carry 64 bytes.
  capture.wire.calls.clear();
  const Bytes data = Sequence(70);
  int32_t done = 0;
  WriteData(camera, data.data(), 70, &done);
  ASSERT_EQ(Calls().size(), 2u);
  EXPECT_EQ(Calls()[0].length, 64u);
  EXPECT_EQ(Calls()[1].sent.size(), 64u);
  EXPECT_EQ(Calls()[1].sent[5], 70);
  EXPECT_EQ(Calls()[1].sent[6], 0);
}

TEST_F(TransportTest, FailedLengthCommandLeavesTheLength) {
  capture.wire.failCall[0] = platform::kFail;
  ChangeDataControlLength(camera, 32);
  EXPECT_EQ(DataControlLength(), 8u);
  ASSERT_EQ(Calls().size(), 3u);  // the command, the status read, the clear
  EXPECT_EQ(Calls()[2].sent, Block({0xFF, 0, 0, 0, 0, 0, 0, 0}));
}

TEST_F(TransportTest, UnusableLengthAnswerFallsBackToEight) {
  const std::vector<fake::Reply> answers = {
      {platform::kFail, {}, {}}, {platform::kFalse, {}, 32u}, {platform::kOk, {}, 65u}, {platform::kOk, {}, 0u}};
  for (const fake::Reply& answer : answers) {
    capture.wire.calls.clear();
    capture.wire.replies = {answer};
    ChangeDataControlLength(camera, 32);
    EXPECT_EQ(DataControlLength(), 8u);
    const auto blocks = capture.wire.CommandBlocks();
    ASSERT_EQ(blocks.size(), 3u);
    EXPECT_EQ(blocks[1], Block({0xFF, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(blocks[2], Block({0x00, 0x16, 0, 0, 0x08, 0, 0, 0}));
  }
  EXPECT_EQ(debug.lines.size(), answers.size());
}

TEST_F(TransportTest, SetDataLength) {
  uint8_t wanted = 8;
  EXPECT_EQ(SetDataLength(&wanted, key), 1);
  EXPECT_TRUE(Calls().empty());

  wanted = 32;
  capture.wire.replies.push_back({platform::kOk, {}, 32u});
  EXPECT_EQ(SetDataLength(&wanted, key), 1);
  EXPECT_EQ(DataControlLength(), 32u);

  wanted = 64;
  capture.wire.replies.push_back({platform::kOk, {}, 48u});
  EXPECT_EQ(SetDataLength(&wanted, key), 0);
  EXPECT_EQ(wanted, 48);

  capture.wire.calls.clear();
  wanted = 8;
  EXPECT_EQ(SetDataLength(&wanted, 0x99), 0);
  EXPECT_TRUE(Calls().empty());
}

TEST_F(TransportTest, ShortDataPhaseMovesTheWholeDataControlLength) {
  capture.wire.replies.push_back({platform::kOk, {}, 32u});
  ChangeDataControlLength(camera, 32);
  capture.wire.calls.clear();
  EXPECT_EQ(SPI_SF_WriteStatus(key, 0x8C), 1);
  ASSERT_EQ(Calls().size(), 2u);
  EXPECT_EQ(Calls()[0].sent, Block({0x02, 0x83, 0, 0, 0x01, 0, 0, 0}));
  Bytes expected(32, 0);
  expected[0] = 0x8C;
  EXPECT_EQ(Calls()[1].sent, expected);
}

}  // namespace
