// Sensor, register-list, UVC-control and video-format records: the bytes a new
// object writes, exact round trips, the register lists' limits and the
// long-form register list.

#include "firmware/DescSensorFormat.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <vector>

namespace _QTL_UVC_Descriptor {
namespace {

using Bytes = std::vector<uint8_t>;
using Factory = std::function<std::unique_ptr<CDescriptor>()>;

// The table hands records over in a zero-padded copy at least this long.
constexpr size_t kReadable = 9216;
constexpr uint8_t kUntouched = 0xAA;

template <class T>
Factory Make() {
  return [] { return std::unique_ptr<CDescriptor>(new T()); };
}

Bytes Hex(const std::string& text) {
  Bytes out;
  const char* p = text.c_str();
  char* end = nullptr;
  for (long v = std::strtol(p, &end, 16); end != p; v = std::strtol(p, &end, 16)) {
    out.push_back(static_cast<uint8_t>(v));
    p = end;
  }
  return out;
}

Bytes Concat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// Distinct data bytes, so a shifted or truncated copy shows.
Bytes Ramp(size_t count) {
  Bytes out(count);
  for (size_t i = 0; i < count; ++i) out[i] = static_cast<uint8_t>(i * 7 + 1);
  return out;
}

Bytes Padded(const Bytes& record) {
  Bytes buffer(kReadable, 0);
  std::copy(record.begin(), record.end(), buffer.begin());
  return buffer;
}

int Parse(CDescriptor& d, const Bytes& record) { return d.ParseFrom(Padded(record).data()); }

// The written record, after checking that nothing beyond it was touched.
Bytes Build(CDescriptor& d, size_t expectedLength) {
  Bytes out(kReadable, kUntouched);
  EXPECT_EQ(d.BuildTo(out.data()), 1);
  EXPECT_EQ(out[expectedLength], kUntouched) << "wrote past the record";
  return Bytes(out.begin(), out.begin() + static_cast<long>(expectedLength));
}

void ExpectNothingWritten(CDescriptor& d) {
  Bytes out(kReadable, kUntouched);
  EXPECT_EQ(d.BuildTo(out.data()), 0);
  EXPECT_EQ(out, Bytes(kReadable, kUntouched));
}

// ------------------------------------------------------- defaults, all classes

struct DefaultCase {
  const char* className;
  Factory make;
  std::string bytes;
};

void PrintTo(const DefaultCase& c, std::ostream* os) { *os << c.className; }

class SensorFormatDefaults : public ::testing::TestWithParam<DefaultCase> {};

TEST_P(SensorFormatDefaults, NewObjectWritesItsDefaults) {
  const DefaultCase& c = GetParam();
  auto d = c.make();
  const Bytes expected = Hex(c.bytes);
  EXPECT_EQ(Build(*d, expected.size()), expected);
  EXPECT_STREQ(d->ClassName(), c.className);
}

TEST_P(SensorFormatDefaults, FieldNamesAreUniqueAndPresent) {
  auto d = GetParam().make();
  DescriptorFields fields;
  d->ListFields(fields);
  ASSERT_FALSE(fields.empty());
  std::set<std::string> names;
  for (const DescriptorField& f : fields) {
    EXPECT_FALSE(f.name.empty());
    EXPECT_TRUE(names.insert(f.name).second) << "duplicate " << f.name;
  }
}

const DefaultCase kDefaults[] = {
    {"CDescSensorPowerControl_3300", Make<CDescSensorPowerControl_3300>(), "08 15 21 0A 0A 12 0A 0A"},
    {"CDescSensorPowerControl_3301", Make<CDescSensorPowerControl_3301>(), "09 15 03 21 0A 0A 12 0A 0A"},
    {"CDescSensorPowerControl_3303", Make<CDescSensorPowerControl_3303>(), "09 15 C3 21 0A 0A 12 0A 0A"},
    {"CDescSensorInfo_3301", Make<CDescSensorInfo_3301>(), "07 14 00 00 00 00 00"},
    {"CDescVendorRegSetting", Make<CDescVendorRegSetting>(), "05 13 00 00 00"},
    {"CDescVendorRegSetting_3303", Make<CDescVendorRegSetting_3303>(), "06 16 00 00 00 00"},
    {"CDescSnrIspRegSetting", Make<CDescSnrIspRegSetting>(), "04 11 00 00"},
    {"CDescVendorRegSetting_Cache_3301", Make<CDescVendorRegSetting_Cache_3301>(), "06 16 00 00 00 00"},
    {"CDescUvcControlAttribute", Make<CDescUvcControlAttribute>(),
     "1B 22 38 01 00 00 08 00 00 20 00 00 00 15 00 0C 00 DC 00 88 13 00 00 01 01 00 00"},
    {"CDescUvcControlAttribute_3301", Make<CDescUvcControlAttribute_3301>(),
     "1F 22 0E 7F 15 38 01 00 00 08 00 00 20 00 00 00 32 00 03 00 DC 00 88 13 00 00 01 01 00 00 01"},
    {"CDescUvcControlAttribute_3303", Make<CDescUvcControlAttribute_3303>(),
     "68 22 0E 2A 7F 17 38 01 00 00 32 00 00 00 10 27 00 00 08 "
     "00 00 81 FF 7F 00  20 00 00 00 40 00  00 00 4C FF B4 00  40 00 00 00 64 00 "
     "02 00 00 00 08 00  DC 00 5C 00 F4 01  2A 12 F0 0A 64 19  00 00 00 00 01 00 "
     "01 00 02  01  40 00 00 00 64 00  00 00 01 "
     "00 00 F0 FF 10 00  00 00 F4 FF 0C 00  00 00 00 00 03 00  00 00 00 00 03 00"},
    {"CDescVideoFormat_3301", Make<CDescVideoFormat_3301>(),
     "3F 0A 00 05 00 01 02 04 05 00 00 00 00 00 00 00 05 00 01 02 04 05 00 00 00 00 00 00 00 "
     "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"},
    {"CDescFrameRate", Make<CDescFrameRate>(),
     "26 21 32 01 20 01 20 01 00 11 00 12 00 12 00 12 00 12 00 10 "
     "32 01 20 01 20 01 20 01 20 01 20 01 20 01 20 01 20 01"},
    {"CDescFrameRateTable_3301", Make<CDescFrameRateTable_3301>(),
     "12 0B 28 1E 19 17 14 0F 0C 0B 0A 09 08 07 05 03 01 01"},
};

INSTANTIATE_TEST_SUITE_P(AllClasses, SensorFormatDefaults, ::testing::ValuesIn(kDefaults),
                         [](const ::testing::TestParamInfo<DefaultCase>& p) { return std::string(p.param.className); });

// ------------------------------------------------- round trips, all classes

struct RoundTripCase {
  const char* name;
  Factory make;
  Bytes record;
};

void PrintTo(const RoundTripCase& c, std::ostream* os) { *os << c.name; }

class SensorFormatRoundTrip : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(SensorFormatRoundTrip, WritesBackTheBytesItRead) {
  const RoundTripCase& c = GetParam();
  auto d = c.make();
  ASSERT_EQ(Parse(*d, c.record), 1);
  EXPECT_EQ(Build(*d, c.record.size()), c.record);
  // A second write gives the same bytes: writing changes no payload field.
  EXPECT_EQ(Build(*d, c.record.size()), c.record);
}

const RoundTripCase kRoundTrips[] = {
    {"PowerControl3300", Make<CDescSensorPowerControl_3300>(), Hex("08 15 01 02 03 04 05 06")},
    {"PowerControl3301", Make<CDescSensorPowerControl_3301>(), Hex("09 15 05 11 12 13 14 15 16")},
    {"PowerControl3303", Make<CDescSensorPowerControl_3303>(), Hex("09 15 A7 11 12 13 14 15 16")},
    {"SensorInfo3301", Make<CDescSensorInfo_3301>(), Hex("07 14 34 12 56 9A BC")},
    {"VendorRegSetting", Make<CDescVendorRegSetting>(), Hex("09 13 AA 34 12 01 02 03 04")},
    {"VendorRegSetting3303Empty", Make<CDescVendorRegSetting_3303>(), Hex("06 16 11 22 34 12")},
    {"VendorRegSetting3303", Make<CDescVendorRegSetting_3303>(), Hex("0A 16 11 22 34 12 F1 F2 F3 F4")},
    {"SnrIspRegSetting", Make<CDescSnrIspRegSetting>(), Concat(Hex("14 11 5A A5"), Ramp(16))},
    // 300 bytes: more than an 8-bit count could hold.
    {"SnrIspRegSettingLong", Make<CDescSnrIspRegSetting>(), Concat(Hex("2C 51 01 02"), Ramp(296))},
    {"VendorRegSettingLongest", Make<CDescVendorRegSetting>(), Concat(Hex("FE D3 01 02 03"), Ramp(1017))},
    {"CacheShort", Make<CDescVendorRegSetting_Cache_3301>(), Hex("0A 16 01 02 34 12 E1 E2 E3 E4")},
    {"CacheLong", Make<CDescVendorRegSetting_Cache_3301>(), Concat(Hex("FF D6 D8 07 01 02 34 12"), Ramp(2000))},
    {"UvcControlAttribute", Make<CDescUvcControlAttribute>(),
     Hex("1B 22 04 03 02 01 05 10 01 11 01 12 01 13 01 14 01 15 01 16 01 17 01 06 07 09 08")},
    {"UvcControlAttribute3301", Make<CDescUvcControlAttribute_3301>(),
     Hex("1F 22 0A 81 20 04 03 02 01 05 10 01 11 01 12 01 13 01 14 01 15 01 16 01 17 01 06 07 09 08 0B")},
    {"UvcControlAttribute3303", Make<CDescUvcControlAttribute_3303>(),
     Concat(Hex("68 22 04 28 00 35 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D"), Ramp(85))},
    {"VideoFormat3301", Make<CDescVideoFormat_3301>(), Concat(Hex("3F 0A"), Ramp(61))},
    {"FrameRate", Make<CDescFrameRate>(), Concat(Hex("26 21"), Ramp(36))},
    {"FrameRateTable3301", Make<CDescFrameRateTable_3301>(), Concat(Hex("12 0B"), Ramp(16))},
};

INSTANTIATE_TEST_SUITE_P(AllClasses, SensorFormatRoundTrip, ::testing::ValuesIn(kRoundTrips),
                         [](const ::testing::TestParamInfo<RoundTripCase>& p) { return std::string(p.param.name); });

// ------------------------------------------------------------- sensor records

TEST(SensorFormatPower, Family3300KeepsEveryByte) {
  CDescSensorPowerControl_3300 d;
  ASSERT_EQ(Parse(d, Hex("08 15 01 02 03 04 05 06")), 1);
  EXPECT_EQ(d.m_length, 8);
  EXPECT_EQ(d.m_type, 21);
  EXPECT_EQ(d.m_value2, 1);
  EXPECT_EQ(d.m_value3, 2);
  EXPECT_EQ(d.m_value7, 6);
}

TEST(SensorFormatPower, Family3301KeepsOnlyTheLowThreeBits) {
  CDescSensorPowerControl_3301 d;
  ASSERT_EQ(Parse(d, Hex("09 15 FB 11 12 13 14 15 16")), 1);
  EXPECT_EQ(d.m_valueA, 3);
  EXPECT_EQ(d.m_valueB, 0);
  EXPECT_EQ(d.m_value3, 0x11);
  EXPECT_EQ(d.m_value8, 0x16);
  EXPECT_EQ(Build(d, 9), Hex("09 15 03 11 12 13 14 15 16"));
}

TEST(SensorFormatPower, Family3301WritesValueBIntoTheHighNibble) {
  CDescSensorPowerControl_3301 d;
  d.m_valueA = 5;
  d.m_valueB = 9;
  EXPECT_EQ(Build(d, 9)[2], 0x95);
  // Out-of-range values stay inside their own bits.
  d.m_valueA = 0xFF;
  d.m_valueB = 0x1F;
  EXPECT_EQ(Build(d, 9)[2], 0xF7);
}

TEST(SensorFormatPower, Family3303KeepsBothNibbles) {
  CDescSensorPowerControl_3303 d;
  ASSERT_EQ(Parse(d, Hex("09 15 FB 11 12 13 14 15 16")), 1);
  EXPECT_EQ(d.m_valueA, 11);
  EXPECT_EQ(d.m_valueB, 15);
  EXPECT_EQ(Build(d, 9), Hex("09 15 FB 11 12 13 14 15 16"));
}

TEST(SensorFormatInfo, SplitsByteFiveIntoNibbles) {
  CDescSensorInfo_3301 d;
  ASSERT_EQ(Parse(d, Hex("07 14 34 12 56 9A BC")), 1);
  EXPECT_EQ(d.m_value2, 0x1234);
  EXPECT_EQ(d.m_value4, 0x56);
  EXPECT_EQ(d.m_value5High, 9);
  EXPECT_EQ(d.m_value5Low, 0xA);
  EXPECT_EQ(d.m_value6, 0xBC);
}

// A fixed-layout record is read whatever length it declares, and written with
// the class's own length.
TEST(SensorFormatFixed, ShortDeclaredLengthStillReadsAndWritesFullRecord) {
  CDescFrameRateTable_3301 d;
  ASSERT_EQ(Parse(d, Hex("03 0B 07")), 1);
  EXPECT_EQ(d.m_length, 3);
  EXPECT_EQ(d.m_rates[0], 7);
  EXPECT_EQ(d.m_rates[1], 0);
  EXPECT_EQ(Build(d, 18), Concat(Hex("12 0B 07"), Bytes(15, 0)));
}

// -------------------------------------------------------- short register lists

TEST(SensorFormatRegList, VendorListOfNineKeepsFourDataBytes) {
  CDescVendorRegSetting d;
  ASSERT_EQ(Parse(d, Hex("09 13 AA 34 12 01 02 03 04")), 1);
  EXPECT_EQ(d.m_value2, 0xAA);
  EXPECT_EQ(d.m_value3, 0x1234);
  EXPECT_EQ(d.m_dataCount, 4);
  EXPECT_EQ(Bytes(d.m_data, d.m_data + 4), Hex("01 02 03 04"));
}

TEST(SensorFormatRegList, Vendor3303ListOfSixKeepsNoData) {
  CDescVendorRegSetting_3303 d;
  d.m_dataCount = 9;
  ASSERT_EQ(Parse(d, Hex("06 16 11 22 34 12")), 1);
  EXPECT_EQ(d.m_dataCount, 0);
  EXPECT_EQ(d.m_value2, 0x11);
  EXPECT_EQ(d.m_value3, 0x22);
  EXPECT_EQ(d.m_value4, 0x1234);
}

TEST(SensorFormatRegList, SnrIspListOfTwentyKeepsSixteenDataBytes) {
  CDescSnrIspRegSetting d;
  ASSERT_EQ(Parse(d, Concat(Hex("14 11 5A A5"), Ramp(16))), 1);
  EXPECT_EQ(d.m_value2, 0x5A);
  EXPECT_EQ(d.m_value3, 0xA5);
  EXPECT_EQ(d.m_dataCount, 16);
  EXPECT_EQ(Bytes(d.m_data, d.m_data + 16), Ramp(16));
}

TEST(SensorFormatRegList, SnrIspListLongerThan255BytesIsKeptWhole) {
  CDescSnrIspRegSetting d;
  ASSERT_EQ(Parse(d, Concat(Hex("2C 51 01 02"), Ramp(296))), 1);
  EXPECT_EQ(d.m_dataCount, 296);
}

TEST(SensorFormatRegList, FieldListShowsOnlyTheKeptData) {
  CDescVendorRegSetting d;
  ASSERT_EQ(Parse(d, Hex("07 13 AA 34 12 01 02")), 1);
  DescriptorFields fields;
  d.ListFields(fields);
  ASSERT_EQ(fields.size(), 4u);
  EXPECT_EQ(fields[2].name, "dataCount");
  EXPECT_EQ(fields[2].number, 2);
  EXPECT_EQ(fields[3].name, "data");
  EXPECT_TRUE(fields[3].isBytes);
  EXPECT_EQ(fields[3].bytes, Hex("01 02"));
}

using CountSetter = std::function<void(CDescriptor&, uint16_t)>;

template <class T>
CountSetter SetCount() {
  return [](CDescriptor& d, uint16_t count) { static_cast<T&>(d).m_dataCount = count; };
}

struct ListLimitCase {
  const char* name;
  Factory make;
  CountSetter setCount;
  uint8_t type;
  uint16_t fixedPart;
};

void PrintTo(const ListLimitCase& c, std::ostream* os) { *os << c.name; }

class SensorFormatListLimits : public ::testing::TestWithParam<ListLimitCase> {
 protected:
  // A record of `length` bytes of this list's type (short header).
  Bytes Record(uint16_t length) const {
    Bytes r = Ramp(length < 2 ? 2 : length);
    r[0] = static_cast<uint8_t>(length & 0xFF);
    r[1] = static_cast<uint8_t>(GetParam().type | ((length >> 8) << 6));
    return r;
  }
};

TEST_P(SensorFormatListLimits, LengthShorterThanTheFixedPartIsRefusedAndNothingKept) {
  const ListLimitCase& c = GetParam();
  for (uint16_t length = 0; length < c.fixedPart; ++length) {
    auto d = c.make();
    const Bytes before = Build(*d, c.fixedPart);
    EXPECT_EQ(Parse(*d, Record(length)), 0) << "length " << length;
    EXPECT_EQ(Build(*d, c.fixedPart), before) << "length " << length;
  }
}

TEST_P(SensorFormatListLimits, LengthEqualToTheFixedPartIsAnEmptyList) {
  auto d = GetParam().make();
  const Bytes record = Record(GetParam().fixedPart);
  ASSERT_EQ(Parse(*d, record), 1);
  EXPECT_EQ(Build(*d, record.size()), record);
}

TEST_P(SensorFormatListLimits, LongestShortRecordRoundTrips) {
  auto d = GetParam().make();
  const Bytes record = Record(1022);
  ASSERT_EQ(record[0], 0xFE);
  ASSERT_EQ(record[1], 0xC0 | GetParam().type);
  ASSERT_EQ(Parse(*d, record), 1);
  EXPECT_EQ(Build(*d, 1022), record);
}

// The short header cannot say 1023 or more; the write is refused untouched.
TEST_P(SensorFormatListLimits, RecordOf1023BytesOrMoreIsNotWritten) {
  const ListLimitCase& c = GetParam();
  auto d = c.make();
  ASSERT_EQ(Parse(*d, Record(1022)), 1);
  const uint16_t lengthBefore = d->m_length;
  for (uint16_t count : {uint16_t(1023 - c.fixedPart), uint16_t(2048), uint16_t(65535)}) {
    c.setCount(*d, count);
    ExpectNothingWritten(*d);
    EXPECT_EQ(d->m_length, lengthBefore);
  }
}

const ListLimitCase kListLimits[] = {
    {"VendorRegSetting", Make<CDescVendorRegSetting>(), SetCount<CDescVendorRegSetting>(), 19, 5},
    {"VendorRegSetting3303", Make<CDescVendorRegSetting_3303>(), SetCount<CDescVendorRegSetting_3303>(), 22, 6},
    {"SnrIspRegSetting", Make<CDescSnrIspRegSetting>(), SetCount<CDescSnrIspRegSetting>(), 17, 4},
};

INSTANTIATE_TEST_SUITE_P(ShortLists, SensorFormatListLimits, ::testing::ValuesIn(kListLimits),
                         [](const ::testing::TestParamInfo<ListLimitCase>& p) { return std::string(p.param.name); });

// ------------------------------------------------------- long-form register list

TEST(SensorFormatCache, TwoThousandDataBytesTakeTheLongForm) {
  CDescVendorRegSetting_Cache_3301 d;
  d.m_value0 = 0x01;
  d.m_value1 = 0x02;
  d.m_value2 = 0x1234;
  d.m_dataCount = 2000;
  const Bytes data = Ramp(2000);
  std::copy(data.begin(), data.end(), d.m_data);
  EXPECT_EQ(Build(d, 2008), Concat(Hex("FF D6 D8 07 01 02 34 12"), data));
  EXPECT_EQ(d.m_length, 1023);
  EXPECT_EQ(d.m_extLength, 2008);
  EXPECT_EQ(d.m_payloadLength, 2004);
}

TEST(SensorFormatCache, LongFormRecordIsReadFromByteFour) {
  CDescVendorRegSetting_Cache_3301 d;
  ASSERT_EQ(Parse(d, Concat(Hex("FF D6 D8 07 01 02 34 12"), Ramp(2000))), 1);
  EXPECT_EQ(d.m_length, 2008);
  EXPECT_EQ(d.m_extLength, 2008);
  EXPECT_EQ(d.m_payloadLength, 2004);
  EXPECT_EQ(d.m_type, 22);
  EXPECT_EQ(d.m_value0, 0x01);
  EXPECT_EQ(d.m_value1, 0x02);
  EXPECT_EQ(d.m_value2, 0x1234);
  EXPECT_EQ(d.m_dataCount, 2000);
  EXPECT_EQ(Bytes(d.m_data, d.m_data + 2000), Ramp(2000));
}

TEST(SensorFormatCache, ShortFormRecordIsReadFromByteTwo) {
  CDescVendorRegSetting_Cache_3301 d;
  ASSERT_EQ(Parse(d, Hex("0A 16 01 02 34 12 E1 E2 E3 E4")), 1);
  EXPECT_EQ(d.m_length, 10);
  EXPECT_EQ(d.m_value0, 0x01);
  EXPECT_EQ(d.m_value2, 0x1234);
  EXPECT_EQ(d.m_dataCount, 4);
  EXPECT_EQ(Bytes(d.m_data, d.m_data + 4), Hex("E1 E2 E3 E4"));
}

TEST(SensorFormatCache, LargestShortFormAndSmallestLongForm) {
  CDescVendorRegSetting_Cache_3301 d;
  const Bytes data = Ramp(1017);
  std::copy(data.begin(), data.end(), d.m_data);
  d.m_dataCount = 1016;
  EXPECT_EQ(Build(d, 1022), Concat(Hex("FE D6 00 00 00 00"), Bytes(data.begin(), data.begin() + 1016)));
  EXPECT_EQ(d.m_extLength, 0);
  d.m_dataCount = 1017;
  EXPECT_EQ(Build(d, 1025), Concat(Hex("FF D6 01 04 00 00 00 00"), data));
}

TEST(SensorFormatCache, WritesAtMostWhatItsStagingAreaHolds) {
  CDescVendorRegSetting_Cache_3301 d;
  d.m_dataCount = 8188;
  const Bytes written = Build(d, 8196);
  EXPECT_EQ(Bytes(written.begin(), written.begin() + 4), Hex("FF D6 04 20"));

  for (uint16_t count : {uint16_t(8189), uint16_t(8192), uint16_t(65535)}) {
    CDescVendorRegSetting_Cache_3301 big;
    big.m_dataCount = count;
    ExpectNothingWritten(big);
    EXPECT_EQ(big.m_length, 6);
  }
}

TEST(SensorFormatCache, FullArrayIsReadButNotWritten) {
  CDescVendorRegSetting_Cache_3301 d;
  // 8200 = 0x2008 bytes in all: 8192 data bytes.
  ASSERT_EQ(Parse(d, Concat(Hex("FF D6 08 20 00 00 00 00"), Ramp(8192))), 1);
  EXPECT_EQ(d.m_dataCount, 8192);
  ExpectNothingWritten(d);
}

struct CacheRejectCase {
  const char* name;
  Bytes header;
};

void PrintTo(const CacheRejectCase& c, std::ostream* os) { *os << c.name; }

class SensorFormatCacheRejects : public ::testing::TestWithParam<CacheRejectCase> {};

TEST_P(SensorFormatCacheRejects, RefusedAndDataLeftAsItWas) {
  CDescVendorRegSetting_Cache_3301 d;
  ASSERT_EQ(Parse(d, Hex("08 16 01 02 34 12 E1 E2")), 1);
  EXPECT_EQ(Parse(d, Concat(GetParam().header, Ramp(16))), 0);
  EXPECT_EQ(d.m_value0, 0x01);
  EXPECT_EQ(d.m_value2, 0x1234);
  EXPECT_EQ(d.m_dataCount, 2);
  EXPECT_EQ(Bytes(d.m_data, d.m_data + 2), Hex("E1 E2"));
}

const CacheRejectCase kCacheRejects[] = {
    {"ShortFormWithoutFixedPart", Hex("05 16")}, {"ShortFormEmpty", Hex("02 16")},
    {"ShortFormBelowHeader", Hex("00 16")},      {"LongFormWithoutFixedPart", Hex("FF D6 07 00")},
    {"LongFormBelowHeader", Hex("FF D6 02 00")}, {"LongFormOneByteTooMany", Hex("FF D6 09 20")},  // 8193 data bytes
    {"LongFormLargest", Hex("FF D6 FF FF")},
};

INSTANTIATE_TEST_SUITE_P(Records, SensorFormatCacheRejects, ::testing::ValuesIn(kCacheRejects),
                         [](const ::testing::TestParamInfo<CacheRejectCase>& p) { return std::string(p.param.name); });

// ------------------------------------------------------- UVC control attributes

TEST(SensorFormatUvc, Family3300FieldsAreLittleEndian) {
  CDescUvcControlAttribute d;
  ASSERT_EQ(Parse(d, Hex("1B 22 04 03 02 01 05 10 01 11 01 12 01 13 01 14 01 15 01 16 01 17 01 06 07 09 08")), 1);
  EXPECT_EQ(d.m_value2, 0x01020304u);
  EXPECT_EQ(d.m_value6, 5);
  EXPECT_EQ(d.m_values7[0], 0x0110);
  EXPECT_EQ(d.m_values7[7], 0x0117);
  EXPECT_EQ(d.m_value23, 6);
  EXPECT_EQ(d.m_value24, 7u);
  EXPECT_EQ(d.m_value25, 0x0809);
}

TEST(SensorFormatUvc, Family3300WritesOnlyTheLowByteOfValue24) {
  CDescUvcControlAttribute d;
  d.m_value24 = 0x12345678;
  EXPECT_EQ(Build(d, 27)[24], 0x78);
}

TEST(SensorFormatUvc, Family3301MasksBecomeFlags) {
  CDescUvcControlAttribute_3301 d;
  ASSERT_EQ(Parse(d, Hex("1F 22 0A 81 20 04 03 02 01 05 10 01 11 01 12 01 13 01 14 01 15 01 16 01 17 01 "
                         "06 07 09 08 0B")),
            1);
  EXPECT_EQ(d.m_maskFlag1, 1);
  EXPECT_EQ(d.m_maskFlag2, 0);
  EXPECT_EQ(d.m_maskFlag3, 1);
  EXPECT_EQ(d.m_controlFlag0, 1);
  EXPECT_EQ(d.m_controlFlag1, 0);
  EXPECT_EQ(d.m_controlFlag7, 1);
  EXPECT_EQ(d.m_controlFlag12, 0);
  EXPECT_EQ(d.m_controlFlag13, 1);
  EXPECT_EQ(d.m_value5, 0x01020304u);
  EXPECT_EQ(d.m_value9, 5);
  EXPECT_EQ(d.m_values10[3], 0x0113);
  EXPECT_EQ(d.m_value26, 6);
  EXPECT_EQ(d.m_value27, 7);
  EXPECT_EQ(d.m_value28, 0x0809);
  EXPECT_EQ(d.m_value30, 0x0B);
}

TEST(SensorFormatUvc, Family3301DropsUnkeptMaskBits) {
  CDescUvcControlAttribute_3301 d;
  ASSERT_EQ(Parse(d, Concat(Hex("1F 22 FF FF FF"), Bytes(26, 0))), 1);
  const Bytes written = Build(d, 31);
  EXPECT_EQ(Bytes(written.begin() + 2, written.begin() + 5), Hex("0E FF 37"));
}

TEST(SensorFormatUvc, Family3301FlagsAloneMakeTheMask) {
  CDescUvcControlAttribute_3301 d;
  d.m_maskFlag2 = 0;
  d.m_controlFlag0 = 0;
  d.m_controlFlag13 = 1;
  d.m_controlFlag9 = 7;  // any nonzero flag sets its bit
  const Bytes written = Build(d, 31);
  EXPECT_EQ(Bytes(written.begin() + 2, written.begin() + 5), Hex("0A 7E 37"));
}

TEST(SensorFormatUvc, Family3303ReadsMasksRangesAndSignedValues) {
  CDescUvcControlAttribute_3303 d;
  Bytes record = Concat(Hex("68 22 04 28 00 35 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D"), Bytes(85, 0));
  record[19 + 2] = 0x81;  // first triple's minimum: -127
  record[19 + 3] = 0xFF;
  record[67] = 0xC8;
  record[70] = 0x46;
  record[80 + 2] = 0xF0;  // -16
  record[80 + 3] = 0xFF;
  record[98 + 4] = 0x34;
  record[98 + 5] = 0x12;
  ASSERT_EQ(Parse(d, record), 1);
  EXPECT_EQ(d.m_maskFlag1, 0);
  EXPECT_EQ(d.m_maskFlag2, 1);
  EXPECT_EQ(d.m_maskFlag3, 0);
  EXPECT_EQ(d.m_maskFlag9, 0);
  EXPECT_EQ(d.m_maskFlag11, 1);
  EXPECT_EQ(d.m_maskFlag13, 1);
  EXPECT_EQ(d.m_controlFlag0, 0);
  EXPECT_EQ(d.m_controlFlag8, 1);
  EXPECT_EQ(d.m_controlFlag10, 1);
  EXPECT_EQ(d.m_controlFlag12, 1);
  EXPECT_EQ(d.m_controlFlag13, 1);
  EXPECT_EQ(d.m_controlFlag9, 0);
  EXPECT_EQ(d.m_value6, 0x04030201u);
  EXPECT_EQ(d.m_value10, 0x08070605u);
  EXPECT_EQ(d.m_value14, 0x0C0B0A09u);
  EXPECT_EQ(d.m_value18, 0x0D);
  EXPECT_EQ(d.m_ranges19[0][1], -127);
  EXPECT_EQ(d.m_range67[0], 0xC8);
  EXPECT_EQ(d.m_value70, 0x46);
  EXPECT_EQ(d.m_range80[1], -16);
  EXPECT_EQ(d.m_range98[2], 0x1234);
}

TEST(SensorFormatUvc, Family3303DropsUnkeptMaskBits) {
  CDescUvcControlAttribute_3303 d;
  ASSERT_EQ(Parse(d, Concat(Hex("68 22 FF FF FF FF"), Bytes(98, 0))), 1);
  const Bytes written = Build(d, 104);
  EXPECT_EQ(Bytes(written.begin() + 2, written.begin() + 6), Hex("0E 2A FF 37"));
}

TEST(SensorFormatUvc, Family3303ListsRangesByName) {
  CDescUvcControlAttribute_3303 d;
  DescriptorFields fields;
  d.ListFields(fields);
  auto find = [&](const std::string& name) {
    for (const DescriptorField& f : fields) {
      if (f.name == name) return f.number;
    }
    ADD_FAILURE() << "no field " << name;
    return int64_t{0};
  };
  EXPECT_EQ(find("maskFlag13"), 1);
  EXPECT_EQ(find("controlFlag7"), 0);
  EXPECT_EQ(find("range19Min"), -127);
  EXPECT_EQ(find("range55Max"), 6500);
  EXPECT_EQ(find("range67Max"), 2);
  EXPECT_EQ(find("range86Min"), -12);
  EXPECT_EQ(find("value70"), 1);
}

// ------------------------------------------------------ video formats and rates

TEST(SensorFormatVideo, ValuesAreBigEndianAndListsKeptWhole) {
  CDescVideoFormat_3301 d;
  Bytes record = Concat(Hex("3F 0A 07 02"), Ramp(59));
  record[16] = 0x0C;
  record[29] = 0x12;
  record[30] = 0x34;
  record[61] = 0xAB;
  record[62] = 0xCD;
  ASSERT_EQ(Parse(d, record), 1);
  EXPECT_EQ(d.m_value2, 7);
  EXPECT_EQ(d.m_countA, 2);
  EXPECT_EQ(Bytes(d.m_listA, d.m_listA + 12), Bytes(record.begin() + 4, record.begin() + 16));
  EXPECT_EQ(d.m_countB, 12);
  EXPECT_EQ(Bytes(d.m_listB, d.m_listB + 12), Bytes(record.begin() + 17, record.begin() + 29));
  EXPECT_EQ(d.m_values29[0], 0x1234);
  EXPECT_EQ(d.m_values29[16], 0xABCD);
  EXPECT_EQ(Build(d, 63), record);
}

TEST(SensorFormatVideo, WritesValuesMostSignificantByteFirst) {
  CDescVideoFormat_3301 d;
  d.m_values29[1] = 0x0102;
  const Bytes written = Build(d, 63);
  EXPECT_EQ(written[31], 0x01);
  EXPECT_EQ(written[32], 0x02);
}

TEST(SensorFormatRate, GroupsAreLittleEndian) {
  CDescFrameRate d;
  Bytes record = Concat(Hex("26 21"), Bytes(36, 0));
  record[2] = 0x34;
  record[3] = 0x12;
  record[36] = 0xCD;
  record[37] = 0xAB;
  ASSERT_EQ(Parse(d, record), 1);
  EXPECT_EQ(d.m_values2[0], 0x1234);
  EXPECT_EQ(d.m_values20[8], 0xABCD);
}

TEST(SensorFormatRate, TableKeepsSixteenRates) {
  CDescFrameRateTable_3301 d;
  ASSERT_EQ(Parse(d, Concat(Hex("12 0B"), Ramp(16))), 1);
  EXPECT_EQ(Bytes(d.m_rates, d.m_rates + 16), Ramp(16));
}

}  // namespace
}  // namespace _QTL_UVC_Descriptor
