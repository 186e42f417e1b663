#pragma once
// The descriptor table of a firmware image: its six-byte header, the two
// records that may lead it, and then the typed records one call at a time.

#include <cstdint>

#include "firmware/DescTableHeader.h"
#include "firmware/Descriptor.h"

namespace _QTL_UVC_Descriptor {

class CDescriptorTable {
 public:
  static constexpr int32_t kCapacity = 65536;
  // Zeros kept after the copy so that a record class may read its fixed
  // layout, or a long-form payload, at the very end of the copy without
  // leaving the buffer.
  static constexpr int32_t kReadSlack = 9216;

  // Why the last ReadNext returned null.
  enum class Stop {
    kNone,
    kNotLoaded,
    kImageEnd,        // the cursor reached the end of the copy
    kTableEnd,        // the cursor reached the header's table end
    kRecordPastEnd,   // the record would run past the end of the copy
    kRecordTooShort,  // the record's length does not even cover its header
    kOutOfMemory,
    kRefused,           // the record class refused the record
    kCodeOutsideImage,  // a code region lies beyond the copy
  };

  CDescriptorTable();
  CDescriptorTable(const CDescriptorTable&) = delete;
  CDescriptorTable& operator=(const CDescriptorTable&) = delete;

  // Keeps a copy of at most 65536 bytes, puts the cursor after the header and
  // reads the header.
  void Load(int32_t length, const uint8_t* bytes);
  // Re-reads the header and consumes the leading records; null when nothing
  // is loaded.
  CDescGlobal* ReadHeader();
  // The next record object, owned by the caller; null at the end.
  CDescriptor* ReadNext();

  Stop LastStop() const { return m_lastStop; }
  int32_t CursorOffset() const { return m_image ? static_cast<int32_t>(m_cursor - m_image) : 0; }

  uint8_t* m_image = nullptr;
  int32_t m_imageLength = 0;
  uint8_t* m_cursor = nullptr;
  uint8_t* m_code = nullptr;
  uint16_t m_codeLength = 0;
  CDescGlobal m_header;
  uint8_t m_imageCopy[kCapacity + kReadSlack];
  uint8_t m_codeBuffer[kCapacity];
  int m_eepInfoDone = 0;
  int m_hwApVersionDone = 0;

 private:
  void ConsumeVersionRecord();
  void ConsumeMemoryRecord();
  // An unknown-type record object for the long-form record at the cursor.
  CDescriptor* StepOverLongForm() const;
  CDescriptor* Refuse(CDescriptor* object, Stop why);
  bool TakeCodeRegion(CDescriptor* object);

  Stop m_lastStop = Stop::kNone;
};

const char* StopText(CDescriptorTable::Stop stop);

}  // namespace _QTL_UVC_Descriptor
