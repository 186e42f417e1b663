#include "firmware/DescIdentity.h"

#include <algorithm>
#include <cstring>

#include "firmware/Bytes.h"

namespace _QTL_UVC_Descriptor {

namespace {

uint8_t Bit(uint8_t byte, int bit) { return static_cast<uint8_t>((byte >> bit) & 1); }
uint8_t LowNibble(uint8_t byte) { return static_cast<uint8_t>(byte & 0x0F); }
uint8_t PlaceBit(uint8_t flag, int bit) { return static_cast<uint8_t>((flag & 1) << bit); }

}  // namespace

// ---- CDescString -----------------------------------------------------------

CDescString::CDescString() {
  // An empty string descriptor, so that a new object writes a well-formed record.
  m_buffer[0] = kMinDescriptorLength;
  m_buffer[1] = kStringDescriptorType;
  m_length = kMinDescriptorLength + 2;
}

int CDescString::ParseFrom(const uint8_t* record) {
  // The descriptor's own length byte, not the record header, sizes the copy,
  // so it must fit the buffer together with the terminating zero.
  const uint8_t descriptorLength = record[2];
  if (descriptorLength < kMinDescriptorLength || descriptorLength > kMaxDescriptorLength) return 0;
  ReadShortHeader(record);
  std::memset(m_buffer, 0, sizeof m_buffer);
  m_buffer[0] = descriptorLength;
  m_buffer[1] = record[3];
  std::memcpy(m_buffer + 2, record + 4, descriptorLength - 2u);
  m_buffer[descriptorLength] = 0;
  return 1;
}

int CDescString::BuildTo(uint8_t* out) {
  // The buffer is public; a length that no longer fits it would copy past it.
  const uint8_t descriptorLength = m_buffer[0];
  if (descriptorLength < kMinDescriptorLength || descriptorLength > kMaxDescriptorLength) return 0;
  m_length = static_cast<uint16_t>(descriptorLength + 2);
  std::memcpy(out + 2, m_buffer, descriptorLength);
  WriteShortHeader(out);
  return 1;
}

void CDescString::ListFields(DescriptorFields& out) const {
  const uint8_t descriptorLength = std::min<uint8_t>(m_buffer[0], kMaxDescriptorLength);
  AddNumber(out, "descriptorLength", "descriptor length", m_buffer[0], 8);
  AddNumber(out, "descriptorType", "descriptor type", m_buffer[1], 8);
  AddText(out, "text", "text", m_buffer + 2, descriptorLength >= 2 ? descriptorLength - 2u : 0u);
}

// ---- CDescVIDPID -----------------------------------------------------------

CDescVIDPID::CDescVIDPID() {
  m_length = kLength;
  m_type = kType;
}

int CDescVIDPID::ParseFrom(const uint8_t* record) {
  ReadShortHeader(record);
  m_vendorId = GetLE16(record + 2);
  m_productId = GetLE16(record + 4);
  m_value6 = GetLE16(record + 6);
  return 1;
}

int CDescVIDPID::BuildTo(uint8_t* out) {
  m_length = kLength;
  m_type = kType;
  PutLE16(out + 2, m_vendorId);
  PutLE16(out + 4, m_productId);
  PutLE16(out + 6, m_value6);
  WriteShortHeader(out);
  return 1;
}

void CDescVIDPID::ListFields(DescriptorFields& out) const {
  AddNumber(out, "vendorId", "USB vendor id", m_vendorId, 16);
  AddNumber(out, "productId", "USB product id", m_productId, 16);
  AddNumberAt(out, "value6", 6, m_value6, 16);
}

// ---- CDescSysConfig --------------------------------------------------------

CDescSysConfig::CDescSysConfig() {
  m_length = kLength;
  m_type = kType;
}

int CDescSysConfig::ParseFrom(const uint8_t* record) {
  ReadShortHeader(record);
  m_value2 = record[2];
  m_value3 = record[3];
  m_value4 = record[4];
  m_value5 = GetLE16(record + 5);
  m_value7 = record[7];
  m_value8 = record[8];
  m_flag9 = Bit(record[9], 7);
  m_value9 = LowNibble(record[9]);
  m_flag10Bit7 = Bit(record[10], 7);
  m_flag10Bit6 = Bit(record[10], 6);
  m_value10 = LowNibble(record[10]);
  m_value11 = record[11];
  return 1;
}

int CDescSysConfig::BuildTo(uint8_t* out) {
  m_length = kLength;
  m_type = kType;
  out[2] = m_value2;
  out[3] = m_value3;
  out[4] = m_value4;
  PutLE16(out + 5, m_value5);
  out[7] = m_value7;
  out[8] = m_value8;
  // The bits that are not kept go out as zeros.
  out[9] = static_cast<uint8_t>(PlaceBit(m_flag9, 7) | LowNibble(m_value9));
  out[10] = static_cast<uint8_t>(PlaceBit(m_flag10Bit7, 7) | PlaceBit(m_flag10Bit6, 6) | LowNibble(m_value10));
  out[11] = m_value11;
  WriteShortHeader(out);
  return 1;
}

void CDescSysConfig::ListFields(DescriptorFields& out) const {
  AddNumberAt(out, "value2", 2, m_value2, 8);
  AddNumberAt(out, "value3", 3, m_value3, 8);
  AddNumberAt(out, "value4", 4, m_value4, 8);
  AddNumberAt(out, "value5", 5, m_value5, 16);
  AddNumberAt(out, "value7", 7, m_value7, 8);
  AddNumberAt(out, "value8", 8, m_value8, 8);
  AddFlag(out, "flag9", BitLabel(9, 7), m_flag9);
  AddNumber(out, "value9", BitsLabel(9, 0, 3), m_value9, 4);
  AddFlag(out, "flag10Bit7", BitLabel(10, 7), m_flag10Bit7);
  AddFlag(out, "flag10Bit6", BitLabel(10, 6), m_flag10Bit6);
  AddNumber(out, "value10", BitsLabel(10, 0, 3), m_value10, 4);
  AddNumberAt(out, "value11", 11, m_value11, 8);
}

// ---- CDescFrameInfo --------------------------------------------------------

CDescFrameInfo::CDescFrameInfo() {
  m_length = kLength;
  m_type = kType;
}

int CDescFrameInfo::ParseFrom(const uint8_t* record) {
  ReadShortHeader(record);
  m_value2 = record[2];
  m_value3 = record[3];
  m_value4 = record[4];
  m_value5 = GetLE16(record + 5);
  m_value7 = GetLE16(record + 7);
  m_value9 = record[9];
  return 1;
}

int CDescFrameInfo::BuildTo(uint8_t* out) {
  m_length = kLength;
  m_type = kType;
  out[2] = m_value2;
  out[3] = m_value3;
  out[4] = m_value4;
  PutLE16(out + 5, m_value5);
  PutLE16(out + 7, m_value7);
  out[9] = m_value9;
  WriteShortHeader(out);
  return 1;
}

void CDescFrameInfo::ListFields(DescriptorFields& out) const {
  AddNumberAt(out, "value2", 2, m_value2, 8);
  AddNumberAt(out, "value3", 3, m_value3, 8);
  AddNumberAt(out, "value4", 4, m_value4, 8);
  AddNumberAt(out, "value5", 5, m_value5, 16);
  AddNumberAt(out, "value7", 7, m_value7, 16);
  AddNumberAt(out, "value9", 9, m_value9, 8);
}

// ---- CDescSLB --------------------------------------------------------------

CDescSLB::CDescSLB() {
  m_length = kLength;
  m_type = kType;
}

int CDescSLB::ParseFrom(const uint8_t* record) {
  ReadShortHeader(record);
  m_value2 = record[2];
  m_value3 = record[3];
  m_value4 = GetLE32(record + 4);
  m_value8 = GetLE16(record + 8);
  m_value10 = record[10];
  m_value11 = record[11];
  m_value12 = record[12];
  m_value13 = GetLE16(record + 13);
  return 1;
}

int CDescSLB::BuildTo(uint8_t* out) {
  m_length = kLength;
  m_type = kType;
  out[2] = m_value2;
  out[3] = m_value3;
  PutLE32(out + 4, m_value4);
  PutLE16(out + 8, m_value8);
  out[10] = m_value10;
  out[11] = m_value11;
  out[12] = m_value12;
  PutLE16(out + 13, m_value13);
  WriteShortHeader(out);
  return 1;
}

void CDescSLB::ListFields(DescriptorFields& out) const {
  AddNumberAt(out, "value2", 2, m_value2, 8);
  AddNumberAt(out, "value3", 3, m_value3, 8);
  AddNumberAt(out, "value4", 4, m_value4, 32);
  AddNumberAt(out, "value8", 8, m_value8, 16);
  AddNumberAt(out, "value10", 10, m_value10, 8);
  AddNumberAt(out, "value11", 11, m_value11, 8);
  AddNumberAt(out, "value12", 12, m_value12, 8);
  AddNumberAt(out, "value13", 13, m_value13, 16);
}

// ---- CDescCodeInfo ---------------------------------------------------------

CDescCodeInfo::CDescCodeInfo() {
  m_length = kLength;
  m_type = kType;
  std::memset(m_code, 0xFF, kErasedPrefix);
  std::memset(m_code + kErasedPrefix, 0, kCodeCapacity - kErasedPrefix);
}

int CDescCodeInfo::ParseFrom(const uint8_t* record) {
  ReadShortHeader(record);
  m_codeOffset = GetLE16(record + 2);
  m_codeSize = GetLE16(record + 4);
  // Code given for an earlier record does not belong to this one.
  m_codeData = nullptr;
  return 1;
}

int CDescCodeInfo::BuildTo(uint8_t* out) {
  if (m_codeData == nullptr) return 0;
  // The record holds 16-bit numbers; writing a cut-down offset or size would
  // point the camera at the wrong code.
  if (m_codeOffset > 0xFFFF || m_codeSize > 0xFFFF) return 0;
  m_length = kLength;
  m_type = kType;
  PutLE16(out + 2, m_codeOffset);
  PutLE16(out + 4, m_codeSize);
  WriteShortHeader(out);
  return 1;
}

void CDescCodeInfo::ListFields(DescriptorFields& out) const {
  AddNumber(out, "codeOffset", "code offset from table", m_codeOffset, 16);
  AddNumber(out, "codeSize", "code size", m_codeSize, 16);
  if (m_codeData != nullptr) {
    AddBytes(out, "code", "code", m_codeData, std::min<size_t>(m_codeSize, kCodeCapacity));
  }
}

// ---- CDescSmallCachecode ---------------------------------------------------

CDescSmallCachecode::CDescSmallCachecode() {
  m_length = kLongFormEscape;
  m_type = kType;
}

int CDescSmallCachecode::ParseFrom(const uint8_t* record) {
  // Only the long form carries the total length in bytes 2-3; a short-form
  // record would have its payload misread as lengths.
  if (DecodeLength(record) != kLongFormEscape) return 0;
  const uint16_t total = GetLE16(record + 2);
  const uint16_t codeSize = GetLE16(record + 6);
  // A total shorter than the fixed part would leave the walk stepping by
  // less than the record's own header.
  if (total < kFixedLength || codeSize > kCodeCapacity) return 0;
  m_type = DecodeType(record);
  m_length = total;
  m_extLength = total;
  m_codeOffset = GetLE16(record + 4);
  m_codeSize = codeSize;
  std::memcpy(m_code, record + kFixedLength, codeSize);
  // The table gives the code afresh for every record it reads.
  m_codeData = nullptr;
  return 1;
}

int CDescSmallCachecode::BuildTo(uint8_t* out) {
  if (m_codeData == nullptr || m_codeSize > kCodeCapacity) return 0;
  m_length = kLongFormEscape;
  m_type = kType;
  // The total always follows the code written, whatever length was read.
  m_extLength = static_cast<uint16_t>(m_codeSize + kFixedLength);
  WriteShortHeader(out);
  PutLE16(out + 2, m_extLength);
  PutLE16(out + 4, m_codeOffset);
  PutLE16(out + 6, m_codeSize);
  std::memcpy(out + kFixedLength, m_codeData, m_codeSize);
  return 1;
}

void CDescSmallCachecode::ListFields(DescriptorFields& out) const {
  AddNumber(out, "codeOffset", "code offset from table", m_codeOffset, 16);
  AddNumber(out, "codeSize", "code size", m_codeSize, 16);
  const uint8_t* code = m_codeData != nullptr ? m_codeData : m_code;
  AddBytes(out, "code", "code", code, std::min<size_t>(m_codeSize, kCodeCapacity));
}

// ---- CDescCRC --------------------------------------------------------------

CDescCRC::CDescCRC() {
  m_length = kLength;
  m_type = kType;
}

int CDescCRC::ParseFrom(const uint8_t* record) {
  ReadShortHeader(record);
  m_value2 = GetLE32(record + 2);
  m_value6 = GetLE32(record + 6);
  return 1;
}

int CDescCRC::BuildTo(uint8_t* out) {
  m_length = kLength;
  m_type = kType;
  PutLE32(out + 2, m_value2);
  PutLE32(out + 6, m_value6);
  WriteShortHeader(out);
  return 1;
}

void CDescCRC::ListFields(DescriptorFields& out) const {
  AddNumberAt(out, "value2", 2, m_value2, 32);
  AddNumberAt(out, "value6", 6, m_value6, 32);
}

// ---- CDescVdCodeCramStartAddr ----------------------------------------------

CDescVdCodeCramStartAddr::CDescVdCodeCramStartAddr() {
  m_length = kLength;
  m_type = kType;
}

int CDescVdCodeCramStartAddr::ParseFrom(const uint8_t* record) {
  ReadShortHeader(record);
  m_startAddress = GetLE16(record + 2);
  return 1;
}

int CDescVdCodeCramStartAddr::BuildTo(uint8_t* out) {
  m_length = kLength;
  m_type = kType;
  PutLE16(out + 2, m_startAddress);
  WriteShortHeader(out);
  return 1;
}

void CDescVdCodeCramStartAddr::ListFields(DescriptorFields& out) const {
  AddNumber(out, "startAddress", "start address", m_startAddress, 16);
}

// ---- CDescWriteBack --------------------------------------------------------

CDescWriteBack::CDescWriteBack() {
  m_length = static_cast<uint16_t>(kFixedLength + m_reservedSize);
  m_type = kType;
}

int CDescWriteBack::ParseFrom(const uint8_t* record) {
  ReadShortHeader(record);
  m_reservedSize = record[2];
  return 1;
}

int CDescWriteBack::BuildTo(uint8_t* out) {
  m_length = static_cast<uint16_t>(kFixedLength + m_reservedSize);
  m_type = kType;
  out[2] = m_reservedSize;
  std::memset(out + kFixedLength, 0, m_reservedSize);
  WriteShortHeader(out);
  return 1;
}

void CDescWriteBack::ListFields(DescriptorFields& out) const {
  AddNumber(out, "reservedSize", "reserved area size", m_reservedSize, 8);
}

// ---- CDescPPWriteBack ------------------------------------------------------

CDescPPWriteBack::CDescPPWriteBack() {
  m_length = static_cast<uint16_t>(kHeaderLength + m_reservedSize);
  m_type = kType;
}

int CDescPPWriteBack::ParseFrom(const uint8_t* record) {
  // A record shorter than its header has no area at all, and the long-form
  // escape is no length this class can read.
  const uint16_t length = DecodeLength(record);
  if (length < kHeaderLength || length == kLongFormEscape) return 0;
  ReadShortHeader(record);
  // The area's size is kept in one byte: a longer record would be written
  // back shorter than it was read, so it is kept from being written at all.
  m_areaTooLarge = length > kMaxLength;
  m_reservedSize = static_cast<uint8_t>(m_areaTooLarge ? 0 : length - kHeaderLength);
  return 1;
}

int CDescPPWriteBack::BuildTo(uint8_t* out) {
  if (m_areaTooLarge) return 0;
  m_length = static_cast<uint16_t>(kHeaderLength + m_reservedSize);
  m_type = kType;
  std::memset(out + kHeaderLength, 0xFF, m_reservedSize);
  WriteShortHeader(out);
  return 1;
}

void CDescPPWriteBack::ListFields(DescriptorFields& out) const {
  AddNumber(out, "reservedSize", "reserved area size", m_reservedSize, 8);
  if (m_areaTooLarge) AddFlag(out, "areaTooLarge", "reserved area too large", 1);
}

// ---- CDescPreviewDelay -----------------------------------------------------

CDescPreviewDelay::CDescPreviewDelay() {
  m_length = kLength;
  m_type = kType;
}

int CDescPreviewDelay::ParseFrom(const uint8_t* record) {
  ReadShortHeader(record);
  m_value2 = record[2];
  m_value3 = record[3];
  m_value4 = record[4];
  m_value5 = record[5];
  return 1;
}

int CDescPreviewDelay::BuildTo(uint8_t* out) {
  m_length = kLength;
  m_type = kType;
  out[2] = m_value2;
  out[3] = m_value3;
  out[4] = m_value4;
  out[5] = m_value5;
  WriteShortHeader(out);
  return 1;
}

void CDescPreviewDelay::ListFields(DescriptorFields& out) const {
  AddNumberAt(out, "value2", 2, m_value2, 8);
  AddNumberAt(out, "value3", 3, m_value3, 8);
  AddNumberAt(out, "value4", 4, m_value4, 8);
  AddNumberAt(out, "value5", 5, m_value5, 8);
}

// ---- CDescUsbIFTest --------------------------------------------------------

CDescUsbIFTest::CDescUsbIFTest() {
  m_length = kLength;
  m_type = kType;
}

int CDescUsbIFTest::ParseFrom(const uint8_t* record) {
  ReadShortHeader(record);
  std::memcpy(m_values, record + 2, kValueCount);
  return 1;
}

int CDescUsbIFTest::BuildTo(uint8_t* out) {
  m_length = kLength;
  m_type = kType;
  std::memcpy(out + 2, m_values, kValueCount);
  WriteShortHeader(out);
  return 1;
}

void CDescUsbIFTest::ListFields(DescriptorFields& out) const {
  AddBytes(out, "values", ByteLabel(2, kValueCount), m_values, kValueCount);
}

// ---- CDescUsbIFTest_3303 ---------------------------------------------------

CDescUsbIFTest_3303::CDescUsbIFTest_3303() {
  m_length = kLength;
  m_type = kType;
}

int CDescUsbIFTest_3303::ParseFrom(const uint8_t* record) {
  ReadShortHeader(record);
  std::memcpy(m_values, record + 2, kValueCount);
  return 1;
}

int CDescUsbIFTest_3303::BuildTo(uint8_t* out) {
  m_length = kLength;
  m_type = kType;
  std::memcpy(out + 2, m_values, kValueCount);
  WriteShortHeader(out);
  return 1;
}

void CDescUsbIFTest_3303::ListFields(DescriptorFields& out) const {
  AddBytes(out, "values", ByteLabel(2, kValueCount), m_values, kValueCount);
}

}  // namespace _QTL_UVC_Descriptor
