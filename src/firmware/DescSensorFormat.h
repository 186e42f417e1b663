#pragma once
// Record classes for what differs most between controller families: sensor
// power control and sensor information, vendor and sensor/image-processor
// register lists, the attributes of the camera's UVC controls, the video
// formats and the frame rates.
//
// Fields without a known meaning are named after the byte they start at
// (m_value5 is the number that starts at byte 5 of the record). Mask bits are
// kept one flag per bit, named after the bit (m_controlFlag12 is bit 12 of
// the control mask).

#include <cstddef>
#include <cstdint>

#include "firmware/Descriptor.h"

namespace _QTL_UVC_Descriptor {

// ---------------------------------------------------------------- sensor power

class CDescSensorPowerControl_3300 final : public CDescriptor {
 public:
  static constexpr uint8_t kType = 21;
  static constexpr uint16_t kLength = 8;

  CDescSensorPowerControl_3300();
  int ParseFrom(const uint8_t* record) override;
  int BuildTo(uint8_t* out) override;
  const char* ClassName() const override { return "CDescSensorPowerControl_3300"; }
  void ListFields(DescriptorFields& out) const override;

  uint8_t m_value2 = 33;
  uint8_t m_value3 = 10;
  uint8_t m_value4 = 10;
  uint8_t m_value5 = 18;
  uint8_t m_value6 = 10;
  uint8_t m_value7 = 10;
};

// Byte 2 carries value A in its low bits and value B in its high nibble. The
// 3301 family defines only A (bits 0-2): B is never read, only written.
class CDescSensorPowerControl_3301 final : public CDescriptor {
 public:
  static constexpr uint8_t kType = 21;
  static constexpr uint16_t kLength = 9;

  CDescSensorPowerControl_3301();
  int ParseFrom(const uint8_t* record) override;
  int BuildTo(uint8_t* out) override;
  const char* ClassName() const override { return "CDescSensorPowerControl_3301"; }
  void ListFields(DescriptorFields& out) const override;

  uint8_t m_valueA = 3;  // byte 2, bits 0-2
  uint8_t m_valueB = 0;  // byte 2, bits 4-7
  uint8_t m_value3 = 33;
  uint8_t m_value4 = 10;
  uint8_t m_value5 = 10;
  uint8_t m_value6 = 18;
  uint8_t m_value7 = 10;
  uint8_t m_value8 = 10;
};

class CDescSensorPowerControl_3303 final : public CDescriptor {
 public:
  static constexpr uint8_t kType = 21;
  static constexpr uint16_t kLength = 9;

  CDescSensorPowerControl_3303();
  int ParseFrom(const uint8_t* record) override;
  int BuildTo(uint8_t* out) override;
  const char* ClassName() const override { return "CDescSensorPowerControl_3303"; }
  void ListFields(DescriptorFields& out) const override;

  uint8_t m_valueA = 3;   // byte 2, bits 0-3
  uint8_t m_valueB = 12;  // byte 2, bits 4-7
  uint8_t m_value3 = 33;
  uint8_t m_value4 = 10;
  uint8_t m_value5 = 10;
  uint8_t m_value6 = 18;
  uint8_t m_value7 = 10;
  uint8_t m_value8 = 10;
};

class CDescSensorInfo_3301 final : public CDescriptor {
 public:
  static constexpr uint8_t kType = 20;
  static constexpr uint16_t kLength = 7;

  CDescSensorInfo_3301();
  int ParseFrom(const uint8_t* record) override;
  int BuildTo(uint8_t* out) override;
  const char* ClassName() const override { return "CDescSensorInfo_3301"; }
  void ListFields(DescriptorFields& out) const override;

  uint16_t m_value2 = 0;
  uint8_t m_value4 = 0;
  uint8_t m_value5High = 0;  // byte 5, bits 4-7
  uint8_t m_value5Low = 0;   // byte 5, bits 0-3
  uint8_t m_value6 = 0;
};

// ------------------------------------------------------------ register lists
//
// A few fixed bytes, then the register list itself, kept byte for byte. The
// record length is the only record of how long the list is.

class CDescVendorRegSetting final : public CDescriptor {
 public:
  static constexpr uint8_t kType = 19;
  static constexpr uint16_t kDataStart = 5;
  static constexpr size_t kDataCapacity = 2048;

  CDescVendorRegSetting();
  int ParseFrom(const uint8_t* record) override;
  int BuildTo(uint8_t* out) override;
  const char* ClassName() const override { return "CDescVendorRegSetting"; }
  void ListFields(DescriptorFields& out) const override;

  uint8_t m_value2 = 0;
  uint16_t m_value3 = 0;
  uint16_t m_dataCount = 0;
  uint8_t m_data[kDataCapacity] = {};
};

class CDescVendorRegSetting_3303 final : public CDescriptor {
 public:
  static constexpr uint8_t kType = 22;
  static constexpr uint16_t kDataStart = 6;
  static constexpr size_t kDataCapacity = 2048;

  CDescVendorRegSetting_3303();
  int ParseFrom(const uint8_t* record) override;
  int BuildTo(uint8_t* out) override;
  const char* ClassName() const override { return "CDescVendorRegSetting_3303"; }
  void ListFields(DescriptorFields& out) const override;

  uint8_t m_value2 = 0;
  uint8_t m_value3 = 0;
  uint16_t m_value4 = 0;
  uint16_t m_dataCount = 0;
  uint8_t m_data[kDataCapacity] = {};
};

class CDescSnrIspRegSetting final : public CDescriptor {
 public:
  static constexpr uint8_t kType = 17;
  static constexpr uint16_t kDataStart = 4;
  static constexpr size_t kDataCapacity = 2048;

  CDescSnrIspRegSetting();
  int ParseFrom(const uint8_t* record) override;
  int BuildTo(uint8_t* out) override;
  const char* ClassName() const override { return "CDescSnrIspRegSetting"; }
  void ListFields(DescriptorFields& out) const override;

  uint8_t m_value2 = 0;
  uint8_t m_value3 = 0;
  // Sixteen bits, not eight: lists longer than 255 bytes must come back whole.
  uint16_t m_dataCount = 0;
  uint8_t m_data[kDataCapacity] = {};
};

// The one register list that may outgrow the short form: it is read and
// written through the long-header helpers, which pick the form by size. The
// fixed fields are named after their payload offset, since the payload starts
// at byte 2 or byte 4 depending on the form.
class CDescVendorRegSetting_Cache_3301 final : public CDescriptor {
 public:
  static constexpr uint8_t kType = 22;
  static constexpr uint16_t kFixedPayload = 4;
  static constexpr size_t kDataCapacity = 8192;
  // The assembled payload (fixed part and data) must fit m_raw.
  static constexpr size_t kMaxWritableData = kRawSize - kFixedPayload;

  CDescVendorRegSetting_Cache_3301();
  int ParseFrom(const uint8_t* record) override;
  int BuildTo(uint8_t* out) override;
  bool ReadsLongForm() const override { return true; }
  const char* ClassName() const override { return "CDescVendorRegSetting_Cache_3301"; }
  void ListFields(DescriptorFields& out) const override;

  uint8_t m_value0 = 0;
  uint8_t m_value1 = 0;
  uint16_t m_value2 = 0;
  uint16_t m_dataCount = 0;
  uint8_t m_data[kDataCapacity] = {};
};

// -------------------------------------------------------- UVC control attributes

class CDescUvcControlAttribute final : public CDescriptor {
 public:
  static constexpr uint8_t kType = 34;
  static constexpr uint16_t kLength = 27;
  static constexpr size_t kValueCount = 8;

  CDescUvcControlAttribute();
  int ParseFrom(const uint8_t* record) override;
  int BuildTo(uint8_t* out) override;
  const char* ClassName() const override { return "CDescUvcControlAttribute"; }
  void ListFields(DescriptorFields& out) const override;

  uint32_t m_value2 = 312;
  uint8_t m_value6 = 8;
  uint16_t m_values7[kValueCount] = {0, 32, 0, 21, 12, 220, 5000, 0};  // bytes 7-22
  uint8_t m_value23 = 1;
  uint32_t m_value24 = 1;  // one byte in the record
  uint16_t m_value25 = 0;
};

class CDescUvcControlAttribute_3301 final : public CDescriptor {
 public:
  static constexpr uint8_t kType = 34;
  static constexpr uint16_t kLength = 31;
  static constexpr size_t kValueCount = 8;

  CDescUvcControlAttribute_3301();
  int ParseFrom(const uint8_t* record) override;
  int BuildTo(uint8_t* out) override;
  const char* ClassName() const override { return "CDescUvcControlAttribute_3301"; }
  void ListFields(DescriptorFields& out) const override;

  // Byte 2.
  uint8_t m_maskFlag1 = 1;
  uint8_t m_maskFlag2 = 1;
  uint8_t m_maskFlag3 = 1;
  // Control mask, bytes 3-4 (0x157F).
  uint8_t m_controlFlag0 = 1;
  uint8_t m_controlFlag1 = 1;
  uint8_t m_controlFlag2 = 1;
  uint8_t m_controlFlag3 = 1;
  uint8_t m_controlFlag4 = 1;
  uint8_t m_controlFlag5 = 1;
  uint8_t m_controlFlag6 = 1;
  uint8_t m_controlFlag7 = 0;
  uint8_t m_controlFlag8 = 1;
  uint8_t m_controlFlag9 = 0;
  uint8_t m_controlFlag10 = 1;
  uint8_t m_controlFlag12 = 1;
  uint8_t m_controlFlag13 = 0;
  uint32_t m_value5 = 312;
  uint8_t m_value9 = 8;
  uint16_t m_values10[kValueCount] = {0, 32, 0, 50, 3, 220, 5000, 0};  // bytes 10-25
  uint8_t m_value26 = 1;
  uint8_t m_value27 = 1;
  uint16_t m_value28 = 0;
  uint8_t m_value30 = 1;
};

// Ranges are triples of default, minimum and maximum.
class CDescUvcControlAttribute_3303 final : public CDescriptor {
 public:
  static constexpr uint8_t kType = 34;
  static constexpr uint16_t kLength = 104;
  static constexpr size_t kRangeCount = 8;

  CDescUvcControlAttribute_3303();
  int ParseFrom(const uint8_t* record) override;
  int BuildTo(uint8_t* out) override;
  const char* ClassName() const override { return "CDescUvcControlAttribute_3303"; }
  void ListFields(DescriptorFields& out) const override;

  // Mask, bytes 2-3 (0x2A0E), in the order the bits are kept.
  uint8_t m_maskFlag1 = 1;
  uint8_t m_maskFlag3 = 1;
  uint8_t m_maskFlag2 = 1;
  uint8_t m_maskFlag9 = 1;
  uint8_t m_maskFlag11 = 1;
  uint8_t m_maskFlag13 = 1;
  // Control mask, bytes 4-5 (0x177F).
  uint8_t m_controlFlag0 = 1;
  uint8_t m_controlFlag1 = 1;
  uint8_t m_controlFlag2 = 1;
  uint8_t m_controlFlag3 = 1;
  uint8_t m_controlFlag4 = 1;
  uint8_t m_controlFlag5 = 1;
  uint8_t m_controlFlag6 = 1;
  uint8_t m_controlFlag7 = 0;
  uint8_t m_controlFlag8 = 1;
  uint8_t m_controlFlag9 = 1;
  uint8_t m_controlFlag10 = 1;
  uint8_t m_controlFlag12 = 1;
  uint8_t m_controlFlag13 = 0;
  uint32_t m_value6 = 312;
  uint32_t m_value10 = 50;
  uint32_t m_value14 = 10000;
  uint8_t m_value18 = 8;
  int16_t m_ranges19[kRangeCount][3] = {{0, -127, 127}, {32, 0, 64},    {0, -180, 180},     {64, 0, 100},
                                        {2, 0, 8},      {220, 92, 500}, {4650, 2800, 6500}, {0, 0, 1}};
  uint8_t m_range67[3] = {1, 0, 2};
  uint8_t m_value70 = 1;
  int16_t m_range71[3] = {64, 0, 100};
  uint8_t m_range77[3] = {0, 0, 1};
  int16_t m_range80[3] = {0, -16, 16};
  int16_t m_range86[3] = {0, -12, 12};
  int16_t m_range92[3] = {0, 0, 3};
  int16_t m_range98[3] = {0, 0, 3};
};

// ------------------------------------------------------ video formats and rates

class CDescVideoFormat_3301 final : public CDescriptor {
 public:
  static constexpr uint8_t kType = 10;
  static constexpr uint16_t kLength = 63;
  static constexpr size_t kListSize = 12;
  static constexpr size_t kValueCount = 17;

  CDescVideoFormat_3301();
  int ParseFrom(const uint8_t* record) override;
  int BuildTo(uint8_t* out) override;
  const char* ClassName() const override { return "CDescVideoFormat_3301"; }
  void ListFields(DescriptorFields& out) const override;

  uint8_t m_value2 = 0;
  uint8_t m_countA = 5;  // entries in use in list A; the whole list is kept
  uint8_t m_listA[kListSize] = {0, 1, 2, 4, 5};
  uint8_t m_countB = 5;
  uint8_t m_listB[kListSize] = {0, 1, 2, 4, 5};
  uint16_t m_values29[kValueCount] = {};  // bytes 29-62, most significant byte first
};

class CDescFrameRate final : public CDescriptor {
 public:
  static constexpr uint8_t kType = 33;
  static constexpr uint16_t kLength = 38;
  static constexpr size_t kGroupSize = 9;

  CDescFrameRate();
  int ParseFrom(const uint8_t* record) override;
  int BuildTo(uint8_t* out) override;
  const char* ClassName() const override { return "CDescFrameRate"; }
  void ListFields(DescriptorFields& out) const override;

  uint16_t m_values2[kGroupSize] = {306, 288, 288, 4352, 4608, 4608, 4608, 4608, 4096};  // bytes 2-19
  uint16_t m_values20[kGroupSize] = {306, 288, 288, 288, 288, 288, 288, 288, 288};       // bytes 20-37
};

class CDescFrameRateTable_3301 final : public CDescriptor {
 public:
  static constexpr uint8_t kType = 11;
  static constexpr uint16_t kLength = 18;
  static constexpr size_t kRateCount = 16;

  CDescFrameRateTable_3301();
  int ParseFrom(const uint8_t* record) override;
  int BuildTo(uint8_t* out) override;
  const char* ClassName() const override { return "CDescFrameRateTable_3301"; }
  void ListFields(DescriptorFields& out) const override;

  uint8_t m_rates[kRateCount] = {40, 30, 25, 23, 20, 15, 12, 11, 10, 9, 8, 7, 5, 3, 1, 1};
};

}  // namespace _QTL_UVC_Descriptor
