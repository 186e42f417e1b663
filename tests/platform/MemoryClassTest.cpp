// Each memory class answers its own command group only, with its own erase
// and write rules.

#include "RawCamera.h"

namespace substitute_test {
namespace {

namespace camera_status = substitute::camera_status;

struct Group {
  uint8_t memoryClass;
  uint8_t write;
  uint8_t read;
  uint8_t erase;
  uint32_t size;
};

const Group kGroups[] = {{1, 0x8E, 0xCE, 0x0F, 128},  {2, 0x8E, 0xCE, 0x0F, 256},  {3, 0x8E, 0xCE, 0x0F, 512},
                         {4, 0x8E, 0xCE, 0x0F, 2048}, {5, 0x8B, 0xCB, 0x0C, 2048}, {6, 0x91, 0xD1, 0x12, 8192},
                         {7, 0x87, 0xC7, 0x0C, 8192}, {8, 0x82, 0xC2, 0x04, 65536}};

const uint8_t kMemoryOpcodes[] = {0x82, 0xC2, 0x04, 0xC1, 0xC3, 0x83, 0x87, 0xC7, 0x8B,
                                  0xCB, 0x0C, 0x8E, 0xCE, 0x0F, 0x91, 0xD1, 0x12};

std::string ClassName(const ::testing::TestParamInfo<Group>& param) {
  return "Class" + std::to_string(param.param.memoryClass);
}

bool Answers(const Group& group, uint8_t opcode) {
  // The serial-flash port's information and status answer on every camera.
  if (opcode == 0xC1 || opcode == 0xC3 || opcode == 0x83) return true;
  if (opcode == 0x0C) return group.memoryClass == 5 || group.memoryClass == 7;
  return opcode == group.write || opcode == group.read || opcode == group.erase;
}

class MemoryClassTest : public SubstituteTest, public ::testing::WithParamInterface<Group> {
 protected:
  void SetUp() override {
    id = world.AddCamera(substitute::CameraOfClass(GetParam().memoryClass));
    camera = Open();
    ASSERT_TRUE(camera);
  }
  // Releases whatever protection the part has, without the command path.
  void Unprotect() {
    world.SetRegister(id, 0xFEA0, 0x11);
    world.SetRegister(id, 0xFEA6, 0x20);
    world.SetFlashStatusRegister(id, 0);
  }
  bool Erase() {
    const Group& g = GetParam();
    if (g.memoryClass <= 4) {
      const uint8_t key = substitute::DefaultEraseKey(g.memoryClass);
      if (!camera.Write(MemoryBlock(0x8E, 0, 1), {key}, world.DataLength(id))) return false;
      return camera.Command(Block(0x02, 0x0F, 0, static_cast<uint16_t>(g.size))) == platform::kOk;
    }
    // The parameter counts the bytes to erase; the whole part is 64 KiB or less.
    const auto count = static_cast<uint16_t>(std::min<uint32_t>(g.size, 0xFFFF));
    return camera.Command(Block(0x02, g.erase, 0, g.memoryClass == 8 ? 0 : count)) == platform::kOk;
  }
  // Moves the bytes in commands of at most 0x8000 bytes, as a host splits them.
  bool WriteAll(uint32_t address, const Bytes& data, uint32_t blockLength = 64) {
    for (size_t done = 0; done < data.size(); done += 0x8000) {
      const Bytes piece(data.begin() + static_cast<ptrdiff_t>(done),
                        data.begin() + static_cast<ptrdiff_t>(std::min(data.size(), done + 0x8000)));
      const auto block =
          MemoryBlock(GetParam().write, address + static_cast<uint32_t>(done), static_cast<uint16_t>(piece.size()));
      if (!camera.Write(block, piece, blockLength)) return false;
    }
    return true;
  }
  bool ReadAll(uint32_t address, uint32_t count, Bytes* out, uint32_t blockLength = 64) {
    out->clear();
    for (uint32_t done = 0; done < count; done += 0x8000) {
      const uint32_t piece = std::min<uint32_t>(count - done, 0x8000);
      Bytes bytes;
      if (!camera.Read(MemoryBlock(GetParam().read, address + done, static_cast<uint16_t>(piece)), piece, blockLength,
                       &bytes))
        return false;
      out->insert(out->end(), bytes.begin(), bytes.end());
    }
    return true;
  }
  void UseLength64() {
    ASSERT_EQ(camera.Command(Block(0x00, 0x16, 0, 64)), platform::kOk);
    Bytes confirm;
    ASSERT_EQ(camera.GetData(65, &confirm), platform::kOk);
  }

  DeviceId id = 0;
  RawCamera camera;
};

TEST_P(MemoryClassTest, HasTheClassSizeAndAnOldImage) {
  const Bytes memory = world.Memory(id);
  EXPECT_EQ(memory.size(), GetParam().size);
  EXPECT_NE(std::count(memory.begin(), memory.end(), 0xFF), static_cast<ptrdiff_t>(memory.size()));
}

TEST_P(MemoryClassTest, OnlyItsOwnGroupAnswers) {
  for (uint8_t opcode : kMemoryOpcodes) {
    const Bytes block = Block(0x02, opcode, 0, (opcode == 0xC1) ? 8 : ((opcode & 0x80) ? 1 : 0));
    const platform::Status status = camera.Command(block);
    if (Answers(GetParam(), opcode)) {
      EXPECT_EQ(status, platform::kOk) << std::hex << int(opcode);
    } else {
      EXPECT_EQ(status, substitute::kStalled) << std::hex << int(opcode);
      EXPECT_EQ(camera.StatusBytes(), (Bytes{camera_status::kHardwareError, 0})) << std::hex << int(opcode);
    }
    camera.Clear();
  }
}

TEST_P(MemoryClassTest, EraseWriteAndReadBack) {
  const uint32_t size = GetParam().size;
  Unprotect();
  UseLength64();
  ASSERT_TRUE(Erase());
  Bytes back;
  ASSERT_TRUE(ReadAll(0, size, &back));
  EXPECT_EQ(back, Bytes(size, 0xFF));
  const Bytes image = Pattern(size - 5, 0x21);  // ends in a partial block
  ASSERT_TRUE(WriteAll(0, image));
  ASSERT_TRUE(ReadAll(0, size, &back));
  EXPECT_TRUE(std::equal(image.begin(), image.end(), back.begin()));
  EXPECT_EQ(Bytes(back.begin() + static_cast<ptrdiff_t>(image.size()), back.end()), Bytes(5, 0xFF));
  EXPECT_EQ(world.Memory(id), back);
}

TEST_P(MemoryClassTest, WriteWithoutEraseOverwritesAnEepromAndCorruptsAFlash) {
  Unprotect();
  world.SetMemory(id, 0, Bytes(16, 0x0F));
  const Bytes data{0xF0, 0x3C, 0xFF, 0x00, 0x81, 0x7E, 0x55, 0xAA};
  ASSERT_TRUE(WriteAll(0, data, 8));
  Bytes back;
  ASSERT_TRUE(ReadAll(0, 8, &back, 8));
  if (GetParam().memoryClass >= 7) {
    EXPECT_EQ(back, (Bytes{0x00, 0x0C, 0x0F, 0x00, 0x01, 0x0E, 0x05, 0x0A}));
  } else {
    EXPECT_EQ(back, data);
  }
}

TEST_P(MemoryClassTest, TransfersPastTheEndAreOutOfRange) {
  Unprotect();
  const Bytes before = world.Memory(id);
  const uint32_t size = GetParam().size;
  for (const Bytes& block : {MemoryBlock(GetParam().write, size - 4, 5), MemoryBlock(GetParam().read, size, 1),
                             MemoryBlock(GetParam().read, 0x10000 + size, 1)}) {
    EXPECT_EQ(camera.Command(block), substitute::kStalled);
    EXPECT_EQ(camera.StatusBytes(), (Bytes{camera_status::kOutOfRange, 0}));
    EXPECT_FALSE(world.TransferOpen(id));
    camera.Clear();
  }
  Bytes last;
  EXPECT_TRUE(ReadAll(size - 4, 4, &last, 8));
  EXPECT_EQ(world.Memory(id), before);
}

INSTANTIATE_TEST_SUITE_P(Classes, MemoryClassTest, ::testing::ValuesIn(kGroups), ClassName);

// --- the small EEPROMs' erase key -------------------------------------------

class EraseKeyTest : public SubstituteTest, public ::testing::WithParamInterface<Group> {
 protected:
  void SetUp() override {
    id = world.AddCamera(substitute::CameraOfClass(GetParam().memoryClass));
    camera = Open();
  }
  uint8_t Key() const { return substitute::DefaultEraseKey(GetParam().memoryClass); }
  platform::Status EraseCommand() {
    return camera.Command(Block(0x02, 0x0F, 0, static_cast<uint16_t>(GetParam().size)));
  }
  bool Blank() {
    const Bytes memory = world.Memory(id);
    return std::all_of(memory.begin(), memory.end(), [](uint8_t b) { return b == 0xFF; });
  }
  DeviceId id = 0;
  RawCamera camera;
};

TEST_P(EraseKeyTest, ErasesRightAfterTheIdByteAtAddressZero) {
  ASSERT_TRUE(camera.Write(MemoryBlock(0x8E, 0, 1), {Key()}, 8));
  EXPECT_EQ(world.Memory(id)[0], Key());
  ASSERT_EQ(EraseCommand(), platform::kOk);
  EXPECT_TRUE(Blank());
}

TEST_P(EraseKeyTest, WithoutTheKeyTheEraseIsAcceptedAndChangesNothing) {
  const Bytes before = world.Memory(id);
  EXPECT_EQ(EraseCommand(), platform::kOk);
  EXPECT_EQ(world.Memory(id), before);
}

TEST_P(EraseKeyTest, WrongByteWrongAddressOrACommandBetweenDisarmIt) {
  struct Attempt {
    const char* what;
    std::function<void()> arm;
  };
  const Attempt attempts[] = {
      {"other byte", [&] { camera.Write(MemoryBlock(0x8E, 0, 1), {static_cast<uint8_t>(Key() + 1)}, 8); }},
      {"address 1", [&] { camera.Write(MemoryBlock(0x8E, 1, 1), {Key()}, 8); }},
      {"two bytes",
       [&] {
         camera.Write(MemoryBlock(0x8E, 0, 2), {Key(), Key()}, 8);
       }},
      {"command between",
       [&] {
         camera.Write(MemoryBlock(0x8E, 0, 1), {Key()}, 8);
         Bytes data;
         camera.Read(Block(0x00, 0xD0, 0, 8), 8, 8, &data);
       }},
  };
  for (const Attempt& attempt : attempts) {
    attempt.arm();
    const Bytes before = world.Memory(id);
    ASSERT_EQ(EraseCommand(), platform::kOk) << attempt.what;
    EXPECT_EQ(world.Memory(id), before) << attempt.what;
  }
}

TEST_P(EraseKeyTest, EraseParameterBeyondThePartIsOutOfRange) {
  ASSERT_TRUE(camera.Write(MemoryBlock(0x8E, 0, 1), {Key()}, 8));
  EXPECT_EQ(camera.Command(Block(0x02, 0x0F, 0, static_cast<uint16_t>(GetParam().size + 1))), substitute::kStalled);
  EXPECT_EQ(camera.StatusBytes(), (Bytes{camera_status::kOutOfRange, 0}));
  EXPECT_FALSE(Blank());
}

INSTANTIATE_TEST_SUITE_P(SmallEeproms, EraseKeyTest, ::testing::ValuesIn(kGroups, kGroups + 4), ClassName);

// --- the larger EEPROMs' protection ------------------------------------------

class EepromProtectionTest : public SubstituteTest, public ::testing::WithParamInterface<Group> {
 protected:
  void SetUp() override {
    id = world.AddCamera(substitute::CameraOfClass(GetParam().memoryClass));
    camera = Open();
  }
  void Try(uint8_t a, uint8_t b, bool writable) {
    world.SetRegister(id, 0xFEA0, a);
    world.SetRegister(id, 0xFEA6, b);
    const Bytes before = world.Memory(id);
    ASSERT_TRUE(camera.Write(MemoryBlock(GetParam().write, 0, 4), {1, 2, 3, 4}, 8));
    ASSERT_EQ(camera.Command(Block(0x02, GetParam().erase, 0, 2)), platform::kOk);
    const Bytes after = world.Memory(id);
    if (writable) {
      EXPECT_EQ(Bytes(after.begin(), after.begin() + 4), (Bytes{0xFF, 0xFF, 3, 4}));
      EXPECT_EQ(Bytes(after.begin() + 4, after.end()), Bytes(before.begin() + 4, before.end()));
    } else {
      EXPECT_EQ(after, before);
    }
  }
  DeviceId id = 0;
  RawCamera camera;
};

TEST_P(EepromProtectionTest, WritableOnlyWithA0Bit0SetAndA6Bit0Clear) {
  Try(0x10, 0x21, false);
  Try(0x11, 0x21, false);
  Try(0x10, 0x20, false);
  Try(0x11, 0x20, true);
}

TEST_P(EepromProtectionTest, ProtectedAtPowerUp) { EXPECT_FALSE(world.MemoryWritable(id)); }

TEST_P(EepromProtectionTest, EraseParameterCountsBytesFromAddressZero) {
  world.SetRegister(id, 0xFEA0, 0x01);
  world.SetRegister(id, 0xFEA6, 0x00);
  const Bytes before = world.Memory(id);
  ASSERT_EQ(camera.Command(Block(0x02, GetParam().erase, 0, 100)), platform::kOk);
  const Bytes after = world.Memory(id);
  EXPECT_EQ(Bytes(after.begin(), after.begin() + 100), Bytes(100, 0xFF));
  EXPECT_EQ(Bytes(after.begin() + 100, after.end()), Bytes(before.begin() + 100, before.end()));
  // Nothing more than the parameter says: 0 erases nothing.
  world.SetMemory(id, 0, Bytes(4, 0x12));
  ASSERT_EQ(camera.Command(Block(0x02, GetParam().erase, 0, 0)), platform::kOk);
  const Bytes unerased = world.Memory(id);
  EXPECT_EQ(Bytes(unerased.begin(), unerased.begin() + 4), Bytes(4, 0x12));
  ASSERT_EQ(camera.Command(Block(0x02, GetParam().erase, 0, static_cast<uint16_t>(GetParam().size))), platform::kOk);
  EXPECT_EQ(world.Memory(id), Bytes(GetParam().size, 0xFF));
  EXPECT_EQ(camera.Command(Block(0x02, GetParam().erase, 0, static_cast<uint16_t>(GetParam().size + 1))),
            substitute::kStalled);
}

INSTANTIATE_TEST_SUITE_P(LargerEeproms, EepromProtectionTest, ::testing::ValuesIn(kGroups + 4, kGroups + 6), ClassName);

TEST(MemorySizes, ConfiguredSizesReplaceTheClassDefaults) {
  substitute::SubstituteWorld world;
  const DeviceId small5 = world.AddCamera(substitute::CameraOfClass(5, 512));
  const DeviceId large6 = world.AddCamera(substitute::CameraOfClass(6, 16384));
  const DeviceId small6 = world.AddCamera(substitute::CameraOfClass(6, 4096));
  EXPECT_EQ(world.Memory(small5).size(), 512u);
  EXPECT_EQ(world.Memory(large6).size(), 16384u);
  EXPECT_EQ(world.Memory(small6).size(), 4096u);
}

TEST(MemorySizes, InitialContentsAreKept) {
  substitute::SubstituteWorld world;
  substitute::SubstituteCameraConfig config = substitute::CameraOfClass(1);
  config.initialMemory = Bytes(128, 0xFF);
  config.initialMemory[5] = 0;
  const DeviceId id = world.AddCamera(config);
  EXPECT_EQ(world.Memory(id), config.initialMemory);
}

}  // namespace
}  // namespace substitute_test
