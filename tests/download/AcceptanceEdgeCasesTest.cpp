// Where an image holds a table at more than one candidate offset, the highest
// offset decides.

#include <gtest/gtest.h>

#include <vector>

#include "download/ImageAcceptance.h"
#include "support/TempDir.h"

namespace {

using Bytes = std::vector<uint8_t>;

void PutTable(Bytes& image, size_t offset, uint8_t eepromId, uint8_t memType) {
  const Bytes table = {eepromId, 0xA5, 3 << 3, 0x40, 0x00, 0x01, 0x03, 0x08, memType};
  std::copy(table.begin(), table.end(), image.begin() + static_cast<std::ptrdiff_t>(offset));
}

TEST(AcceptanceEdgeCases, TableAtF000WinsOverOneAtE000) {
  Bytes image(65536, 0x3C);
  PutTable(image, 0xE000, 0x47, 0);
  PutTable(image, 0xF000, 0x30, 0xC2);
  TempDir dir;
  const ImageVerdict v = JudgeFirmwareImage(dir.Write("image.bin", image));
  EXPECT_EQ(v.tableOffset, 0xF000);
  EXPECT_EQ(v.memoryClass, 8);
}

}  // namespace
