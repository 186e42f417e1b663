#include <functional>

#include "FakeCapture.h"

namespace {

using fake::Block;
using fake::Bytes;

class MemoryProceduresTest : public fake::DeviceTest {
 protected:
  void SetUp() override {
    DeviceTest::SetUp();
    key = OpenOneCamera();
    capture.wire.dataForOpcode[0x00C2] = {0x5A};  // both protection registers read 0x5A
  }
  std::vector<Bytes> Blocks() const { return capture.wire.CommandBlocks(); }
  std::vector<Bytes> DataSets() const {
    std::vector<Bytes> sets;
    for (const auto& call : capture.wire.Sets(kDataControl)) sets.push_back(call.sent);
    return sets;
  }
  uint32_t key = 0;
};

Bytes RegisterRead(int low) { return Block({0x00, 0xC2, low, 0xFE, 0x01, 0, 0, 0}); }
Bytes RegisterWrite(int low) { return Block({0x00, 0x82, low, 0xFE, 0x01, 0, 0, 0}); }
Bytes OneByte(int value) { return Block({value, 0, 0, 0, 0, 0, 0, 0}); }
const Bytes kReadStatus = Block({0x02, 0xC3, 0, 0, 0x01, 0, 0, 0});
const Bytes kWriteStatus = Block({0x02, 0x83, 0, 0, 0x01, 0, 0, 0});

TEST_F(MemoryProceduresTest, SmallMemoryEraseMarksThenErases) {
  ASSERT_EQ(EraseMemory(key, 3, 0x1234), 1);
  EXPECT_EQ(Blocks(), (std::vector<Bytes>{Block({0x02, 0x8E, 0, 0, 0x01, 0, 0, 0}),
                                          Block({0x02, 0x0F, 0, 0, 0x00, 0x02, 0, 0})}));
  EXPECT_EQ(DataSets(), std::vector<Bytes>{OneByte(0x49)});
}

TEST_F(MemoryProceduresTest, EraseCommandPerClass) {
  const std::vector<std::pair<int, std::vector<Bytes>>> cases = {
      {1, {Block({0x02, 0x8E, 0, 0, 1, 0, 0, 0}), Block({0x02, 0x0F, 0, 0, 0x80, 0x00, 0, 0})}},
      {4, {Block({0x02, 0x8E, 0, 0, 1, 0, 0, 0}), Block({0x02, 0x0F, 0, 0, 0x00, 0x08, 0, 0})}},
      {5, {Block({0x02, 0x0C, 0, 0, 0x00, 0x20, 0, 0})}},
      {6, {Block({0x02, 0x12, 0, 0, 0x00, 0x20, 0, 0})}},
      {7, {Block({0x02, 0x0C, 0, 0, 0x00, 0x20, 0, 0})}},
      {8, {Block({0x02, 0xC1, 0, 0, 0x08, 0, 0, 0}), Block({0x02, 0x04, 0, 0, 0, 0, 0, 0})}},
  };
  for (const auto& [memoryClass, blocks] : cases) {
    capture.wire.calls.clear();
    EXPECT_EQ(EraseMemory(key, memoryClass, 0x2000), 1) << memoryClass;
    EXPECT_EQ(Blocks(), blocks) << memoryClass;
  }
}

TEST_F(MemoryProceduresTest, UnknownClassIsRefusedByEveryDispatch) {
  const uint8_t image[4] = {};
  for (int memoryClass : {0, 9, -1}) {
    const std::vector<std::function<int()>> dispatches = {
        [&] { return DisableWriteProtect(key, memoryClass); },
        [&] { return RestoreWriteProtect(key, memoryClass); },
        [&] { return EraseMemory(key, memoryClass, 4); },
        [&] { return WriteMemoryImage(key, memoryClass, image, 4); },
        [&] { return VerifyMemoryImage(key, memoryClass, image, 4); },
    };
    for (const auto& dispatch : dispatches) {
      debug.lines.clear();
      EXPECT_EQ(dispatch(), 0);
      EXPECT_EQ(debug.lines, std::vector<std::string>{"Error memory type!"});
    }
  }
  EXPECT_TRUE(capture.wire.calls.empty());
}

TEST_F(MemoryProceduresTest, SmallMemoriesHaveNoWriteProtection) {
  for (int memoryClass = 1; memoryClass <= 4; ++memoryClass) {
    EXPECT_EQ(DisableWriteProtect(key, memoryClass), 1);
    EXPECT_EQ(RestoreWriteProtect(key, memoryClass), 1);
  }
  EXPECT_TRUE(capture.wire.calls.empty());
}

TEST_F(MemoryProceduresTest, RegisterProtectionIsLiftedAndRestored) {
  capture.wire.dataForOpcode[0x00C2] = {0x5B};
  ASSERT_EQ(DisableWriteProtect(key, 5), 1);
  EXPECT_EQ(Blocks(),
            (std::vector<Bytes>{RegisterRead(0xA0), RegisterRead(0xA6), RegisterWrite(0xA0), RegisterWrite(0xA6)}));
  EXPECT_EQ(DataSets(), (std::vector<Bytes>{OneByte(0x5B), OneByte(0x5A)}));

  capture.wire.calls.clear();
  ASSERT_EQ(RestoreWriteProtect(key, 6), 1);
  EXPECT_EQ(Blocks(), (std::vector<Bytes>{RegisterWrite(0xA6), RegisterWrite(0xA0)}));
  EXPECT_EQ(DataSets(), (std::vector<Bytes>{OneByte(0x5B), OneByte(0x5B)}));

  // A failed first restore skips the second and still counts as done.
  capture.wire.calls.clear();
  capture.wire.FailNext(0);
  EXPECT_EQ(RestoreWriteProtect(key, 5), 1);
  EXPECT_EQ(Blocks().size(), 2u);  // the write and the cleared status
}

TEST_F(MemoryProceduresTest, FailedRegisterReadStopsTheDisable) {
  capture.wire.FailNext(1);
  EXPECT_EQ(DisableWriteProtect(key, 6), 0);
  EXPECT_EQ(Blocks().size(), 2u);
}

TEST_F(MemoryProceduresTest, UnprotectPollsABusyFlashTwentyMoreTimes) {
  capture.wire.dataForOpcode[0x02C3] = {0x01};
  ASSERT_EQ(SerialFlashUnprotect(key), 1);
  std::vector<Bytes> expected = {RegisterRead(0xA0), RegisterRead(0xA6), RegisterWrite(0xA0), RegisterWrite(0xA6),
                                 kWriteStatus};
  expected.insert(expected.end(), 21, kReadStatus);
  expected.push_back(kWriteStatus);
  EXPECT_EQ(Blocks(), expected);
  EXPECT_EQ(DataSets(), (std::vector<Bytes>{OneByte(0x5B), OneByte(0x5B), OneByte(0), OneByte(0)}));
  EXPECT_EQ(clock.sleeps, std::vector<uint32_t>(20, 50));
  EXPECT_EQ(KeptProtectionBytes().registerA0, 0x5A);
  EXPECT_EQ(KeptProtectionBytes().registerA6, 0x5A);
}

TEST_F(MemoryProceduresTest, UnprotectStopsPollingWhenTheFlashIsIdle) {
  capture.wire.dataForOpcode[0x02C3] = {0x00};
  ASSERT_EQ(SerialFlashUnprotect(key), 1);
  EXPECT_EQ(Blocks().back(), kReadStatus);
  EXPECT_TRUE(clock.sleeps.empty());
}

TEST_F(MemoryProceduresTest, FailedStatusReadFailsTheUnprotect) {
  capture.wire.dataForOpcode[0x02C3] = {0x01};
  // Two register reads, two register writes and the status write take two
  // accesses each; the failure hits the answer to the fourth status read.
  capture.wire.FailNext(10 + 2 * 3 + 1);
  EXPECT_EQ(SerialFlashUnprotect(key), 0);
  EXPECT_EQ(clock.sleeps.size(), 3u);
}

TEST_F(MemoryProceduresTest, ProtectRestoresTheKeptRegistersWithBitZeroCleared) {
  capture.wire.dataForOpcode[0x00C2] = {0x37};
  capture.wire.dataForOpcode[0x02C3] = {0x00};
  SerialFlashUnprotect(key);
  capture.wire.calls.clear();
  ASSERT_EQ(SerialFlashProtect(key), 1);
  EXPECT_EQ(Blocks(), (std::vector<Bytes>{kWriteStatus, kReadStatus, RegisterWrite(0xA6), RegisterWrite(0xA0)}));
  EXPECT_EQ(DataSets(), (std::vector<Bytes>{OneByte(0x8C), OneByte(0x36), OneByte(0x36)}));

  capture.wire.calls.clear();
  capture.wire.FailNext(4);  // the block of the 0xFEA6 write
  EXPECT_EQ(SerialFlashProtect(key), 0);
  EXPECT_EQ(Blocks().back(), Block({0xFF, 0, 0, 0, 0, 0, 0, 0}));
}

TEST_F(MemoryProceduresTest, WriteImageCommandPerClass) {
  const Bytes image = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  const std::vector<std::pair<int, std::vector<Bytes>>> cases = {
      {2, {Block({0x02, 0x8E, 0, 0, 10, 0, 0, 0})}},
      {5, {Block({0x02, 0x8B, 0, 0, 10, 0, 0, 0})}},
      {6, {Block({0x02, 0x91, 0, 0, 10, 0, 0, 0})}},
      {7, {Block({0x02, 0x87, 0, 0, 10, 0, 0, 0})}},
      {8, {Block({0x02, 0xC1, 0, 0, 8, 0, 0, 0}), Block({0x02, 0x82, 0, 0, 10, 0, 0, 0})}},
  };
  for (const auto& [memoryClass, blocks] : cases) {
    capture.wire.calls.clear();
    EXPECT_EQ(WriteMemoryImage(key, memoryClass, image.data(), 10), 1) << memoryClass;
    EXPECT_EQ(Blocks(), blocks) << memoryClass;
    EXPECT_EQ(DataSets().back(), Block({9, 10, 0, 0, 0, 0, 0, 0}));
  }
}

TEST_F(MemoryProceduresTest, VerifyComparesTheReadBack) {
  const std::vector<std::pair<int, int>> readOpcodes = {
      {1, 0x02CE}, {5, 0x02CB}, {6, 0x02D1}, {7, 0x02C7}, {8, 0x02C2}};
  const Bytes blank(11, 0xFF);
  for (const auto& [memoryClass, opcode] : readOpcodes) {
    capture.wire.dataForOpcode[opcode] = Bytes(8, 0xFF);
    capture.wire.calls.clear();
    EXPECT_EQ(VerifyMemoryImage(key, memoryClass, blank.data(), 11), 1) << memoryClass;
    EXPECT_EQ(Blocks().at(0), Block({opcode >> 8, opcode & 0xFF, 0, 0, 11, 0, 0, 0}));
  }
  Bytes almost = blank;
  almost[10] = 0xFE;
  EXPECT_EQ(VerifyMemoryImage(key, 1, almost.data(), 11), 0);
  capture.wire.FailNext(1);
  EXPECT_EQ(VerifyMemoryImage(key, 1, blank.data(), 11), 0);
  EXPECT_EQ(VerifyMemoryImage(key + 1, 1, blank.data(), 11), 0);
}

}  // namespace
