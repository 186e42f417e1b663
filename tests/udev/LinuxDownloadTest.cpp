// Complete downloads driven through the dialog, with the capture objects and
// device files of the Linux camera backend: udev and sysfs are umockdev's
// testbed, and the backend's own ioctl calls reach uvcvideo and usbfs played
// over a substitute camera behind umockdev's ioctl emulation; the camera keeps
// the memories, the clock and the departures and returns.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/usb/video.h>
#include <linux/usbdevice_fs.h>
#include <linux/uvcvideo.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "download/TransferLength.h"
#include "platform/CameraExtensionUnit.h"
#include "platform/CameraVendorRequests.h"
#include "platform/linux/LinuxCameraBackend.h"
#include "support/DialogHarness.h"
#include "udev/LinuxCameraRig.h"

namespace {

using emulated::operator+;
using emulated::PlayedUvcDrivers;

constexpr uint8_t kUnitId = 6;
constexpr uint8_t kDataSelector = platform::kCameraDataSelector;

std::vector<uint8_t> Prefix(const std::vector<uint8_t>& bytes, size_t n) {
  return {bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(std::min(n, bytes.size()))};
}

class LinuxDownload : public ::testing::Test {
 protected:
  void SetUp() override {
    bed_.emplace();
    if (!emulated::Testbed::Active()) GTEST_SKIP() << "needs umockdev's preload (umockdev-wrapper)";
    // The world stands behind the emulated kernel here, which serves it
    // from its own threads, not behind Windows' apartments.
    substitute::SubstituteWorldConfig config;
    config.threadBoundObjects = false;
    h_.emplace(config);
    rig_.emplace(*bed_, h_->world, kUnitId);
  }

  void TearDown() override {
    if (h_) h_->Close();
    rig_.reset();
    h_.reset();
  }

  substitute::DeviceId AddCamera(const substitute::SubstituteCameraConfig& camera) { return rig_->AddCamera(camera); }
  emulated::PlayedUvcDrivers& Drivers() { return rig_->Drivers(); }

  // Writes `image`, identifies the camera and runs the download.
  void Download(const std::vector<uint8_t>& image) {
    h_->WriteImage("fw.bin", image);
    h_->Open();
    ASSERT_EQ(h_->dlg->m_bImageOk, 1);
    h_->statusLines.clear();
    h_->ClickStart();
  }

  // Extension-unit queries that reached the camera's data control.
  std::vector<PlayedUvcDrivers::ControlQuery> DataQueries(uint8_t query) {
    std::vector<PlayedUvcDrivers::ControlQuery> found;
    for (const auto& q : Drivers().Queries())
      if (q.selector == kDataSelector && q.query == query) found.push_back(q);
    return found;
  }

  // Every control query and transfer passed on is one transfer on the bus
  // (one of another size than the driver holds is refused before); the
  // driver adds its own length query when a control is first used on an
  // appearance of the camera (two controls, each appearance).
  size_t IoctlsThatReachedTheCamera() {
    const auto queries = Drivers().Queries();
    const size_t refused =
        std::count_if(queries.begin(), queries.end(), [](const auto& q) { return q.result == -ENOBUFS; });
    return queries.size() - refused + Drivers().Transfers().size() + 2 * rig_->Devnums().size();
  }

  // The data-control lengths the host asked the camera for, in order.
  std::vector<uint8_t> LengthChanges(substitute::DeviceId cam) {
    std::vector<uint8_t> lengths;
    for (const auto& block : h_->world.CommandBlocks(cam))
      if (block[0] == 0x00 && block[1] == 0x16) lengths.push_back(block[4]);
    return lengths;
  }

  std::optional<emulated::Testbed> bed_;
  std::optional<DialogHarness> h_;
  std::optional<emulated::LinuxCameraRig> rig_;
};

class EveryClassOnLinux : public LinuxDownload, public ::testing::WithParamInterface<int> {};

TEST_P(EveryClassOnLinux, PassesAndTheMemoryHoldsTheImage) {
  const int memClass = GetParam();
  const auto cam = AddCamera(substitute::CameraOfClass(static_cast<uint8_t>(memClass)));
  const auto image = SampleFor(memClass);
  Download(image);
  EXPECT_EQ(h_->Text(IDC_RESULT), "Pass");
  const uint32_t length = std::min<uint32_t>(static_cast<uint32_t>(image.size()), 0xFFFE);
  EXPECT_EQ(Prefix(h_->world.Memory(cam), length), Prefix(image, length));
  EXPECT_EQ(h_->Text(IDC_STATUS), "Corvex Camera Connected");
  // The driver fixed the data control at the identification's 8 bytes:
  // nothing of another size reached the camera.
  for (uint8_t query : {UVC_GET_CUR, UVC_SET_CUR}) {
    for (const auto& q : DataQueries(query)) {
      if (q.result == 0) {
        EXPECT_EQ(q.size, 8u) << int(query);
      }
    }
  }
  EXPECT_FALSE(DataQueries(UVC_GET_CUR).empty());
  EXPECT_EQ(h_->world.DataLength(cam), 8u);
  // The camera took the 64-byte length, the host could not follow and set 8
  // again; the vendor requests of class 8 need no length.
  const std::vector<uint8_t> changes = memClass < 8 ? std::vector<uint8_t>{64, 8} : std::vector<uint8_t>{};
  EXPECT_EQ(LengthChanges(cam), changes);
  EXPECT_EQ(h_->world.Traffic().size(), IoctlsThatReachedTheCamera());
}

INSTANTIATE_TEST_SUITE_P(MemoryClasses, EveryClassOnLinux, ::testing::Range(1, 9));

TEST_F(LinuxDownload, ClassEightTakesTheVendorRequestsWhenTheUsbfsNodeOpens) {
  for (bool opens : {true, false}) {
    SCOPED_TRACE(opens);
    TearDown();
    SetUp();
    rig_->SetUsbfsOpens(opens);
    const auto cam = AddCamera(substitute::CameraOfClass(8));
    const auto image = SampleFor(8, 3, 10000);
    Download(image);
    EXPECT_EQ(h_->Text(IDC_RESULT), "Pass");
    EXPECT_EQ(Prefix(h_->world.Memory(cam), image.size()), image);
    const auto transfers = Drivers().Transfers();
    const size_t writes = std::count_if(transfers.begin(), transfers.end(), [](const auto& t) {
      return t.requestType == 0x40 && t.request == 4 && t.result == t.length;
    });
    if (opens) {
      EXPECT_EQ(writes, 3u) << "the image in 4096-byte requests, then an empty one";
      // A few settings blocks; none of the image's 1250 blocks.
      EXPECT_LE(DataQueries(UVC_SET_CUR).size(), 8u);
      EXPECT_TRUE(LengthChanges(cam).empty());
    } else {
      EXPECT_TRUE(transfers.empty()) << "a node that does not open takes no request";
      EXPECT_GE(DataQueries(UVC_SET_CUR).size(), image.size() / 8);
      EXPECT_EQ(LengthChanges(cam), (std::vector<uint8_t>{64, 8}));
    }
    EXPECT_EQ(h_->world.Traffic().size(), IoctlsThatReachedTheCamera());
  }
}

// A full serial flash over the extension unit: the camera restarts so that
// the passes get 64-byte transfers, which the driver takes on the camera's
// new appearance only because they were asked for before anything else used
// the data control; the reset at the end brings camera and host back to 8.
// Forced to 8 bytes, the camera is neither restarted nor asked for a length.
// A camera switched to download mode restarts into download mode.
TEST_F(LinuxDownload, AFullFlashOverTheUnitRestartsForLongerTransfers) {
  struct Case {
    bool forced;
    bool downloadMode;
    std::vector<int> devnums;  // arrivals: at the start, after the switch and the restart, after the final reset
    std::vector<uint8_t> changes;
    uint16_t imageBlock;  // the size of the write pass's blocks
    size_t mostAccesses;
  };
  const Case cases[] = {{false, false, {3, 4, 5}, {64}, 64, 4000},
                        {true, false, {3, 4}, {}, 8, 25000},
                        {false, true, {3, 4, 5, 6}, {64}, 64, 4000}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.forced << c.downloadMode);
    TearDown();
    SetUp();
    ForceEightByteTransfers(c.forced);
    rig_->SetUsbfsOpens(false);
    auto camera = substitute::CameraOfClass(8);
    camera.needsDownloadMode = c.downloadMode;
    const auto cam = AddCamera(camera);
    const auto image = SampleFor(8);
    Download(image);
    EXPECT_EQ(h_->Text(IDC_RESULT), "Pass");
    EXPECT_EQ(Prefix(h_->world.Memory(cam), 0xFFFE), Prefix(image, 0xFFFE));
    EXPECT_EQ(rig_->Devnums(), c.devnums);
    EXPECT_EQ(LengthChanges(cam), c.changes);
    const auto sets = DataQueries(UVC_SET_CUR);
    EXPECT_GE(std::count_if(sets.begin(), sets.end(), [&](const auto& q) { return q.size == c.imageBlock; }),
              0xFFFE / c.imageBlock);
    EXPECT_LE(h_->world.Traffic().size(), c.mostAccesses);
    EXPECT_EQ(h_->world.DataLength(cam), 8u);
    EXPECT_EQ(DataControlLength(), 8u);
    EXPECT_EQ(h_->world.FlashStatusRegister(cam), 0x8C) << "protected again before the reset";
    const auto blocks = h_->world.CommandBlocks(cam);
    EXPECT_EQ(std::count(blocks.begin(), blocks.end(), std::vector<uint8_t>{0x00, 0x07, 0x01, 0, 0, 0, 0, 0}),
              c.downloadMode ? 2 : 0);
  }
  ForceEightByteTransfers(false);
}

// A write that fails on the fast appearance: the camera ends protected and
// at 8 bytes, and the host with it. The dialog reaches it again at the
// length the driver still holds for that appearance, and a second download
// there passes without another restart.
TEST_F(LinuxDownload, AFailureOnTheFastAppearanceLeavesTheCameraReachable) {
  rig_->SetUsbfsOpens(false);
  const auto cam = AddCamera(substitute::CameraOfClass(8));
  Drivers().FailSet(kDataSelector, 200, EIO);
  const auto image = SampleFor(8);
  Download(image);
  EXPECT_EQ(h_->Text(IDC_RESULT), "FAIL");
  EXPECT_EQ(h_->world.FlashStatusRegister(cam), 0x8C);
  // Asked for 64 at the restart, back to 8 at the failure (the driver could
  // not confirm it, so the fallback block followed), 64 again to identify.
  EXPECT_EQ(LengthChanges(cam), (std::vector<uint8_t>{64, 8, 8, 64}));
  EXPECT_NE(h_->dlg->m_cameraKey, 0u) << "identified again";
  EXPECT_EQ(DataControlLength(), h_->world.DataLength(cam));

  h_->ClickStart();
  EXPECT_EQ(h_->Text(IDC_RESULT), "Pass");
  EXPECT_EQ(Prefix(h_->world.Memory(cam), 0xFFFE), Prefix(image, 0xFFFE));
  EXPECT_EQ(rig_->Devnums(), (std::vector<int>{3, 4, 5})) << "no second restart";
  EXPECT_EQ(h_->world.DataLength(cam), 8u);
  EXPECT_EQ(DataControlLength(), 8u);
}

TEST_F(LinuxDownload, AfterTheResetTheCameraIsFoundUnderItsNewDeviceNumber) {
  AddCamera(substitute::CameraOfClass(8));
  // Descriptors on the first appearance's nodes, as a process would keep them.
  const int unitFd = ::open("/dev/video0", O_RDWR | O_CLOEXEC);
  const int usbFd = ::open(emulated::UsbNode(3).c_str(), O_RDWR | O_CLOEXEC);
  ASSERT_GE(unitFd, 0);
  ASSERT_GE(usbFd, 0);
  uint8_t length[2] = {};
  uvc_xu_control_query query{kUnitId, kDataSelector, UVC_GET_LEN, sizeof length, length};
  EXPECT_EQ(platform::linux::RunningKernel().Ioctl(unitFd, UVCIOC_CTRL_QUERY, &query), 0);

  Download(SampleFor(8, 3, 10000));
  EXPECT_EQ(h_->Text(IDC_RESULT), "Pass");
  EXPECT_EQ(rig_->Devnums(), (std::vector<int>{3, 4})) << "one departure at the reset, one return";
  EXPECT_TRUE(rig_->Backend().FindCaptureNode("/dev/video0@" + emulated::UsbNode(4)));
  EXPECT_EQ(rig_->Backend().Describe("/dev/video0@" + emulated::UsbNode(4)).port, "1-2")
      << "the port outlives the number";
  EXPECT_EQ(h_->Text(IDC_STATUS), "Corvex Camera Connected") << "identified again on the new appearance";

  EXPECT_EQ(platform::linux::RunningKernel().Ioctl(unitFd, UVCIOC_CTRL_QUERY, &query), -ENODEV);
  usbdevfs_ctrltransfer transfer{};
  transfer.bRequestType = 0xC0;
  EXPECT_EQ(platform::linux::RunningKernel().Ioctl(usbFd, USBDEVFS_CONTROL, &transfer), -ENODEV);
  ::close(unitFd);
  ::close(usbFd);
}

TEST_F(LinuxDownload, AFailedIoctlMidWriteEndsInFail) {
  // Class 1 writes its 128 bytes in sixteen 8-byte blocks; class 8 over
  // usbfs writes 10,000 bytes in three requests.
  for (bool usbfs : {false, true}) {
    for (int error : {EIO, EPIPE, ENODEV}) {
      SCOPED_TRACE(testing::Message() << (usbfs ? "usbfs " : "uvcvideo ") << error);
      TearDown();
      SetUp();
      AddCamera(substitute::CameraOfClass(usbfs ? 8 : 1));
      if (usbfs)
        Drivers().FailTransfer(platform::kCameraRequestWrite, 2, error);
      else
        Drivers().FailSet(kDataSelector, 8, error);
      Download(usbfs ? SampleFor(8, 3, 10000) : SampleFor(1));
      EXPECT_EQ(h_->Text(IDC_RESULT), "FAIL");
      EXPECT_EQ(std::count(h_->statusLines.begin(), h_->statusLines.end(), "PASS"), 0);
      EXPECT_EQ(h_->dlg->m_bBusy, 0);
      if (usbfs) {
        const auto transfers = Drivers().Transfers();
        EXPECT_EQ(std::count_if(transfers.begin(), transfers.end(), [&](const auto& t) { return t.result == -error; }),
                  1);
      } else {
        const auto sets = DataQueries(UVC_SET_CUR);
        ASSERT_GE(sets.size(), 8u);
        EXPECT_EQ(sets[7].result, -error);
      }
    }
  }
}

TEST_F(LinuxDownload, ThePlayedDriverKeepsAControlAtItsFirstSize) {
  AddCamera(substitute::CameraOfClass(8));
  const int fd = ::open("/dev/video0", O_RDWR | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  uint8_t data[64] = {};
  // Before a command the camera has nothing to read and stalls, but the
  // read reaches it, after the length query that fixes the control's size.
  struct Case {
    uint8_t unit;
    uint16_t size;
    long result;
    size_t reached;
  } const cases[] = {{kUnitId, 8, -EPIPE, 2}, {kUnitId, 64, -ENOBUFS, 0}, {kUnitId, 8, -EPIPE, 1}, {3, 8, -ENOENT, 0}};
  for (const Case& c : cases) {
    const size_t before = h_->world.Traffic().size();
    uvc_xu_control_query query{c.unit, kDataSelector, UVC_GET_CUR, c.size, data};
    EXPECT_EQ(platform::linux::RunningKernel().Ioctl(fd, UVCIOC_CTRL_QUERY, &query), c.result) << c.size;
    EXPECT_EQ(h_->world.Traffic().size() - before, c.reached) << c.size;
  }
  ::close(fd);
}

// zarnet-cli as a user runs it, on the host's own backend: the child inherits
// the mock, and its ioctls reach the drivers played in this process. The
// camera is chosen by its video node.
TEST_F(LinuxDownload, ZarnetCliInAChildProcessIdentifiesTheCamera) {
  AddCamera(substitute::CameraOfClass(8));
  FILE* child = ::popen(ZARNET_CLI " info --device /dev/video0 --json 2>&1", "r");
  ASSERT_NE(child, nullptr);
  std::string output;
  char chunk[256];
  while (const size_t n = std::fread(chunk, 1, sizeof chunk, child)) output.append(chunk, n);
  EXPECT_EQ(::pclose(child), 0) << output;
  EXPECT_NE(output.find(R"("status":"Corvex Camera Connected")"), std::string::npos) << output;
  EXPECT_NE(output.find(R"("connected":true)"), std::string::npos) << output;
  EXPECT_FALSE(DataQueries(UVC_GET_CUR).empty()) << "the camera answered through the drivers played here";
  // The listing's table names the video node, not the whole device path.
  FILE* list = ::popen(ZARNET_CLI " list 2>&1", "r");
  ASSERT_NE(list, nullptr);
  std::string table;
  while (const size_t n = std::fread(chunk, 1, sizeof chunk, list)) table.append(chunk, n);
  EXPECT_EQ(::pclose(list), 0) << table;
  EXPECT_NE(table.find("\n0    /dev/video0  "), std::string::npos) << table;
  EXPECT_EQ(table.find('@'), std::string::npos) << table;
}

}  // namespace
