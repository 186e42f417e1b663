#include "firmware/Descriptor.h"

#include <cstring>

namespace _QTL_UVC_Descriptor {

void AddNumber(DescriptorFields& out, const char* name, int64_t value) {
  DescriptorField f;
  f.name = name;
  f.number = value;
  out.push_back(std::move(f));
}

void AddBytes(DescriptorFields& out, const char* name, const uint8_t* data, size_t count) {
  DescriptorField f;
  f.name = name;
  f.isBytes = true;
  f.bytes.assign(data, data + count);
  out.push_back(std::move(f));
}

CDescriptor::CDescriptor() = default;
CDescriptor::~CDescriptor() = default;

int CDescriptor::ParseFrom(const uint8_t* record) {
  ReadShortHeader(record);
  return 1;
}

void CDescriptor::Reserved() {}

void CDescriptor::ListFields(DescriptorFields&) const {}

void CDescriptor::ReadShortHeader(const uint8_t* record) {
  m_length = DecodeLength(record);
  m_type = DecodeType(record);
}

void CDescriptor::WriteShortHeader(uint8_t* out) const {
  out[0] = static_cast<uint8_t>(m_length & 0xFF);
  out[1] = static_cast<uint8_t>((m_type & 0x3F) | (((m_length >> 8) & 0x03) << 6));
}

const uint8_t* CDescriptor::ReadLongHeader(const uint8_t* record) {
  uint16_t length = DecodeLength(record);
  m_type = DecodeType(record);
  size_t headerSize = 2;
  if (length == kLongFormEscape) {
    length = static_cast<uint16_t>(record[2] | (record[3] << 8));
    m_extLength = length;
    headerSize = 4;
  }
  m_length = length;
  // A declared total shorter than its own header leaves no payload.
  m_payloadLength = static_cast<uint16_t>(length >= headerSize ? length - headerSize : 0);
  return record + headerSize;
}

void CDescriptor::WriteLongHeader(uint8_t* out) {
  const uint32_t total = m_payloadLength + 2u;
  m_extLength = 0;
  size_t payloadAt = 2;
  if (total >= kLongFormEscape) {
    m_extLength = static_cast<uint16_t>(m_payloadLength + 4u);
    m_length = kLongFormEscape;
    payloadAt = 4;
  } else {
    m_length = static_cast<uint16_t>(total);
  }
  WriteShortHeader(out);
  if (payloadAt == 4) {
    out[2] = static_cast<uint8_t>(m_extLength & 0xFF);
    out[3] = static_cast<uint8_t>(m_extLength >> 8);
  }
  std::memcpy(out + payloadAt, m_raw, m_payloadLength);
}

int CDescDummy::BuildTo(uint8_t*) { return 1; }

}  // namespace _QTL_UVC_Descriptor
