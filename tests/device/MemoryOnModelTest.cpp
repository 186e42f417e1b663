// The memory-class procedures against the substitute camera: each class goes
// through unprotect, erase, blank check, write, verify and protect; leaving
// out the erase or the unprotect shows up in the read-back, as on hardware.

#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "device/Device.h"
#include "platform/Platform.h"
#include "platform/substitute/SubstituteWorld.h"

using substitute::CameraOfClass;

namespace {

class OnModel : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    ResetDeviceState();
    cam = world.AddCamera(CameraOfClass(static_cast<uint8_t>(GetParam())));
    inForce.emplace(world.Platform());
    int32_t index = 0;
    key = OpenCamera(&index);
    ASSERT_NE(key, 0u);
    uint8_t fast = 64;
    ASSERT_EQ(SetDataLength(&fast, key), 1);
    size = static_cast<uint32_t>(world.Memory(cam).size());
    for (uint32_t i = 0; i < size; ++i) image.push_back(static_cast<uint8_t>(i * 37 + 11));
    blank.assign(size, 0xFF);
  }
  void TearDown() override {
    CloseCamera(key);
    ResetDeviceState();
    inForce.reset();
  }
  int MemClass() const { return GetParam(); }

  substitute::SubstituteWorld world;
  std::optional<platform::ScopedPlatform> inForce;
  substitute::DeviceId cam = 0;
  uint32_t key = 0;
  uint32_t size = 0;
  std::vector<uint8_t> image, blank;
};

TEST_P(OnModel, FullProcedureLeavesTheImageProtected) {
  ASSERT_EQ(DisableWriteProtect(key, MemClass()), 1);
  EXPECT_TRUE(world.MemoryWritable(cam));
  ASSERT_EQ(EraseMemory(key, MemClass(), static_cast<uint16_t>(size)), 1);
  EXPECT_EQ(VerifyMemoryImage(key, MemClass(), blank.data(), size), 1);
  ASSERT_EQ(WriteMemoryImage(key, MemClass(), image.data(), size), 1);
  EXPECT_EQ(VerifyMemoryImage(key, MemClass(), image.data(), size), 1);
  EXPECT_EQ(world.Memory(cam), image);
  EXPECT_EQ(RestoreWriteProtect(key, MemClass()), 1);
  if (MemClass() >= 5) {
    EXPECT_FALSE(world.MemoryWritable(cam));
    // Protected again: a further write is refused or ignored by the part.
    std::vector<uint8_t> other(size, 0x00);
    WriteMemoryImage(key, MemClass(), other.data(), size);
    EXPECT_EQ(world.Memory(cam), image);
  }
}

TEST_P(OnModel, SkippingTheEraseIsCaught) {
  ASSERT_EQ(DisableWriteProtect(key, MemClass()), 1);
  // The part still holds its old image: the blank check refuses it, and a
  // flash written over it keeps old zero bits.
  EXPECT_EQ(VerifyMemoryImage(key, MemClass(), blank.data(), size), 0);
  WriteMemoryImage(key, MemClass(), image.data(), size);
  const int verified = VerifyMemoryImage(key, MemClass(), image.data(), size);
  if (MemClass() >= 7) {
    EXPECT_EQ(verified, 0) << "a flash can only clear bits";
  } else {
    EXPECT_EQ(verified, 1) << "an EEPROM overwrites";
  }
}

TEST_P(OnModel, SkippingTheUnprotectIsCaught) {
  if (MemClass() <= 4) GTEST_SKIP() << "small EEPROMs have no protection";
  EraseMemory(key, MemClass(), static_cast<uint16_t>(size));
  WriteMemoryImage(key, MemClass(), image.data(), size);
  EXPECT_EQ(VerifyMemoryImage(key, MemClass(), image.data(), size), 0);
  EXPECT_NE(world.Memory(cam), image);
}

TEST_P(OnModel, EraseWithoutTheIdByteLeavesSmallEepromsAsTheyWere) {
  if (MemClass() > 4) GTEST_SKIP() << "only the small EEPROMs need their id byte";
  const std::vector<uint8_t> before = world.Memory(cam);
  EXPECT_EQ(EraseMem0F(key, static_cast<uint16_t>(size)), 1);
  EXPECT_EQ(world.Memory(cam), before);
  EXPECT_EQ(VerifyMemoryImage(key, MemClass(), blank.data(), size), 0);
}

INSTANTIATE_TEST_SUITE_P(Classes, OnModel, ::testing::Range(1, 9));

TEST(OnModelDispatch, UnknownClassTouchesNothing) {
  ResetDeviceState();
  substitute::SubstituteWorld world;
  world.AddCamera();
  platform::ScopedPlatform inForce(world.Platform());
  int32_t index = 0;
  const uint32_t key = OpenCamera(&index);
  world.ClearTraffic();
  uint8_t byte = 0;
  for (int memClass : {0, 9}) {
    EXPECT_EQ(DisableWriteProtect(key, memClass), 0);
    EXPECT_EQ(EraseMemory(key, memClass, 1), 0);
    EXPECT_EQ(WriteMemoryImage(key, memClass, &byte, 1), 0);
    EXPECT_EQ(VerifyMemoryImage(key, memClass, &byte, 1), 0);
    EXPECT_EQ(RestoreWriteProtect(key, memClass), 0);
  }
  EXPECT_TRUE(world.Traffic().empty());
  EXPECT_EQ(world.DebugLines().size(), 10u);
  EXPECT_EQ(world.DebugLines().front(), "Error memory type!");
  CloseCamera(key);
  ResetDeviceState();
}

}  // namespace
