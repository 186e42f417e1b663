#include <cstring>

#include "FakeCapture.h"

namespace {

using fake::Bytes;

class VendorCodeTest : public fake::DeviceTest {
 protected:
  void SetUp() override {
    DeviceTest::SetUp();
    key = OpenOneCamera();
  }
  // Queues the raw records that assemble into `record` (first layout).
  void Answer(const FirmwareInfoRecord& record) {
    const Bytes raw[5] = {Bytes(record.begin(), record.begin() + 8), Bytes(8, 0),
                          Bytes(record.begin() + 8, record.begin() + 16), Bytes(record.begin() + 16, record.end()),
                          Bytes(8, 0)};
    for (const Bytes& r : raw) capture.wire.replies.push_back({platform::kOk, r, {}});
  }
  uint32_t key = 0;
  std::string label = "old";
  std::string value = "old";
};

FirmwareInfoRecord Record(uint8_t format, const char* date, size_t dateAt, const char* extra = nullptr) {
  FirmwareInfoRecord r{};
  r[0] = format;
  const uint8_t code[5] = {0x12, 0x34, 0x56, 0x78, 0x9A};
  std::memcpy(&r[3], code, 5);
  if (date) std::memcpy(&r[dateAt], date, 8);
  if (extra) std::memcpy(&r[16], extra, 8);
  return r;
}

TEST_F(VendorCodeTest, DateDecidesWhetherTheCodeIsShown) {
  struct Case {
    FirmwareInfoRecord record;
    const char* value;
  };
  const Case cases[] = {
      {Record(0x02, "08/11/09", 8), "12-3456-789A"},
      {Record(0x22, "09/01/09", 8), "12-3456-789A"},
      {Record(0x02, "01/01/10", 8), "12-3456-789A"},
      {Record(0x02, "08/10/09", 8), "12-3456-789A"},             // older, but nothing at 16-23
      {Record(0x02, "08/10/09", 8, "xxxxxxxx"), "N/A"},          // older, something at 16-23
      {Record(0x02, "12/31/08", 8, "\0\0\0\0\0\0\0\1"), "N/A"},  // one byte is enough
      {Record(0x01, "08/10/09", 16), "N/A"},                     // format 1: the date is the field
      {Record(0x01, "08/11/09", 16), "12-3456-789A"},
      {Record(0x02, nullptr, 8, "xxxxxxxx"), "N/A"},  // zero bytes are no date
  };
  for (const Case& c : cases) {
    Answer(c.record);
    EXPECT_EQ(ReadVendorCode(key, &label, &value), 1);
    EXPECT_EQ(label, "Vendor Code");
    EXPECT_EQ(value, c.value) << static_cast<int>(c.record[0]) << " " << static_cast<int>(c.record[9]);
  }
}

TEST_F(VendorCodeTest, UnknownFormatShowsNothing) {
  for (uint8_t format : {0x00, 0x03, 0x10}) {
    Answer(Record(format, "08/11/09", 8));
    EXPECT_EQ(ReadVendorCode(key, &label, &value), 1);
    EXPECT_EQ(label, "N/A");
    EXPECT_EQ(value, "N/A");
  }
}

TEST_F(VendorCodeTest, FailedReadLeavesNotAvailable) {
  capture.wire.FailNext(3);
  EXPECT_EQ(ReadVendorCode(key, &label, &value), 0);
  EXPECT_EQ(label, "N/A");
  EXPECT_EQ(value, "N/A");
  label = value = "old";
  EXPECT_EQ(ReadVendorCode(key + 1, &label, &value), 0);
  EXPECT_EQ(value, "N/A");
}

}  // namespace
