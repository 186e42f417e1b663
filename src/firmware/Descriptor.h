#pragma once
// Descriptor records: the two-byte record header, the base class every record
// class derives from, and the class for records of unknown type.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace _QTL_UVC_Descriptor {

// How a listed number reads to people.
enum class FieldForm : uint8_t {
  kUnsigned,
  kSigned,     // two's complement in the record
  kFlag,       // one bit
  kFloatBits,  // the bit pattern of an IEEE-754 single, moved as it is
};

// One field of a record, for display (`zarnet-cli inspect`). `name` is the
// key scripts see and never changes; `label` is for people: what the field
// is where its meaning is known, else where it lies in the record.
struct DescriptorField {
  std::string name;
  std::string label;
  bool isBytes = false;
  bool isText = false;  // the bytes are UTF-16LE text
  FieldForm form = FieldForm::kUnsigned;
  int bits = 0;  // width in the record; 0 for a value the class derives (a count, a form)
  int64_t number = 0;
  std::vector<uint8_t> bytes;
};
using DescriptorFields = std::vector<DescriptorField>;

// Labels by place: "byte 5", "bytes 5-6", "byte 9 bit 7", "byte 9 bits 0-3".
std::string ByteLabel(size_t offset, size_t width = 1);
std::string BitLabel(size_t offset, int bit);
std::string BitsLabel(size_t offset, int low, int high);

void AddNumber(DescriptorFields& out, const std::string& name, const std::string& label, int64_t value, int bits);
// A number of `bits` bits starting at record byte `offset`, labelled by its place.
void AddNumberAt(DescriptorFields& out, const std::string& name, size_t offset, int64_t value, int bits);
void AddSigned(DescriptorFields& out, const std::string& name, const std::string& label, int64_t value, int bits);
void AddFlag(DescriptorFields& out, const std::string& name, const std::string& label, int64_t value);
void AddFloatBits(DescriptorFields& out, const std::string& name, const std::string& label, uint32_t pattern);
void AddBytes(DescriptorFields& out, const std::string& name, const std::string& label, const uint8_t* data,
              size_t count);
void AddText(DescriptorFields& out, const std::string& name, const std::string& label, const uint8_t* data,
             size_t count);

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
