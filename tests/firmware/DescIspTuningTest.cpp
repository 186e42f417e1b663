#include "firmware/DescIspTuning.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace _QTL_UVC_Descriptor {
namespace {

using Bytes = std::vector<uint8_t>;
using Factory = std::function<std::unique_ptr<CDescriptor>()>;

template <typename T>
Factory Make() {
  return [] { return std::make_unique<T>(); };
}

// The table hands ParseFrom a zero-padded copy with at least this many
// readable bytes after the record's start.
constexpr size_t kReadable = 9216;
constexpr uint8_t kUntouched = 0xCC;

int Parse(CDescriptor& d, const Bytes& record) {
  std::vector<uint8_t> padded(kReadable, 0);
  std::memcpy(padded.data(), record.data(), record.size());
  return d.ParseFrom(padded.data());
}

// Returns the bytes BuildTo wrote, up to the length it announced, and checks
// that nothing after them was touched.
Bytes Build(CDescriptor& d) {
  std::vector<uint8_t> out(2048, kUntouched);
  EXPECT_EQ(d.BuildTo(out.data()), 1);
  const size_t length = d.m_length;
  for (size_t i = length; i < out.size(); ++i) {
    if (out[i] != kUntouched) {
      ADD_FAILURE() << "byte " << i << " written beyond the record's " << length << " bytes";
      break;
    }
  }
  return Bytes(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(length));
}

// BuildTo that must refuse: returns 0 and leaves the output alone.
void ExpectRefusedBuild(CDescriptor& d) {
  std::vector<uint8_t> out(2048, kUntouched);
  EXPECT_EQ(d.BuildTo(out.data()), 0);
  EXPECT_EQ(out, std::vector<uint8_t>(2048, kUntouched));
}

Bytes Concat(Bytes head, const Bytes& tail) {
  head.insert(head.end(), tail.begin(), tail.end());
  return head;
}

// Distinct, recognisable payload bytes.
Bytes Pattern(size_t count, uint8_t first) {
  Bytes b(count);
  for (size_t i = 0; i < count; ++i) b[i] = static_cast<uint8_t>(first + 3 * i);
  return b;
}

const DescriptorField* FindField(const DescriptorFields& fields, const std::string& name) {
  for (const DescriptorField& f : fields) {
    if (f.name == name) return &f;
  }
  return nullptr;
}

std::vector<std::string> FieldNames(const CDescriptor& d) {
  DescriptorFields fields;
  d.ListFields(fields);
  std::vector<std::string> names;
  for (const DescriptorField& f : fields) names.push_back(f.name);
  return names;
}

// --- Class names ------------------------------------------------------------------

struct NamedClass {
  Factory make;
  const char* name;
};

TEST(DescIspTuningNames, EveryClassReportsItsOwnName) {
  const NamedClass classes[] = {
      {Make<CDescIspBlackLevel>(), "CDescIspBlackLevel"},
      {Make<CDescIspAEC>(), "CDescIspAEC"},
      {Make<CDescIspAEC_3301>(), "CDescIspAEC_3301"},
      {Make<CDescIspEdgeEnhance>(), "CDescIspEdgeEnhance"},
      {Make<CDescIspAESpeed>(), "CDescIspAESpeed"},
      {Make<CDescIspWhiteBalance>(), "CDescIspWhiteBalance"},
      {Make<CDescIspYUV2RGB>(), "CDescIspYUV2RGB"},
      {Make<CDescDmicPara>(), "CDescDmicPara"},
      {Make<CDescIspControl>(), "CDescIspControl"},
      {Make<CDescIspLSC>(), "CDescIspLSC"},
      {Make<CDescIspCCM>(), "CDescIspCCM"},
      {Make<CDescIspCCM_3301>(), "CDescIspCCM_3301"},
      {Make<CDescIspNoiseReduction_3301>(), "CDescIspNoiseReduction_3301"},
      {Make<CDescQtable>(), "CDescQtable"},
      {Make<CDescIspZoom>(), "CDescIspZoom"},
      {Make<CDescIspColorTempTable>(), "CDescIspColorTempTable"},
      {Make<CDescIspGamma>(), "CDescIspGamma"},
      {Make<CDescIspGamma_3301>(), "CDescIspGamma_3301"},
      {Make<CDescIspDeadPixel>(), "CDescIspDeadPixel"},
      {Make<CDescISPBlackPattern>(), "CDescISPBlackPattern"},
      {Make<CDescNonCrystalGainTable>(), "CDescNonCrystalGainTable"},
      {Make<CDescNFCalibrationTable>(), "CDescNFCalibrationTable"},
  };
  for (const NamedClass& c : classes) EXPECT_STREQ(c.make()->ClassName(), c.name);
}

// --- Runs of single bytes ---------------------------------------------------------

struct ByteRunCase {
  const char* name;
  Factory make;
  Bytes defaults;  // whole record a new object writes
};

const ByteRunCase kByteRuns[] = {
    {"CDescIspBlackLevel", Make<CDescIspBlackLevel>(), {0x07, 0x34, 0x02, 0x02, 0x02, 0x02, 0x00}},
    {"CDescIspAEC", Make<CDescIspAEC>(), {0x08, 0x36, 0x7F, 0x41, 0x19, 0x50, 0x46, 0x05}},
    {"CDescIspAEC_3301", Make<CDescIspAEC_3301>(), {0x06, 0x36, 0x00, 0x00, 0x00, 0x00}},
    {"CDescIspEdgeEnhance",
     Make<CDescIspEdgeEnhance>(),
     {0x0B, 0x37, 0x20, 0x08, 0x0A, 0x18, 0x10, 0x23, 0x98, 0x14, 0x8C}},
    {"CDescIspAESpeed", Make<CDescIspAESpeed>(), {0x0A, 0x3E, 0x28, 0x3C, 0x20, 0x20, 0x40, 0x40, 0x80, 0x80}},
    {"CDescIspWhiteBalance", Make<CDescIspWhiteBalance>(), {0x1A, 0x35, 0x00, 0x00, 0x00, 0x00, 0xE6, 0x87, 0x1E,
                                                            0x19, 0xE4, 0x08, 0x08, 0x12, 0x12, 0x04, 0x44, 0x44,
                                                            0x4B, 0x4B, 0xC0, 0x10, 0xC0, 0x10, 0x19, 0x0E}},
    {"CDescIspYUV2RGB",
     Make<CDescIspYUV2RGB>(),
     {0x10, 0x3F, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}},
    {"CDescDmicPara", Make<CDescDmicPara>(), {0x07, 0x20, 0x51, 0x03, 0xA5, 0xEA, 0xAA}},
};

TEST(DescIspTuningByteRun, NewObjectWritesItsDefaults) {
  for (const ByteRunCase& c : kByteRuns) {
    SCOPED_TRACE(c.name);
    auto d = c.make();
    EXPECT_EQ(Build(*d), c.defaults);
  }
}

TEST(DescIspTuningByteRun, RecordReadBackIsWrittenUnchanged) {
  for (const ByteRunCase& c : kByteRuns) {
    SCOPED_TRACE(c.name);
    const Bytes record = Concat({c.defaults[0], c.defaults[1]}, Pattern(c.defaults.size() - 2, 0x81));
    auto d = c.make();
    ASSERT_EQ(Parse(*d, record), 1);
    EXPECT_EQ(Build(*d), record);
  }
}

TEST(DescIspTuningByteRun, EveryPayloadByteIsListedAsAFieldNamedByItsOffset) {
  for (const ByteRunCase& c : kByteRuns) {
    SCOPED_TRACE(c.name);
    const Bytes record = Concat({c.defaults[0], c.defaults[1]}, Pattern(c.defaults.size() - 2, 0x11));
    auto d = c.make();
    ASSERT_EQ(Parse(*d, record), 1);
    DescriptorFields fields;
    d->ListFields(fields);
    ASSERT_EQ(fields.size(), record.size() - 2);
    for (size_t i = 0; i < fields.size(); ++i) {
      EXPECT_EQ(fields[i].name, "value" + std::to_string(i + 2));
      EXPECT_FALSE(fields[i].isBytes);
      EXPECT_EQ(fields[i].number, record[i + 2]);
    }
  }
}

TEST(DescIspTuningByteRun, DeclaredLengthIsNotCheckedAndTheOwnLengthIsWritten) {
  CDescIspBlackLevel d;
  // Declares 3 bytes; the class still reads its five payload bytes.
  ASSERT_EQ(Parse(d, {0x03, 0x34, 0x09, 0x08, 0x07, 0x06, 0x05}), 1);
  EXPECT_EQ(d.m_length, 3);
  EXPECT_EQ(d.m_values[0], 9);
  EXPECT_EQ(d.m_values[4], 5);
  EXPECT_EQ(Build(d), (Bytes{0x07, 0x34, 0x09, 0x08, 0x07, 0x06, 0x05}));
}

// --- CDescIspControl --------------------------------------------------------------

TEST(DescIspTuningControl, NewObjectWritesAllSwitchesOff) {
  CDescIspControl d;
  EXPECT_EQ(Build(d), (Bytes{0x04, 0x31, 0x00, 0x00}));
}

TEST(DescIspTuningControl, BitsThatAreNoSwitchesAreDroppedOnWrite) {
  CDescIspControl d;
  ASSERT_EQ(Parse(d, {0x04, 0x31, 0xFF, 0xFF}), 1);
  EXPECT_EQ(d.m_rawByte2, 0xFF);
  EXPECT_EQ(d.m_rawByte3, 0xFF);
  EXPECT_EQ(Build(d), (Bytes{0x04, 0x31, 0xF8, 0xD4}));
  // Writing does not touch the bytes as read.
  EXPECT_EQ(d.m_rawByte2, 0xFF);
  EXPECT_EQ(d.m_rawByte3, 0xFF);
}

TEST(DescIspTuningControl, EachSwitchSitsOnItsOwnBit) {
  struct Case {
    uint8_t CDescIspControl::*flag;
    Bytes record;
  };
  const Case cases[] = {
      {&CDescIspControl::m_flag2Bit7, {0x04, 0x31, 0x80, 0x00}},
      {&CDescIspControl::m_flag2Bit6, {0x04, 0x31, 0x40, 0x00}},
      {&CDescIspControl::m_flag2Bit5, {0x04, 0x31, 0x20, 0x00}},
      {&CDescIspControl::m_flag2Bit4, {0x04, 0x31, 0x10, 0x00}},
      {&CDescIspControl::m_flag2Bit3, {0x04, 0x31, 0x08, 0x00}},
      {&CDescIspControl::m_flag3Bit7, {0x04, 0x31, 0x00, 0x80}},
      {&CDescIspControl::m_flag3Bit6, {0x04, 0x31, 0x00, 0x40}},
      {&CDescIspControl::m_flag3Bit4, {0x04, 0x31, 0x00, 0x10}},
      {&CDescIspControl::m_flag3Bit2, {0x04, 0x31, 0x00, 0x04}},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(i);
    CDescIspControl set;
    set.*cases[i].flag = 1;
    EXPECT_EQ(Build(set), cases[i].record);

    CDescIspControl read;
    ASSERT_EQ(Parse(read, cases[i].record), 1);
    DescriptorFields fields;
    read.ListFields(fields);
    int switchesOn = 0;
    for (const DescriptorField& f : fields) {
      if (f.name.rfind("flag", 0) == 0) switchesOn += static_cast<int>(f.number);
    }
    EXPECT_EQ(switchesOn, 1);
    EXPECT_EQ(read.*cases[i].flag, 1);
  }
}

TEST(DescIspTuningControl, ListsRawBytesAndNineSwitches) {
  CDescIspControl d;
  EXPECT_EQ(FieldNames(d),
            (std::vector<std::string>{"rawByte2", "rawByte3", "flag2Bit7", "flag2Bit6", "flag2Bit5", "flag2Bit4",
                                      "flag2Bit3", "flag3Bit7", "flag3Bit6", "flag3Bit4", "flag3Bit2"}));
}

// --- CDescIspLSC ------------------------------------------------------------------

Bytes LscRecord() { return Concat({0x36, 0x32, 0xFF, 0x80, 0x7F, 0x01}, Pattern(48, 0x05)); }

TEST(DescIspTuningLSC, NewObjectWritesTheSettingsWithoutData) {
  CDescIspLSC d;
  EXPECT_EQ(Build(d), (Bytes{0x06, 0x32, 0x00, 0x00, 0x00, 0x00}));
}

TEST(DescIspTuningLSC, RecordReadBackIsWrittenUnchanged) {
  CDescIspLSC d;
  const Bytes record = LscRecord();
  ASSERT_EQ(Parse(d, record), 1);
  EXPECT_EQ(d.m_settings[0], -1);
  EXPECT_EQ(d.m_settings[1], -128);
  EXPECT_EQ(d.m_settings[2], 127);
  EXPECT_EQ(d.m_settings[3], 1);
  EXPECT_EQ(d.m_dataCount, 48);
  EXPECT_EQ(d.m_data[47], record[53]);
  EXPECT_EQ(Build(d), record);
}

TEST(DescIspTuningLSC, LongerRecordGivesItsFirst48DataBytes) {
  CDescIspLSC d;
  const Bytes record = LscRecord();
  Bytes longer = record;
  longer[0] = 60;
  longer.insert(longer.end(), 6, 0xEE);
  ASSERT_EQ(Parse(d, longer), 1);
  EXPECT_EQ(Build(d), record);
}

TEST(DescIspTuningLSC, RecordTooShortForTheDataIsRefusedAndChangesNothing) {
  CDescIspLSC d;
  Bytes record = LscRecord();
  record[0] = 53;
  EXPECT_EQ(Parse(d, record), 0);
  EXPECT_EQ(d.m_dataCount, 0);
  EXPECT_EQ(d.m_settings[0], 0);
  EXPECT_EQ(Build(d), (Bytes{0x06, 0x32, 0x00, 0x00, 0x00, 0x00}));
}

TEST(DescIspTuningLSC, DataCountBeyondTheArrayIsNotWritten) {
  CDescIspLSC d;
  d.m_dataCount = 49;
  ExpectRefusedBuild(d);
}

TEST(DescIspTuningLSC, SettingsAreWrittenAsTheirLowBytes) {
  CDescIspLSC d;
  d.m_settings[0] = 0x1234;
  d.m_settings[1] = -2;
  EXPECT_EQ(Build(d), (Bytes{0x06, 0x32, 0x34, 0xFE, 0x00, 0x00}));
}

// --- CDescIspCCM ------------------------------------------------------------------

TEST(DescIspTuningCCM, NewObjectWritesBothTemperaturesAndZeroMatrices) {
  CDescIspCCM d;
  EXPECT_EQ(Build(d), Concat({0x18, 0x33, 0xAC, 0x0D, 0xA0, 0x0F}, Bytes(18, 0)));
}

TEST(DescIspTuningCCM, RecordReadBackIsWrittenUnchanged) {
  CDescIspCCM d;
  const Bytes record = Concat({0x18, 0x33, 0x34, 0x12, 0x78, 0x56}, Pattern(18, 0x40));
  ASSERT_EQ(Parse(d, record), 1);
  EXPECT_EQ(d.m_colorTemp1, 0x1234);
  EXPECT_EQ(d.m_colorTemp2, 0x5678);
  EXPECT_EQ(d.m_matrix1[0], record[6]);
  EXPECT_EQ(d.m_matrix1[8], record[14]);
  EXPECT_EQ(d.m_matrix2[0], record[15]);
  EXPECT_EQ(d.m_matrix2[8], record[23]);
  EXPECT_EQ(Build(d), record);
}

// --- CDescIspCCM_3301 -------------------------------------------------------------

const Bytes kCcmShortRecord = {0x0E, 0x33, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x0B, 0x0C};
const Bytes kCcmLongRecord = {0x1E, 0x33, 0x11, 0x12, 0x13, 0x14, 0x21, 0x22, 0x23, 0x24, 0x31, 0x32, 0x33, 0x34, 0x41,
                              0x42, 0x43, 0x44, 0x51, 0x52, 0x53, 0x54, 0x61, 0x62, 0x63, 0x64, 0xB8, 0x0B, 0x64, 0x19};

TEST(DescIspTuningCCM3301, NewObjectWritesTheShortForm) {
  CDescIspCCM_3301 d;
  EXPECT_EQ(d.m_form, 0);
  EXPECT_EQ(Build(d), Concat({0x0E, 0x33}, Bytes(12, 0)));
}

TEST(DescIspTuningCCM3301, DefaultTemperaturesAppearOnlyInTheLongForm) {
  CDescIspCCM_3301 d;
  d.m_form = 1;
  EXPECT_EQ(Build(d), Concat(Concat({0x1E, 0x33}, Bytes(24, 0)), {0xAC, 0x0D, 0xA0, 0x0F}));
}

TEST(DescIspTuningCCM3301, ShortRecordReadBackIsWrittenUnchanged) {
  CDescIspCCM_3301 d;
  ASSERT_EQ(Parse(d, kCcmShortRecord), 1);
  EXPECT_EQ(d.m_form, 0);
  EXPECT_EQ(d.m_values[0], 0x04030201u);
  EXPECT_EQ(d.m_values[2], 0x0C0B0A09u);
  EXPECT_EQ(Build(d), kCcmShortRecord);
}

TEST(DescIspTuningCCM3301, LongRecordReadBackIsWrittenUnchanged) {
  CDescIspCCM_3301 d;
  ASSERT_EQ(Parse(d, kCcmLongRecord), 1);
  EXPECT_EQ(d.m_form, 1);
  EXPECT_EQ(d.m_values[0], 0x14131211u);
  EXPECT_EQ(d.m_values[5], 0x64636261u);
  EXPECT_EQ(d.m_colorTemp1, 3000);
  EXPECT_EQ(d.m_colorTemp2, 6500);
  EXPECT_EQ(Build(d), kCcmLongRecord);
}

TEST(DescIspTuningCCM3301, TheLengthReadLastDecidesTheForm) {
  CDescIspCCM_3301 d;
  ASSERT_EQ(Parse(d, kCcmLongRecord), 1);
  ASSERT_EQ(Parse(d, kCcmShortRecord), 1);
  EXPECT_EQ(d.m_form, 0);
  EXPECT_EQ(Build(d), kCcmShortRecord);
}

TEST(DescIspTuningCCM3301, OtherLengthsAreRefusedAndChangeNothing) {
  for (uint8_t length : {0, 2, 13, 15, 22, 29, 31, 0xFF}) {
    SCOPED_TRACE(static_cast<int>(length));
    CDescIspCCM_3301 d;
    Bytes record = kCcmLongRecord;
    record[0] = length;
    EXPECT_EQ(Parse(d, record), 0);
    EXPECT_EQ(d.m_form, 0);
    EXPECT_EQ(Build(d), Concat({0x0E, 0x33}, Bytes(12, 0)));
  }
}

TEST(DescIspTuningCCM3301, LongFormLengthNeedsTheHighLengthBitsClear) {
  CDescIspCCM_3301 d;
  Bytes record = kCcmLongRecord;
  record[1] = 0x73;  // 30 + 256
  EXPECT_EQ(Parse(d, record), 0);
}

TEST(DescIspTuningCCM3301, UnknownFormIsNotWritten) {
  CDescIspCCM_3301 d;
  d.m_form = 2;
  ExpectRefusedBuild(d);
}

TEST(DescIspTuningCCM3301, ListsTheFieldsOfTheFormHeld) {
  CDescIspCCM_3301 d;
  EXPECT_EQ(FieldNames(d), (std::vector<std::string>{"form", "value2", "value6", "value10"}));
  d.m_form = 1;
  EXPECT_EQ(FieldNames(d), (std::vector<std::string>{"form", "value2", "value6", "value10", "value14", "value18",
                                                     "value22", "colorTemp1", "colorTemp2"}));
}

// --- CDescIspNoiseReduction_3301 --------------------------------------------------

Bytes NoiseRecord(uint8_t length) {
  Bytes record = Pattern(length, 0x02);
  record[0] = length;
  record[1] = 0x38;
  return record;
}

TEST(DescIspTuningNoiseReduction, NewObjectWritesTheBasicSet) {
  CDescIspNoiseReduction_3301 d;
  EXPECT_EQ(d.m_level, 0);
  EXPECT_EQ(Build(d), Concat({0x0D, 0x38}, Bytes(11, 0)));
}

TEST(DescIspTuningNoiseReduction, RecordLengthSelectsTheLevel) {
  struct Case {
    uint8_t length;
    uint8_t level;
    uint8_t written;
  };
  const Case cases[] = {{13, 0, 13}, {23, 0, 13}, {24, 1, 24}, {30, 1, 24}, {43, 1, 24}, {44, 2, 44}, {45, 1, 24}};
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.length));
    CDescIspNoiseReduction_3301 d;
    const Bytes record = NoiseRecord(c.length);
    ASSERT_EQ(Parse(d, record), 1);
    EXPECT_EQ(d.m_level, c.level);
    Bytes expected(record.begin(), record.begin() + c.written);
    expected[0] = c.written;
    EXPECT_EQ(Build(d), expected);
  }
}

TEST(DescIspTuningNoiseReduction, FullRecordReadBackIsWrittenUnchanged) {
  CDescIspNoiseReduction_3301 d;
  const Bytes record = NoiseRecord(44);
  ASSERT_EQ(Parse(d, record), 1);
  EXPECT_EQ(d.m_basic[0], record[2]);
  EXPECT_EQ(d.m_level1Values[0], record[13]);
  EXPECT_EQ(d.m_level2Values[19], record[43]);
  EXPECT_EQ(Build(d), record);
}

TEST(DescIspTuningNoiseReduction, ShorterRecordLeavesTheExtensionsAlone) {
  CDescIspNoiseReduction_3301 d;
  ASSERT_EQ(Parse(d, NoiseRecord(44)), 1);
  const Bytes shortRecord = Concat({0x0D, 0x38}, Bytes(11, 0x77));
  ASSERT_EQ(Parse(d, shortRecord), 1);
  EXPECT_EQ(d.m_level, 0);
  EXPECT_EQ(d.m_level1Values[0], NoiseRecord(44)[13]);
  EXPECT_EQ(Build(d), shortRecord);
}

TEST(DescIspTuningNoiseReduction, UnknownLevelIsNotWritten) {
  CDescIspNoiseReduction_3301 d;
  d.m_level = 3;
  ExpectRefusedBuild(d);
}

TEST(DescIspTuningNoiseReduction, ListsTheSetsOfTheLevelHeld) {
  CDescIspNoiseReduction_3301 d;
  EXPECT_EQ(FieldNames(d), (std::vector<std::string>{"level", "basic"}));
  d.m_level = 2;
  EXPECT_EQ(FieldNames(d), (std::vector<std::string>{"level", "basic", "level1Values", "level2Values"}));
}

// --- CDescISPBlackPattern ---------------------------------------------------------

TEST(DescIspTuningBlackPattern, NewObjectWritesItsDefaults) {
  CDescISPBlackPattern d;
  EXPECT_EQ(Build(d), (Bytes{0x07, 0x28, 0x20, 0x00, 0x20, 0x03, 0x20}));
}

TEST(DescIspTuningBlackPattern, RecordReadBackIsWrittenUnchanged) {
  CDescISPBlackPattern d;
  const Bytes record = {0x07, 0x28, 0x34, 0x12, 0xCD, 0xAB, 0x99};
  ASSERT_EQ(Parse(d, record), 1);
  EXPECT_EQ(d.m_value2, 0x1234);
  EXPECT_EQ(d.m_value4, 0xABCD);
  EXPECT_EQ(d.m_value6, 0x99);
  EXPECT_EQ(Build(d), record);
}

// --- Records with a data count ----------------------------------------------------

struct CountedCase {
  const char* name;
  Factory make;
  Bytes defaults;    // whole record a new object writes
  uint8_t typeByte;  // record byte 1 for lengths below 256
  size_t fixedSize;  // header and fixed fields
  size_t maxData;    // largest data the class keeps
  const char* arrayName;
  std::function<void(CDescriptor&, uint8_t)> setCount;
};

template <typename T>
std::function<void(CDescriptor&, uint8_t)> CountSetter() {
  return [](CDescriptor& d, uint8_t count) { static_cast<T&>(d).m_count = count; };
}

const CountedCase kCounted[] = {
    {"CDescQtable", Make<CDescQtable>(), {0x02, 0x24}, 0x24, 2, 128, "table", CountSetter<CDescQtable>()},
    {"CDescIspZoom", Make<CDescIspZoom>(), {0x02, 0x3B}, 0x3B, 2, 255, "data", CountSetter<CDescIspZoom>()},
    {"CDescIspColorTempTable",
     Make<CDescIspColorTempTable>(),
     {0x02, 0x3C},
     0x3C,
     2,
     255,
     "data",
     CountSetter<CDescIspColorTempTable>()},
    {"CDescIspGamma",
     Make<CDescIspGamma>(),
     {0x11, 0x3D, 0x20, 0x36, 0x46, 0x53, 0x5F, 0x6A, 0x73, 0x7C, 0x8C, 0x9A, 0xA7, 0xB4, 0xC9, 0xDD, 0xEF},
     0x3D,
     2,
     15,
     "points",
     CountSetter<CDescIspGamma>()},
    {"CDescIspGamma_3301",
     Make<CDescIspGamma_3301>(),
     {0x11, 0x3D, 0x08, 0x10, 0x18, 0x20, 0x28, 0x30, 0x38, 0x40, 0x50, 0x60, 0x70, 0x80, 0xA0, 0xC0, 0xE0},
     0x3D,
     2,
     15,
     "points",
     CountSetter<CDescIspGamma_3301>()},
    {"CDescIspDeadPixel",
     Make<CDescIspDeadPixel>(),
     {0x07, 0x39, 0x1E, 0x00, 0x00, 0x00, 0x00},
     0x39,
     7,
     128,
     "entries",
     CountSetter<CDescIspDeadPixel>()},
};

// A record of the class with `dataLength` data bytes after a patterned fixed part.
Bytes CountedRecord(const CountedCase& c, size_t dataLength) {
  const size_t length = c.fixedSize + dataLength;
  Bytes record = Pattern(length, 0x21);
  record[0] = static_cast<uint8_t>(length & 0xFF);
  record[1] = static_cast<uint8_t>(c.typeByte | ((length >> 8) << 6));
  return record;
}

TEST(DescIspTuningCounted, NewObjectWritesItsDefaults) {
  for (const CountedCase& c : kCounted) {
    SCOPED_TRACE(c.name);
    auto d = c.make();
    EXPECT_EQ(Build(*d), c.defaults);
  }
}

TEST(DescIspTuningCounted, FullArrayReadBackIsWrittenUnchanged) {
  for (const CountedCase& c : kCounted) {
    SCOPED_TRACE(c.name);
    auto d = c.make();
    const Bytes record = CountedRecord(c, c.maxData);
    ASSERT_EQ(Parse(*d, record), 1);
    EXPECT_EQ(Build(*d), record);
    DescriptorFields fields;
    d->ListFields(fields);
    const DescriptorField* count = FindField(fields, "count");
    const DescriptorField* data = FindField(fields, c.arrayName);
    ASSERT_NE(count, nullptr);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(count->number, static_cast<int64_t>(c.maxData));
    EXPECT_EQ(data->bytes, Bytes(record.begin() + static_cast<std::ptrdiff_t>(c.fixedSize), record.end()));
  }
}

TEST(DescIspTuningCounted, RecordWithoutDataKeepsCountZero) {
  for (const CountedCase& c : kCounted) {
    SCOPED_TRACE(c.name);
    auto d = c.make();
    const Bytes record = CountedRecord(c, 0);
    ASSERT_EQ(Parse(*d, record), 1);
    EXPECT_EQ(Build(*d), record);
    DescriptorFields fields;
    d->ListFields(fields);
    ASSERT_NE(FindField(fields, c.arrayName), nullptr);
    EXPECT_TRUE(FindField(fields, c.arrayName)->bytes.empty());
  }
}

TEST(DescIspTuningCounted, DataBeyondTheArrayAreRefusedAndChangeNothing) {
  for (const CountedCase& c : kCounted) {
    SCOPED_TRACE(c.name);
    auto d = c.make();
    EXPECT_EQ(Parse(*d, CountedRecord(c, c.maxData + 1)), 0);
    EXPECT_EQ(Build(*d), c.defaults);
  }
}

TEST(DescIspTuningCounted, RecordShorterThanTheFixedPartIsRefused) {
  for (const CountedCase& c : kCounted) {
    SCOPED_TRACE(c.name);
    auto d = c.make();
    Bytes record = CountedRecord(c, 0);
    record[0] = static_cast<uint8_t>(c.fixedSize - 1);
    EXPECT_EQ(Parse(*d, record), 0);
    record[0] = 0;
    EXPECT_EQ(Parse(*d, record), 0);
    EXPECT_EQ(Build(*d), c.defaults);
  }
}

TEST(DescIspTuningCounted, CountBeyondTheArrayIsNotWritten) {
  for (const CountedCase& c : kCounted) {
    if (c.maxData >= 255) continue;  // a one-byte count always fits a 256-byte array
    SCOPED_TRACE(c.name);
    auto d = c.make();
    c.setCount(*d, static_cast<uint8_t>(c.maxData + 1));
    ExpectRefusedBuild(*d);
  }
}

TEST(DescIspTuningCounted, LengthAbove255UsesTheHighLengthBits) {
  CDescIspZoom d;
  const Bytes record = Concat({0x01, 0x7B}, Pattern(255, 0x00));  // 257 bytes, type 59
  ASSERT_EQ(Parse(d, record), 1);
  EXPECT_EQ(d.m_count, 255);
  EXPECT_EQ(d.m_data[254], record[256]);
  EXPECT_EQ(Build(d), record);
}

TEST(DescIspTuningCounted, ShortGammaCurveKeepsOnlyItsPoints) {
  CDescIspGamma d;
  const Bytes record = {0x05, 0x3D, 0x01, 0x02, 0x03};
  ASSERT_EQ(Parse(d, record), 1);
  EXPECT_EQ(d.m_count, 3);
  EXPECT_EQ(Build(d), record);
}

TEST(DescIspTuningCounted, DeadPixelRecordOfTwelveKeepsFiveEntries) {
  CDescIspDeadPixel d;
  const Bytes record = {0x0C, 0x39, 0x28, 0x34, 0x12, 0x78, 0x56, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5};
  ASSERT_EQ(Parse(d, record), 1);
  EXPECT_EQ(d.m_value2, 0x28);
  EXPECT_EQ(d.m_value3, 0x1234);
  EXPECT_EQ(d.m_value5, 0x5678);
  EXPECT_EQ(d.m_count, 5);
  EXPECT_EQ(d.m_entries[0], 0xA1);
  EXPECT_EQ(d.m_entries[4], 0xA5);
  EXPECT_EQ(Build(d), record);
}

TEST(DescIspTuningCounted, ListsOnlyTheCountedBytes) {
  CDescQtable d;
  ASSERT_EQ(Parse(d, {0x05, 0x24, 0x10, 0x11, 0x12}), 1);
  DescriptorFields fields;
  d.ListFields(fields);
  ASSERT_EQ(fields.size(), 2u);
  EXPECT_EQ(fields[0].name, "count");
  EXPECT_EQ(fields[0].number, 3);
  EXPECT_EQ(fields[1].name, "table");
  EXPECT_TRUE(fields[1].isBytes);
  EXPECT_EQ(fields[1].bytes, (Bytes{0x10, 0x11, 0x12}));
}

// --- Tables of 32-bit factors ---------------------------------------------------

TEST(DescIspTuningFactors, NewGainTableWritesItsFactorsMostSignificantByteFirst) {
  CDescNonCrystalGainTable d;
  const Bytes expected = {0x2A, 0x12, 0x3F, 0x81, 0x4D, 0x3F, 0x3F, 0x80, 0xD6, 0xFA, 0x3F, 0x80, 0xAA, 0x1D,
                          0x3F, 0x80, 0x7A, 0x3B, 0x3F, 0x80, 0x6F, 0x22, 0x3F, 0x80, 0x5C, 0x7B, 0x3F, 0x80,
                          0x62, 0x3E, 0x3F, 0x80, 0x59, 0x6B, 0x3F, 0x80, 0x58, 0xF0, 0x3F, 0x80, 0x60, 0x94};
  EXPECT_EQ(Build(d), expected);
}

TEST(DescIspTuningFactors, NewCalibrationTableWritesItsFactorsMostSignificantByteFirst) {
  CDescNFCalibrationTable d;
  const Bytes expected = {0x56, 0x17, 0x3F, 0x80, 0x10, 0x62, 0x3F, 0x80, 0x25, 0xAF, 0x3F, 0x80, 0x35, 0x69, 0x3F,
                          0x80, 0x38, 0x09, 0x3F, 0x80, 0x39, 0xAC, 0x3F, 0x80, 0x3B, 0xA3, 0x3F, 0x80, 0x3D, 0x9B,
                          0x3F, 0x80, 0x3E, 0x96, 0x3F, 0x80, 0x3F, 0x92, 0x3F, 0x80, 0x40, 0x8E, 0x3F, 0x80, 0x41,
                          0x89, 0x3F, 0x80, 0x42, 0x85, 0x3F, 0x80, 0x43, 0x2D, 0x3F, 0x80, 0x43, 0x81, 0x3F, 0x80,
                          0x44, 0x28, 0x3F, 0x80, 0x45, 0x24, 0x3F, 0x80, 0x45, 0xCC, 0x3F, 0x80, 0x46, 0x74, 0x3F,
                          0x80, 0x47, 0x1B, 0x3F, 0x80, 0x47, 0x1B, 0x3F, 0x80, 0x47, 0x1B};
  EXPECT_EQ(Build(d), expected);
}

TEST(DescIspTuningFactors, GainTableReadBackIsWrittenUnchanged) {
  CDescNonCrystalGainTable d;
  const Bytes record = Concat({0x2A, 0x12}, Pattern(40, 0x7F));
  ASSERT_EQ(Parse(d, record), 1);
  EXPECT_EQ(d.m_factors[0], 0x7F828588u);
  EXPECT_EQ(Build(d), record);
}

TEST(DescIspTuningFactors, CalibrationTableReadBackIsWrittenUnchanged) {
  CDescNFCalibrationTable d;
  // A NaN pattern and a negative zero must pass through bit for bit.
  Bytes record = Concat({0x56, 0x17}, Pattern(84, 0x01));
  const Bytes nan = {0x7F, 0xC0, 0x00, 0x01};
  const Bytes negativeZero = {0x80, 0x00, 0x00, 0x00};
  std::copy(nan.begin(), nan.end(), record.begin() + 2);
  std::copy(negativeZero.begin(), negativeZero.end(), record.begin() + 82);
  ASSERT_EQ(Parse(d, record), 1);
  EXPECT_EQ(d.m_factors[0], 0x7FC00001u);
  EXPECT_EQ(d.m_factors[20], 0x80000000u);
  EXPECT_EQ(Build(d), record);
}

TEST(DescIspTuningFactors, FactorsAreListedAsTheirBitPatterns) {
  CDescNonCrystalGainTable d;
  DescriptorFields fields;
  d.ListFields(fields);
  ASSERT_EQ(fields.size(), 10u);
  EXPECT_EQ(fields[0].name, "factor2");
  EXPECT_EQ(fields[0].number, 0x3F814D3F);
  EXPECT_EQ(fields[9].name, "factor38");
  EXPECT_EQ(fields[9].number, 0x3F806094);
}

// --- Listing of the remaining fixed layouts ---------------------------------------

TEST(DescIspTuningListing, FixedLayoutsListEveryField) {
  EXPECT_EQ(FieldNames(CDescIspCCM()), (std::vector<std::string>{"colorTemp1", "colorTemp2", "matrix1", "matrix2"}));
  EXPECT_EQ(FieldNames(CDescISPBlackPattern()), (std::vector<std::string>{"value2", "value4", "value6"}));
  EXPECT_EQ(FieldNames(CDescIspDeadPixel()),
            (std::vector<std::string>{"value2", "value3", "value5", "count", "entries"}));
  EXPECT_EQ(FieldNames(CDescIspLSC()),
            (std::vector<std::string>{"setting2", "setting3", "setting4", "setting5", "count", "data"}));
}

}  // namespace
}  // namespace _QTL_UVC_Descriptor
