// Edge cases that the broader device tests pass over: each pins one rule that a
// small slip in the code would otherwise break unnoticed.

#include <utility>

#include "FakeCapture.h"

namespace {

using fake::Block;
using fake::Bytes;

std::vector<int32_t> g_done;
void RecordDone(int32_t done, int32_t) { g_done.push_back(done); }

class DeviceEdgeCases : public fake::DeviceTest {
 protected:
  void SetUp() override {
    DeviceTest::SetUp();
    g_done.clear();
    key = OpenOneCamera();
  }
  void AnswerRawRecords(const std::vector<Bytes>& raw) {
    for (const Bytes& r : raw) capture.wire.replies.push_back({platform::kOk, r, {}});
  }
  uint32_t key = 0;
};

TEST_F(DeviceEdgeCases, Class5WriteIsSilentButItsReadBackReportsProgress) {
  SetProgressFunction(RecordDone);
  Bytes data(16, 0x5A);
  ASSERT_EQ(WriteMem0B(key, 0, 16, data.data()), 1);
  EXPECT_TRUE(g_done.empty());
  ASSERT_EQ(ReadMem0B(key, 16, data.data()), 1);
  EXPECT_EQ(g_done, (std::vector<int32_t>{8, 16}));
}

TEST_F(DeviceEdgeCases, FailedFirstFlashStatusReadFailsTheUnprotect) {
  // Register reads and writes and the status write take ten accesses; the
  // eleventh is the first status read's block.
  capture.wire.FailNext(10);
  EXPECT_EQ(SerialFlashUnprotect(key), 0);
}

TEST_F(DeviceEdgeCases, FirmwareInfoStaysUnshiftedWhenNeitherOfTheFirstTwoRecordsHasAFormat) {
  std::vector<Bytes> raw;
  for (uint8_t first : {0x10, 0x20, 0x30, 0x40, 0x50}) raw.push_back(Bytes{first, 1, 2, 3, 4, 5, 6, 7});
  AnswerRawRecords(raw);
  FirmwareInfoRecord record{};
  ASSERT_EQ(ReadFirmwareInfo(key, &record), 1);
  Bytes expected = raw[0];
  expected.insert(expected.end(), raw[2].begin(), raw[2].end());
  expected.insert(expected.end(), raw[3].begin(), raw[3].end());
  EXPECT_EQ(Bytes(record.begin(), record.end()), expected);
}

TEST_F(DeviceEdgeCases, VendorCodeOfAYearAfterNineIsShownWhateverFollowsTheDate) {
  // Format 2, date "01/01/10" at bytes 8-15, and something at 16-23.
  Bytes head = {0x02, 0, 0, 0x12, 0x34, 0x56, 0x78, 0x9A};
  Bytes date = {'0', '1', '/', '0', '1', '/', '1', '0'};
  AnswerRawRecords({head, Bytes(8, 0), date, Bytes(8, 'x'), Bytes(8, 0)});
  std::string label, value;
  ASSERT_EQ(ReadVendorCode(key, &label, &value), 1);
  EXPECT_EQ(value, "12-3456-789A");
}

}  // namespace
