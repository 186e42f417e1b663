#include "firmware/DescriptorTable.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "firmware/DescIdentity.h"

namespace _QTL_UVC_Descriptor {

CDescriptorTable::CDescriptorTable() : m_imageCopy{}, m_codeBuffer{} {}

void CDescriptorTable::Load(int32_t length, const uint8_t* bytes) {
  const int32_t kept = std::clamp(length, 0, kCapacity);
  if (kept > 0) std::memcpy(m_imageCopy, bytes, static_cast<size_t>(kept));
  // Whatever an earlier stretch left behind must not be read as this one's.
  std::memset(m_imageCopy + kept, 0, sizeof m_imageCopy - static_cast<size_t>(kept));
  m_image = m_imageCopy;
  m_imageLength = kept;
  m_cursor = m_image + CDescGlobal::kSize;
  ReadHeader();
}

CDescGlobal* CDescriptorTable::ReadHeader() {
  if (!m_image) return nullptr;
  m_header.ParseFrom(m_image);
  if (m_imageLength < CDescGlobal::kSize) {
    // A stretch shorter than the header holds no table.
    m_header.m_marker = 0;
    return &m_header;
  }
  ConsumeVersionRecord();
  ConsumeMemoryRecord();
  return &m_header;
}

void CDescriptorTable::ConsumeVersionRecord() {
  if (m_hwApVersionDone) {
    m_header.m_recordCount--;
    return;
  }
  CDescHWAPVersion version;
  if (!version.ParseFrom(m_cursor) || version.m_length != CDescHWAPVersion::kLength ||
      version.m_type != CDescHWAPVersion::kType)
    return;
  m_header.m_recordCount--;
  delete ReadNext();
  m_hwApVersionDone = 1;
}

void CDescriptorTable::ConsumeMemoryRecord() {
  if (m_eepInfoDone) {
    m_header.m_recordCount--;
    return;
  }
  m_header.m_hasEepInfo = 0;
  CDescEEPInfo info;
  if (!info.ParseFrom(m_cursor) || info.m_length != CDescEEPInfo::kLength || info.m_type != CDescEEPInfo::kType) return;
  m_header.m_recordCount--;
  m_header.m_hasEepInfo = 1;
  m_header.m_memType = info.m_memType;
  delete ReadNext();
  m_eepInfoDone = 1;
}

CDescriptor* CDescriptorTable::Refuse(CDescriptor* object, Stop why) {
  delete object;
  m_lastStop = why;
  return nullptr;
}

CDescriptor* CDescriptorTable::ReadNext() {
  if (!m_image) return Refuse(nullptr, Stop::kNotLoaded);
  const int32_t offset = CursorOffset();
  if (offset >= m_imageLength) return Refuse(nullptr, Stop::kImageEnd);
  if (offset >= m_header.m_tableEnd) return Refuse(nullptr, Stop::kTableEnd);
  const uint16_t shortLength = CDescriptor::DecodeLength(m_cursor);
  if (offset + shortLength > m_imageLength) return Refuse(nullptr, Stop::kRecordPastEnd);

  const bool longForm = shortLength == CDescriptor::kLongFormEscape;
  CDescriptor* object = CreateDescriptor(CDescriptor::DecodeType(m_cursor), m_header.m_fwType);
  if (!object) return Refuse(nullptr, Stop::kOutOfMemory);
  if (longForm && !object->ReadsLongForm()) {
    // A class that knows only the short form would take the escape for the
    // record's length and the walk would go on inside the payload: the
    // record is stepped over by its real length, as one of unknown type.
    delete object;
    object = StepOverLongForm();
    if (!object) return Refuse(nullptr, Stop::kOutOfMemory);
  } else if (!object->ParseFrom(m_cursor)) {
    return Refuse(object, Stop::kRefused);
  }
  // A record must at least cover its own header, or the walk would never move on.
  const uint16_t headerSize = longForm ? 4 : 2;
  if (object->m_length < headerSize) return Refuse(object, Stop::kRecordTooShort);
  // A long-form record's real length is only known now.
  if (offset + object->m_length > m_imageLength) return Refuse(object, Stop::kRecordPastEnd);
  if (!TakeCodeRegion(object)) return Refuse(object, Stop::kCodeOutsideImage);

  m_cursor += object->m_length;
  m_lastStop = Stop::kNone;
  return object;
}

CDescriptor* CDescriptorTable::StepOverLongForm() const {
  auto* unknown = new (std::nothrow) CDescDummy();
  if (unknown) unknown->ReadLongHeader(m_cursor);
  return unknown;
}

// Copies the code that a code-region record names out of the image, into the
// table's code buffer and, the first time, into the record's own code area.
bool CDescriptorTable::TakeCodeRegion(CDescriptor* object) {
  if (auto* info = dynamic_cast<CDescCodeInfo*>(object)) {
    if (static_cast<uint64_t>(info->m_codeOffset) + info->m_codeSize > static_cast<uint64_t>(m_imageLength))
      return false;
    const size_t size = info->m_codeSize;
    std::memcpy(m_codeBuffer, m_image + info->m_codeOffset, size);
    if (!info->m_codeData) {
      std::memcpy(info->m_code, m_codeBuffer, size);
      info->m_codeData = info->m_code;
    }
    m_code = m_codeBuffer;
    m_codeLength = static_cast<uint16_t>(size);
    return true;
  }
  if (auto* cache = dynamic_cast<CDescSmallCachecode*>(object)) {
    const size_t size = cache->m_codeSize;
    if (size > CDescSmallCachecode::kCodeCapacity ||
        static_cast<int64_t>(cache->m_codeOffset) + static_cast<int64_t>(size) > m_imageLength)
      return false;
    std::memcpy(m_codeBuffer, m_image + cache->m_codeOffset, size);
    if (!cache->m_codeData) {
      std::memcpy(cache->m_code, m_codeBuffer, size);
      cache->m_codeData = cache->m_code;
      cache->m_extLength = static_cast<uint16_t>(size + 8);
    }
    m_code = m_codeBuffer;
    m_codeLength = static_cast<uint16_t>(size);
  }
  return true;
}

const char* StopText(CDescriptorTable::Stop stop) {
  using Stop = CDescriptorTable::Stop;
  switch (stop) {
    case Stop::kNone: return "the walk goes on";
    case Stop::kNotLoaded: return "no table is loaded";
    case Stop::kImageEnd: return "the end of the table's copy was reached";
    case Stop::kTableEnd: return "the table end given by the header was reached";
    case Stop::kRecordPastEnd: return "the record runs past the end of the table's copy";
    case Stop::kRecordTooShort: return "the record's length does not cover its own header";
    case Stop::kOutOfMemory: return "no memory for the record object";
    case Stop::kRefused: return "the record's class refused it";
    case Stop::kCodeOutsideImage: return "the record's code region lies outside the table's copy";
  }
  return "unknown";
}

}  // namespace _QTL_UVC_Descriptor
