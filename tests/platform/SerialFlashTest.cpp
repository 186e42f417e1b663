// The serial flashes: write protection through the status register and the
// write-protect line, the busy bit, sector erases and the flash information.

#include "RawCamera.h"

namespace substitute_test {
namespace {

class SerialFlashTest : public SubstituteTest {
 protected:
  DeviceId Add(substitute::SubstituteCameraConfig config = {}) {
    const DeviceId added = world.AddCamera(config);
    camera = Open();
    return added;
  }
  uint8_t ReadStatus() {
    Bytes status;
    EXPECT_TRUE(camera.Read(Block(0x02, 0xC3, 0, 1), 1, 8, &status));
    return status.empty() ? 0xEE : status[0];
  }
  // Writes the status and lets the write's time pass.
  void WriteStatus(uint8_t value) {
    StartStatusWrite(value);
    world.Advance(substitute::SubstituteCameraConfig{}.statusWriteMs);
  }
  void StartStatusWrite(uint8_t value) { ASSERT_TRUE(camera.Write(Block(0x02, 0x83, 0, 1), {value}, 8)); }
  void WriteRegister(uint16_t address, uint8_t value) {
    ASSERT_TRUE(camera.Write(Block(0x00, 0x82, address, 1), {value}, 8));
  }
  // What a host does to lift the protection: the line first, then the status.
  void Unprotect() {
    WriteRegister(0xFEA0, 0x11);
    WriteRegister(0xFEA6, 0x21);
    WriteStatus(0);
    for (int reads = 0; reads < 100 && (ReadStatus() & 1); ++reads) {
    }
  }
  bool Write(uint32_t address, const Bytes& data) {
    return camera.Write(MemoryBlock(0x82, address, static_cast<uint16_t>(data.size())), data, 8);
  }
  Bytes Read(uint32_t address, uint16_t count) {
    Bytes data;
    EXPECT_TRUE(camera.Read(MemoryBlock(0xC2, address, count), count, 8, &data));
    return data;
  }

  RawCamera camera;
};

TEST_F(SerialFlashTest, ShipsProtectedAndIgnoresWritesAndErases) {
  const DeviceId id = Add();
  EXPECT_EQ(world.FlashStatusRegister(id), 0x8C);
  EXPECT_FALSE(world.MemoryWritable(id));
  const Bytes before = world.Memory(id);
  EXPECT_TRUE(Write(0, {0, 0, 0, 0}));
  EXPECT_EQ(camera.Command(Block(0x02, 0x04)), platform::kOk);
  EXPECT_EQ(world.Memory(id), before);
  EXPECT_EQ(ReadStatus(), 0x8C);  // nothing was done, so nothing is busy
}

TEST_F(SerialFlashTest, StatusWriteIsLockedWhileTheProtectLineIsHeld) {
  const DeviceId id = Add();
  WriteStatus(0);
  EXPECT_EQ(world.FlashStatusRegister(id), 0x8C);
  EXPECT_EQ(world.FlashBusyReadsLeft(id), 0u);
  WriteRegister(0xFEA0, 0x11);
  WriteStatus(0);
  EXPECT_EQ(world.FlashStatusRegister(id), 0x00);
}

TEST_F(SerialFlashTest, UnprotectedFlashErasesWritesAndReadsBack) {
  const DeviceId id = Add();
  Unprotect();
  EXPECT_TRUE(world.MemoryWritable(id));
  ASSERT_EQ(camera.Command(Block(0x02, 0x04)), platform::kOk);
  EXPECT_EQ(world.Memory(id), Bytes(65536, 0xFF));
  ASSERT_TRUE(Write(0x1234, {1, 2, 3, 4, 5}));
  EXPECT_EQ(Read(0x1232, 9), (Bytes{0xFF, 0xFF, 1, 2, 3, 4, 5, 0xFF, 0xFF}));
}

TEST_F(SerialFlashTest, WritingStatus8CProtectsAgainEvenWithTheLineReleased) {
  const DeviceId id = Add();
  Unprotect();
  ASSERT_EQ(camera.Command(Block(0x02, 0x04)), platform::kOk);
  WriteStatus(0x8C);
  EXPECT_EQ(world.Register(id, 0xFEA0) & 1, 1);
  EXPECT_FALSE(world.MemoryWritable(id));
  ASSERT_TRUE(Write(0, {0x12}));
  EXPECT_EQ(world.Memory(id)[0], 0xFF);
}

TEST_F(SerialFlashTest, ClearingTheProtectLineAloneProtects) {
  const DeviceId id = Add();
  Unprotect();
  WriteRegister(0xFEA0, 0x10);
  EXPECT_FALSE(world.MemoryWritable(id));
}

TEST_F(SerialFlashTest, WriteWithoutEraseOnlyClearsBits) {
  substitute::SubstituteCameraConfig config;
  config.initialMemory = {0xF0, 0x0F, 0xFF, 0x00};
  const DeviceId id = Add(config);
  Unprotect();
  ASSERT_TRUE(Write(0, {0xFF, 0xFF, 0x5A, 0xFF}));
  EXPECT_EQ(Read(0, 4), (Bytes{0xF0, 0x0F, 0x5A, 0x00}));
  const Bytes memory = world.Memory(id);
  EXPECT_EQ(Bytes(memory.begin(), memory.begin() + 4), (Bytes{0xF0, 0x0F, 0x5A, 0x00}));
}

TEST_F(SerialFlashTest, HighAddressBitsTravelInBytesSixAndSeven) {
  const DeviceId id = Add();
  Unprotect();
  ASSERT_EQ(camera.Command(Block(0x02, 0x04)), platform::kOk);
  ASSERT_TRUE(Write(0x8000, {1, 2, 3}));
  EXPECT_EQ(Read(0x8000, 3), (Bytes{1, 2, 3}));
  EXPECT_EQ(world.Memory(id)[0x8000], 1);
  EXPECT_EQ(camera.Command(MemoryBlock(0xC2, 0x10000, 1)), substitute::kStalled);
}

struct BusyCase {
  const char* what;
  uint32_t afterErase;
  uint32_t afterWrite;
  uint32_t afterStatusWrite;
  int action;  // 0 erase, 1 write, 2 status write
  uint32_t expectedBusyReads;
};

class FlashBusyTest : public SerialFlashTest, public ::testing::WithParamInterface<BusyCase> {};

TEST_P(FlashBusyTest, BusyBitStaysForTheConfiguredReads) {
  const BusyCase& c = GetParam();
  substitute::SubstituteCameraConfig config;
  config.busyReadsAfterErase = c.afterErase;
  config.busyReadsAfterWrite = c.afterWrite;
  config.busyReadsAfterStatusWrite = c.afterStatusWrite;
  Add(config);
  Unprotect();
  if (c.action == 0) {
    ASSERT_EQ(camera.Command(Block(0x02, 0x04)), platform::kOk);
  } else if (c.action == 1) {
    ASSERT_TRUE(Write(0, {0x00}));
  } else {
    WriteStatus(0x00);
  }
  for (uint32_t i = 0; i < c.expectedBusyReads; ++i) EXPECT_EQ(ReadStatus(), 0x01) << c.what << " read " << i;
  EXPECT_EQ(ReadStatus(), 0x00) << c.what;
}

INSTANTIATE_TEST_SUITE_P(Counts, FlashBusyTest,
                         ::testing::Values(BusyCase{"erase", 3, 1, 1, 0, 3}, BusyCase{"long erase", 25, 1, 1, 0, 25},
                                           BusyCase{"write", 3, 2, 1, 1, 2}, BusyCase{"status", 3, 1, 4, 2, 4},
                                           BusyCase{"never busy", 0, 0, 0, 0, 0}));

TEST_F(SerialFlashTest, BusyBitShowsOnTopOfTheProtectBits) {
  substitute::SubstituteCameraConfig config;
  config.busyReadsAfterStatusWrite = 1;
  Add(config);
  WriteRegister(0xFEA0, 0x11);
  WriteStatus(0x8C);
  EXPECT_EQ(ReadStatus(), 0x8D);
  EXPECT_EQ(ReadStatus(), 0x8C);
}

// A status write takes time: the register keeps its value and the flash reads
// busy until the write is over, and a reset or another status write meanwhile
// loses it. So a host that does not wait leaves the flash as it was.
TEST_F(SerialFlashTest, AStatusWriteTakesEffectOnlyWhenItsTimeIsOver) {
  const uint32_t takes = substitute::SubstituteCameraConfig{}.statusWriteMs;
  struct Case {
    const char* what;
    int interruption;  // 0 none, 1 a second status write, 2 a reset
    uint8_t after;
  } const cases[] = {{"waited for", 0, 0x00}, {"second write while busy", 1, 0x8C}, {"reset while busy", 2, 0x8C}};
  for (const Case& c : cases) {
    const DeviceId id = Add();
    WriteRegister(0xFEA0, 0x11);
    StartStatusWrite(0x00);
    EXPECT_EQ(ReadStatus(), 0x8D) << c.what << ": busy, still protected";
    world.Advance(takes - 1);
    EXPECT_EQ(world.FlashStatusRegister(id), 0x8C) << c.what;
    if (c.interruption == 1) StartStatusWrite(0x00);
    if (c.interruption == 2) {
      ASSERT_EQ(camera.Command(Block(0x00, 0x09)), platform::kOk);
    }
    world.Advance(takes + 2000);
    EXPECT_EQ(world.FlashStatusRegister(id), c.after) << c.what;
    world.Unplug(id);
  }
}

TEST_F(SerialFlashTest, Class7EraseCoversTheSectorsOfItsParameter) {
  const DeviceId id = Add(substitute::CameraOfClass(7));
  WriteRegister(0xFEA0, 0x11);
  WriteStatus(0);
  const Bytes before = world.Memory(id);
  ASSERT_EQ(camera.Command(Block(0x02, 0x0C, 0, 100)), platform::kOk);
  const Bytes after = world.Memory(id);
  EXPECT_EQ(Bytes(after.begin(), after.begin() + 4096), Bytes(4096, 0xFF));
  EXPECT_EQ(Bytes(after.begin() + 4096, after.end()), Bytes(before.begin() + 4096, before.end()));
  ASSERT_EQ(camera.Command(Block(0x02, 0x0C, 0, 0x2000)), platform::kOk);
  EXPECT_EQ(world.Memory(id), Bytes(8192, 0xFF));
}

TEST_F(SerialFlashTest, FlashInformationIsConfigured) {
  substitute::SubstituteCameraConfig config;
  config.flashInfo = {1, 2, 3, 4, 5, 6, 7, 8};
  Add(config);
  Bytes info;
  ASSERT_TRUE(camera.Read(Block(0x02, 0xC1, 0, 8), 8, 8, &info));
  EXPECT_EQ(info, (Bytes{1, 2, 3, 4, 5, 6, 7, 8}));
}

TEST_F(SerialFlashTest, FlashStatusSurvivesAReset) {
  const DeviceId id = Add();
  Unprotect();
  ASSERT_EQ(camera.Command(Block(0x00, 0x09)), platform::kOk);
  world.Advance(2000);
  ASSERT_TRUE(world.IsPresent(id));
  EXPECT_EQ(world.FlashStatusRegister(id), 0x00);
  EXPECT_EQ(world.Register(id, 0xFEA0), 0x10);  // registers start over
}

}  // namespace
}  // namespace substitute_test
