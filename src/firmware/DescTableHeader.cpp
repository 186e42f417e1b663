#include "firmware/DescTableHeader.h"

#include "firmware/Bytes.h"

namespace _QTL_UVC_Descriptor {

int CDescGlobal::ParseFrom(const uint8_t* header) {
  m_eepromId = header[0];
  m_marker = header[1];
  m_headerBits = header[2] & 0x07;
  m_fwType = static_cast<uint8_t>(header[2] >> 3);
  m_tableEnd = GetLE16(header + 3);
  m_recordCount = header[5];
  m_length = kSize;
  m_type = 0;
  return 1;
}

int CDescGlobal::BuildTo(uint8_t* out) {
  m_length = kSize;
  m_type = 0;
  out[0] = m_eepromId;
  out[1] = m_marker;
  out[2] = static_cast<uint8_t>((m_headerBits & 0x07) | (m_fwType << 3));
  PutLE16(out + 3, m_tableEnd);
  out[5] = m_recordCount;
  return 1;
}

void CDescGlobal::ListFields(DescriptorFields& out) const {
  AddNumber(out, "eepromId", "EEPROM id", m_eepromId, 8);
  AddNumber(out, "marker", "marker", m_marker, 8);
  AddNumber(out, "headerBits", BitsLabel(2, 0, 2), m_headerBits, 3);
  AddNumber(out, "fwType", "firmware type", m_fwType, 5);
  AddNumber(out, "tableEnd", "table end", m_tableEnd, 16);
  AddNumber(out, "recordCount", "record count", m_recordCount, 8);
  AddFlag(out, "hasEepInfo", "memory record found", m_hasEepInfo);
  AddNumber(out, "memType", "memory type", m_memType, 8);
}

// The defaults stand until a record is read; nothing uses them.
CDescHWAPVersion::CDescHWAPVersion() : m_hwVersion(0x0100), m_apVersion(0x0100) {
  m_length = kLength;
  m_type = kType;
}

int CDescHWAPVersion::ParseFrom(const uint8_t* record) {
  ReadShortHeader(record);
  m_hwVersion = GetLE16(record + 2);
  m_apVersion = GetLE16(record + 4);
  return 1;
}

int CDescHWAPVersion::BuildTo(uint8_t* out) {
  m_length = kLength;
  m_type = kType;
  PutLE16(out + 2, m_hwVersion);
  PutLE16(out + 4, m_apVersion);
  WriteShortHeader(out);
  return 1;
}

void CDescHWAPVersion::ListFields(DescriptorFields& out) const {
  AddNumber(out, "hwVersion", "hardware version", m_hwVersion, 16);
  AddNumber(out, "apVersion", "application version", m_apVersion, 16);
}

CDescEEPInfo::CDescEEPInfo() {
  m_length = kLength;
  m_type = kType;
}

int CDescEEPInfo::ParseFrom(const uint8_t* record) {
  ReadShortHeader(record);
  m_memType = record[2];
  return 1;
}

int CDescEEPInfo::BuildTo(uint8_t* out) {
  m_length = kLength;
  m_type = kType;
  out[2] = m_memType;
  WriteShortHeader(out);
  return 1;
}

void CDescEEPInfo::ListFields(DescriptorFields& out) const { AddNumber(out, "memType", "memory type", m_memType, 8); }

}  // namespace _QTL_UVC_Descriptor
