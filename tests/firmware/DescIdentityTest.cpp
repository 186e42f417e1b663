#include "firmware/DescIdentity.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace _QTL_UVC_Descriptor {
namespace {

using Bytes = std::vector<uint8_t>;

// The table hands every record over in a zero-padded copy at least this long.
constexpr size_t kReadable = 9216;
constexpr size_t kOutSize = 9216;
constexpr uint8_t kUntouched = 0xCC;

Bytes Concat(Bytes head, const Bytes& tail) {
  head.insert(head.end(), tail.begin(), tail.end());
  return head;
}

Bytes Repeat(size_t count, uint8_t value) { return Bytes(count, value); }

int Parse(CDescriptor& record, const Bytes& bytes) {
  Bytes readable(std::max(kReadable, bytes.size()), 0);
  std::copy(bytes.begin(), bytes.end(), readable.begin());
  return record.ParseFrom(readable.data());
}

struct Built {
  int result;
  Bytes out;
};

Built Build(CDescriptor& record) {
  Built built{0, Bytes(kOutSize, kUntouched)};
  built.result = record.BuildTo(built.out.data());
  return built;
}

// BuildTo succeeds, writes exactly `expected` and nothing after it.
void ExpectWrites(CDescriptor& record, const Bytes& expected) {
  const Built built = Build(record);
  ASSERT_EQ(built.result, 1);
  EXPECT_EQ(Bytes(built.out.begin(), built.out.begin() + static_cast<long>(expected.size())), expected);
  const auto after = std::count(built.out.begin() + static_cast<long>(expected.size()), built.out.end(), kUntouched);
  EXPECT_EQ(static_cast<size_t>(after), kOutSize - expected.size()) << "wrote past the record";
}

void ExpectWritesNothing(CDescriptor& record) {
  const Built built = Build(record);
  EXPECT_EQ(built.result, 0);
  EXPECT_EQ(static_cast<size_t>(std::count(built.out.begin(), built.out.end(), kUntouched)), kOutSize);
}

// "name=0x1F other=[01 02]": numbers in hex, byte arrays as a list.
std::string Describe(const CDescriptor& record) {
  DescriptorFields fields;
  record.ListFields(fields);
  std::string text;
  char piece[32];
  for (const DescriptorField& field : fields) {
    if (!text.empty()) text += ' ';
    text += field.name + "=";
    if (!field.isBytes) {
      std::snprintf(piece, sizeof piece, "0x%llX", static_cast<unsigned long long>(field.number));
      text += piece;
      continue;
    }
    text += '[';
    for (size_t i = 0; i < field.bytes.size(); ++i) {
      std::snprintf(piece, sizeof piece, i == 0 ? "%02X" : " %02X", field.bytes[i]);
      text += piece;
    }
    text += ']';
  }
  return text;
}

// ---- Classes with a fixed layout (or a length computed from one field) ------

struct FixedCase {
  const char* name;
  const char* className;
  std::function<std::unique_ptr<CDescriptor>()> make;
  Bytes defaults;      // what a new object writes
  Bytes record;        // a record that writes back unchanged
  const char* fields;  // that record's fields as listed
  bool sizedByHeader;  // the record length itself is data
};

template <typename T>
std::function<std::unique_ptr<CDescriptor>()> Maker() {
  return [] { return std::make_unique<T>(); };
}

const FixedCase kFixedCases[] = {
    {"String",
     "CDescString",
     Maker<CDescString>(),
     {0x04, 0x00, 0x02, 0x03},
     {0x0A, 0x01, 0x08, 0x03, 'A', 'B', 'C', 'D', 'E', 'F'},
     "descriptorLength=0x8 descriptorType=0x3 text=[41 42 43 44 45 46]",
     false},
    {"VIDPID",
     "CDescVIDPID",
     Maker<CDescVIDPID>(),
     {0x08, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00},
     {0x08, 0x04, 0x34, 0x12, 0x78, 0x56, 0xBC, 0x9A},
     "vendorId=0x1234 productId=0x5678 value6=0x9ABC",
     false},
    {"SysConfig",
     "CDescSysConfig",
     Maker<CDescSysConfig>(),
     {0x0C, 0x05, 0x80, 0xFC, 0x0A, 0x7F, 0x15, 0x28, 0x03, 0x00, 0x00, 0x10},
     {0x0C, 0x05, 0x11, 0x22, 0x33, 0x55, 0x44, 0x66, 0x77, 0x8A, 0x4B, 0x99},
     "value2=0x11 value3=0x22 value4=0x33 value5=0x4455 value7=0x66 value8=0x77 flag9=0x1 value9=0xA "
     "flag10Bit7=0x0 flag10Bit6=0x1 value10=0xB value11=0x99",
     false},
    {"FrameInfo",
     "CDescFrameInfo",
     Maker<CDescFrameInfo>(),
     {0x0A, 0x06, 0x00, 0x00, 0x08, 0xFF, 0x7F, 0xFF, 0x7F, 0x00},
     {0x0A, 0x06, 0x01, 0x02, 0x03, 0x05, 0x04, 0x07, 0x06, 0x09},
     "value2=0x1 value3=0x2 value4=0x3 value5=0x405 value7=0x607 value9=0x9",
     false},
    {"SLB",
     "CDescSLB",
     Maker<CDescSLB>(),
     {0x0F, 0x0E, 0x01, 0x03, 0x00, 0x02, 0x00, 0x00, 0x05, 0x00, 0xFF, 0x01, 0x01, 0x01, 0x00},
     {0x0F, 0x0E, 0x11, 0x22, 0x04, 0x05, 0x06, 0x07, 0x09, 0x08, 0xAA, 0xBB, 0xCC, 0x0E, 0x0D},
     "value2=0x11 value3=0x22 value4=0x7060504 value8=0x809 value10=0xAA value11=0xBB value12=0xCC value13=0xD0E",
     false},
    {"CRC",
     "CDescCRC",
     Maker<CDescCRC>(),
     {0x0A, 0x1F, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00},
     {0x0A, 0x1F, 0x78, 0x56, 0x34, 0x12, 0xEF, 0xBE, 0xAD, 0xDE},
     "value2=0x12345678 value6=0xDEADBEEF",
     false},
    {"VdCodeCramStartAddr",
     "CDescVdCodeCramStartAddr",
     Maker<CDescVdCodeCramStartAddr>(),
     {0x04, 0x16, 0x00, 0xE4},
     {0x04, 0x16, 0x34, 0x12},
     "startAddress=0x1234",
     false},
    {"WriteBack",
     "CDescWriteBack",
     Maker<CDescWriteBack>(),
     Concat({0x43, 0x09, 0x40}, Repeat(64, 0x00)),
     {0x07, 0x09, 0x04, 0x00, 0x00, 0x00, 0x00},
     "reservedSize=0x4",
     false},
    {"PPWriteBack",
     "CDescPPWriteBack",
     Maker<CDescPPWriteBack>(),
     Concat({0x42, 0x09}, Repeat(64, 0xFF)),
     {0x06, 0x09, 0xFF, 0xFF, 0xFF, 0xFF},
     "reservedSize=0x4",
     true},
    {"PreviewDelay",
     "CDescPreviewDelay",
     Maker<CDescPreviewDelay>(),
     {0x06, 0x25, 0x05, 0x0A, 0x0F, 0x14},
     {0x06, 0x25, 0x01, 0x02, 0x03, 0x04},
     "value2=0x1 value3=0x2 value4=0x3 value5=0x4",
     false},
    {"UsbIFTest",
     "CDescUsbIFTest",
     Maker<CDescUsbIFTest>(),
     {0x14, 0x10, 0x36, 0x36, 0x22, 0x00, 0x32, 0x32, 0x32, 0x32,
      0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x22},
     {0x14, 0x10, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08,
      0x09, 0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F, 0x10, 0x11, 0x12},
     "values=[01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10 11 12]",
     false},
    {"UsbIFTest_3303",
     "CDescUsbIFTest_3303",
     Maker<CDescUsbIFTest_3303>(),
     {0x0F, 0x10, 0x36, 0x36, 0x22, 0x22, 0x32, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00},
     {0x0F, 0x10, 0x0D, 0x0C, 0x0B, 0x0A, 0x09, 0x08, 0x07, 0x06, 0x05, 0x04, 0x03, 0x02, 0x01},
     "values=[0D 0C 0B 0A 09 08 07 06 05 04 03 02 01]",
     false},
};

class DescIdentityFixedRecord : public ::testing::TestWithParam<FixedCase> {};

TEST_P(DescIdentityFixedRecord, NewObjectWritesItsDefaults) {
  auto record = GetParam().make();
  EXPECT_STREQ(record->ClassName(), GetParam().className);
  ExpectWrites(*record, GetParam().defaults);
  // Writing again gives the same bytes: writing changes no payload field.
  ExpectWrites(*record, GetParam().defaults);
}

TEST_P(DescIdentityFixedRecord, RoundTripKeepsFieldsAndBytes) {
  const Bytes& bytes = GetParam().record;
  auto record = GetParam().make();
  ASSERT_EQ(Parse(*record, bytes), 1);
  EXPECT_EQ(record->m_length, bytes[0]);
  EXPECT_EQ(record->m_type, bytes[1] & 0x3F);
  EXPECT_EQ(Describe(*record), GetParam().fields);
  ExpectWrites(*record, bytes);
}

std::string CaseName(const ::testing::TestParamInfo<FixedCase>& param) { return param.param.name; }

INSTANTIATE_TEST_SUITE_P(All, DescIdentityFixedRecord, ::testing::ValuesIn(kFixedCases), CaseName);

// The classes whose layout, not the record header, says how much to read.
class DescIdentityLengthBlindRecord : public ::testing::TestWithParam<FixedCase> {};

TEST_P(DescIdentityLengthBlindRecord, ReadsRecordWhateverItsDeclaredLength) {
  Bytes shortened = GetParam().record;
  shortened[0] = 3;
  auto record = GetParam().make();
  ASSERT_EQ(Parse(*record, shortened), 1);
  EXPECT_EQ(record->m_length, 3);
  EXPECT_EQ(Describe(*record), GetParam().fields);
  // Written back at the class's own length.
  ExpectWrites(*record, GetParam().record);
}

std::vector<FixedCase> LengthBlindCases() {
  std::vector<FixedCase> cases;
  for (const FixedCase& c : kFixedCases)
    if (!c.sizedByHeader) cases.push_back(c);
  return cases;
}

INSTANTIATE_TEST_SUITE_P(All, DescIdentityLengthBlindRecord, ::testing::ValuesIn(LengthBlindCases()), CaseName);

// ---- CDescString -------------------------------------------------------------

TEST(DescIdentityString, KeepsDescriptorWithTerminatorAndWritesItBack) {
  const Bytes bytes = {0x0A, 0x01, 0x08, 0x03, 'h', 'e', 'l', 'l', 'o', '!'};
  CDescString record;
  ASSERT_EQ(Parse(record, bytes), 1);
  const Bytes buffer(record.m_buffer, record.m_buffer + 9);
  EXPECT_EQ(buffer, (Bytes{0x08, 0x03, 'h', 'e', 'l', 'l', 'o', '!', 0x00}));
  ExpectWrites(record, bytes);
}

TEST(DescIdentityString, KeepsTheTypeItWasReadAs) {
  for (const uint8_t type : {1, 2, 3, 7}) {
    SCOPED_TRACE(type);
    CDescString record;
    const Bytes bytes = {0x05, type, 0x03, 0x03, 'x'};
    ASSERT_EQ(Parse(record, bytes), 1);
    ExpectWrites(record, bytes);
  }
}

TEST(DescIdentityString, SizesTextByDescriptorLengthNotRecordHeader) {
  CDescString record;
  ASSERT_EQ(Parse(record, {0x14, 0x02, 0x04, 0x03, 'o', 'k', 'z', 'z'}), 1);
  EXPECT_EQ(record.m_length, 0x14);
  EXPECT_EQ(record.m_buffer[4], 0);
  ExpectWrites(record, {0x06, 0x02, 0x04, 0x03, 'o', 'k'});
}

TEST(DescIdentityString, AcceptsEmptyAndLongestText) {
  CDescString empty;
  ASSERT_EQ(Parse(empty, {0x04, 0x03, 0x02, 0x03, 'z'}), 1);
  ExpectWrites(empty, {0x04, 0x03, 0x02, 0x03});

  const Bytes text = Repeat(33, 'a');
  const Bytes longest = Concat({0x25, 0x03, 0x23, 0x03}, text);
  CDescString full;
  // The byte after the text is not zero in the input; the terminator is.
  ASSERT_EQ(Parse(full, Concat(longest, {'b'})), 1);
  EXPECT_EQ(full.m_buffer[35], 0);
  ExpectWrites(full, longest);
}

TEST(DescIdentityString, ShorterTextReplacesLongerOne) {
  CDescString record;
  ASSERT_EQ(Parse(record, {0x0A, 0x03, 0x08, 0x03, '1', '2', '3', '4', '5', '6'}), 1);
  ASSERT_EQ(Parse(record, {0x05, 0x03, 0x03, 0x03, '9'}), 1);
  EXPECT_EQ(record.m_buffer[3], 0);
  ExpectWrites(record, {0x05, 0x03, 0x03, 0x03, '9'});
}

TEST(DescIdentityString, RejectsDescriptorLengthThatDoesNotFitAndStaysUnchanged) {
  for (const uint8_t length : {0, 1, 36, 0xFF}) {
    SCOPED_TRACE(length);
    CDescString record;
    EXPECT_EQ(Parse(record, Concat({0x26, 0x03, length, 0x03}, Repeat(40, 'q'))), 0);
    EXPECT_EQ(record.m_type, 0);
    ExpectWrites(record, {0x04, 0x00, 0x02, 0x03});
  }
}

TEST(DescIdentityString, RefusesToWriteBufferWhoseLengthDoesNotFit) {
  for (const uint8_t length : {0, 1, 36, 0xFF}) {
    SCOPED_TRACE(length);
    CDescString record;
    record.m_buffer[0] = length;
    ExpectWritesNothing(record);
  }
}

// ---- CDescSysConfig ------------------------------------------

TEST(DescIdentitySysConfig, KeepsFlagAndNibbleOfByte9AndDropsTheRest) {
  CDescSysConfig record;
  Bytes bytes = {0x0C, 0x05, 0x80, 0xFC, 0x0A, 0x7F, 0x15, 0x28, 0x03, 0xF5, 0x00, 0x10};
  ASSERT_EQ(Parse(record, bytes), 1);
  EXPECT_EQ(record.m_flag9, 1);
  EXPECT_EQ(record.m_value9, 5);
  bytes[9] = 0x85;
  ExpectWrites(record, bytes);
}

TEST(DescIdentitySysConfig, KeepsBothFlagsAndNibbleOfByte10AndDropsTheRest) {
  CDescSysConfig record;
  Bytes bytes = {0x0C, 0x05, 0x80, 0xFC, 0x0A, 0x7F, 0x15, 0x28, 0x03, 0x00, 0xF3, 0x10};
  ASSERT_EQ(Parse(record, bytes), 1);
  EXPECT_EQ(record.m_flag10Bit7, 1);
  EXPECT_EQ(record.m_flag10Bit6, 1);
  EXPECT_EQ(record.m_value10, 3);
  bytes[10] = 0xC3;
  ExpectWrites(record, bytes);
}

TEST(DescIdentitySysConfig, OversizedFieldsCannotSpillIntoOtherBits) {
  CDescSysConfig record;
  record.m_flag9 = 0xFE;  // only bit 0 of a flag counts
  record.m_value9 = 0xFF;
  record.m_flag10Bit7 = 0x02;
  record.m_flag10Bit6 = 0x03;
  record.m_value10 = 0x1A;
  ExpectWrites(record, {0x0C, 0x05, 0x80, 0xFC, 0x0A, 0x7F, 0x15, 0x28, 0x03, 0x0F, 0x4A, 0x10});
}

// ---- CDescWriteBack and CDescPPWriteBack -------------------------------------

TEST(DescIdentityWriteBack, WritesReservedAreaAsZerosWhateverWasRead) {
  CDescWriteBack record;
  ASSERT_EQ(Parse(record, {0x07, 0x09, 0x04, 0xAA, 0xBB, 0xCC, 0xDD}), 1);
  EXPECT_EQ(record.m_reservedSize, 4);
  ExpectWrites(record, {0x07, 0x09, 0x04, 0x00, 0x00, 0x00, 0x00});
}

TEST(DescIdentityWriteBack, WritesEmptyAndLargestArea) {
  CDescWriteBack record;
  record.m_reservedSize = 0;
  ExpectWrites(record, {0x03, 0x09, 0x00});
  record.m_reservedSize = 255;
  // 258 bytes: the length's high bits share byte 1 with the type.
  ExpectWrites(record, Concat({0x02, 0x49, 0xFF}, Repeat(255, 0x00)));
}

TEST(DescIdentityPPWriteBack, TakesAreaSizeFromRecordLengthAndWritesItAsFF) {
  CDescPPWriteBack record;
  ASSERT_EQ(Parse(record, {0x05, 0x09, 0x00, 0x12, 0x34}), 1);
  EXPECT_EQ(record.m_reservedSize, 3);
  ExpectWrites(record, {0x05, 0x09, 0xFF, 0xFF, 0xFF});
}

TEST(DescIdentityPPWriteBack, AcceptsEmptyAndLargestArea) {
  CDescPPWriteBack empty;
  ASSERT_EQ(Parse(empty, {0x02, 0x09}), 1);
  EXPECT_EQ(empty.m_reservedSize, 0);
  ExpectWrites(empty, {0x02, 0x09});

  CDescPPWriteBack largest;
  ASSERT_EQ(Parse(largest, Concat({0x01, 0x49}, Repeat(255, 0xFF))), 1);
  EXPECT_EQ(largest.m_reservedSize, 255);
  ExpectWrites(largest, Concat({0x01, 0x49}, Repeat(255, 0xFF)));
}

TEST(DescIdentityPPWriteBack, RejectsLengthItCannotKeepAndStaysUnchanged) {
  // 0 and 1 are shorter than the header; 1023 is the long-form escape.
  const Bytes headers[] = {{0x00, 0x09}, {0x01, 0x09}, {0xFF, 0xC9}};
  for (const Bytes& header : headers) {
    SCOPED_TRACE(testing::PrintToString(header));
    CDescPPWriteBack record;
    EXPECT_EQ(Parse(record, header), 0);
    EXPECT_EQ(record.m_reservedSize, 64);
    EXPECT_EQ(record.m_length, 66);
  }
}

TEST(DescIdentityPPWriteBack, AreaTooLargeForItsSizeIsReadButNotWrittenBack) {
  // 258 and up would not survive the one-byte size.
  for (const Bytes& header : {Bytes{0x02, 0x49}, Bytes{0xFE, 0xC9}}) {
    SCOPED_TRACE(testing::PrintToString(header));
    CDescPPWriteBack record;
    ASSERT_EQ(Parse(record, header), 1);
    EXPECT_EQ(record.m_length, CDescriptor::DecodeLength(header.data()));
    EXPECT_TRUE(record.m_areaTooLarge);
    Bytes out(1024, 0xA5);
    EXPECT_EQ(record.BuildTo(out.data()), 0);
    EXPECT_EQ(out, Bytes(1024, 0xA5)) << "nothing is written";
  }
}

// ---- CDescCodeInfo -----------------------------------------------------------

TEST(DescIdentityCodeInfo, NewObjectHasNoCodeAndAnErasedPrefix) {
  auto record = std::make_unique<CDescCodeInfo>();
  EXPECT_STREQ(record->ClassName(), "CDescCodeInfo");
  EXPECT_EQ(record->m_codeOffset, 0u);
  EXPECT_EQ(record->m_codeSize, 0u);
  EXPECT_EQ(record->m_codeData, nullptr);
  EXPECT_EQ(std::count(record->m_code, record->m_code + 8192, 0xFF), 8192);
  EXPECT_EQ(Describe(*record), "codeOffset=0x0 codeSize=0x0");
  ExpectWritesNothing(*record);
}

TEST(DescIdentityCodeInfo, ReadsRegionButWritesOnlyOnceCodeIsGiven) {
  auto record = std::make_unique<CDescCodeInfo>();
  const Bytes bytes = {0x06, 0x0F, 0x00, 0x10, 0x34, 0x12};
  ASSERT_EQ(Parse(*record, bytes), 1);
  EXPECT_EQ(record->m_codeOffset, 0x1000u);
  EXPECT_EQ(record->m_codeSize, 0x1234u);
  EXPECT_EQ(record->m_codeData, nullptr);
  ExpectWritesNothing(*record);

  record->m_codeData = record->m_code;
  // The region itself is not part of the record.
  ExpectWrites(*record, bytes);
}

TEST(DescIdentityCodeInfo, ListsTheGivenCode) {
  auto record = std::make_unique<CDescCodeInfo>();
  ASSERT_EQ(Parse(*record, {0x06, 0x0F, 0x20, 0x00, 0x03, 0x00}), 1);
  uint8_t code[3] = {0x02, 0x00, 0x10};
  record->m_codeData = code;
  EXPECT_EQ(Describe(*record), "codeOffset=0x20 codeSize=0x3 code=[02 00 10]");
}

TEST(DescIdentityCodeInfo, ReadingAnotherRecordDropsTheGivenCode) {
  auto record = std::make_unique<CDescCodeInfo>();
  record->m_codeData = record->m_code;
  ASSERT_EQ(Parse(*record, {0x06, 0x0F, 0xFF, 0xFF, 0xFF, 0xFF}), 1);
  EXPECT_EQ(record->m_codeData, nullptr);
  EXPECT_EQ(record->m_codeOffset, 0xFFFFu);
  EXPECT_EQ(record->m_codeSize, 0xFFFFu);
}

TEST(DescIdentityCodeInfo, RefusesToWriteNumbersWiderThanTheRecord) {
  auto record = std::make_unique<CDescCodeInfo>();
  record->m_codeData = record->m_code;
  record->m_codeSize = 0x10000;
  ExpectWritesNothing(*record);
  record->m_codeSize = 0xFFFF;
  record->m_codeOffset = 0x10000;
  ExpectWritesNothing(*record);
  record->m_codeOffset = 0xFFFF;
  ExpectWrites(*record, {0x06, 0x0F, 0xFF, 0xFF, 0xFF, 0xFF});
}

// ---- CDescSmallCachecode -----------------------------------------------------

const Bytes kSixteenCodeBytes = {0x90, 0x12, 0x34, 0xE0, 0xF0, 0xA3, 0x22, 0x00,
                                 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88};

TEST(DescIdentitySmallCachecode, NewObjectIsLongFormWithoutCode) {
  auto record = std::make_unique<CDescSmallCachecode>();
  EXPECT_STREQ(record->ClassName(), "CDescSmallCachecode");
  EXPECT_EQ(record->m_length, 1023);
  EXPECT_EQ(record->m_type, 39);
  EXPECT_EQ(record->m_codeOffset, 0);
  EXPECT_EQ(record->m_codeSize, 0);
  EXPECT_EQ(record->m_codeData, nullptr);
  ExpectWritesNothing(*record);
}

TEST(DescIdentitySmallCachecode, WritesGivenCodeInLongForm) {
  auto record = std::make_unique<CDescSmallCachecode>();
  std::copy(kSixteenCodeBytes.begin(), kSixteenCodeBytes.end(), record->m_code);
  record->m_codeOffset = 0x0100;
  record->m_codeSize = 16;
  record->m_codeData = record->m_code;
  ExpectWrites(*record, Concat({0xFF, 0xE7, 0x18, 0x00, 0x00, 0x01, 0x10, 0x00}, kSixteenCodeBytes));
  EXPECT_EQ(record->m_length, 1023);
  EXPECT_EQ(record->m_extLength, 0x18);
}

TEST(DescIdentitySmallCachecode, RoundTripWaitsForTheCodeToBeGiven) {
  const Bytes bytes = Concat({0xFF, 0xE7, 0x18, 0x00, 0x00, 0x01, 0x10, 0x00}, kSixteenCodeBytes);
  auto record = std::make_unique<CDescSmallCachecode>();
  ASSERT_EQ(Parse(*record, bytes), 1);
  EXPECT_EQ(record->m_length, 24);
  EXPECT_EQ(record->m_extLength, 24);
  EXPECT_EQ(record->m_type, 39);
  EXPECT_EQ(record->m_codeData, nullptr);
  EXPECT_EQ(Describe(*record), "codeOffset=0x100 codeSize=0x10 code=[90 12 34 E0 F0 A3 22 00 11 22 33 44 55 66 77 88]");
  ExpectWritesNothing(*record);

  record->m_codeData = record->m_code;
  ExpectWrites(*record, bytes);
}

TEST(DescIdentitySmallCachecode, WritesCodeFromWhereItWasGiven) {
  auto record = std::make_unique<CDescSmallCachecode>();
  ASSERT_EQ(Parse(*record, {0xFF, 0xE7, 0x0A, 0x00, 0x40, 0x00, 0x02, 0x00, 0x01, 0x02}), 1);
  uint8_t given[2] = {0xAB, 0xCD};
  record->m_codeData = given;
  ExpectWrites(*record, {0xFF, 0xE7, 0x0A, 0x00, 0x40, 0x00, 0x02, 0x00, 0xAB, 0xCD});
}

TEST(DescIdentitySmallCachecode, WritesTotalThatMatchesTheCode) {
  // Read with a total larger than its code; the written total follows the code.
  auto record = std::make_unique<CDescSmallCachecode>();
  ASSERT_EQ(Parse(*record, {0xFF, 0xE7, 0x20, 0x00, 0x00, 0x02, 0x01, 0x00, 0x5A}), 1);
  EXPECT_EQ(record->m_length, 0x20);
  record->m_codeData = record->m_code;
  ExpectWrites(*record, {0xFF, 0xE7, 0x09, 0x00, 0x00, 0x02, 0x01, 0x00, 0x5A});
  EXPECT_EQ(record->m_extLength, 9);
}

TEST(DescIdentitySmallCachecode, AcceptsNoCodeAndFullCodeArea) {
  auto empty = std::make_unique<CDescSmallCachecode>();
  ASSERT_EQ(Parse(*empty, {0xFF, 0xE7, 0x08, 0x00, 0x34, 0x12, 0x00, 0x00}), 1);
  empty->m_codeData = empty->m_code;
  ExpectWrites(*empty, {0xFF, 0xE7, 0x08, 0x00, 0x34, 0x12, 0x00, 0x00});

  Bytes code(8192);
  for (size_t i = 0; i < code.size(); ++i) code[i] = static_cast<uint8_t>(i * 7);
  const Bytes bytes = Concat({0xFF, 0xE7, 0x08, 0x20, 0x00, 0x00, 0x00, 0x20}, code);
  auto full = std::make_unique<CDescSmallCachecode>();
  ASSERT_EQ(Parse(*full, bytes), 1);
  EXPECT_EQ(full->m_codeSize, 8192);
  EXPECT_EQ(Bytes(full->m_code, full->m_code + 8192), code);
  full->m_codeData = full->m_code;
  ExpectWrites(*full, bytes);
}

TEST(DescIdentitySmallCachecode, RejectsRecordsItCannotHoldAndStaysUnchanged) {
  const struct {
    const char* why;
    Bytes bytes;
  } cases[] = {
      {"short form", {0x18, 0x27, 0x18, 0x00, 0x00, 0x01, 0x10, 0x00}},
      {"short form, largest", {0xFE, 0xE7, 0x18, 0x00, 0x00, 0x01, 0x10, 0x00}},
      {"total shorter than the fixed part", {0xFF, 0xE7, 0x07, 0x00, 0x00, 0x01, 0x00, 0x00}},
      {"total zero", {0xFF, 0xE7, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00}},
      {"one byte more code than the area", {0xFF, 0xE7, 0x09, 0x20, 0x00, 0x01, 0x01, 0x20}},
      {"largest code size", {0xFF, 0xE7, 0xFF, 0xFF, 0x00, 0x01, 0xFF, 0xFF}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    auto record = std::make_unique<CDescSmallCachecode>();
    EXPECT_EQ(Parse(*record, c.bytes), 0);
    EXPECT_EQ(record->m_length, 1023);
    EXPECT_EQ(record->m_extLength, 0);
    EXPECT_EQ(record->m_codeOffset, 0);
    EXPECT_EQ(record->m_codeSize, 0);
  }
}

TEST(DescIdentitySmallCachecode, ReadingAnotherRecordDropsTheGivenCode) {
  auto record = std::make_unique<CDescSmallCachecode>();
  record->m_codeData = record->m_code;
  ASSERT_EQ(Parse(*record, {0xFF, 0xE7, 0x08, 0x00, 0x00, 0x00, 0x00, 0x00}), 1);
  EXPECT_EQ(record->m_codeData, nullptr);
}

TEST(DescIdentitySmallCachecode, RefusesToWriteMoreCodeThanTheArea) {
  auto record = std::make_unique<CDescSmallCachecode>();
  record->m_codeData = record->m_code;
  record->m_codeSize = 8193;
  ExpectWritesNothing(*record);
}

}  // namespace
}  // namespace _QTL_UVC_Descriptor
