// Download-mode vendor requests as usbfs control transfers, against a played
// usbfs node.

#include <gtest/gtest.h>

#include <memory>

#include "platform/Types.h"
#include "platform/linux/UsbfsVendorRequests.h"
#include "support/FakeLinuxKernel.h"

namespace {

using fake::Bytes;

constexpr int kFd = 23;

using Transfer = fake::LinuxKernel::Transfer;

fake::LinuxKernel Usbfs() {
  fake::LinuxKernel usbfs;
  usbfs.onlyFd = kFd;
  return usbfs;
}

class UsbfsVendorRequestsTest : public ::testing::Test {
 protected:
  uint32_t Send(const platform::VendorRequestSetup& setup, Bytes* data, uint32_t* transferred) {
    return requests->Send(setup, data->data(), transferred);
  }

  fake::LinuxKernel usbfs = Usbfs();
  std::unique_ptr<platform::linux::UsbfsVendorRequests> requests =
      std::make_unique<platform::linux::UsbfsVendorRequests>(usbfs, kFd);
};

TEST_F(UsbfsVendorRequestsTest, DownloadModeRequestsAreVendorControlTransfers) {
  struct Case {
    const char* what;
    platform::VendorRequestSetup setup;
    Bytes data;
    Transfer expected;
    Bytes received;
  };
  const Case cases[] = {
      {"probe", {true, 5, 0, 0, 1}, Bytes(1, 0), {0xC0, 5, 0, 0, 1, 5000, {}}, {0xA0}},
      {"reset", {false, 1, 0, 9, 0}, {}, {0x40, 1, 0, 9, 0, 5000, {}}, {}},
      {"erase", {false, 2, 0, 0, 0}, {}, {0x40, 2, 0, 0, 0, 5000, {}}, {}},
      {"write", {false, 4, 0, 0x1000, 3}, {1, 2, 3}, {0x40, 4, 0, 0x1000, 3, 5000, {1, 2, 3}}, {1, 2, 3}},
      {"read", {true, 5, 0, 0x2020, 3}, Bytes(3, 0), {0xC0, 5, 0, 0x2020, 3, 5000, {}}, {0xA0, 0xA1, 0xA2}},
  };
  for (const Case& c : cases) {
    usbfs.transfers.clear();
    Bytes data = c.data;
    uint32_t transferred = 99;
    EXPECT_EQ(Send(c.setup, &data, &transferred), 0u) << c.what;
    EXPECT_EQ(transferred, c.setup.wLength) << c.what;
    EXPECT_EQ(usbfs.transfers, std::vector<Transfer>{c.expected}) << c.what;
    EXPECT_EQ(data, c.received) << c.what;
  }
  requests.reset();
  EXPECT_EQ(usbfs.closed, std::vector<int>{kFd});
}

TEST_F(UsbfsVendorRequestsTest, FailuresBecomeErrorCodes) {
  const std::pair<int, uint32_t> cases[] = {
      {ENODEV, platform::kErrorDeviceNotConnected}, {ESHUTDOWN, platform::kErrorDeviceNotConnected},
      {EPIPE, platform::kErrorGenFailure},          {ETIMEDOUT, platform::kErrorSemaphoreTimeout},
      {EACCES, platform::kErrorAccessDenied},       {EPERM, platform::kErrorAccessDenied},
      {EPROTO, platform::kErrorGenFailure},         {EIO, platform::kErrorGenFailure},
      {ENOENT, platform::kErrorDeviceNotConnected}, {ENXIO, platform::kErrorDeviceNotConnected},
  };
  for (const auto& [error, code] : cases) {
    usbfs.failWith = error;
    Bytes data(4, 0);
    uint32_t transferred = 99;
    EXPECT_EQ(Send({true, 5, 0, 0, 4}, &data, &transferred), code) << error;
    EXPECT_EQ(transferred, 0u) << error;
  }
}

TEST_F(UsbfsVendorRequestsTest, AShortReadFails) {
  usbfs.answer = 3;
  Bytes data(4, 0);
  uint32_t transferred = 0;
  EXPECT_EQ(Send({true, 5, 0, 0, 4}, &data, &transferred), platform::kErrorGenFailure);
  EXPECT_EQ(transferred, 3u);
}

TEST_F(UsbfsVendorRequestsTest, DataMissingForItsLengthIsRefusedBeforeTheDevice) {
  uint32_t transferred = 0;
  EXPECT_EQ(requests->Send({false, 4, 0, 0, 4}, nullptr, &transferred), platform::kErrorInvalidParameter);
  EXPECT_TRUE(usbfs.transfers.empty());
}

}  // namespace
