#pragma once
// Record classes for the image's identity (USB strings, vendor and product
// ids), its system configuration, the code regions that the descriptor table
// copies out of the image, and a few small controller settings.
//
// Fields without a known meaning are named after the byte they start at
// (m_value5 is the 16-bit number at bytes 5-6 of the record).

#include <cstddef>
#include <cstdint>

#include "firmware/Descriptor.h"

namespace _QTL_UVC_Descriptor {

// A USB string descriptor (types 1, 2, 3 and 7). The buffer holds the
// descriptor's own length byte L, its type byte, the text and a zero at
// position L; the record keeps whichever of the four types it was read as.
class CDescString final : public CDescriptor {
 public:
  static constexpr size_t kBufferSize = 36;
  static constexpr uint8_t kMinDescriptorLength = 2;                // length and type bytes, no text
  static constexpr uint8_t kMaxDescriptorLength = kBufferSize - 1;  // room for the zero
  static constexpr uint8_t kStringDescriptorType = 3;

  CDescString();
  int ParseFrom(const uint8_t* record) override;
  int BuildTo(uint8_t* out) override;
  const char* ClassName() const override { return "CDescString"; }
  void ListFields(DescriptorFields& out) const override;

  uint8_t m_buffer[kBufferSize] = {};
};

class CDescVIDPID final : public CDescriptor {
 public:
  static constexpr uint8_t kType = 4;
  static constexpr uint16_t kLength = 8;
  // Stands in for the camera maker's own USB vendor id.
  static constexpr uint16_t kDefaultVendorId = 0x0000;

  CDescVIDPID();
  int ParseFrom(const uint8_t* record) override;
  int BuildTo(uint8_t* out) override;
  const char* ClassName() const override { return "CDescVIDPID"; }
  void ListFields(DescriptorFields& out) const override;

  uint16_t m_vendorId = kDefaultVendorId;
  uint16_t m_productId = 0;
  uint16_t m_value6 = 0;
};

class CDescSysConfig final : public CDescriptor {
 public:
  static constexpr uint8_t kType = 5;
  static constexpr uint16_t kLength = 12;

  CDescSysConfig();
  int ParseFrom(const uint8_t* record) override;
  int BuildTo(uint8_t* out) override;
  const char* ClassName() const override { return "CDescSysConfig"; }
  void ListFields(DescriptorFields& out) const override;

  uint8_t m_value2 = 0x80;
  uint8_t m_value3 = 0xFC;
  uint8_t m_value4 = 10;
  uint16_t m_value5 = 0x157F;
  uint8_t m_value7 = 40;
  uint8_t m_value8 = 3;
  uint8_t m_flag9 = 0;       // byte 9, bit 7
  uint8_t m_value9 = 0;      // byte 9, bits 0-3
  uint8_t m_flag10Bit7 = 0;  // byte 10, bit 7
  uint8_t m_flag10Bit6 = 0;  // byte 10, bit 6
  uint8_t m_value10 = 0;     // byte 10, bits 0-3
  uint8_t m_value11 = 16;
};

class CDescFrameInfo final : public CDescriptor {
 public:
  static constexpr uint8_t kType = 6;
  static constexpr uint16_t kLength = 10;

  CDescFrameInfo();
  int ParseFrom(const uint8_t* record) override;
  int BuildTo(uint8_t* out) override;
  const char* ClassName() const override { return "CDescFrameInfo"; }
  void ListFields(DescriptorFields& out) const override;

  uint8_t m_value2 = 0;
  uint8_t m_value3 = 0;
  uint8_t m_value4 = 8;
  uint16_t m_value5 = 0x7FFF;
  uint16_t m_value7 = 0x7FFF;
  uint8_t m_value9 = 0;
};

class CDescSLB final : public CDescriptor {
 public:
  static constexpr uint8_t kType = 14;
  static constexpr uint16_t kLength = 15;

  CDescSLB();
  int ParseFrom(const uint8_t* record) override;
  int BuildTo(uint8_t* out) override;
  const char* ClassName() const override { return "CDescSLB"; }
  void ListFields(DescriptorFields& out) const override;

  uint8_t m_value2 = 1;
  uint8_t m_value3 = 3;
  uint32_t m_value4 = 512;
  uint16_t m_value8 = 5;
  uint8_t m_value10 = 255;
  uint8_t m_value11 = 1;
  uint8_t m_value12 = 1;
  uint16_t m_value13 = 1;
};

// Names the image's code region (firmware type 0). The region itself is not
// part of the record: the descriptor table copies it into m_code and points
// m_codeData there, and only then may the record be written.
class CDescCodeInfo final : public CDescriptor {
 public:
  static constexpr uint8_t kType = 15;
  static constexpr uint16_t kLength = 6;
  static constexpr size_t kCodeCapacity = 65536;
  static constexpr size_t kErasedPrefix = 8192;  // preset like erased memory

  CDescCodeInfo();
  int ParseFrom(const uint8_t* record) override;
  int BuildTo(uint8_t* out) override;
  const char* ClassName() const override { return "CDescCodeInfo"; }
  void ListFields(DescriptorFields& out) const override;

  uint32_t m_codeOffset = 0;  // from the table's start
  uint32_t m_codeSize = 0;
  uint8_t* m_codeData = nullptr;
  uint8_t m_code[kCodeCapacity];
};

// The small-cache code region (firmware types 1 and 3). Always written in the
// long form: FF E7, the 16-bit total length, offset, size, then the code.
class CDescSmallCachecode final : public CDescriptor {
 public:
  static constexpr uint8_t kType = 39;
  static constexpr size_t kCodeCapacity = 8192;
  static constexpr uint16_t kFixedLength = 8;  // header, total length, offset, size

  CDescSmallCachecode();
  int ParseFrom(const uint8_t* record) override;
  int BuildTo(uint8_t* out) override;
  bool ReadsLongForm() const override { return true; }
  const char* ClassName() const override { return "CDescSmallCachecode"; }
  void ListFields(DescriptorFields& out) const override;

  uint16_t m_codeOffset = 0;  // from the table's start
  uint16_t m_codeSize = 0;
  uint8_t* m_codeData = nullptr;
  uint8_t m_code[kCodeCapacity] = {};
};

class CDescCRC final : public CDescriptor {
 public:
  static constexpr uint8_t kType = 31;
  static constexpr uint16_t kLength = 10;

  CDescCRC();
  int ParseFrom(const uint8_t* record) override;
  int BuildTo(uint8_t* out) override;
  const char* ClassName() const override { return "CDescCRC"; }
  void ListFields(DescriptorFields& out) const override;

  uint32_t m_value2 = 0;
  uint32_t m_value6 = 0;
};

class CDescVdCodeCramStartAddr final : public CDescriptor {
 public:
  static constexpr uint8_t kType = 22;
  static constexpr uint16_t kLength = 4;

  CDescVdCodeCramStartAddr();
  int ParseFrom(const uint8_t* record) override;
  int BuildTo(uint8_t* out) override;
  const char* ClassName() const override { return "CDescVdCodeCramStartAddr"; }
  void ListFields(DescriptorFields& out) const override;

  uint16_t m_startAddress = 0xE400;
};

// A reserved area of n bytes (firmware type 0); only n is kept, the area is
// written as zeros.
class CDescWriteBack final : public CDescriptor {
 public:
  static constexpr uint8_t kType = 9;
  static constexpr uint16_t kFixedLength = 3;  // header and n

  CDescWriteBack();
  int ParseFrom(const uint8_t* record) override;
  int BuildTo(uint8_t* out) override;
  const char* ClassName() const override { return "CDescWriteBack"; }
  void ListFields(DescriptorFields& out) const override;

  uint8_t m_reservedSize = 64;
};

// A reserved area (firmware type 3) whose size is the record length less the
// header; written as 0xFF. The size is kept in one byte: a record with a
// larger area is read (so the walk goes on past it) but not written back.
class CDescPPWriteBack final : public CDescriptor {
 public:
  static constexpr uint8_t kType = 9;
  static constexpr uint16_t kHeaderLength = 2;
  static constexpr uint16_t kMaxLength = kHeaderLength + 0xFF;  // the size is kept in one byte

  CDescPPWriteBack();
  int ParseFrom(const uint8_t* record) override;
  int BuildTo(uint8_t* out) override;
  const char* ClassName() const override { return "CDescPPWriteBack"; }
  void ListFields(DescriptorFields& out) const override;

  uint8_t m_reservedSize = 64;
  // The record read had an area larger than m_reservedSize can hold.
  bool m_areaTooLarge = false;
};

class CDescPreviewDelay final : public CDescriptor {
 public:
  static constexpr uint8_t kType = 37;
  static constexpr uint16_t kLength = 6;

  CDescPreviewDelay();
  int ParseFrom(const uint8_t* record) override;
  int BuildTo(uint8_t* out) override;
  const char* ClassName() const override { return "CDescPreviewDelay"; }
  void ListFields(DescriptorFields& out) const override;

  uint8_t m_value2 = 5;
  uint8_t m_value3 = 10;
  uint8_t m_value4 = 15;
  uint8_t m_value5 = 20;
};

// USB-IF test settings of the 3300 and 3301 families: eighteen single bytes.
class CDescUsbIFTest final : public CDescriptor {
 public:
  static constexpr uint8_t kType = 16;
  static constexpr size_t kValueCount = 18;
  static constexpr uint16_t kLength = 2 + kValueCount;

  CDescUsbIFTest();
  int ParseFrom(const uint8_t* record) override;
  int BuildTo(uint8_t* out) override;
  const char* ClassName() const override { return "CDescUsbIFTest"; }
  void ListFields(DescriptorFields& out) const override;

  uint8_t m_values[kValueCount] = {54, 54, 34, 0, 50, 50, 50, 50, 1, 0, 0, 0, 0, 0, 0, 0, 0, 34};
};

// USB-IF test settings of the 3303 family: thirteen single bytes.
class CDescUsbIFTest_3303 final : public CDescriptor {
 public:
  static constexpr uint8_t kType = 16;
  static constexpr size_t kValueCount = 13;
  static constexpr uint16_t kLength = 2 + kValueCount;

  CDescUsbIFTest_3303();
  int ParseFrom(const uint8_t* record) override;
  int BuildTo(uint8_t* out) override;
  const char* ClassName() const override { return "CDescUsbIFTest_3303"; }
  void ListFields(DescriptorFields& out) const override;

  uint8_t m_values[kValueCount] = {54, 54, 34, 34, 50, 0, 0, 0, 0, 0, 0, 0, 0};
};

}  // namespace _QTL_UVC_Descriptor
