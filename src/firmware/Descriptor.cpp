#include "firmware/Descriptor.h"

#include <cstring>
#include <string>

namespace _QTL_UVC_Descriptor {

std::string ByteLabel(size_t offset, size_t width) {
  if (width <= 1) return "byte " + std::to_string(offset);
  return "bytes " + std::to_string(offset) + "-" + std::to_string(offset + width - 1);
}

std::string BitLabel(size_t offset, int bit) { return ByteLabel(offset) + " bit " + std::to_string(bit); }

std::string BitsLabel(size_t offset, int low, int high) {
  return ByteLabel(offset) + " bits " + std::to_string(low) + "-" + std::to_string(high);
}

namespace {

DescriptorField& Add(DescriptorFields& out, const std::string& name, const std::string& label) {
  DescriptorField& f = out.emplace_back();
  f.name = name;
  f.label = label;
  return f;
}

void AddWithForm(DescriptorFields& out, const std::string& name, const std::string& label, int64_t value, int bits,
                 FieldForm form) {
  DescriptorField& f = Add(out, name, label);
  f.number = value;
  f.bits = bits;
  f.form = form;
}

}  // namespace

void AddNumber(DescriptorFields& out, const std::string& name, const std::string& label, int64_t value, int bits) {
  AddWithForm(out, name, label, value, bits, FieldForm::kUnsigned);
}

void AddNumberAt(DescriptorFields& out, const std::string& name, size_t offset, int64_t value, int bits) {
  AddNumber(out, name, ByteLabel(offset, static_cast<size_t>(bits) / 8), value, bits);
}

void AddSigned(DescriptorFields& out, const std::string& name, const std::string& label, int64_t value, int bits) {
  AddWithForm(out, name, label, value, bits, FieldForm::kSigned);
}

void AddFlag(DescriptorFields& out, const std::string& name, const std::string& label, int64_t value) {
  AddWithForm(out, name, label, value, 1, FieldForm::kFlag);
}

void AddFloatBits(DescriptorFields& out, const std::string& name, const std::string& label, uint32_t pattern) {
  AddWithForm(out, name, label, pattern, 32, FieldForm::kFloatBits);
}

void AddBytes(DescriptorFields& out, const std::string& name, const std::string& label, const uint8_t* data,
              size_t count) {
  DescriptorField& f = Add(out, name, label);
  f.isBytes = true;
  f.bytes.assign(data, data + count);
}

void AddText(DescriptorFields& out, const std::string& name, const std::string& label, const uint8_t* data,
             size_t count) {
  AddBytes(out, name, label, data, count);
  out.back().isText = true;
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
