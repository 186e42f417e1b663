#include <gtest/gtest.h>

#include <vector>

#include "firmware/Descriptor.h"

using namespace _QTL_UVC_Descriptor;

namespace {

// A record class that only frames a payload, to reach the header helpers.
class Framed final : public CDescriptor {
 public:
  int BuildTo(uint8_t* out) override {
    WriteLongHeader(out);
    return 1;
  }
  const char* ClassName() const override { return "Framed"; }
};

TEST(RecordHeader, DecodesLengthAndTypeFromTwoBytes) {
  const uint8_t sysConfig[] = {0x0C, 0x05};
  const uint8_t version[] = {0x2A, 0x6F};
  CDescDummy record;
  record.ParseFrom(sysConfig);
  EXPECT_EQ(record.m_length, 12);
  EXPECT_EQ(record.m_type, 5);
  record.ParseFrom(version);
  EXPECT_EQ(record.m_length, 298);
  EXPECT_EQ(record.m_type, 47);
}

TEST(RecordHeader, HighLengthBitsNeverDisturbTheType) {
  CDescDummy record;
  record.m_length = 298;
  record.m_type = 47;
  uint8_t out[2] = {};
  record.WriteShortHeader(out);
  EXPECT_EQ(out[0], 0x2A);
  EXPECT_EQ(out[1], 0x6F);
  record.m_length = 0x3FE;
  record.m_type = 0x3F;
  record.WriteShortHeader(out);
  EXPECT_EQ(out[0], 0xFE);
  EXPECT_EQ(out[1], 0xFF);
}

TEST(RecordHeader, LongFormCarriesTheRealTotalAfterTheEscape) {
  Framed record;
  record.m_type = 22;
  record.m_payloadLength = 1500;
  for (int i = 0; i < 1500; ++i) record.m_raw[i] = static_cast<uint8_t>(i);
  std::vector<uint8_t> out(1504);
  record.BuildTo(out.data());
  EXPECT_EQ(out[0], 0xFF);
  EXPECT_EQ(out[1], 0xC0 | 22);
  EXPECT_EQ(out[2], 0xE0);
  EXPECT_EQ(out[3], 0x05);
  EXPECT_EQ(out[4], 0x00);
  EXPECT_EQ(out[1503], static_cast<uint8_t>(1499));
  EXPECT_EQ(record.m_length, 1023);
  EXPECT_EQ(record.m_extLength, 1504);

  Framed back;
  const uint8_t* payload = back.ReadLongHeader(out.data());
  EXPECT_EQ(payload, out.data() + 4);
  EXPECT_EQ(back.m_length, 1504);
  EXPECT_EQ(back.m_extLength, 1504);
  EXPECT_EQ(back.m_payloadLength, 1500);
  EXPECT_EQ(back.m_type, 22);
}

TEST(RecordHeader, TotalOf1023AlreadyTakesTheLongForm) {
  Framed longForm;
  longForm.m_type = 22;
  longForm.m_payloadLength = 1021;
  std::vector<uint8_t> out(1100);
  longForm.BuildTo(out.data());
  EXPECT_EQ(out[0], 0xFF);
  EXPECT_EQ(out[1], 0xD6);
  EXPECT_EQ(out[2] | (out[3] << 8), 1025);

  Framed shortForm;
  shortForm.m_type = 22;
  shortForm.m_payloadLength = 1020;
  shortForm.BuildTo(out.data());
  EXPECT_EQ(out[0], 0xFE);
  EXPECT_EQ(out[1], 0xD6);
  EXPECT_EQ(shortForm.m_length, 1022);
  EXPECT_EQ(shortForm.m_extLength, 0);
}

TEST(RecordHeader, ShortFormReadLeavesTheLongLengthAlone) {
  Framed record;
  record.m_extLength = 77;
  const uint8_t bytes[] = {0x09, 0x13, 1, 2, 3, 4, 5, 6, 7};
  EXPECT_EQ(record.ReadLongHeader(bytes), bytes + 2);
  EXPECT_EQ(record.m_length, 9);
  EXPECT_EQ(record.m_payloadLength, 7);
  EXPECT_EQ(record.m_extLength, 77);
}

TEST(RecordHeader, LongFormTotalBelowItsHeaderGivesNoPayload) {
  Framed record;
  const uint8_t bytes[] = {0xFF, 0xD6, 0x02, 0x00};
  record.ReadLongHeader(bytes);
  EXPECT_EQ(record.m_length, 2);
  EXPECT_EQ(record.m_payloadLength, 0);
}

TEST(DummyRecord, IsSteppedOverByItsLengthAndWritesNothing) {
  const uint8_t bytes[] = {0x05, 0x0C, 0xAA, 0xBB, 0xCC};
  CDescDummy record;
  EXPECT_EQ(record.ParseFrom(bytes), 1);
  EXPECT_EQ(record.m_length, 5);
  EXPECT_EQ(record.m_type, 12);
  uint8_t out[4] = {0x11, 0x22, 0x33, 0x44};
  EXPECT_EQ(record.BuildTo(out), 1);
  EXPECT_EQ(out[0], 0x11);
  EXPECT_EQ(out[3], 0x44);
}

}  // namespace
