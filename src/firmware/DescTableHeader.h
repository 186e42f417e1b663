#pragma once
// The table header and the two records that may lead a descriptor table: the
// hardware/application version and the memory information.

#include "firmware/Descriptor.h"

namespace _QTL_UVC_Descriptor {

// The six-byte table header; it has no record header of its own.
class CDescGlobal final : public CDescriptor {
 public:
  static constexpr uint8_t kMarker = 0xA5;
  static constexpr uint16_t kSize = 6;

  int ParseFrom(const uint8_t* header) override;
  int BuildTo(uint8_t* out) override;
  const char* ClassName() const override { return "CDescGlobal"; }
  void ListFields(DescriptorFields& out) const override;

  uint8_t m_eepromId = 0;
  uint8_t m_marker = 0;
  uint8_t m_headerBits = 0;  // three bits kept and written back unchanged
  uint8_t m_fwType = 0;      // 0-31
  uint16_t m_tableEnd = 0;
  uint8_t m_recordCount = 0;
  // Filled by the table from a leading memory-information record.
  uint8_t m_hasEepInfo = 0;
  uint8_t m_memType = 0;
};

class CDescHWAPVersion final : public CDescriptor {
 public:
  static constexpr uint8_t kType = 47;
  static constexpr uint16_t kLength = 6;

  CDescHWAPVersion();
  int ParseFrom(const uint8_t* record) override;
  int BuildTo(uint8_t* out) override;
  const char* ClassName() const override { return "CDescHWAPVersion"; }
  void ListFields(DescriptorFields& out) const override;

  uint16_t m_hwVersion;
  uint16_t m_apVersion;
};

class CDescEEPInfo final : public CDescriptor {
 public:
  static constexpr uint8_t kType = 8;
  static constexpr uint16_t kLength = 3;

  CDescEEPInfo();
  int ParseFrom(const uint8_t* record) override;
  int BuildTo(uint8_t* out) override;
  const char* ClassName() const override { return "CDescEEPInfo"; }
  void ListFields(DescriptorFields& out) const override;

  uint8_t m_memType = 0;
};

}  // namespace _QTL_UVC_Descriptor
