// Walks generated images that hold one record of every class a family knows,
// and checks that each record is read by its class and written back unchanged.

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "firmware/DescriptorTable.h"
#include "firmware/SampleImage.h"

using namespace _QTL_UVC_Descriptor;

namespace {

size_t WrittenLength(const CDescriptor& r) {
  return r.m_length == CDescriptor::kLongFormEscape && r.m_extLength ? r.m_extLength : r.m_length;
}

std::set<std::string> FamilyClasses(uint8_t fwType) {
  std::set<std::string> names;
  for (int type = 1; type < 64; ++type) {
    std::unique_ptr<CDescriptor> d(CreateDescriptor(static_cast<uint8_t>(type), fwType));
    if (std::string(d->ClassName()) != "CDescDummy") names.insert(d->ClassName());
  }
  return names;
}

class FamilyWalk : public ::testing::TestWithParam<uint8_t> {};

TEST_P(FamilyWalk, EveryClassIsReadAndWrittenBackByteForByte) {
  const uint8_t fwType = GetParam();
  SampleOptions options;
  options.fwType = fwType;
  std::string error;
  const std::vector<uint8_t> image = BuildSampleImage(options, &error);
  ASSERT_EQ(image.size(), 65536u) << error;

  auto table = std::make_unique<CDescriptorTable>();
  table->Load(4096, image.data() + 0xF000);
  ASSERT_EQ(table->m_header.m_marker, 0xA5);
  EXPECT_EQ(table->m_header.m_fwType, fwType);
  EXPECT_EQ(table->m_header.m_memType, 0xC2);

  std::set<std::string> seen;
  std::vector<uint8_t> rebuilt(CDescriptorTable::kCapacity);
  size_t records = 0;
  while (true) {
    const size_t at = static_cast<size_t>(table->CursorOffset());
    std::unique_ptr<CDescriptor> r(table->ReadNext());
    if (!r) break;
    ++records;
    const std::string name = r->ClassName();
    EXPECT_TRUE(seen.insert(name).second || name == "CDescString") << name << " twice";
    const size_t length = r->m_length;
    ASSERT_EQ(r->BuildTo(rebuilt.data()), 1) << name;
    ASSERT_EQ(WrittenLength(*r), length) << name;
    EXPECT_TRUE(std::equal(rebuilt.begin(), rebuilt.begin() + static_cast<std::ptrdiff_t>(length),
                           image.begin() + 0xF000 + static_cast<std::ptrdiff_t>(at)))
        << name << " at table offset " << at;
  }
  EXPECT_EQ(table->LastStop(), CDescriptorTable::Stop::kTableEnd);
  EXPECT_EQ(seen, FamilyClasses(fwType));
  EXPECT_EQ(records, table->m_header.m_recordCount);
}

INSTANTIATE_TEST_SUITE_P(Families, FamilyWalk, ::testing::Values(0, 1, 3));

TEST(SampleImage, SmallMemoriesGetAFewRecordsAndFit) {
  for (int memClass = 1; memClass <= 8; ++memClass) {
    const MemoryPart part = TypicalPartForClass(memClass);
    SampleOptions options;
    options.eepromId = part.eepromId;
    options.memType = part.memType;
    options.imageSize = part.size;
    options.everyRecordClass = false;
    std::string error;
    const auto image = BuildSampleImage(options, &error);
    EXPECT_EQ(image.size(), part.size) << "class " << memClass << ": " << error;
  }
}

TEST(SampleImage, RefusesWhatCannotHoldTheRecords) {
  SampleOptions options;
  options.imageSize = 128;
  std::string error;
  EXPECT_TRUE(BuildSampleImage(options, &error).empty());
  EXPECT_FALSE(error.empty());
  options.imageSize = 70000;
  EXPECT_TRUE(BuildSampleImage(options, &error).empty());
}

}  // namespace
