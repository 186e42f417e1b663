#include "firmware/DescSensorFormat.h"

#include <cstring>
#include <string>

#include "firmware/Bytes.h"

namespace _QTL_UVC_Descriptor {
namespace {

// ------------------------------------------------------------------ helpers

// One kept bit of a mask and the flag field that holds it.
template <class Record>
struct MaskBit {
  unsigned bit;
  uint8_t Record::*flag;
  const char* name;
};

template <class Record, size_t N>
void ReadMask(Record& record, uint32_t mask, const MaskBit<Record> (&bits)[N]) {
  for (const MaskBit<Record>& b : bits) record.*b.flag = static_cast<uint8_t>((mask >> b.bit) & 1u);
}

// Only the kept bits are written; every other bit of the mask comes out 0.
template <class Record, size_t N>
uint32_t BuildMask(const Record& record, const MaskBit<Record> (&bits)[N]) {
  uint32_t mask = 0;
  for (const MaskBit<Record>& b : bits) {
    if (record.*b.flag != 0) mask |= 1u << b.bit;
  }
  return mask;
}

template <class Record, size_t N>
void ListMask(DescriptorFields& out, const Record& record, const MaskBit<Record> (&bits)[N], const std::string& mask) {
  for (const MaskBit<Record>& b : bits) AddFlag(out, b.name, mask + " bit " + std::to_string(b.bit), record.*b.flag);
}

// The thirteen kept bits of the control mask, shared by the 3301 and 3303
// families.
template <class Record>
constexpr MaskBit<Record> kControlMaskBits[] = {
    {0, &Record::m_controlFlag0, "controlFlag0"},    {1, &Record::m_controlFlag1, "controlFlag1"},
    {2, &Record::m_controlFlag2, "controlFlag2"},    {3, &Record::m_controlFlag3, "controlFlag3"},
    {4, &Record::m_controlFlag4, "controlFlag4"},    {5, &Record::m_controlFlag5, "controlFlag5"},
    {6, &Record::m_controlFlag6, "controlFlag6"},    {7, &Record::m_controlFlag7, "controlFlag7"},
    {8, &Record::m_controlFlag8, "controlFlag8"},    {9, &Record::m_controlFlag9, "controlFlag9"},
    {10, &Record::m_controlFlag10, "controlFlag10"}, {12, &Record::m_controlFlag12, "controlFlag12"},
    {13, &Record::m_controlFlag13, "controlFlag13"},
};

constexpr MaskBit<CDescUvcControlAttribute_3301> kMaskBits3301[] = {
    {1, &CDescUvcControlAttribute_3301::m_maskFlag1, "maskFlag1"},
    {2, &CDescUvcControlAttribute_3301::m_maskFlag2, "maskFlag2"},
    {3, &CDescUvcControlAttribute_3301::m_maskFlag3, "maskFlag3"},
};

constexpr MaskBit<CDescUvcControlAttribute_3303> kMaskBits3303[] = {
    {1, &CDescUvcControlAttribute_3303::m_maskFlag1, "maskFlag1"},
    {3, &CDescUvcControlAttribute_3303::m_maskFlag3, "maskFlag3"},
    {2, &CDescUvcControlAttribute_3303::m_maskFlag2, "maskFlag2"},
    {9, &CDescUvcControlAttribute_3303::m_maskFlag9, "maskFlag9"},
    {11, &CDescUvcControlAttribute_3303::m_maskFlag11, "maskFlag11"},
    {13, &CDescUvcControlAttribute_3303::m_maskFlag13, "maskFlag13"},
};

std::string OffsetName(const char* prefix, size_t offset) { return prefix + std::to_string(offset); }

// Lists 16-bit values that start at record byte `firstOffset`, each under the
// name of the byte it starts at.
template <class Word>
void ListWords(DescriptorFields& out, size_t firstOffset, const Word* values, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    const size_t offset = firstOffset + 2 * i;
    AddNumberAt(out, OffsetName("value", offset), offset, values[i], 16);
  }
}

// A range is a triple of default, minimum and maximum, each two's complement:
// a range may reach below zero.
void ListRange(DescriptorFields& out, size_t offset, const int16_t (&range)[3]) {
  const std::string name = OffsetName("range", offset);
  const std::string place = ByteLabel(offset, 6);
  AddSigned(out, name + "Default", place + " default", range[0], 16);
  AddSigned(out, name + "Min", place + " minimum", range[1], 16);
  AddSigned(out, name + "Max", place + " maximum", range[2], 16);
}

void ListRange(DescriptorFields& out, size_t offset, const uint8_t (&range)[3]) {
  const std::string name = OffsetName("range", offset);
  const std::string place = ByteLabel(offset, 3);
  auto value = [](uint8_t byte) { return static_cast<int8_t>(byte); };
  AddSigned(out, name + "Default", place + " default", value(range[0]), 8);
  AddSigned(out, name + "Min", place + " minimum", value(range[1]), 8);
  AddSigned(out, name + "Max", place + " maximum", value(range[2]), 8);
}

void ReadRange16(const uint8_t* at, int16_t (&range)[3]) {
  for (size_t i = 0; i < 3; ++i) range[i] = static_cast<int16_t>(GetLE16(at + 2 * i));
}

void WriteRange16(uint8_t* at, const int16_t (&range)[3]) {
  for (size_t i = 0; i < 3; ++i) PutLE16(at + 2 * i, static_cast<uint16_t>(range[i]));
}

// Every record of the short-form lists is checked against this limit as
// well as against the list's own storage.
constexpr int kShortListLimit = 2048;

// The data count of a short-form register-list record, or -1 when its data
// would not fit the list or its declared length does not even cover the
// fixed part.
int ShortListDataCount(const uint8_t* record, uint16_t dataStart, size_t capacity) {
  const int length = CDescriptor::DecodeLength(record);
  const int count = length - dataStart;
  if (length - 4 > kShortListLimit || count < 0 || count > static_cast<int>(capacity)) return -1;
  return count;
}

// The short header cannot express 1023 bytes or more (1023 is the long-form
// escape).
bool FitsShortForm(size_t recordLength) { return recordLength < CDescriptor::kLongFormEscape; }

// The part every short-form register list shares: the header and the data
// after the fixed bytes. Reading checks the data against the list before it
// touches the object; the caller reads its fixed bytes after success.
bool ReadListData(CDescriptor& list, const uint8_t* record, uint16_t dataStart, uint8_t* data, size_t capacity,
                  uint16_t* count) {
  const int n = ShortListDataCount(record, dataStart, capacity);
  if (n < 0) return false;
  list.ReadShortHeader(record);
  *count = static_cast<uint16_t>(n);
  std::memcpy(data, record + dataStart, *count);
  return true;
}

// Writes the data and the header, or nothing when the record would not fit
// the short form; the caller writes its fixed bytes after success.
bool WriteListData(CDescriptor& list, uint8_t* out, uint8_t type, uint16_t dataStart, const uint8_t* data,
                   uint16_t count) {
  const size_t length = size_t{count} + dataStart;
  if (!FitsShortForm(length)) return false;
  list.m_length = static_cast<uint16_t>(length);
  list.m_type = type;
  std::memcpy(out + dataStart, data, count);
  list.WriteShortHeader(out);
  return true;
}

void ListData(DescriptorFields& out, const uint8_t* data, uint16_t count) {
  AddNumber(out, "dataCount", "register list length", count, 0);
  AddBytes(out, "data", "register list", data, count);
}

}  // namespace

// ---------------------------------------------------------------- sensor power

CDescSensorPowerControl_3300::CDescSensorPowerControl_3300() {
  m_length = kLength;
  m_type = kType;
}

int CDescSensorPowerControl_3300::ParseFrom(const uint8_t* record) {
  ReadShortHeader(record);
  m_value2 = record[2];
  m_value3 = record[3];
  m_value4 = record[4];
  m_value5 = record[5];
  m_value6 = record[6];
  m_value7 = record[7];
  return 1;
}

int CDescSensorPowerControl_3300::BuildTo(uint8_t* out) {
  m_length = kLength;
  m_type = kType;
  out[2] = m_value2;
  out[3] = m_value3;
  out[4] = m_value4;
  out[5] = m_value5;
  out[6] = m_value6;
  out[7] = m_value7;
  WriteShortHeader(out);
  return 1;
}

void CDescSensorPowerControl_3300::ListFields(DescriptorFields& out) const {
  AddNumberAt(out, "value2", 2, m_value2, 8);
  AddNumberAt(out, "value3", 3, m_value3, 8);
  AddNumberAt(out, "value4", 4, m_value4, 8);
  AddNumberAt(out, "value5", 5, m_value5, 8);
  AddNumberAt(out, "value6", 6, m_value6, 8);
  AddNumberAt(out, "value7", 7, m_value7, 8);
}

CDescSensorPowerControl_3301::CDescSensorPowerControl_3301() {
  m_length = kLength;
  m_type = kType;
}

int CDescSensorPowerControl_3301::ParseFrom(const uint8_t* record) {
  ReadShortHeader(record);
  m_valueA = record[2] & 0x07;
  m_valueB = 0;
  m_value3 = record[3];
  m_value4 = record[4];
  m_value5 = record[5];
  m_value6 = record[6];
  m_value7 = record[7];
  m_value8 = record[8];
  return 1;
}

int CDescSensorPowerControl_3301::BuildTo(uint8_t* out) {
  m_length = kLength;
  m_type = kType;
  // Each value stays inside its own bits, whatever the caller stored.
  out[2] = static_cast<uint8_t>((m_valueA & 0x07) | ((m_valueB & 0x0F) << 4));
  out[3] = m_value3;
  out[4] = m_value4;
  out[5] = m_value5;
  out[6] = m_value6;
  out[7] = m_value7;
  out[8] = m_value8;
  WriteShortHeader(out);
  return 1;
}

void CDescSensorPowerControl_3301::ListFields(DescriptorFields& out) const {
  AddNumber(out, "valueA", BitsLabel(2, 0, 2), m_valueA, 3);
  AddNumber(out, "valueB", BitsLabel(2, 4, 7), m_valueB, 4);
  AddNumberAt(out, "value3", 3, m_value3, 8);
  AddNumberAt(out, "value4", 4, m_value4, 8);
  AddNumberAt(out, "value5", 5, m_value5, 8);
  AddNumberAt(out, "value6", 6, m_value6, 8);
  AddNumberAt(out, "value7", 7, m_value7, 8);
  AddNumberAt(out, "value8", 8, m_value8, 8);
}

CDescSensorPowerControl_3303::CDescSensorPowerControl_3303() {
  m_length = kLength;
  m_type = kType;
}

int CDescSensorPowerControl_3303::ParseFrom(const uint8_t* record) {
  ReadShortHeader(record);
  m_valueA = record[2] & 0x0F;
  m_valueB = record[2] >> 4;
  m_value3 = record[3];
  m_value4 = record[4];
  m_value5 = record[5];
  m_value6 = record[6];
  m_value7 = record[7];
  m_value8 = record[8];
  return 1;
}

int CDescSensorPowerControl_3303::BuildTo(uint8_t* out) {
  m_length = kLength;
  m_type = kType;
  out[2] = static_cast<uint8_t>((m_valueA & 0x0F) | ((m_valueB & 0x0F) << 4));
  out[3] = m_value3;
  out[4] = m_value4;
  out[5] = m_value5;
  out[6] = m_value6;
  out[7] = m_value7;
  out[8] = m_value8;
  WriteShortHeader(out);
  return 1;
}

void CDescSensorPowerControl_3303::ListFields(DescriptorFields& out) const {
  AddNumber(out, "valueA", BitsLabel(2, 0, 3), m_valueA, 4);
  AddNumber(out, "valueB", BitsLabel(2, 4, 7), m_valueB, 4);
  AddNumberAt(out, "value3", 3, m_value3, 8);
  AddNumberAt(out, "value4", 4, m_value4, 8);
  AddNumberAt(out, "value5", 5, m_value5, 8);
  AddNumberAt(out, "value6", 6, m_value6, 8);
  AddNumberAt(out, "value7", 7, m_value7, 8);
  AddNumberAt(out, "value8", 8, m_value8, 8);
}

CDescSensorInfo_3301::CDescSensorInfo_3301() {
  m_length = kLength;
  m_type = kType;
}

int CDescSensorInfo_3301::ParseFrom(const uint8_t* record) {
  ReadShortHeader(record);
  m_value2 = GetLE16(record + 2);
  m_value4 = record[4];
  m_value5High = record[5] >> 4;
  m_value5Low = record[5] & 0x0F;
  m_value6 = record[6];
  return 1;
}

int CDescSensorInfo_3301::BuildTo(uint8_t* out) {
  m_length = kLength;
  m_type = kType;
  PutLE16(out + 2, m_value2);
  out[4] = m_value4;
  out[5] = static_cast<uint8_t>(((m_value5High & 0x0F) << 4) | (m_value5Low & 0x0F));
  out[6] = m_value6;
  WriteShortHeader(out);
  return 1;
}

void CDescSensorInfo_3301::ListFields(DescriptorFields& out) const {
  AddNumberAt(out, "value2", 2, m_value2, 16);
  AddNumberAt(out, "value4", 4, m_value4, 8);
  AddNumber(out, "value5High", BitsLabel(5, 4, 7), m_value5High, 4);
  AddNumber(out, "value5Low", BitsLabel(5, 0, 3), m_value5Low, 4);
  AddNumberAt(out, "value6", 6, m_value6, 8);
}

// ------------------------------------------------------------ register lists

CDescVendorRegSetting::CDescVendorRegSetting() {
  m_length = kDataStart;
  m_type = kType;
}

int CDescVendorRegSetting::ParseFrom(const uint8_t* record) {
  if (!ReadListData(*this, record, kDataStart, m_data, kDataCapacity, &m_dataCount)) return 0;
  m_value2 = record[2];
  m_value3 = GetLE16(record + 3);
  return 1;
}

int CDescVendorRegSetting::BuildTo(uint8_t* out) {
  if (!WriteListData(*this, out, kType, kDataStart, m_data, m_dataCount)) return 0;
  out[2] = m_value2;
  PutLE16(out + 3, m_value3);
  return 1;
}

void CDescVendorRegSetting::ListFields(DescriptorFields& out) const {
  AddNumberAt(out, "value2", 2, m_value2, 8);
  AddNumberAt(out, "value3", 3, m_value3, 16);
  ListData(out, m_data, m_dataCount);
}

CDescVendorRegSetting_3303::CDescVendorRegSetting_3303() {
  m_length = kDataStart;
  m_type = kType;
}

int CDescVendorRegSetting_3303::ParseFrom(const uint8_t* record) {
  if (!ReadListData(*this, record, kDataStart, m_data, kDataCapacity, &m_dataCount)) return 0;
  m_value2 = record[2];
  m_value3 = record[3];
  m_value4 = GetLE16(record + 4);
  return 1;
}

int CDescVendorRegSetting_3303::BuildTo(uint8_t* out) {
  if (!WriteListData(*this, out, kType, kDataStart, m_data, m_dataCount)) return 0;
  out[2] = m_value2;
  out[3] = m_value3;
  PutLE16(out + 4, m_value4);
  return 1;
}

void CDescVendorRegSetting_3303::ListFields(DescriptorFields& out) const {
  AddNumberAt(out, "value2", 2, m_value2, 8);
  AddNumberAt(out, "value3", 3, m_value3, 8);
  AddNumberAt(out, "value4", 4, m_value4, 16);
  ListData(out, m_data, m_dataCount);
}

CDescSnrIspRegSetting::CDescSnrIspRegSetting() {
  m_length = kDataStart;
  m_type = kType;
}

int CDescSnrIspRegSetting::ParseFrom(const uint8_t* record) {
  if (!ReadListData(*this, record, kDataStart, m_data, kDataCapacity, &m_dataCount)) return 0;
  m_value2 = record[2];
  m_value3 = record[3];
  return 1;
}

int CDescSnrIspRegSetting::BuildTo(uint8_t* out) {
  if (!WriteListData(*this, out, kType, kDataStart, m_data, m_dataCount)) return 0;
  out[2] = m_value2;
  out[3] = m_value3;
  return 1;
}

void CDescSnrIspRegSetting::ListFields(DescriptorFields& out) const {
  AddNumberAt(out, "value2", 2, m_value2, 8);
  AddNumberAt(out, "value3", 3, m_value3, 8);
  ListData(out, m_data, m_dataCount);
}

CDescVendorRegSetting_Cache_3301::CDescVendorRegSetting_Cache_3301() {
  m_length = 2 + kFixedPayload;
  m_type = kType;
}

int CDescVendorRegSetting_Cache_3301::ParseFrom(const uint8_t* record) {
  const uint8_t* payload = ReadLongHeader(record);
  const size_t payloadLength = m_payloadLength;
  if (payloadLength < kFixedPayload || payloadLength - kFixedPayload > kDataCapacity) return 0;
  m_value0 = payload[0];
  m_value1 = payload[1];
  m_value2 = GetLE16(payload + 2);
  m_dataCount = static_cast<uint16_t>(m_payloadLength - kFixedPayload);
  std::memcpy(m_data, payload + kFixedPayload, m_dataCount);
  return 1;
}

int CDescVendorRegSetting_Cache_3301::BuildTo(uint8_t* out) {
  if (size_t{m_dataCount} > kMaxWritableData) return 0;
  m_raw[0] = m_value0;
  m_raw[1] = m_value1;
  PutLE16(m_raw + 2, m_value2);
  std::memcpy(m_raw + kFixedPayload, m_data, m_dataCount);
  m_payloadLength = static_cast<uint16_t>(m_dataCount + kFixedPayload);
  m_type = kType;
  WriteLongHeader(out);
  return 1;
}

void CDescVendorRegSetting_Cache_3301::ListFields(DescriptorFields& out) const {
  // The payload starts at byte 2 or byte 4 by the record's form.
  AddNumber(out, "value0", "payload " + ByteLabel(0), m_value0, 8);
  AddNumber(out, "value1", "payload " + ByteLabel(1), m_value1, 8);
  AddNumber(out, "value2", "payload " + ByteLabel(2, 2), m_value2, 16);
  ListData(out, m_data, m_dataCount);
}

// -------------------------------------------------------- UVC control attributes

CDescUvcControlAttribute::CDescUvcControlAttribute() {
  m_length = kLength;
  m_type = kType;
}

int CDescUvcControlAttribute::ParseFrom(const uint8_t* record) {
  ReadShortHeader(record);
  m_value2 = GetLE32(record + 2);
  m_value6 = record[6];
  for (size_t i = 0; i < kValueCount; ++i) m_values7[i] = GetLE16(record + 7 + 2 * i);
  m_value23 = record[23];
  m_value24 = record[24];
  m_value25 = GetLE16(record + 25);
  return 1;
}

int CDescUvcControlAttribute::BuildTo(uint8_t* out) {
  m_length = kLength;
  m_type = kType;
  PutLE32(out + 2, m_value2);
  out[6] = m_value6;
  for (size_t i = 0; i < kValueCount; ++i) PutLE16(out + 7 + 2 * i, m_values7[i]);
  out[23] = m_value23;
  out[24] = static_cast<uint8_t>(m_value24);
  PutLE16(out + 25, m_value25);
  WriteShortHeader(out);
  return 1;
}

void CDescUvcControlAttribute::ListFields(DescriptorFields& out) const {
  AddNumberAt(out, "value2", 2, m_value2, 32);
  AddNumberAt(out, "value6", 6, m_value6, 8);
  ListWords(out, 7, m_values7, kValueCount);
  AddNumberAt(out, "value23", 23, m_value23, 8);
  AddNumberAt(out, "value24", 24, m_value24, 8);
  AddNumberAt(out, "value25", 25, m_value25, 16);
}

CDescUvcControlAttribute_3301::CDescUvcControlAttribute_3301() {
  m_length = kLength;
  m_type = kType;
}

int CDescUvcControlAttribute_3301::ParseFrom(const uint8_t* record) {
  ReadShortHeader(record);
  ReadMask(*this, record[2], kMaskBits3301);
  ReadMask(*this, GetLE16(record + 3), kControlMaskBits<CDescUvcControlAttribute_3301>);
  m_value5 = GetLE32(record + 5);
  m_value9 = record[9];
  for (size_t i = 0; i < kValueCount; ++i) m_values10[i] = GetLE16(record + 10 + 2 * i);
  m_value26 = record[26];
  m_value27 = record[27];
  m_value28 = GetLE16(record + 28);
  m_value30 = record[30];
  return 1;
}

int CDescUvcControlAttribute_3301::BuildTo(uint8_t* out) {
  m_length = kLength;
  m_type = kType;
  out[2] = static_cast<uint8_t>(BuildMask(*this, kMaskBits3301));
  PutLE16(out + 3, BuildMask(*this, kControlMaskBits<CDescUvcControlAttribute_3301>));
  PutLE32(out + 5, m_value5);
  out[9] = m_value9;
  for (size_t i = 0; i < kValueCount; ++i) PutLE16(out + 10 + 2 * i, m_values10[i]);
  out[26] = m_value26;
  out[27] = m_value27;
  PutLE16(out + 28, m_value28);
  out[30] = m_value30;
  WriteShortHeader(out);
  return 1;
}

void CDescUvcControlAttribute_3301::ListFields(DescriptorFields& out) const {
  ListMask(out, *this, kMaskBits3301, ByteLabel(2));
  ListMask(out, *this, kControlMaskBits<CDescUvcControlAttribute_3301>, "control mask");
  AddNumberAt(out, "value5", 5, m_value5, 32);
  AddNumberAt(out, "value9", 9, m_value9, 8);
  ListWords(out, 10, m_values10, kValueCount);
  AddNumberAt(out, "value26", 26, m_value26, 8);
  AddNumberAt(out, "value27", 27, m_value27, 8);
  AddNumberAt(out, "value28", 28, m_value28, 16);
  AddNumberAt(out, "value30", 30, m_value30, 8);
}

CDescUvcControlAttribute_3303::CDescUvcControlAttribute_3303() {
  m_length = kLength;
  m_type = kType;
}

int CDescUvcControlAttribute_3303::ParseFrom(const uint8_t* record) {
  ReadShortHeader(record);
  ReadMask(*this, GetLE16(record + 2), kMaskBits3303);
  ReadMask(*this, GetLE16(record + 4), kControlMaskBits<CDescUvcControlAttribute_3303>);
  m_value6 = GetLE32(record + 6);
  m_value10 = GetLE32(record + 10);
  m_value14 = GetLE32(record + 14);
  m_value18 = record[18];
  for (size_t i = 0; i < kRangeCount; ++i) ReadRange16(record + 19 + 6 * i, m_ranges19[i]);
  std::memcpy(m_range67, record + 67, 3);
  m_value70 = record[70];
  ReadRange16(record + 71, m_range71);
  std::memcpy(m_range77, record + 77, 3);
  ReadRange16(record + 80, m_range80);
  ReadRange16(record + 86, m_range86);
  ReadRange16(record + 92, m_range92);
  ReadRange16(record + 98, m_range98);
  return 1;
}

int CDescUvcControlAttribute_3303::BuildTo(uint8_t* out) {
  m_length = kLength;
  m_type = kType;
  PutLE16(out + 2, BuildMask(*this, kMaskBits3303));
  PutLE16(out + 4, BuildMask(*this, kControlMaskBits<CDescUvcControlAttribute_3303>));
  PutLE32(out + 6, m_value6);
  PutLE32(out + 10, m_value10);
  PutLE32(out + 14, m_value14);
  out[18] = m_value18;
  for (size_t i = 0; i < kRangeCount; ++i) WriteRange16(out + 19 + 6 * i, m_ranges19[i]);
  std::memcpy(out + 67, m_range67, 3);
  out[70] = m_value70;
  WriteRange16(out + 71, m_range71);
  std::memcpy(out + 77, m_range77, 3);
  WriteRange16(out + 80, m_range80);
  WriteRange16(out + 86, m_range86);
  WriteRange16(out + 92, m_range92);
  WriteRange16(out + 98, m_range98);
  WriteShortHeader(out);
  return 1;
}

void CDescUvcControlAttribute_3303::ListFields(DescriptorFields& out) const {
  ListMask(out, *this, kMaskBits3303, ByteLabel(2, 2));
  ListMask(out, *this, kControlMaskBits<CDescUvcControlAttribute_3303>, "control mask");
  AddNumberAt(out, "value6", 6, m_value6, 32);
  AddNumberAt(out, "value10", 10, m_value10, 32);
  AddNumberAt(out, "value14", 14, m_value14, 32);
  AddNumberAt(out, "value18", 18, m_value18, 8);
  for (size_t i = 0; i < kRangeCount; ++i) ListRange(out, 19 + 6 * i, m_ranges19[i]);
  ListRange(out, 67, m_range67);
  AddNumberAt(out, "value70", 70, m_value70, 8);
  ListRange(out, 71, m_range71);
  ListRange(out, 77, m_range77);
  ListRange(out, 80, m_range80);
  ListRange(out, 86, m_range86);
  ListRange(out, 92, m_range92);
  ListRange(out, 98, m_range98);
}

// ------------------------------------------------------ video formats and rates

CDescVideoFormat_3301::CDescVideoFormat_3301() {
  m_length = kLength;
  m_type = kType;
}

int CDescVideoFormat_3301::ParseFrom(const uint8_t* record) {
  ReadShortHeader(record);
  m_value2 = record[2];
  m_countA = record[3];
  std::memcpy(m_listA, record + 4, kListSize);
  m_countB = record[16];
  std::memcpy(m_listB, record + 17, kListSize);
  for (size_t i = 0; i < kValueCount; ++i) m_values29[i] = GetBE16(record + 29 + 2 * i);
  return 1;
}

int CDescVideoFormat_3301::BuildTo(uint8_t* out) {
  m_length = kLength;
  m_type = kType;
  out[2] = m_value2;
  out[3] = m_countA;
  std::memcpy(out + 4, m_listA, kListSize);
  out[16] = m_countB;
  std::memcpy(out + 17, m_listB, kListSize);
  for (size_t i = 0; i < kValueCount; ++i) PutBE16(out + 29 + 2 * i, m_values29[i]);
  WriteShortHeader(out);
  return 1;
}

void CDescVideoFormat_3301::ListFields(DescriptorFields& out) const {
  AddNumberAt(out, "value2", 2, m_value2, 8);
  // Both lists are listed whole: every entry is written back, in use or not.
  AddNumber(out, "countA", "list A entries", m_countA, 8);
  AddBytes(out, "listA", "list A", m_listA, kListSize);
  AddNumber(out, "countB", "list B entries", m_countB, 8);
  AddBytes(out, "listB", "list B", m_listB, kListSize);
  ListWords(out, 29, m_values29, kValueCount);
}

CDescFrameRate::CDescFrameRate() {
  m_length = kLength;
  m_type = kType;
}

int CDescFrameRate::ParseFrom(const uint8_t* record) {
  ReadShortHeader(record);
  for (size_t i = 0; i < kGroupSize; ++i) {
    m_values2[i] = GetLE16(record + 2 + 2 * i);
    m_values20[i] = GetLE16(record + 20 + 2 * i);
  }
  return 1;
}

int CDescFrameRate::BuildTo(uint8_t* out) {
  m_length = kLength;
  m_type = kType;
  for (size_t i = 0; i < kGroupSize; ++i) {
    PutLE16(out + 2 + 2 * i, m_values2[i]);
    PutLE16(out + 20 + 2 * i, m_values20[i]);
  }
  WriteShortHeader(out);
  return 1;
}

void CDescFrameRate::ListFields(DescriptorFields& out) const {
  ListWords(out, 2, m_values2, kGroupSize);
  ListWords(out, 20, m_values20, kGroupSize);
}

CDescFrameRateTable_3301::CDescFrameRateTable_3301() {
  m_length = kLength;
  m_type = kType;
}

int CDescFrameRateTable_3301::ParseFrom(const uint8_t* record) {
  ReadShortHeader(record);
  std::memcpy(m_rates, record + 2, kRateCount);
  return 1;
}

int CDescFrameRateTable_3301::BuildTo(uint8_t* out) {
  m_length = kLength;
  m_type = kType;
  std::memcpy(out + 2, m_rates, kRateCount);
  WriteShortHeader(out);
  return 1;
}

void CDescFrameRateTable_3301::ListFields(DescriptorFields& out) const {
  AddBytes(out, "rates", "frame rates", m_rates, kRateCount);
}

}  // namespace _QTL_UVC_Descriptor
