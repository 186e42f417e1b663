#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <set>
#include <string>

#include "firmware/Descriptor.h"

using namespace _QTL_UVC_Descriptor;

namespace {

std::string ClassFor(int type, int fwType) {
  std::unique_ptr<CDescriptor> d(CreateDescriptor(static_cast<uint8_t>(type), static_cast<uint8_t>(fwType)));
  return d ? d->ClassName() : "(null)";
}

// Firmware types 0, 1 and 3 against every type that any table names.
TEST(CreateDescriptor, FamilyTables) {
  struct Row {
    int type;
    const char* fw0;
    const char* fw1;
    const char* fw3;
  };
  const char* D = "CDescDummy";
  const Row rows[] = {
      {9, "CDescWriteBack", D, "CDescPPWriteBack"},
      {10, D, "CDescVideoFormat_3301", "CDescVideoFormat_3301"},
      {11, D, "CDescFrameRateTable_3301", "CDescFrameRateTable_3301"},
      {15, "CDescCodeInfo", D, D},
      {16, "CDescUsbIFTest", "CDescUsbIFTest", "CDescUsbIFTest_3303"},
      {17, D, "CDescSnrIspRegSetting", "CDescSnrIspRegSetting"},
      {19, "CDescVendorRegSetting", "CDescVendorRegSetting", D},
      {20, D, "CDescSensorInfo_3301", "CDescSensorInfo_3301"},
      {21, "CDescSensorPowerControl_3300", "CDescSensorPowerControl_3301", "CDescSensorPowerControl_3303"},
      {22, "CDescVdCodeCramStartAddr", "CDescVendorRegSetting_Cache_3301", "CDescVendorRegSetting_3303"},
      {31, "CDescCRC", D, D},
      {34, "CDescUvcControlAttribute", "CDescUvcControlAttribute_3301", "CDescUvcControlAttribute_3303"},
      {36, "CDescQtable", D, D},
      {39, D, "CDescSmallCachecode", "CDescSmallCachecode"},
      {40, D, D, "CDescISPBlackPattern"},
      {49, "CDescIspControl", D, D},
      {50, "CDescIspLSC", D, D},
      {51, "CDescIspCCM", "CDescIspCCM_3301", "CDescIspCCM_3301"},
      {52, "CDescIspBlackLevel", D, D},
      {53, "CDescIspWhiteBalance", D, D},
      {54, "CDescIspAEC", "CDescIspAEC_3301", "CDescIspAEC_3301"},
      {55, "CDescIspEdgeEnhance", D, D},
      {56, D, "CDescIspNoiseReduction_3301", "CDescIspNoiseReduction_3301"},
      {57, "CDescIspDeadPixel", D, D},
      {59, "CDescIspZoom", D, D},
      {60, "CDescIspColorTempTable", "CDescIspColorTempTable", "CDescIspColorTempTable"},
      {61, "CDescIspGamma", "CDescIspGamma_3301", "CDescIspGamma_3301"},
      {62, "CDescIspAESpeed", D, D},
      {63, D, "CDescIspYUV2RGB", "CDescIspYUV2RGB"},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(ClassFor(r.type, 0), r.fw0) << "type " << r.type;
    EXPECT_EQ(ClassFor(r.type, 1), r.fw1) << "type " << r.type;
    EXPECT_EQ(ClassFor(r.type, 3), r.fw3) << "type " << r.type;
    EXPECT_EQ(ClassFor(r.type, 2), D) << "firmware type 2 has no family; type " << r.type;
  }
}

TEST(CreateDescriptor, CommonTypesWinForEveryFirmwareType) {
  const std::map<int, std::string> common = {
      {1, "CDescString"},
      {2, "CDescString"},
      {3, "CDescString"},
      {7, "CDescString"},
      {4, "CDescVIDPID"},
      {5, "CDescSysConfig"},
      {6, "CDescFrameInfo"},
      {14, "CDescSLB"},
      {18, "CDescNonCrystalGainTable"},
      {23, "CDescNFCalibrationTable"},
      {32, "CDescDmicPara"},
      {33, "CDescFrameRate"},
      {37, "CDescPreviewDelay"},
  };
  for (int fw = 0; fw < 32; ++fw)
    for (const auto& [type, name] : common) EXPECT_EQ(ClassFor(type, fw), name) << type << "/" << fw;
}

TEST(CreateDescriptor, TypesWithoutAClassAnywhereAreDummies) {
  const int none[] = {0, 8, 12, 13, 24, 25, 26, 27, 28, 29, 30, 35, 38, 41, 42, 43, 44, 45, 46, 47, 48, 58};
  for (int fw : {0, 1, 2, 3, 4, 31})
    for (int type : none) EXPECT_EQ(ClassFor(type, fw), "CDescDummy") << type << "/" << fw;
  // Only the low 8 bits of the type count, and nothing past 63 has a class.
  EXPECT_EQ(ClassFor(64 + 5, 0), "CDescDummy");
  EXPECT_EQ(ClassFor(255, 3), "CDescDummy");
}

TEST(CreateDescriptor, EveryFamilyHasDistinctFreshObjects) {
  std::set<CDescriptor*> seen;
  std::vector<std::unique_ptr<CDescriptor>> keep;
  for (int i = 0; i < 4; ++i) {
    keep.emplace_back(CreateDescriptor(5, 0));
    EXPECT_TRUE(seen.insert(keep.back().get()).second);
  }
}

}  // namespace
