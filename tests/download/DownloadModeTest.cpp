// The download-mode requests, byte for byte as the driver receives them.

#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "download/DownloadMode.h"
#include "platform/Platform.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Records every I/O control call and answers with a scripted result; a read
// gets its data bytes filled with 0xA0, 0xA1, ...
class RecordingFiles final : public platform::IDeviceFiles {
 public:
  struct Call {
    platform::Handle handle;
    uint32_t code;
    Bytes in;
    uint32_t inLength;
    uint32_t outLength;
  };
  platform::Handle Open(const std::string&) override { return 5; }
  bool Close(platform::Handle) override { return true; }
  uint32_t IoControl(platform::Handle handle, uint32_t code, const void* in, uint32_t inLength, void* out,
                     uint32_t outLength, uint32_t* returned) override {
    const auto* bytes = static_cast<const uint8_t*>(in);
    calls.push_back({handle, code, Bytes(bytes, bytes + inLength), inLength, outLength});
    if (result == 0) {
      auto* o = static_cast<uint8_t*>(out);
      for (uint32_t i = 12; i < outLength; ++i) o[i] = static_cast<uint8_t>(0xA0 + (i - 12));
      *returned = outLength;
    }
    return result;
  }
  std::vector<Call> calls;
  uint32_t result = 0;
};

class DownloadMode : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::Platform p;
    p.deviceFiles = &files;
    inForce.emplace(p);
  }
  void TearDown() override { inForce.reset(); }
  RecordingFiles files;
  std::optional<platform::ScopedPlatform> inForce;
};

TEST_F(DownloadMode, EachRequestsBlockAndLengths) {
  uint8_t answer = 0;
  EXPECT_EQ(ProbeDevice(7, &answer), 0u);
  EXPECT_EQ(answer, 0xA0);
  EXPECT_EQ(ResetToUpdatedCode(7), 0u);
  EXPECT_EQ(EraseFlash(7), 0u);
  const Bytes data = {1, 2, 3};
  EXPECT_EQ(WriteFlash(7, 0x1234, 3, data.data()), 0u);
  uint8_t read[2] = {};
  EXPECT_EQ(ReadFlash(7, 0xF000, 2, read), 0u);
  EXPECT_EQ(read[0], 0xA0);
  EXPECT_EQ(read[1], 0xA1);

  const struct {
    Bytes header;
    uint32_t inLength, outLength;
  } expected[] = {
      {{1, 0, 0, 0, 0x40, 5, 0, 0, 0, 0, 1, 0}, 17, 17},       {{0, 0, 0, 0, 0x40, 1, 0, 0, 9, 0, 0, 0}, 16, 16},
      {{0, 0, 0, 0, 0x40, 2, 0, 0, 0, 0, 0, 0}, 16, 16},       {{0, 0, 0, 0, 0x40, 4, 0, 0, 0x34, 0x12, 3, 0}, 19, 16},
      {{3, 0, 0, 0, 0x40, 5, 0, 0, 0x00, 0xF0, 2, 0}, 18, 18},
  };
  ASSERT_EQ(files.calls.size(), 5u);
  for (size_t i = 0; i < 5; ++i) {
    const auto& call = files.calls[i];
    EXPECT_EQ(call.handle, 7);
    EXPECT_EQ(call.code, 0x220100u);
    EXPECT_EQ(call.inLength, expected[i].inLength) << i;
    EXPECT_EQ(call.outLength, expected[i].outLength) << i;
    EXPECT_EQ(Bytes(call.in.begin(), call.in.begin() + 12), expected[i].header) << i;
  }
  // The data follow the header; the block's last four bytes are unused.
  EXPECT_EQ(Bytes(files.calls[3].in.begin() + 12, files.calls[3].in.end()), (Bytes{1, 2, 3, 0, 0, 0, 0}));
  EXPECT_EQ(Bytes(files.calls[4].in.begin() + 12, files.calls[4].in.end()), Bytes(6, 0)) << "read data go out zeroed";
  EXPECT_EQ(files.calls[0].in[12], 0) << "the probe's byte goes out zeroed";
}

TEST_F(DownloadMode, ZeroLengthWriteIsAHeaderOnlyBlock) {
  EXPECT_EQ(WriteFlash(3, 0x2800, 0, nullptr), 0u);
  ASSERT_EQ(files.calls.size(), 1u);
  EXPECT_EQ(files.calls[0].inLength, 16u);
  EXPECT_EQ(files.calls[0].in[10], 0);
  EXPECT_EQ(files.calls[0].in[11], 0);
}

TEST_F(DownloadMode, TransfersAbove32KiBAreRefusedWithoutSending) {
  std::vector<uint8_t> buffer(0x8001);
  EXPECT_EQ(ReadFlash(3, 0, 0x8000, buffer.data()), 0u);
  EXPECT_EQ(ReadFlash(3, 0, 0x8001, buffer.data()), 87u);
  EXPECT_EQ(WriteFlash(3, 0, 0x8001, buffer.data()), 87u);
  EXPECT_EQ(files.calls.size(), 1u);
  EXPECT_EQ(files.calls[0].in[10], 0x00);
  EXPECT_EQ(files.calls[0].in[11], 0x80);
}

TEST_F(DownloadMode, DriverErrorsComeBackAndNothingIsCopied) {
  files.result = 1;
  uint8_t answer = 0x77;
  EXPECT_EQ(ProbeDevice(3, &answer), 1u);
  EXPECT_EQ(answer, 0x77);
  uint8_t read[4] = {9, 9, 9, 9};
  EXPECT_EQ(ReadFlash(3, 0, 4, read), 1u);
  EXPECT_EQ(read[0], 9);
}

}  // namespace
