#include "firmware/DescIspTuning.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "firmware/Bytes.h"

namespace _QTL_UVC_Descriptor {

namespace {

constexpr size_t kPayloadAt = 2;
// A record keeps its data count in one byte.
constexpr size_t kMaxDataCount = 255;

std::string FieldName(const char* stem, size_t number) { return stem + std::to_string(number); }

// Records whose payload is a run of single bytes, one field each.
int ReadByteRun(CDescriptor& record, const uint8_t* in, uint8_t* values, size_t count) {
  record.ReadShortHeader(in);
  std::memcpy(values, in + kPayloadAt, count);
  return 1;
}

int WriteByteRun(CDescriptor& record, uint8_t* out, uint8_t type, const uint8_t* values, size_t count) {
  record.m_length = static_cast<uint16_t>(kPayloadAt + count);
  record.m_type = type;
  std::memcpy(out + kPayloadAt, values, count);
  record.WriteShortHeader(out);
  return 1;
}

void ListByteRun(DescriptorFields& out, const uint8_t* values, size_t count) {
  for (size_t i = 0; i < count; ++i) AddNumberAt(out, FieldName("value", kPayloadAt + i), kPayloadAt + i, values[i], 8);
}

// Records whose data fill the rest of the record after a fixed part. The data
// length comes from the record, so it is checked against the array (and the
// one-byte count) before anything is copied; a refused record leaves the
// object as it was. The caller reads its own fixed fields after success.
int ReadCountedData(CDescriptor& record, const uint8_t* in, size_t fixedSize, uint8_t* data, size_t capacity,
                    uint8_t& count) {
  const size_t length = CDescriptor::DecodeLength(in);
  if (length < fixedSize) return 0;
  const size_t dataLength = length - fixedSize;
  if (dataLength > std::min(capacity, kMaxDataCount)) return 0;
  record.ReadShortHeader(in);
  std::memcpy(data, in + fixedSize, dataLength);
  count = static_cast<uint8_t>(dataLength);
  return 1;
}

// Writes the data and the header; the caller writes its fixed fields after
// success. A count beyond the array (set from outside) writes nothing.
int WriteCountedData(CDescriptor& record, uint8_t* out, uint8_t type, size_t fixedSize, const uint8_t* data,
                     size_t capacity, uint8_t count) {
  if (count > capacity) return 0;
  record.m_length = static_cast<uint16_t>(fixedSize + count);
  record.m_type = type;
  std::memcpy(out + fixedSize, data, count);
  record.WriteShortHeader(out);
  return 1;
}

void ListCountedData(DescriptorFields& out, const char* name, const char* label, const uint8_t* data, size_t capacity,
                     uint8_t count) {
  AddNumber(out, "count", "data count", count, 0);
  AddBytes(out, name, label, data, std::min<size_t>(count, capacity));
}

// Tables of 32-bit factors, most significant byte first, moved as bit patterns.
void ReadFactors(const uint8_t* in, uint32_t* factors, size_t count) {
  for (size_t i = 0; i < count; ++i) factors[i] = GetBE32(in + kPayloadAt + 4 * i);
}

void WriteFactors(uint8_t* out, const uint32_t* factors, size_t count) {
  for (size_t i = 0; i < count; ++i) PutBE32(out + kPayloadAt + 4 * i, factors[i]);
}

void ListFactors(DescriptorFields& out, const uint32_t* factors, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    AddFloatBits(out, FieldName("factor", kPayloadAt + 4 * i), "factor " + std::to_string(i + 1), factors[i]);
  }
}

}  // namespace

// --- Byte runs ------------------------------------------------------------------

int CDescIspBlackLevel::ParseFrom(const uint8_t* record) {
  return ReadByteRun(*this, record, m_values, sizeof m_values);
}
int CDescIspBlackLevel::BuildTo(uint8_t* out) { return WriteByteRun(*this, out, kType, m_values, sizeof m_values); }
void CDescIspBlackLevel::ListFields(DescriptorFields& out) const { ListByteRun(out, m_values, sizeof m_values); }

int CDescIspAEC::ParseFrom(const uint8_t* record) { return ReadByteRun(*this, record, m_values, sizeof m_values); }
int CDescIspAEC::BuildTo(uint8_t* out) { return WriteByteRun(*this, out, kType, m_values, sizeof m_values); }
void CDescIspAEC::ListFields(DescriptorFields& out) const { ListByteRun(out, m_values, sizeof m_values); }

int CDescIspAEC_3301::ParseFrom(const uint8_t* record) { return ReadByteRun(*this, record, m_values, sizeof m_values); }
int CDescIspAEC_3301::BuildTo(uint8_t* out) { return WriteByteRun(*this, out, kType, m_values, sizeof m_values); }
void CDescIspAEC_3301::ListFields(DescriptorFields& out) const { ListByteRun(out, m_values, sizeof m_values); }

int CDescIspEdgeEnhance::ParseFrom(const uint8_t* record) {
  return ReadByteRun(*this, record, m_values, sizeof m_values);
}
int CDescIspEdgeEnhance::BuildTo(uint8_t* out) { return WriteByteRun(*this, out, kType, m_values, sizeof m_values); }
void CDescIspEdgeEnhance::ListFields(DescriptorFields& out) const { ListByteRun(out, m_values, sizeof m_values); }

int CDescIspAESpeed::ParseFrom(const uint8_t* record) { return ReadByteRun(*this, record, m_values, sizeof m_values); }
int CDescIspAESpeed::BuildTo(uint8_t* out) { return WriteByteRun(*this, out, kType, m_values, sizeof m_values); }
void CDescIspAESpeed::ListFields(DescriptorFields& out) const { ListByteRun(out, m_values, sizeof m_values); }

int CDescIspWhiteBalance::ParseFrom(const uint8_t* record) {
  return ReadByteRun(*this, record, m_values, sizeof m_values);
}
int CDescIspWhiteBalance::BuildTo(uint8_t* out) { return WriteByteRun(*this, out, kType, m_values, sizeof m_values); }
void CDescIspWhiteBalance::ListFields(DescriptorFields& out) const { ListByteRun(out, m_values, sizeof m_values); }

int CDescIspYUV2RGB::ParseFrom(const uint8_t* record) { return ReadByteRun(*this, record, m_values, sizeof m_values); }
int CDescIspYUV2RGB::BuildTo(uint8_t* out) { return WriteByteRun(*this, out, kType, m_values, sizeof m_values); }
void CDescIspYUV2RGB::ListFields(DescriptorFields& out) const { ListByteRun(out, m_values, sizeof m_values); }

int CDescDmicPara::ParseFrom(const uint8_t* record) { return ReadByteRun(*this, record, m_values, sizeof m_values); }
int CDescDmicPara::BuildTo(uint8_t* out) { return WriteByteRun(*this, out, kType, m_values, sizeof m_values); }
void CDescDmicPara::ListFields(DescriptorFields& out) const { ListByteRun(out, m_values, sizeof m_values); }

// --- CDescIspControl ------------------------------------------------------------

namespace {

// A stored byte read as a two's-complement value.
int16_t SignedByte(uint8_t byte) { return static_cast<int16_t>(byte < 0x80 ? byte : byte - 0x100); }

struct SwitchBit {
  uint8_t CDescIspControl::*flag;
  size_t byte;
  int bit;
  const char* name;
};

constexpr SwitchBit kSwitches[] = {
    {&CDescIspControl::m_flag2Bit7, 2, 7, "flag2Bit7"}, {&CDescIspControl::m_flag2Bit6, 2, 6, "flag2Bit6"},
    {&CDescIspControl::m_flag2Bit5, 2, 5, "flag2Bit5"}, {&CDescIspControl::m_flag2Bit4, 2, 4, "flag2Bit4"},
    {&CDescIspControl::m_flag2Bit3, 2, 3, "flag2Bit3"}, {&CDescIspControl::m_flag3Bit7, 3, 7, "flag3Bit7"},
    {&CDescIspControl::m_flag3Bit6, 3, 6, "flag3Bit6"}, {&CDescIspControl::m_flag3Bit4, 3, 4, "flag3Bit4"},
    {&CDescIspControl::m_flag3Bit2, 3, 2, "flag3Bit2"},
};

}  // namespace

int CDescIspControl::ParseFrom(const uint8_t* record) {
  ReadShortHeader(record);
  m_rawByte2 = record[2];
  m_rawByte3 = record[3];
  for (const SwitchBit& s : kSwitches) this->*s.flag = static_cast<uint8_t>((record[s.byte] >> s.bit) & 1);
  return 1;
}

int CDescIspControl::BuildTo(uint8_t* out) {
  m_length = kLength;
  m_type = kType;
  out[2] = 0;
  out[3] = 0;
  for (const SwitchBit& s : kSwitches) {
    if (this->*s.flag != 0) out[s.byte] = static_cast<uint8_t>(out[s.byte] | (1u << s.bit));
  }
  WriteShortHeader(out);
  return 1;
}

void CDescIspControl::ListFields(DescriptorFields& out) const {
  AddNumber(out, "rawByte2", "byte 2 as read", m_rawByte2, 8);
  AddNumber(out, "rawByte3", "byte 3 as read", m_rawByte3, 8);
  for (const SwitchBit& s : kSwitches) AddFlag(out, s.name, "switch, " + BitLabel(s.byte, s.bit), this->*s.flag);
}

// --- CDescIspLSC ----------------------------------------------------------------

int CDescIspLSC::ParseFrom(const uint8_t* record) {
  // The shading data are always taken whole; a record too short to hold them
  // would hand over bytes that are not its own.
  if (DecodeLength(record) < kReadLength) return 0;
  ReadShortHeader(record);
  for (size_t i = 0; i < 4; ++i) m_settings[i] = SignedByte(record[kPayloadAt + i]);
  std::memcpy(m_data, record + kFixedSize, kDataSize);
  m_dataCount = kDataSize;
  return 1;
}

int CDescIspLSC::BuildTo(uint8_t* out) {
  if (!WriteCountedData(*this, out, kType, kFixedSize, m_data, sizeof m_data, m_dataCount)) return 0;
  for (size_t i = 0; i < 4; ++i) out[kPayloadAt + i] = static_cast<uint8_t>(m_settings[i] & 0xFF);
  return 1;
}

void CDescIspLSC::ListFields(DescriptorFields& out) const {
  for (size_t i = 0; i < 4; ++i) {
    AddSigned(out, FieldName("setting", kPayloadAt + i), "setting, " + ByteLabel(kPayloadAt + i), m_settings[i], 8);
  }
  ListCountedData(out, "data", "lens-shading data", m_data, sizeof m_data, m_dataCount);
}

// --- CDescIspCCM ----------------------------------------------------------------

int CDescIspCCM::ParseFrom(const uint8_t* record) {
  ReadShortHeader(record);
  m_colorTemp1 = GetLE16(record + 2);
  m_colorTemp2 = GetLE16(record + 4);
  std::memcpy(m_matrix1, record + 6, sizeof m_matrix1);
  std::memcpy(m_matrix2, record + 15, sizeof m_matrix2);
  return 1;
}

int CDescIspCCM::BuildTo(uint8_t* out) {
  m_length = kLength;
  m_type = kType;
  PutLE16(out + 2, m_colorTemp1);
  PutLE16(out + 4, m_colorTemp2);
  std::memcpy(out + 6, m_matrix1, sizeof m_matrix1);
  std::memcpy(out + 15, m_matrix2, sizeof m_matrix2);
  WriteShortHeader(out);
  return 1;
}

void CDescIspCCM::ListFields(DescriptorFields& out) const {
  AddNumber(out, "colorTemp1", "colour temperature 1", m_colorTemp1, 16);
  AddNumber(out, "colorTemp2", "colour temperature 2", m_colorTemp2, 16);
  AddBytes(out, "matrix1", "matrix 1", m_matrix1, sizeof m_matrix1);
  AddBytes(out, "matrix2", "matrix 2", m_matrix2, sizeof m_matrix2);
}

// --- CDescIspCCM_3301 -----------------------------------------------------------

namespace {

size_t CcmValueCount(uint8_t form) { return form == CDescIspCCM_3301::kLongForm ? 6 : 3; }

}  // namespace

int CDescIspCCM_3301::ParseFrom(const uint8_t* record) {
  const uint16_t length = DecodeLength(record);
  if (length != kShortLength && length != kLongLength) return 0;
  ReadShortHeader(record);
  m_form = length == kLongLength ? kLongForm : kShortForm;
  for (size_t i = 0; i < CcmValueCount(m_form); ++i) m_values[i] = GetLE32(record + kPayloadAt + 4 * i);
  if (m_form == kLongForm) {
    m_colorTemp1 = GetLE16(record + 26);
    m_colorTemp2 = GetLE16(record + 28);
  }
  return 1;
}

int CDescIspCCM_3301::BuildTo(uint8_t* out) {
  if (m_form != kShortForm && m_form != kLongForm) return 0;
  m_length = m_form == kLongForm ? kLongLength : kShortLength;
  m_type = kType;
  for (size_t i = 0; i < CcmValueCount(m_form); ++i) PutLE32(out + kPayloadAt + 4 * i, m_values[i]);
  if (m_form == kLongForm) {
    PutLE16(out + 26, m_colorTemp1);
    PutLE16(out + 28, m_colorTemp2);
  }
  WriteShortHeader(out);
  return 1;
}

void CDescIspCCM_3301::ListFields(DescriptorFields& out) const {
  AddNumber(out, "form", "form", m_form, 0);
  for (size_t i = 0; i < CcmValueCount(m_form); ++i) {
    AddNumberAt(out, FieldName("value", kPayloadAt + 4 * i), kPayloadAt + 4 * i, m_values[i], 32);
  }
  if (m_form == kLongForm) {
    AddNumber(out, "colorTemp1", "colour temperature 1", m_colorTemp1, 16);
    AddNumber(out, "colorTemp2", "colour temperature 2", m_colorTemp2, 16);
  }
}

// --- CDescIspNoiseReduction_3301 ------------------------------------------------

int CDescIspNoiseReduction_3301::ParseFrom(const uint8_t* record) {
  ReadShortHeader(record);
  m_level = 0;
  if (m_length > 23) m_level = 1;
  if (m_length == kLevelLengths[2]) m_level = 2;
  std::memcpy(m_basic, record + 2, sizeof m_basic);
  if (m_level >= 1) std::memcpy(m_level1Values, record + 13, sizeof m_level1Values);
  if (m_level == 2) std::memcpy(m_level2Values, record + 24, sizeof m_level2Values);
  return 1;
}

int CDescIspNoiseReduction_3301::BuildTo(uint8_t* out) {
  if (m_level > 2) return 0;
  m_length = kLevelLengths[m_level];
  m_type = kType;
  std::memcpy(out + 2, m_basic, sizeof m_basic);
  if (m_level >= 1) std::memcpy(out + 13, m_level1Values, sizeof m_level1Values);
  if (m_level == 2) std::memcpy(out + 24, m_level2Values, sizeof m_level2Values);
  WriteShortHeader(out);
  return 1;
}

void CDescIspNoiseReduction_3301::ListFields(DescriptorFields& out) const {
  AddNumber(out, "level", "level", m_level, 0);
  AddBytes(out, "basic", ByteLabel(2, sizeof m_basic), m_basic, sizeof m_basic);
  if (m_level >= 1)
    AddBytes(out, "level1Values", ByteLabel(13, sizeof m_level1Values), m_level1Values, sizeof m_level1Values);
  if (m_level == 2)
    AddBytes(out, "level2Values", ByteLabel(24, sizeof m_level2Values), m_level2Values, sizeof m_level2Values);
}

// --- CDescISPBlackPattern -------------------------------------------------------

int CDescISPBlackPattern::ParseFrom(const uint8_t* record) {
  ReadShortHeader(record);
  m_value2 = GetLE16(record + 2);
  m_value4 = GetLE16(record + 4);
  m_value6 = record[6];
  return 1;
}

int CDescISPBlackPattern::BuildTo(uint8_t* out) {
  m_length = kLength;
  m_type = kType;
  PutLE16(out + 2, m_value2);
  PutLE16(out + 4, m_value4);
  out[6] = m_value6;
  WriteShortHeader(out);
  return 1;
}

void CDescISPBlackPattern::ListFields(DescriptorFields& out) const {
  AddNumberAt(out, "value2", 2, m_value2, 16);
  AddNumberAt(out, "value4", 4, m_value4, 16);
  AddNumberAt(out, "value6", 6, m_value6, 8);
}

// --- Counted data ---------------------------------------------------------------

int CDescQtable::ParseFrom(const uint8_t* record) {
  return ReadCountedData(*this, record, kFixedSize, m_table, sizeof m_table, m_count);
}
int CDescQtable::BuildTo(uint8_t* out) {
  return WriteCountedData(*this, out, kType, kFixedSize, m_table, sizeof m_table, m_count);
}
void CDescQtable::ListFields(DescriptorFields& out) const {
  ListCountedData(out, "table", "quantisation table", m_table, sizeof m_table, m_count);
}

int CDescIspZoom::ParseFrom(const uint8_t* record) {
  return ReadCountedData(*this, record, kFixedSize, m_data, sizeof m_data, m_count);
}
int CDescIspZoom::BuildTo(uint8_t* out) {
  return WriteCountedData(*this, out, kType, kFixedSize, m_data, sizeof m_data, m_count);
}
void CDescIspZoom::ListFields(DescriptorFields& out) const {
  ListCountedData(out, "data", "data", m_data, sizeof m_data, m_count);
}

int CDescIspColorTempTable::ParseFrom(const uint8_t* record) {
  return ReadCountedData(*this, record, kFixedSize, m_data, sizeof m_data, m_count);
}
int CDescIspColorTempTable::BuildTo(uint8_t* out) {
  return WriteCountedData(*this, out, kType, kFixedSize, m_data, sizeof m_data, m_count);
}
void CDescIspColorTempTable::ListFields(DescriptorFields& out) const {
  ListCountedData(out, "data", "data", m_data, sizeof m_data, m_count);
}

int CDescIspGamma::ParseFrom(const uint8_t* record) {
  return ReadCountedData(*this, record, kFixedSize, m_points, sizeof m_points, m_count);
}
int CDescIspGamma::BuildTo(uint8_t* out) {
  return WriteCountedData(*this, out, kType, kFixedSize, m_points, sizeof m_points, m_count);
}
void CDescIspGamma::ListFields(DescriptorFields& out) const {
  ListCountedData(out, "points", "curve points", m_points, sizeof m_points, m_count);
}

int CDescIspGamma_3301::ParseFrom(const uint8_t* record) {
  return ReadCountedData(*this, record, kFixedSize, m_points, sizeof m_points, m_count);
}
int CDescIspGamma_3301::BuildTo(uint8_t* out) {
  return WriteCountedData(*this, out, kType, kFixedSize, m_points, sizeof m_points, m_count);
}
void CDescIspGamma_3301::ListFields(DescriptorFields& out) const {
  ListCountedData(out, "points", "curve points", m_points, sizeof m_points, m_count);
}

int CDescIspDeadPixel::ParseFrom(const uint8_t* record) {
  if (!ReadCountedData(*this, record, kFixedSize, m_entries, sizeof m_entries, m_count)) return 0;
  m_value2 = record[2];
  m_value3 = GetLE16(record + 3);
  m_value5 = GetLE16(record + 5);
  return 1;
}

int CDescIspDeadPixel::BuildTo(uint8_t* out) {
  if (!WriteCountedData(*this, out, kType, kFixedSize, m_entries, sizeof m_entries, m_count)) return 0;
  out[2] = m_value2;
  PutLE16(out + 3, m_value3);
  PutLE16(out + 5, m_value5);
  return 1;
}

void CDescIspDeadPixel::ListFields(DescriptorFields& out) const {
  AddNumberAt(out, "value2", 2, m_value2, 8);
  AddNumberAt(out, "value3", 3, m_value3, 16);
  AddNumberAt(out, "value5", 5, m_value5, 16);
  ListCountedData(out, "entries", "dead-pixel entries", m_entries, sizeof m_entries, m_count);
}

// --- Factor tables --------------------------------------------------------------

int CDescNonCrystalGainTable::ParseFrom(const uint8_t* record) {
  ReadShortHeader(record);
  ReadFactors(record, m_factors, kFactorCount);
  return 1;
}

int CDescNonCrystalGainTable::BuildTo(uint8_t* out) {
  m_length = kLength;
  m_type = kType;
  WriteFactors(out, m_factors, kFactorCount);
  WriteShortHeader(out);
  return 1;
}

void CDescNonCrystalGainTable::ListFields(DescriptorFields& out) const { ListFactors(out, m_factors, kFactorCount); }

int CDescNFCalibrationTable::ParseFrom(const uint8_t* record) {
  ReadShortHeader(record);
  ReadFactors(record, m_factors, kFactorCount);
  return 1;
}

int CDescNFCalibrationTable::BuildTo(uint8_t* out) {
  m_length = kLength;
  m_type = kType;
  WriteFactors(out, m_factors, kFactorCount);
  WriteShortHeader(out);
  return 1;
}

void CDescNFCalibrationTable::ListFields(DescriptorFields& out) const { ListFactors(out, m_factors, kFactorCount); }

}  // namespace _QTL_UVC_Descriptor
