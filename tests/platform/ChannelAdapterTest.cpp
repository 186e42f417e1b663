// The capture framework's property requests and the driver's I/O control
// blocks, taken apart over operation-level channels.

#include <gtest/gtest.h>

#include <memory>

#include "Channels.h"
#include "platform/adapters/CaptureSystemAdapter.h"
#include "platform/adapters/DeviceFilesAdapter.h"
#include "platform/adapters/ExtensionUnitKsControl.h"

namespace channel_test {
namespace {

const platform::Guid kUnit{0x1229A78C, 0x47B4, 0x4094, {0xB0, 0xCE, 0xDB, 0x07, 0x38, 0x6F, 0xB9, 0x38}};

platform::KsNodeProperty Property(uint32_t selector, uint32_t flags) {
  platform::KsNodeProperty property;
  property.set = kUnit;
  property.id = selector;
  property.flags = flags;
  property.nodeId = 3;
  return property;
}

class KsControlAdapterTest : public ::testing::Test {
 protected:
  std::shared_ptr<MemoryControls> channel = std::make_shared<MemoryControls>();
  platform::ExtensionUnitKsControl ks{channel, {kUnit, 3, {10, 11}}};
};

TEST_F(KsControlAdapterTest, NodeRequestsBecomeControlAccesses) {
  Bytes block{0x00, 0xD0, 0, 0, 8, 0, 0, 0};
  uint32_t returned = 99;
  auto set = Property(10, platform::kKsPropertySetTopology);
  EXPECT_EQ(ks.KsProperty(set, 32, block.data(), 8, &returned), platform::kOk);
  EXPECT_EQ(returned, 0u);
  channel->controls[11] = {'M', 'O', 'X'};
  Bytes buffer(65, 0xEE);
  EXPECT_EQ(ks.KsProperty(Property(11, platform::kKsPropertyGetTopology), 40, buffer.data(), 65, &returned),
            platform::kOk);
  EXPECT_EQ(returned, 3u);  // a larger buffer receives the control's current bytes
  EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 4), (Bytes{'M', 'O', 'X', 0xEE}));
  ASSERT_EQ(channel->calls.size(), 2u);
  EXPECT_EQ(channel->calls[0].what, 'S');
  EXPECT_EQ(channel->calls[0].selector, 10u);
  EXPECT_EQ(channel->calls[0].data, block);
  EXPECT_EQ(channel->calls[1].what, 'G');
  EXPECT_EQ(channel->calls[1].selector, 11u);
  EXPECT_EQ(channel->calls[1].length, 65u);
  // A read with no buffer asks the size, as the framework answers it.
  EXPECT_EQ(ks.KsProperty(Property(11, platform::kKsPropertyGetTopology), 32, nullptr, 0, &returned),
            platform::kMoreData);
  EXPECT_EQ(returned, 3u);
  ASSERT_EQ(channel->calls.size(), 3u);
  EXPECT_EQ(channel->calls[2].what, 'L');
}

TEST_F(KsControlAdapterTest, RequestsOutsideTheUnitAreRefusedBeforeTheChannel) {
  struct Case {
    const char* what;
    platform::KsNodeProperty property;
    uint32_t propertyLength;
    bool buffer;
    platform::Status expected;
  };
  auto otherSet = Property(10, platform::kKsPropertySetTopology);
  otherSet.set.data4[7] ^= 1;
  auto otherNode = Property(10, platform::kKsPropertySetTopology);
  otherNode.nodeId = 2;
  const Case cases[] = {
      {"short property", Property(10, platform::kKsPropertySetTopology), 31, true, platform::kInvalidArgument},
      {"other set", otherSet, 32, true, platform::kSetNotFound},
      {"no topology flag", Property(10, 2), 32, true, platform::kInvalidArgument},
      {"get and set at once", Property(10, 0x10000003), 32, true, platform::kInvalidArgument},
      {"other node", otherNode, 32, true, platform::kNotFound},
      {"other selector", Property(12, platform::kKsPropertyGetTopology), 32, true, platform::kNotFound},
      {"no buffer", Property(11, platform::kKsPropertyGetTopology), 32, false, platform::kInvalidArgument},
      {"set with no buffer", Property(10, platform::kKsPropertySetTopology), 32, false, platform::kInvalidArgument},
  };
  for (const Case& c : cases) {
    Bytes data(8, 0);
    uint32_t returned = 7;
    EXPECT_EQ(ks.KsProperty(c.property, c.propertyLength, c.buffer ? data.data() : nullptr, 8, &returned), c.expected)
        << c.what;
    EXPECT_EQ(returned, 0u) << c.what;
  }
  // Only a get asks for the size with no buffer; an empty set has no data to send.
  EXPECT_EQ(ks.KsProperty(Property(10, platform::kKsPropertySetTopology), 32, nullptr, 0, nullptr),
            platform::kInvalidArgument);
  EXPECT_TRUE(channel->calls.empty());
}

TEST(KsControlAdapter, FilterWithoutTheUnitRefusesEverything) {
  platform::ExtensionUnitKsControl ks(nullptr, {kUnit, 3, {10, 11}});
  Bytes data(8, 0);
  EXPECT_EQ(ks.KsProperty(Property(10, platform::kKsPropertySetTopology), 32, data.data(), 8, nullptr),
            platform::kSetNotFound);
}

class EmptyBackend final : public platform::ICameraBackend {
 public:
  platform::Status ListVideoInputs(std::vector<std::shared_ptr<platform::IVideoInput>>* out) override {
    out->clear();
    return listStatus;
  }
  platform::Status QueryDeviceInstance(const std::string&, uint32_t* devInst) override {
    *devInst = 5;
    return platform::kOk;
  }
  std::shared_ptr<platform::IVendorRequestChannel> OpenVendorRequests(const std::string& path) override {
    return path == "camera" ? requests : nullptr;
  }
  platform::Status listStatus = platform::kOk;
  std::shared_ptr<RecordingRequests> requests = std::make_shared<RecordingRequests>();
};

TEST(CaptureAdapter, EmptyOrRefusedListGivesNoEnumerator) {
  EmptyBackend backend;
  platform::CaptureSystemAdapter capture(backend, {kUnit, 3, {10, 11}});
  std::unique_ptr<platform::IEnumMoniker> devices;
  EXPECT_EQ(capture.CreateVideoInputEnumerator(&devices), platform::kOk);
  EXPECT_EQ(devices, nullptr);
  backend.listStatus = platform::kFail;
  EXPECT_EQ(capture.CreateVideoInputEnumerator(&devices), platform::kFail);
  EXPECT_EQ(devices, nullptr);
}

Bytes Block(uint32_t flags, uint8_t bRequest, uint16_t wIndex, uint16_t wLength, uint8_t fill = 0) {
  Bytes block(16u + wLength, fill);
  for (int i = 0; i < 4; ++i) block[i] = static_cast<uint8_t>(flags >> (8 * i));
  block[4] = 0x40;
  block[5] = bRequest;
  block[6] = block[7] = 0;
  block[8] = static_cast<uint8_t>(wIndex);
  block[9] = static_cast<uint8_t>(wIndex >> 8);
  block[10] = static_cast<uint8_t>(wLength);
  block[11] = static_cast<uint8_t>(wLength >> 8);
  std::fill(block.end() - 4, block.end(), 0);
  return block;
}

Bytes With(Bytes block, size_t at, uint8_t value) {
  block[at] = value;
  return block;
}

class DeviceFilesAdapterTest : public ::testing::Test {
 protected:
  uint32_t Send(Bytes* block, uint32_t inLength, uint32_t outLength) {
    block->resize(std::max<size_t>({block->size(), inLength, outLength}));
    returned = 0xDEAD;
    return files.IoControl(handle, 0x220100, block->data(), inLength, block->data(), outLength, &returned);
  }
  EmptyBackend backend;
  platform::DeviceFilesAdapter files{backend};
  platform::Handle handle = files.Open("camera");
  uint32_t returned = 0;
};

TEST_F(DeviceFilesAdapterTest, EachBlockIsOneVendorRequest) {
  struct Case {
    const char* what;
    Bytes block;
    uint32_t outLength;
    bool toHost;
  };
  const Case cases[] = {
      {"probe", Block(1, 5, 0, 1), 17, true},     {"reset", Block(0, 1, 9, 0), 16, false},
      {"erase", Block(0, 2, 0, 0), 16, false},    {"write", Block(0, 4, 0x1234, 3, 0xA5), 16, false},
      {"read", Block(3, 5, 0x0100, 4), 20, true},
  };
  for (const Case& c : cases) {
    Bytes block = c.block;
    const Bytes sent = block;
    EXPECT_EQ(Send(&block, static_cast<uint32_t>(sent.size()), c.outLength), 0u) << c.what;
    EXPECT_EQ(returned, c.outLength) << c.what;
    const platform::VendorRequestSetup& setup = backend.requests->setups.back();
    EXPECT_EQ(setup.toHost, c.toHost) << c.what;
    EXPECT_EQ(setup.bRequest, sent[5]) << c.what;
    EXPECT_EQ(setup.wIndex, sent[8] | (sent[9] << 8)) << c.what;
    EXPECT_EQ(setup.wLength, sent[10]) << c.what;
    const Bytes data(sent.begin() + 12, sent.begin() + 12 + setup.wLength);
    EXPECT_EQ(backend.requests->sent.back(), c.toHost ? Bytes() : data) << c.what;
    // The answer is the block as it came, with what was read at offset 12.
    Bytes expected(sent.begin(), sent.begin() + std::min<size_t>(sent.size(), c.outLength));
    for (uint32_t i = 0; c.toHost && i < setup.wLength; ++i) expected[12 + i] = static_cast<uint8_t>(setup.wIndex + i);
    EXPECT_EQ(Bytes(block.begin(), block.begin() + c.outLength), expected) << c.what;
  }
  EXPECT_EQ(backend.requests->setups.size(), 5u);
}

TEST_F(DeviceFilesAdapterTest, LayoutErrorsAreInvalidParameterAndSendNothing) {
  struct Case {
    const char* what;
    Bytes block;
    uint32_t inLength;  // 0: the block's size
    uint32_t outLength;
  };
  const Case cases[] = {
      {"request type C0", With(Block(1, 5, 0, 1), 4, 0xC0), 0, 17},
      {"header cut short", Block(0, 2, 0, 0), 12, 16},
      {"input longer than 16 + wLength", Block(0, 2, 0, 0), 20, 16},
      {"beyond the driver's buffer", Block(3, 5, 0, 0x8001), 0, 0x8011},
      {"flags 2", Block(2, 5, 0, 4), 0, 20},
      {"probe of two bytes", Block(1, 5, 0, 2), 0, 18},
      {"probe at index 4", Block(1, 5, 4, 1), 0, 17},
      {"probe of another request", Block(1, 1, 9, 0), 0, 16},
      {"read answer too short", Block(3, 5, 0, 4), 0, 16},
      {"read data not zeroed", With(Block(3, 5, 0, 4), 13, 1), 0, 20},
      {"write answer with data", Block(0, 4, 0, 2), 0, 18},
  };
  for (const Case& c : cases) {
    Bytes block = c.block;
    const uint32_t inLength = c.inLength ? c.inLength : static_cast<uint32_t>(block.size());
    EXPECT_EQ(Send(&block, inLength, c.outLength), platform::kErrorInvalidParameter) << c.what;
    EXPECT_EQ(returned, 0u) << c.what;
  }
  EXPECT_TRUE(backend.requests->setups.empty());
}

TEST_F(DeviceFilesAdapterTest, HandlesCodesAndTheChannelsOwnErrors) {
  Bytes block = Block(1, 5, 0, 1);
  EXPECT_EQ(files.IoControl(handle, 0x220104, block.data(), 17, block.data(), 17, &returned),
            platform::kErrorInvalidFunction);
  EXPECT_EQ(files.IoControl(handle + 1, 0x220100, block.data(), 17, block.data(), 17, &returned),
            platform::kErrorInvalidHandle);
  EXPECT_EQ(files.Open("elsewhere"), platform::kInvalidHandle);
  backend.requests->result = 31;
  const Bytes sent = block;
  EXPECT_EQ(Send(&block, 17, 17), 31u);
  EXPECT_EQ(block, sent);  // nothing comes back from a failed request
  EXPECT_TRUE(files.Close(handle));
  EXPECT_FALSE(files.Close(handle));
  EXPECT_EQ(Send(&block, 17, 17), platform::kErrorInvalidHandle);
}

}  // namespace
}  // namespace channel_test
