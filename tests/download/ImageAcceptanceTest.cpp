#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "download/ImageAcceptance.h"
#include "support/TempDir.h"

using Bytes = std::vector<uint8_t>;

namespace {

// A table header (and optionally a memory-information record) at `offset` of
// an image of `size` bytes filled with code-like bytes that never hold 0xA5.
Bytes ImageWithTable(size_t size, size_t offset, uint8_t eepromId, int memType, uint8_t fwType = 3) {
  Bytes image(size, 0x3C);
  const Bytes header = {eepromId, 0xA5, static_cast<uint8_t>(fwType << 3), 0x40, 0x00, 0x01};
  std::copy(header.begin(), header.end(), image.begin() + static_cast<std::ptrdiff_t>(offset));
  if (memType >= 0) {
    const Bytes memory = {0x03, 0x08, static_cast<uint8_t>(memType)};
    std::copy(memory.begin(), memory.end(), image.begin() + static_cast<std::ptrdiff_t>(offset) + 6);
  }
  return image;
}

class Acceptance : public ::testing::Test {
 protected:
  TempDir dir;
  ImageVerdict Judge(const Bytes& image) { return JudgeFirmwareImage(dir.Write("image.bin", image)); }
};

TEST_F(Acceptance, TableAtF000DecidesAndTheOthersAreNotLookedAt) {
  Bytes image = ImageWithTable(65536, 0xF000, 0x30, 0xC2);
  const Bytes other = ImageWithTable(16, 0, 0x47, -1);
  std::copy(other.begin(), other.begin() + 9, image.begin());
  const ImageVerdict v = Judge(image);
  EXPECT_EQ(v.accepted, 1);
  EXPECT_EQ(v.tableOffset, 0xF000);
  EXPECT_EQ(v.memoryKind, 2);
  EXPECT_EQ(v.memorySize, 65536u);
  EXPECT_EQ(v.memoryClass, 8);
  EXPECT_EQ(v.fwType, 3);
}

TEST_F(Acceptance, FileOfExactly61440BytesStartsAtE000) {
  Bytes image = ImageWithTable(61440, 0xE000, 0x30, 0xC2);
  const ImageVerdict v = Judge(image);
  EXPECT_EQ(v.accepted, 1);
  EXPECT_EQ(v.tableOffset, 0xE000);
}

TEST_F(Acceptance, UnknownEepromIdAtF000RejectsEvenWithAGoodTableAtZero) {
  Bytes image = ImageWithTable(65536, 0xF000, 0x99, 0xC2);
  const Bytes good = ImageWithTable(16, 0, 0x30, 0xC2);
  std::copy(good.begin(), good.end(), image.begin());
  const ImageVerdict v = Judge(image);
  EXPECT_EQ(v.accepted, 0);
  EXPECT_EQ(v.error, "FW Data Error -- Error EEPROMID");
  EXPECT_EQ(v.tableOffset, 0xF000);
  EXPECT_EQ(v.fwType, 3) << "the firmware type is kept from a rejected header";
  EXPECT_FALSE(v.memoryClass);
}

TEST_F(Acceptance, SizeAgainstTheMemory) {
  // EEPROM id 0x12 with memory type 2: kind 13, 8192 bytes, class 6.
  ImageVerdict fits = Judge(ImageWithTable(8192, 0, 0x12, 2));
  EXPECT_EQ(fits.accepted, 1);
  EXPECT_EQ(fits.memoryKind, 13);
  EXPECT_EQ(fits.memoryClass, 6);

  ImageVerdict tooLong = Judge(ImageWithTable(8193, 0, 0x12, 2));
  EXPECT_EQ(tooLong.accepted, 0);
  EXPECT_EQ(tooLong.error, "FW Data Error\n");
  EXPECT_EQ(tooLong.memoryClass, 6) << "the class is kept when only the size check fails";
}

TEST_F(Acceptance, KnownIdWithUnlistedMemoryTypeIsAMemTypeError) {
  const ImageVerdict v = Judge(ImageWithTable(512, 0, 0x11, 5));
  EXPECT_EQ(v.accepted, 0);
  EXPECT_EQ(v.error, "FW Data Error -- Error MemType");
  EXPECT_EQ(v.memoryKind, std::nullopt);
}

TEST_F(Acceptance, MemoryTypeConsumedAtAnEarlierCandidateStaysInForce) {
  // 0xF000 holds no marker but a memory-information record where the leading
  // records would be; the table reads it and keeps it for the table at 0,
  // which has no memory record of its own.
  Bytes image = ImageWithTable(65536, 0, 0x30, -1);
  const Bytes memory = {0x03, 0x08, 0xC2};
  std::copy(memory.begin(), memory.end(), image.begin() + 0xF006);
  std::copy(memory.begin(), memory.end(), image.begin() + 0xE006);
  const ImageVerdict v = Judge(image);
  EXPECT_EQ(v.tableOffset, 0);
  ASSERT_TRUE(v.header);
  EXPECT_EQ(v.header->m_hasEepInfo, 1);
  EXPECT_EQ(v.header->m_memType, 0xC2);
  EXPECT_EQ(v.memoryClass, 8);
  EXPECT_EQ(v.accepted, 1);
}

TEST_F(Acceptance, RejectionTextsForFilesThatAreNotImages) {
  EXPECT_EQ(JudgeFirmwareImage("").error, "Cannot find any Firmware data");

  const std::string missing = (dir.Path() / "missing.bin").string();
  const ImageVerdict gone = JudgeFirmwareImage(missing);
  EXPECT_EQ(gone.error, missing + " does not exist");
  EXPECT_TRUE(gone.unreadable);

  const auto folder = dir.Path() / "folder.bin";
  std::filesystem::create_directory(folder);
  const ImageVerdict notFile = JudgeFirmwareImage(folder.string());
  EXPECT_EQ(notFile.error, "Fail to open file " + folder.string());
  EXPECT_TRUE(notFile.unreadable);

  struct Case {
    const char* what;
    Bytes bytes;
  };
  const Case noTable[] = {
      {"empty file", {}},
      {"shorter than the header, marker inside", {0x30, 0xA5, 0x18}},
      {"five header bytes", {0x30, 0xA5, 0x18, 0x40, 0x00}},
      {"no marker anywhere", Bytes(4096, 0x00)},
  };
  for (const auto& c : noTable) {
    const ImageVerdict v = Judge(c.bytes);
    EXPECT_EQ(v.accepted, 0) << c.what;
    EXPECT_EQ(v.error, "FW Data Error\n") << c.what;
    EXPECT_FALSE(v.unreadable) << c.what;
  }
}

TEST_F(Acceptance, FileLongerThanAnyMemoryIsRejectedNotCut) {
  Bytes image = ImageWithTable(70000, 0xF000, 0x30, 0xC2);
  const ImageVerdict v = Judge(image);
  EXPECT_EQ(v.accepted, 0);
  EXPECT_EQ(v.error, "FW Data Error\n");
  EXPECT_EQ(v.memoryClass, 8);
}

TEST_F(Acceptance, KeepsTheTableOnlyWhenAskedAndAfterItsHeader) {
  const std::string path = dir.Write("image.bin", ImageWithTable(8192, 0, 0x20, -1, 0));
  EXPECT_EQ(JudgeFirmwareImage(path).table, nullptr);
  const ImageVerdict kept = JudgeFirmwareImage(path, true);
  ASSERT_NE(kept.table, nullptr);
  EXPECT_EQ(kept.table->m_header.m_marker, 0xA5);
  EXPECT_EQ(kept.table->CursorOffset(), 6);
}

struct KindRow {
  uint8_t eepromId;
  uint8_t memType;
  int kind;
};

TEST(MemoryKind, EveryRowOfTheTable) {
  const KindRow rows[] = {
      {0x11, 0, 12},   {0x11, 1, 21},   {0x12, 0, 10},   {0x12, 1, 11},   {0x12, 2, 13},   {0x12, 3, 14},
      {0x12, 4, 15},   {0x12, 5, 16},   {0x12, 6, 17},   {0x12, 7, 18},   {0x12, 8, 19},   {0x12, 9, 20},
      {0x20, 0x77, 1}, {0x30, 0xC2, 2}, {0x55, 0xC2, 2}, {0x30, 0x1C, 3}, {0x55, 0x1C, 3}, {0x30, 0xBF, 4},
      {0x55, 0xBF, 4}, {0x30, 0x9D, 5}, {0x55, 0x9D, 5}, {0x47, 0x01, 6}, {0x59, 0xFF, 7}, {0x49, 0, 8},
      {0x4B, 3, 9},    {0x11, 2, 0},    {0x12, 10, 0},   {0x30, 0x00, 0}, {0x55, 0x01, 0},
  };
  for (const auto& row : rows) {
    int kind = -1;
    std::string error;
    EXPECT_EQ(GetMemoryKind(row.eepromId, row.memType, &kind, &error), 1);
    EXPECT_EQ(kind, row.kind) << std::hex << int(row.eepromId) << "/" << int(row.memType);
    EXPECT_TRUE(error.empty());
  }
  int kind = 0;
  std::string error;
  for (uint8_t unknown : {0x00, 0x10, 0x31, 0xFF}) {
    EXPECT_EQ(GetMemoryKind(unknown, 0, &kind, &error), 0);
    EXPECT_EQ(error, "FW Data Error -- Error EEPROMID");
  }
}

TEST(MemorySize, EveryKind) {
  const struct {
    int kind;
    uint32_t size;
    int memClass;
  } rows[] = {
      {1, 8192, 7},   {2, 65536, 8}, {3, 65536, 8},  {4, 65536, 8},  {5, 65536, 8}, {6, 128, 1},   {7, 256, 2},
      {8, 512, 3},    {9, 2048, 4},  {10, 8192, 6},  {11, 16384, 6}, {12, 512, 5},  {13, 8192, 6}, {14, 8192, 6},
      {15, 16384, 6}, {16, 8192, 6}, {17, 16384, 6}, {18, 4096, 6},  {19, 4096, 6}, {20, 8192, 6}, {21, 2048, 5},
  };
  for (const auto& row : rows) {
    uint32_t size = 0;
    int memClass = 0;
    std::string error;
    EXPECT_EQ(GetMemorySize(row.kind, &size, &memClass, &error), 1);
    EXPECT_EQ(size, row.size) << "kind " << row.kind;
    EXPECT_EQ(memClass, row.memClass) << "kind " << row.kind;
  }
  for (int kind : {0, 22, -1}) {
    uint32_t size = 0;
    int memClass = 0;
    std::string error;
    EXPECT_EQ(GetMemorySize(kind, &size, &memClass, &error), 0);
    EXPECT_EQ(error, "FW Data Error -- Error MemType");
  }
}

}  // namespace
