#pragma once
// Record classes for the tuning of the controller's image-signal processor
// (switches, lens shading, colour correction, black level, white balance,
// exposure, edge enhancement, noise reduction, dead pixels, zoom, gamma, colour
// space conversion, JPEG quantisation) and three further parameter sets: the
// digital-microphone parameters and two tables of 32-bit factors.
//
// Fields without a known meaning are named after the byte they start at
// (m_value3 is the 16-bit number at bytes 3-4 of the record). Where every
// payload byte is a field of its own, the bytes are kept as one array in
// record order: m_values[0] is byte 2.

#include <cstddef>
#include <cstdint>

#include "firmware/Descriptor.h"

namespace _QTL_UVC_Descriptor {

// --- Records whose payload is a run of single bytes ---------------------------

class CDescIspBlackLevel final : public CDescriptor {
 public:
  static constexpr uint8_t kType = 52;
  static constexpr uint16_t kLength = 7;

  CDescIspBlackLevel() {
    m_length = kLength;
    m_type = kType;
  }
  int ParseFrom(const uint8_t* record) override;
  int BuildTo(uint8_t* out) override;
  const char* ClassName() const override { return "CDescIspBlackLevel"; }
  void ListFields(DescriptorFields& out) const override;

  uint8_t m_values[kLength - 2] = {2, 2, 2, 2, 0};
};

class CDescIspAEC final : public CDescriptor {
 public:
  static constexpr uint8_t kType = 54;
  static constexpr uint16_t kLength = 8;

  CDescIspAEC() {
    m_length = kLength;
    m_type = kType;
  }
  int ParseFrom(const uint8_t* record) override;
  int BuildTo(uint8_t* out) override;
  const char* ClassName() const override { return "CDescIspAEC"; }
  void ListFields(DescriptorFields& out) const override;

  uint8_t m_values[kLength - 2] = {127, 65, 25, 80, 70, 5};
};

class CDescIspAEC_3301 final : public CDescriptor {
 public:
  static constexpr uint8_t kType = 54;
  static constexpr uint16_t kLength = 6;

  CDescIspAEC_3301() {
    m_length = kLength;
    m_type = kType;
  }
  int ParseFrom(const uint8_t* record) override;
  int BuildTo(uint8_t* out) override;
  const char* ClassName() const override { return "CDescIspAEC_3301"; }
  void ListFields(DescriptorFields& out) const override;

  uint8_t m_values[kLength - 2] = {};
};

class CDescIspEdgeEnhance final : public CDescriptor {
 public:
  static constexpr uint8_t kType = 55;
  static constexpr uint16_t kLength = 11;

  CDescIspEdgeEnhance() {
    m_length = kLength;
    m_type = kType;
  }
  int ParseFrom(const uint8_t* record) override;
  int BuildTo(uint8_t* out) override;
  const char* ClassName() const override { return "CDescIspEdgeEnhance"; }
  void ListFields(DescriptorFields& out) const override;

  uint8_t m_values[kLength - 2] = {32, 8, 10, 24, 16, 35, 152, 20, 140};
};

class CDescIspAESpeed final : public CDescriptor {
 public:
  static constexpr uint8_t kType = 62;
  static constexpr uint16_t kLength = 10;

  CDescIspAESpeed() {
    m_length = kLength;
    m_type = kType;
  }
  int ParseFrom(const uint8_t* record) override;
  int BuildTo(uint8_t* out) override;
  const char* ClassName() const override { return "CDescIspAESpeed"; }
  void ListFields(DescriptorFields& out) const override;

  uint8_t m_values[kLength - 2] = {40, 60, 32, 32, 64, 64, 128, 128};
};

class CDescIspWhiteBalance final : public CDescriptor {
 public:
  static constexpr uint8_t kType = 53;
  static constexpr uint16_t kLength = 26;

  CDescIspWhiteBalance() {
    m_length = kLength;
    m_type = kType;
  }
  int ParseFrom(const uint8_t* record) override;
  int BuildTo(uint8_t* out) override;
  const char* ClassName() const override { return "CDescIspWhiteBalance"; }
  void ListFields(DescriptorFields& out) const override;

  // Bytes 2-5 have no factory setting; they start at zero.
  uint8_t m_values[kLength - 2] = {0,  0, 0,  0,  230, 135, 30,  25, 228, 8,  8,  18,
                                   18, 4, 68, 68, 75,  75,  192, 16, 192, 16, 25, 14};
};

class CDescIspYUV2RGB final : public CDescriptor {
 public:
  static constexpr uint8_t kType = 63;
  static constexpr uint16_t kLength = 16;

  CDescIspYUV2RGB() {
    m_length = kLength;
    m_type = kType;
  }
  int ParseFrom(const uint8_t* record) override;
  int BuildTo(uint8_t* out) override;
  const char* ClassName() const override { return "CDescIspYUV2RGB"; }
  void ListFields(DescriptorFields& out) const override;

  uint8_t m_values[kLength - 2] = {};
};

class CDescDmicPara final : public CDescriptor {
 public:
  static constexpr uint8_t kType = 32;
  static constexpr uint16_t kLength = 7;

  CDescDmicPara() {
    m_length = kLength;
    m_type = kType;
  }
  int ParseFrom(const uint8_t* record) override;
  int BuildTo(uint8_t* out) override;
  const char* ClassName() const override { return "CDescDmicPara"; }
  void ListFields(DescriptorFields& out) const override;

  uint8_t m_values[kLength - 2] = {81, 3, 165, 234, 170};
};

// --- Fixed-layout records -------------------------------------------------------

// Nine processing switches. The two record bytes are kept as read, but a
// written record carries the switches alone: the other bits go out as 0.
class CDescIspControl final : public CDescriptor {
 public:
  static constexpr uint8_t kType = 49;
  static constexpr uint16_t kLength = 4;

  CDescIspControl() {
    m_length = kLength;
    m_type = kType;
  }
  int ParseFrom(const uint8_t* record) override;
  int BuildTo(uint8_t* out) override;
  const char* ClassName() const override { return "CDescIspControl"; }
  void ListFields(DescriptorFields& out) const override;

  uint8_t m_rawByte2 = 0;
  uint8_t m_rawByte3 = 0;
  uint8_t m_flag2Bit7 = 0;
  uint8_t m_flag2Bit6 = 0;
  uint8_t m_flag2Bit5 = 0;
  uint8_t m_flag2Bit4 = 0;
  uint8_t m_flag2Bit3 = 0;
  uint8_t m_flag3Bit7 = 0;
  uint8_t m_flag3Bit6 = 0;
  uint8_t m_flag3Bit4 = 0;
  uint8_t m_flag3Bit2 = 0;
};

// Lens shading: four signed settings and 48 bytes of shading data. A new
// object holds no data and writes the settings alone.
class CDescIspLSC final : public CDescriptor {
 public:
  static constexpr uint8_t kType = 50;
  static constexpr uint16_t kFixedSize = 6;
  static constexpr uint8_t kDataSize = 48;
  static constexpr uint16_t kReadLength = kFixedSize + kDataSize;

  CDescIspLSC() {
    m_length = kFixedSize;
    m_type = kType;
  }
  int ParseFrom(const uint8_t* record) override;
  int BuildTo(uint8_t* out) override;
  const char* ClassName() const override { return "CDescIspLSC"; }
  void ListFields(DescriptorFields& out) const override;

  int16_t m_settings[4] = {};  // bytes 2-5, each a signed byte
  uint8_t m_dataCount = 0;
  uint8_t m_data[kDataSize] = {};
};

// Colour correction: a matrix for each of two colour temperatures.
class CDescIspCCM final : public CDescriptor {
 public:
  static constexpr uint8_t kType = 51;
  static constexpr uint16_t kLength = 24;

  CDescIspCCM() {
    m_length = kLength;
    m_type = kType;
  }
  int ParseFrom(const uint8_t* record) override;
  int BuildTo(uint8_t* out) override;
  const char* ClassName() const override { return "CDescIspCCM"; }
  void ListFields(DescriptorFields& out) const override;

  uint16_t m_colorTemp1 = 3500;
  uint16_t m_colorTemp2 = 4000;
  uint8_t m_matrix1[9] = {};
  uint8_t m_matrix2[9] = {};
};

// Colour correction of the later controllers, in a short form (three values)
// and a long form (six values and two colour temperatures). The record length
// tells the forms apart, so any other length is not a record of this kind.
class CDescIspCCM_3301 final : public CDescriptor {
 public:
  static constexpr uint8_t kType = 51;
  static constexpr uint8_t kShortForm = 0;
  static constexpr uint8_t kLongForm = 1;
  static constexpr uint16_t kShortLength = 14;
  static constexpr uint16_t kLongLength = 30;

  CDescIspCCM_3301() {
    m_length = kShortLength;
    m_type = kType;
  }
  int ParseFrom(const uint8_t* record) override;
  int BuildTo(uint8_t* out) override;
  const char* ClassName() const override { return "CDescIspCCM_3301"; }
  void ListFields(DescriptorFields& out) const override;

  uint8_t m_form = kShortForm;
  uint32_t m_values[6] = {};     // the short form uses the first three
  uint16_t m_colorTemp1 = 3500;  // long form only
  uint16_t m_colorTemp2 = 4000;  // long form only
};

// Noise reduction in three sizes: a basic set, then two extensions that
// longer records add.
class CDescIspNoiseReduction_3301 final : public CDescriptor {
 public:
  static constexpr uint8_t kType = 56;
  static constexpr uint16_t kLevelLengths[3] = {13, 24, 44};

  CDescIspNoiseReduction_3301() {
    m_length = kLevelLengths[0];
    m_type = kType;
  }
  int ParseFrom(const uint8_t* record) override;
  int BuildTo(uint8_t* out) override;
  const char* ClassName() const override { return "CDescIspNoiseReduction_3301"; }
  void ListFields(DescriptorFields& out) const override;

  uint8_t m_level = 0;
  uint8_t m_basic[11] = {};         // bytes 2-12
  uint8_t m_level1Values[11] = {};  // bytes 13-23
  uint8_t m_level2Values[20] = {};  // bytes 24-43
};

class CDescISPBlackPattern final : public CDescriptor {
 public:
  static constexpr uint8_t kType = 40;
  static constexpr uint16_t kLength = 7;

  CDescISPBlackPattern() {
    m_length = kLength;
    m_type = kType;
  }
  int ParseFrom(const uint8_t* record) override;
  int BuildTo(uint8_t* out) override;
  const char* ClassName() const override { return "CDescISPBlackPattern"; }
  void ListFields(DescriptorFields& out) const override;

  uint16_t m_value2 = 32;
  uint16_t m_value4 = 800;
  uint8_t m_value6 = 32;
};

// --- Records with a data count --------------------------------------------------
// The data fill the record after a fixed part; the count is the number of data
// bytes, one byte wide. A record whose data would not fit the array is refused.

class CDescQtable final : public CDescriptor {
 public:
  static constexpr uint8_t kType = 36;
  static constexpr uint16_t kFixedSize = 2;

  CDescQtable() {
    m_length = kFixedSize;
    m_type = kType;
  }
  int ParseFrom(const uint8_t* record) override;
  int BuildTo(uint8_t* out) override;
  const char* ClassName() const override { return "CDescQtable"; }
  void ListFields(DescriptorFields& out) const override;

  uint8_t m_count = 0;
  uint8_t m_table[128] = {};
};

class CDescIspZoom final : public CDescriptor {
 public:
  static constexpr uint8_t kType = 59;
  static constexpr uint16_t kFixedSize = 2;

  CDescIspZoom() {
    m_length = kFixedSize;
    m_type = kType;
  }
  int ParseFrom(const uint8_t* record) override;
  int BuildTo(uint8_t* out) override;
  const char* ClassName() const override { return "CDescIspZoom"; }
  void ListFields(DescriptorFields& out) const override;

  uint8_t m_count = 0;
  uint8_t m_data[256] = {};
};

class CDescIspColorTempTable final : public CDescriptor {
 public:
  static constexpr uint8_t kType = 60;
  static constexpr uint16_t kFixedSize = 2;

  CDescIspColorTempTable() {
    m_length = kFixedSize;
    m_type = kType;
  }
  int ParseFrom(const uint8_t* record) override;
  int BuildTo(uint8_t* out) override;
  const char* ClassName() const override { return "CDescIspColorTempTable"; }
  void ListFields(DescriptorFields& out) const override;

  uint8_t m_count = 0;
  uint8_t m_data[256] = {};
};

class CDescIspGamma final : public CDescriptor {
 public:
  static constexpr uint8_t kType = 61;
  static constexpr uint16_t kFixedSize = 2;
  static constexpr uint8_t kPointCount = 15;

  CDescIspGamma() {
    m_length = kFixedSize + kPointCount;
    m_type = kType;
  }
  int ParseFrom(const uint8_t* record) override;
  int BuildTo(uint8_t* out) override;
  const char* ClassName() const override { return "CDescIspGamma"; }
  void ListFields(DescriptorFields& out) const override;

  uint8_t m_count = kPointCount;
  uint8_t m_points[kPointCount] = {32, 54, 70, 83, 95, 106, 115, 124, 140, 154, 167, 180, 201, 221, 239};
};

class CDescIspGamma_3301 final : public CDescriptor {
 public:
  static constexpr uint8_t kType = 61;
  static constexpr uint16_t kFixedSize = 2;
  static constexpr uint8_t kPointCount = 15;

  CDescIspGamma_3301() {
    m_length = kFixedSize + kPointCount;
    m_type = kType;
  }
  int ParseFrom(const uint8_t* record) override;
  int BuildTo(uint8_t* out) override;
  const char* ClassName() const override { return "CDescIspGamma_3301"; }
  void ListFields(DescriptorFields& out) const override;

  uint8_t m_count = kPointCount;
  uint8_t m_points[kPointCount] = {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224};
};

class CDescIspDeadPixel final : public CDescriptor {
 public:
  static constexpr uint8_t kType = 57;
  static constexpr uint16_t kFixedSize = 7;

  CDescIspDeadPixel() {
    m_length = kFixedSize;
    m_type = kType;
  }
  int ParseFrom(const uint8_t* record) override;
  int BuildTo(uint8_t* out) override;
  const char* ClassName() const override { return "CDescIspDeadPixel"; }
  void ListFields(DescriptorFields& out) const override;

  uint8_t m_value2 = 30;
  uint16_t m_value3 = 0;
  uint16_t m_value5 = 0;
  uint8_t m_count = 0;
  uint8_t m_entries[128] = {};
};

// --- Tables of 32-bit factors -------------------------------------------------
// Each factor is an IEEE-754 single-precision number stored most significant
// byte first. The records only carry them, so they are kept as bit patterns
// and never computed with.

class CDescNonCrystalGainTable final : public CDescriptor {
 public:
  static constexpr uint8_t kType = 18;
  static constexpr size_t kFactorCount = 10;
  static constexpr uint16_t kLength = 2 + 4 * kFactorCount;

  CDescNonCrystalGainTable() {
    m_length = kLength;
    m_type = kType;
  }
  int ParseFrom(const uint8_t* record) override;
  int BuildTo(uint8_t* out) override;
  const char* ClassName() const override { return "CDescNonCrystalGainTable"; }
  void ListFields(DescriptorFields& out) const override;

  uint32_t m_factors[kFactorCount] = {0x3F814D3F, 0x3F80D6FA, 0x3F80AA1D, 0x3F807A3B, 0x3F806F22,
                                      0x3F805C7B, 0x3F80623E, 0x3F80596B, 0x3F8058F0, 0x3F806094};
};

// Three groups of seven factors, one after another.
class CDescNFCalibrationTable final : public CDescriptor {
 public:
  static constexpr uint8_t kType = 23;
  static constexpr size_t kFactorCount = 21;
  static constexpr uint16_t kLength = 2 + 4 * kFactorCount;

  CDescNFCalibrationTable() {
    m_length = kLength;
    m_type = kType;
  }
  int ParseFrom(const uint8_t* record) override;
  int BuildTo(uint8_t* out) override;
  const char* ClassName() const override { return "CDescNFCalibrationTable"; }
  void ListFields(DescriptorFields& out) const override;

  uint32_t m_factors[kFactorCount] = {0x3F801062, 0x3F8025AF, 0x3F803569, 0x3F803809, 0x3F8039AC, 0x3F803BA3,
                                      0x3F803D9B, 0x3F803E96, 0x3F803F92, 0x3F80408E, 0x3F804189, 0x3F804285,
                                      0x3F80432D, 0x3F804381, 0x3F804428, 0x3F804524, 0x3F8045CC, 0x3F804674,
                                      0x3F80471B, 0x3F80471B, 0x3F80471B};
};

}  // namespace _QTL_UVC_Descriptor
