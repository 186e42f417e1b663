// The factory: record type and firmware type to the class that reads the record.

#include <array>
#include <new>

#include "firmware/DescIdentity.h"
#include "firmware/DescIspTuning.h"
#include "firmware/DescSensorFormat.h"
#include "firmware/Descriptor.h"

namespace _QTL_UVC_Descriptor {

namespace {

using Maker = CDescriptor* (*)();

template <typename T>
CDescriptor* Make() {
  return new (std::nothrow) T();
}

using FamilyTable = std::array<Maker, 64>;

struct Entry {
  uint8_t type;
  Maker maker;
};

template <size_t N>
constexpr FamilyTable TableOf(const Entry (&entries)[N]) {
  FamilyTable table{};
  for (const Entry& e : entries) table[e.type] = e.maker;
  return table;
}

// The same for every firmware type, and looked at first.
constexpr Entry kCommon[] = {
    {1, Make<CDescString>},
    {2, Make<CDescString>},
    {3, Make<CDescString>},
    {7, Make<CDescString>},
    {4, Make<CDescVIDPID>},
    {5, Make<CDescSysConfig>},
    {6, Make<CDescFrameInfo>},
    {14, Make<CDescSLB>},
    {18, Make<CDescNonCrystalGainTable>},
    {23, Make<CDescNFCalibrationTable>},
    {32, Make<CDescDmicPara>},
    {33, Make<CDescFrameRate>},
    {37, Make<CDescPreviewDelay>},
};

// Firmware type 0.
constexpr Entry kFamily3300[] = {
    {9, Make<CDescWriteBack>},
    {15, Make<CDescCodeInfo>},
    {16, Make<CDescUsbIFTest>},
    {19, Make<CDescVendorRegSetting>},
    {21, Make<CDescSensorPowerControl_3300>},
    {22, Make<CDescVdCodeCramStartAddr>},
    {31, Make<CDescCRC>},
    {34, Make<CDescUvcControlAttribute>},
    {36, Make<CDescQtable>},
    {49, Make<CDescIspControl>},
    {50, Make<CDescIspLSC>},
    {51, Make<CDescIspCCM>},
    {52, Make<CDescIspBlackLevel>},
    {53, Make<CDescIspWhiteBalance>},
    {54, Make<CDescIspAEC>},
    {55, Make<CDescIspEdgeEnhance>},
    {57, Make<CDescIspDeadPixel>},
    {59, Make<CDescIspZoom>},
    {60, Make<CDescIspColorTempTable>},
    {61, Make<CDescIspGamma>},
    {62, Make<CDescIspAESpeed>},
};

// Firmware type 1.
constexpr Entry kFamily3301[] = {
    {10, Make<CDescVideoFormat_3301>},
    {11, Make<CDescFrameRateTable_3301>},
    {16, Make<CDescUsbIFTest>},
    {17, Make<CDescSnrIspRegSetting>},
    {19, Make<CDescVendorRegSetting>},
    {20, Make<CDescSensorInfo_3301>},
    {21, Make<CDescSensorPowerControl_3301>},
    {22, Make<CDescVendorRegSetting_Cache_3301>},
    {34, Make<CDescUvcControlAttribute_3301>},
    {39, Make<CDescSmallCachecode>},
    {51, Make<CDescIspCCM_3301>},
    {54, Make<CDescIspAEC_3301>},
    {56, Make<CDescIspNoiseReduction_3301>},
    {60, Make<CDescIspColorTempTable>},
    {61, Make<CDescIspGamma_3301>},
    {63, Make<CDescIspYUV2RGB>},
};

// Firmware type 3.
constexpr Entry kFamily3303[] = {
    {9, Make<CDescPPWriteBack>},
    {10, Make<CDescVideoFormat_3301>},
    {11, Make<CDescFrameRateTable_3301>},
    {16, Make<CDescUsbIFTest_3303>},
    {17, Make<CDescSnrIspRegSetting>},
    {20, Make<CDescSensorInfo_3301>},
    {21, Make<CDescSensorPowerControl_3303>},
    {22, Make<CDescVendorRegSetting_3303>},
    {34, Make<CDescUvcControlAttribute_3303>},
    {39, Make<CDescSmallCachecode>},
    {40, Make<CDescISPBlackPattern>},
    {51, Make<CDescIspCCM_3301>},
    {54, Make<CDescIspAEC_3301>},
    {56, Make<CDescIspNoiseReduction_3301>},
    {60, Make<CDescIspColorTempTable>},
    {61, Make<CDescIspGamma_3301>},
    {63, Make<CDescIspYUV2RGB>},
};

constexpr FamilyTable kCommonTable = TableOf(kCommon);
constexpr FamilyTable kTable3300 = TableOf(kFamily3300);
constexpr FamilyTable kTable3301 = TableOf(kFamily3301);
constexpr FamilyTable kTable3303 = TableOf(kFamily3303);

const FamilyTable* FamilyOf(uint8_t fwType) {
  switch (fwType) {
    case 0: return &kTable3300;
    case 1: return &kTable3301;
    case 3: return &kTable3303;
    default: return nullptr;
  }
}

}  // namespace

CDescriptor* CreateDescriptor(uint8_t type, uint8_t fwType) {
  if (type < 64) {
    if (Maker common = kCommonTable[type]) return common();
    if (const FamilyTable* family = FamilyOf(fwType))
      if (Maker maker = (*family)[type]) return maker();
  }
  return Make<CDescDummy>();
}

}  // namespace _QTL_UVC_Descriptor
