#pragma once
// Descriptor records: the two-byte record header, the base class every record
// class derives from, and the class for records of unknown type.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace _QTL_UVC_Descriptor {

// One field of a record, by name, for display (`zarnet-cli inspect`).
struct DescriptorField {
  std::string name;
  bool isBytes = false;
  int64_t number = 0;
  std::vector<uint8_t> bytes;
};
using DescriptorFields = std::vector<DescriptorField>;

void AddNumber(DescriptorFields& out, const char* name, int64_t value);
void AddBytes(DescriptorFields& out, const char* name, const uint8_t* data, size_t count);

class CDescriptor {
 public:
  static constexpr size_t kRawSize = 8192;
  static constexpr uint16_t kLongFormEscape = 1023;  // 10-bit length that announces the long form
  static constexpr size_t kMaxShortLength = 1022;

  CDescriptor();
  virtual ~CDescriptor();
  CDescriptor(const CDescriptor&) = default;
  CDescriptor& operator=(const CDescriptor&) = default;

  // Reads the record whose header byte 0 is at `record`; nonzero on success,
  // 0 when the record is not acceptable to the class. The base decodes the
  // short header.
  virtual int ParseFrom(const uint8_t* record);
  // Writes the whole record (header and payload); 1, or 0 when the object
  // holds nothing that can be written.
  virtual int BuildTo(uint8_t* out) = 0;
  // Kept for the record classes' common shape; nothing calls it.
  virtual void Reserved();

  // Whether the class reads records in the long form. Those that don't are
  // never handed one: the table steps over such a record by its real length.
  virtual bool ReadsLongForm() const { return false; }

  // The class's name and its fields by name, for people and scripts.
  virtual const char* ClassName() const = 0;
  virtual void ListFields(DescriptorFields& out) const;

  // Short header: two bytes to m_length and m_type, and back.
  void ReadShortHeader(const uint8_t* record);
  void WriteShortHeader(uint8_t* out) const;
  // Long-form header: returns the payload start and sets m_length,
  // m_extLength (long form only), m_type and m_payloadLength.
  const uint8_t* ReadLongHeader(const uint8_t* record);
  // Header for m_payloadLength and m_type, followed by that many bytes of m_raw.
  void WriteLongHeader(uint8_t* out);

  static uint16_t DecodeLength(const uint8_t* record) {
    return static_cast<uint16_t>(record[0] | ((record[1] & 0xC0) << 2));
  }
  static uint8_t DecodeType(const uint8_t* record) { return static_cast<uint8_t>(record[1] & 0x3F); }

  uint8_t m_raw[kRawSize];  // staging area of the long-form class; not initialised
  uint16_t m_payloadLength = 0;
  uint16_t m_length = 0;
  uint16_t m_extLength = 0;
  uint8_t m_type = 0;
};

// Any record whose type has no class: read by its header so the walk can step
// over it; writes nothing.
class CDescDummy final : public CDescriptor {
 public:
  int BuildTo(uint8_t* out) override;
  const char* ClassName() const override { return "CDescDummy"; }
};

// A new, default-constructed object of the class for the record type under the
// firmware type; owned by the caller. Null only when memory runs out.
CDescriptor* CreateDescriptor(uint8_t type, uint8_t fwType);

}  // namespace _QTL_UVC_Descriptor
