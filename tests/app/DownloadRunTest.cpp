// Complete downloads on the substitute camera, in virtual time: every memory
// class, both procedures, the download-mode switch, the status lines and the
// progress positions.

#include <gtest/gtest.h>

#include <algorithm>

#include "download/DownloadMode.h"
#include "support/DialogHarness.h"

using substitute::CameraOfClass;
using substitute::DriverPathService;
using substitute::TrafficKind;

namespace {

std::vector<uint8_t> Prefix(const std::vector<uint8_t>& bytes, size_t n) {
  return {bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(std::min(n, bytes.size()))};
}

// Driver write requests (bRequest 4) as (address, length).
std::vector<std::pair<uint32_t, uint32_t>> DriverWrites(substitute::SubstituteWorld& world) {
  std::vector<std::pair<uint32_t, uint32_t>> writes;
  for (const auto& e : world.Traffic()) {
    if (e.kind != TrafficKind::kVendorRequest || e.setup.bRequest != 4) continue;
    writes.emplace_back(e.setup.wIndex, e.setup.wLength);
  }
  return writes;
}

std::vector<uint8_t> LengthChanges(substitute::SubstituteWorld& world, substitute::DeviceId cam) {
  std::vector<uint8_t> lengths;
  for (const auto& block : world.CommandBlocks(cam))
    if (block[0] == 0x00 && block[1] == 0x16) lengths.push_back(block[4]);
  return lengths;
}

class EveryClass : public ::testing::TestWithParam<int> {};

TEST_P(EveryClass, DownloadPassesAndTheMemoryHoldsTheImage) {
  const int memClass = GetParam();
  DialogHarness h;
  const auto cam = h.world.AddCamera(CameraOfClass(static_cast<uint8_t>(memClass)));
  const auto image = SampleFor(memClass);
  h.WriteImage("fw.bin", image);
  h.Open();
  ASSERT_EQ(h.dlg->m_bImageOk, 1);
  ASSERT_EQ(h.dlg->m_memClass, memClass);
  h.ClickStart();

  EXPECT_EQ(h.Text(IDC_RESULT), "Pass");
  EXPECT_EQ(h.view.ControlState(IDC_RESULT).colour, (platform::Rgb{0, 255, 0}));
  EXPECT_EQ(h.dlg->m_bBusy, 0);
  const uint32_t length = std::min<uint32_t>(static_cast<uint32_t>(image.size()), 0xFFFE);
  EXPECT_EQ(Prefix(h.world.Memory(cam), length), Prefix(image, length));
  EXPECT_EQ(h.world.DataLength(cam), 8u);
  EXPECT_EQ(DataControlLength(), 8u);
  EXPECT_EQ(h.Text(IDC_STATUS), "Corvex Camera Connected");
  EXPECT_TRUE(h.Enabled(IDC_BTN_START)) << "the next identification gives the buttons back";
  EXPECT_EQ(IsIdentifiedCamera(h.dlg->m_cameraKey), 1) << "the buttons stand for the camera the dialog holds";
  if (memClass >= 5) {
    EXPECT_FALSE(h.world.MemoryWritable(cam)) << "protection is back on";
  }
  EXPECT_EQ(h.view.ProgressPos(), 0);
}

INSTANTIATE_TEST_SUITE_P(MemoryClasses, EveryClass, ::testing::Range(1, 9));

TEST(DownloadRun, MemoryClassStatusLinesAndPasses) {
  for (int memClass : {1, 6}) {
    DialogHarness h;
    h.world.AddCamera(CameraOfClass(static_cast<uint8_t>(memClass)));
    h.WriteImage("fw.bin", SampleFor(memClass));
    h.Open();
    h.statusLines.clear();
    h.ClickStart();
    std::vector<std::string> expected = {"Erase Chip ...", "Check empty ...",           "Writing ...",
                                         "Verifying ...",  "Reset to updated code ...", "Firmware update finished",
                                         "PASS",           "Corvex Camera Connected"};
    if (memClass == 6) expected.erase(expected.begin() + 1);
    EXPECT_EQ(h.statusLines, expected) << memClass;
    EXPECT_EQ(h.dlg->m_passIndex, memClass == 6 ? 2 : 3);
  }
}

TEST(DownloadRun, SerialFlashStatusLinesAndProgressForTenThousandBytes) {
  DialogHarness h;
  h.world.AddCamera();
  auto image = SampleFor(8, 3, 10000);
  h.WriteImage("fw.bin", image);
  h.Open();
  h.statusLines.clear();
  h.view.ClearRecords();
  h.ClickStart();
  EXPECT_EQ(h.Text(IDC_RESULT), "Pass");
  const std::vector<std::string> expected = {
      "Writing firmware ... 0x0",  "Writing firmware ... 0x1000", "Writing firmware ... 0x2000",
      "Verify firmware ... 0x0",   "Verify firmware ... 0x1000",  "Verify firmware ... 0x2000",
      "Reset to updated code ...", "Firmware update finished",    "PASS",
      "Corvex Camera Connected"};
  EXPECT_EQ(h.statusLines, expected);
  // Start's range, the bar back at 0, then the worker's positions; 20000 twice.
  std::vector<int32_t> positions = h.view.ProgressPositions();
  positions.erase(std::remove(positions.begin(), positions.end(), 0), positions.end());
  EXPECT_EQ(positions, (std::vector<int32_t>{4096, 8192, 10000, 14096, 18192, 20000, 20000, 20000}));
  EXPECT_EQ(DriverWrites(h.world),
            (std::vector<std::pair<uint32_t, uint32_t>>{{0, 4096}, {0x1000, 4096}, {0x2000, 1808}}));
}

TEST(DownloadRun, FirmwareTypeFourWritesTwiceFromByte32) {
  DialogHarness h;
  h.world.AddCamera();
  h.WriteImage("fw.bin", SampleFor(8, 4, 10000));
  h.Open();
  ASSERT_EQ(h.dlg->m_fwType, 4);
  h.view.ClearRecords();
  h.ClickStart();
  EXPECT_EQ(h.Text(IDC_RESULT), "Pass");
  EXPECT_EQ(DriverWrites(h.world),
            (std::vector<std::pair<uint32_t, uint32_t>>{
                {0, 4096}, {0x1000, 4096}, {0x2000, 1808}, {0x20, 4096}, {0x1020, 4096}, {0x2020, 1776}}));
  std::vector<int32_t> positions = h.view.ProgressPositions();
  positions.erase(std::remove(positions.begin(), positions.end(), 0), positions.end());
  ASSERT_GE(positions.size(), 3u);
  EXPECT_EQ(positions[positions.size() - 3], 29968);
  EXPECT_EQ(positions[positions.size() - 2], 30000);
  EXPECT_EQ(h.view.ProgressHigh(), 30000);
}

TEST(DownloadRun, ImageAMultipleOfTheChunkEndsWithEmptyRequests) {
  DialogHarness h;
  h.world.AddCamera();
  h.WriteImage("fw.bin", SampleFor(8, 3, 8192));
  h.Open();
  h.statusLines.clear();
  h.ClickStart();
  EXPECT_EQ(h.Text(IDC_RESULT), "Pass");
  EXPECT_EQ(DriverWrites(h.world),
            (std::vector<std::pair<uint32_t, uint32_t>>{{0, 4096}, {0x1000, 4096}, {0x2000, 0}}));
  EXPECT_NE(std::find(h.statusLines.begin(), h.statusLines.end(), "Verify firmware ... 0x2000"), h.statusLines.end());
}

TEST(DownloadRun, SmallPageFlashTakes32ByteChunksOnBothPaths) {
  for (bool served : {true, false}) {
    DialogHarness h;
    auto camera = CameraOfClass(8);
    substitute::UseSmallPageFlash(camera);
    if (!served) camera.driverPath = DriverPathService::kRefused;
    const auto cam = h.world.AddCamera(camera);
    const auto image = SampleFor(8, 3, 4000);
    h.WriteImage("fw.bin", image);
    h.Open();
    h.ClickStart();
    EXPECT_EQ(h.Text(IDC_RESULT), "Pass") << served;
    EXPECT_EQ(Prefix(h.world.Memory(cam), image.size()), image);
    if (served) {
      const auto writes = DriverWrites(h.world);
      ASSERT_EQ(writes.size(), 4000u / 32 + 1);
      EXPECT_EQ(writes[124], (std::pair<uint32_t, uint32_t>{3968, 32}));
      EXPECT_EQ(writes.back(), (std::pair<uint32_t, uint32_t>{4000, 0}));
      EXPECT_TRUE(LengthChanges(h.world, cam).empty());
    } else {
      EXPECT_EQ(LengthChanges(h.world, cam), (std::vector<uint8_t>{32, 8}));
    }
  }
}

TEST(DownloadRun, RefusedProbeSendsClassEightOverTheExtensionUnitAt64Bytes) {
  DialogHarness h;
  auto camera = CameraOfClass(8);
  camera.driverPath = DriverPathService::kRefused;
  const auto cam = h.world.AddCamera(camera);
  const auto image = SampleFor(8, 3, 10000);
  h.WriteImage("fw.bin", image);
  h.Open();
  h.statusLines.clear();
  h.ClickStart();
  EXPECT_EQ(h.Text(IDC_RESULT), "Pass");
  EXPECT_EQ(h.view.ProgressHigh(), 30000) << "three passes of L";
  EXPECT_EQ(LengthChanges(h.world, cam), (std::vector<uint8_t>{64, 8}));
  EXPECT_TRUE(DriverWrites(h.world).empty());
  EXPECT_EQ(h.statusLines.front(), "Erase Chip ...");
}

TEST(DownloadRun, RangesOfEachCase) {
  struct Case {
    int memClass;
    uint8_t fwType;
    bool probe;
    int factor;
  } cases[] = {{8, 3, true, 2},  {8, 4, true, 3}, {8, 3, false, 3}, {5, 3, true, 2},
               {6, 3, false, 2}, {1, 3, true, 3}, {7, 3, true, 3}};
  for (const auto& c : cases) {
    DialogHarness h;
    auto camera = CameraOfClass(static_cast<uint8_t>(c.memClass));
    if (!c.probe) camera.driverPath = DriverPathService::kRefused;
    h.world.AddCamera(camera);
    const auto image = SampleFor(c.memClass, c.fwType);
    h.WriteImage("fw.bin", image);
    h.Open();
    h.ClickStart();
    const int32_t length = std::min<int32_t>(static_cast<int32_t>(image.size()), 0xFFFE);
    EXPECT_EQ(h.view.ProgressHigh(), c.factor * length) << c.memClass << "/" << int(c.fwType) << "/" << c.probe;
    EXPECT_EQ(h.Text(IDC_RESULT), "Pass");
  }
}

TEST(DownloadRun, CameraAskingForDownloadModeIsSwitchedAndWaitedFor) {
  for (int memClass : {8, 6}) {
    DialogHarness h;
    auto camera = CameraOfClass(static_cast<uint8_t>(memClass));
    camera.needsDownloadMode = true;
    camera.rebootDelayMs = 5000;
    const auto cam = h.world.AddCamera(camera);
    h.WriteImage("fw.bin", SampleFor(memClass));
    h.Open();
    h.statusLines.clear();
    h.ClickStart();
    EXPECT_EQ(h.Text(IDC_RESULT), "Pass") << memClass;
    EXPECT_EQ(h.statusLines.front(), "Wait device to reset");
    EXPECT_EQ(h.world.DownloadModeParameter(cam), memClass == 8 ? 1 : 0);
    // Departure at the reset, then 3500 ms and attempts 500 ms apart: the
    // camera that needs 5000 ms is found at the fourth attempt (5500 ms).
    const auto history = h.world.PresenceHistory();
    const auto left = std::find_if(history.begin(), history.end(), [](const auto& e) { return !e.arrived; });
    ASSERT_NE(left, history.end());
    ASSERT_NE(left + 1, history.end());
    EXPECT_TRUE(left[1].arrived);
    EXPECT_EQ(left[1].timeMs - left[0].timeMs, 5000u);
  }
}

TEST(DownloadRun, CameraNotAskingForDownloadModeIsWrittenWithoutIt) {
  DialogHarness h;
  const auto cam = h.world.AddCamera();
  h.WriteImage("fw.bin", SampleFor(8));
  h.Open();
  h.ClickStart();
  EXPECT_EQ(h.world.DownloadModeParameter(cam), std::nullopt);
}

TEST(DownloadRun, CameraThatNeverReturnsFailsAfterSixtyAttempts) {
  DialogHarness h;
  auto camera = CameraOfClass(8);
  camera.needsDownloadMode = true;
  camera.neverReturns = true;
  h.world.AddCamera(camera);
  h.WriteImage("fw.bin", SampleFor(8));
  h.Open();
  const uint64_t before = h.world.Now();
  h.statusLines.clear();
  h.ClickStart();
  EXPECT_EQ(h.Text(IDC_RESULT), "FAIL");
  EXPECT_EQ(h.world.Now() - before, 3500u + 60 * 500);
  EXPECT_EQ(h.dlg->m_pThread->m_strReason, "reopen camera failed\r\n");
  // No procedure had started, so the camera is not identified again.
  EXPECT_EQ(h.statusLines, (std::vector<std::string>{"Wait device to reset", "FAIL"}));
  EXPECT_EQ(h.dlg->m_bBusy, 0);
}

TEST(DownloadRun, StartWhileBusyDoesNothingAndAFailedRunLeavesTheThreadReady) {
  DialogHarness h;
  const auto cam = h.world.AddCamera();
  h.WriteImage("fw.bin", SampleFor(8));
  h.Open();
  h.dlg->m_bBusy = 1;
  const size_t before = h.world.Traffic().size();
  h.dlg->OnStart();
  h.WaitForWorker();
  EXPECT_EQ(h.world.Traffic().size(), before) << "Start while busy does nothing";
  EXPECT_TRUE(h.dlg->m_pThread->IsIdle());
  h.dlg->m_bBusy = 0;

  h.world.Unplug(cam);
  h.window.PumpPending();
  h.dlg->m_bImageOk = 1;
  h.dlg->OnStart();
  h.WaitForWorker();
  EXPECT_EQ(h.Text(IDC_RESULT), "FAIL");
  EXPECT_EQ(h.dlg->m_pThread->m_strReason, "Cannot find corvex camera\r\n");
  h.world.Plug(cam);
  h.window.PumpPending();
  h.ClickStart();
  EXPECT_EQ(h.Text(IDC_RESULT), "Pass");
}

TEST(DownloadRun, FileRemovedAfterAcceptanceAndFilesOverTheLimit) {
  DialogHarness h;
  h.world.AddCamera();
  const std::string path = h.WriteImage("fw.bin", SampleFor(8));
  h.Open();
  std::filesystem::remove(path);
  h.view.ClearRecords();
  h.dlg->OnStart();
  EXPECT_EQ(h.view.MessageBoxes(), std::vector<std::string>{path + " does not exist"});
  EXPECT_EQ(h.dlg->m_bBusy, 0);

  // A 65,536-byte image is accepted but only its first 65,534 bytes are written.
  h.WriteImage("fw.bin", SampleFor(8, 3, 65536));
  h.view.ClearRecords();
  h.dlg->OnStart();
  EXPECT_EQ(h.dlg->m_firmwareLength, 0xFFFEu);
  h.WaitForWorker();
  EXPECT_EQ(h.Text(IDC_RESULT), "Pass");
}

TEST(DownloadRun, EraseChipAndResetCameraJobs) {
  DialogHarness h;
  const auto cam = h.world.AddCamera();
  h.Open();
  h.statusLines.clear();
  EXPECT_TRUE(h.EraseChip());
  EXPECT_EQ(h.dlg->m_pThread->m_bSuccess, 1);
  EXPECT_EQ(h.world.Memory(cam), std::vector<uint8_t>(65536, 0xFF));
  EXPECT_EQ(h.statusLines,
            (std::vector<std::string>{"Erase Chip ...", "Erase Chip Finished\n", "Corvex Camera Connected"}));
  EXPECT_EQ(h.Text(IDC_RESULT), "Pass");

  EXPECT_TRUE(h.ResetCamera());
  EXPECT_EQ(h.dlg->m_pThread->m_bSuccess, 0) << "the reset job never claims success";
  EXPECT_EQ(h.Text(IDC_RESULT), "Pass");
  EXPECT_FALSE(h.world.IsPresent(cam));
}

TEST(DownloadRun, ResultTellsTheLastJobAndNoJobStartsWhileOneRuns) {
  DialogHarness h;
  h.Open();
  EXPECT_EQ(h.dlg->Result().outcome, CZarnetDlg::Outcome::None);
  EXPECT_TRUE(h.ResetCamera());
  EXPECT_EQ(h.dlg->Result().outcome, CZarnetDlg::Outcome::Fail);
  EXPECT_EQ(h.dlg->Result().reason, CDownloadFunc::kReasonNoCamera);
  h.dlg->m_bBusy = 1;
  EXPECT_TRUE(h.dlg->IsBusy());
  EXPECT_FALSE(h.dlg->StartEraseChip(8));
  EXPECT_FALSE(h.dlg->StartResetCamera());
  h.dlg->m_bBusy = 0;
}

}  // namespace
