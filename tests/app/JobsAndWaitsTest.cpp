// The waits for a camera that restarts, on the virtual clock; the chip erase
// and the camera reset jobs with their branches; the message that only names
// the dialog; and Start's own refusals.

#include <gtest/gtest.h>
#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <optional>

#include "support/DialogHarness.h"

using substitute::AccessKind;
using substitute::CameraOfClass;
using substitute::DriverPathService;
using substitute::FaultRule;
using substitute::TrafficKind;

namespace {

bool HasBlock(substitute::SubstituteWorld& world, substitute::DeviceId cam, uint8_t commandClass, uint8_t opcode) {
  const auto blocks = world.CommandBlocks(cam);
  return std::any_of(blocks.begin(), blocks.end(),
                     [&](const auto& b) { return b[0] == commandClass && b[1] == opcode; });
}

bool HasDriverRequest(substitute::SubstituteWorld& world, uint8_t bRequest) {
  const auto traffic = world.Traffic();
  return std::any_of(traffic.begin(), traffic.end(), [&](const auto& e) {
    return e.kind == TrafficKind::kVendorRequest && e.setup.bRequest == bRequest;
  });
}

enum class Wait { kAfterSerialFlash, kAfterMemoryClass, kEraseChipDownloadMode };

// A camera that restarts is looked for after a first pause (3500 ms; 2500 ms
// for the chip erase's switch to download mode), then up to 60 times, each
// attempt 500 ms after the one before. A camera away for `away` ms is found
// at the first attempt at or after its return; one away a millisecond longer
// than the last attempt is not found at all.
TEST(Waits, FirstPauseThenSixtyAttemptsHalfASecondApart) {
  struct Case {
    Wait wait;
    uint32_t away;
    std::optional<uint32_t> foundAfter;  // since the camera left; none: the job fails
  } cases[] = {
      {Wait::kAfterSerialFlash, 100, 4000},           {Wait::kAfterSerialFlash, 4001, 4500},
      {Wait::kAfterSerialFlash, 33500, 33500},        {Wait::kAfterSerialFlash, 33501, std::nullopt},
      {Wait::kAfterMemoryClass, 100, 4000},           {Wait::kAfterMemoryClass, 33500, 33500},
      {Wait::kAfterMemoryClass, 33501, std::nullopt}, {Wait::kEraseChipDownloadMode, 100, 3000},
      {Wait::kEraseChipDownloadMode, 32500, 32500},   {Wait::kEraseChipDownloadMode, 32501, std::nullopt},
  };
  for (const Case& c : cases) {
    const std::string what = std::to_string(static_cast<int>(c.wait)) + "/" + std::to_string(c.away);
    DialogHarness h;
    auto camera = CameraOfClass(c.wait == Wait::kAfterMemoryClass ? 6 : 8);
    camera.rebootDelayMs = c.away;
    camera.needsDownloadMode = c.wait == Wait::kEraseChipDownloadMode;
    const auto cam = h.world.AddCamera(camera);
    h.WriteImage("fw.bin", SampleFor(c.wait == Wait::kAfterMemoryClass ? 6 : 8, 3, 1000));
    h.Open();
    if (c.wait == Wait::kEraseChipDownloadMode) {
      EXPECT_TRUE(h.EraseChip());
    } else {
      h.ClickStart();
    }
    // The world notices a return whenever anything calls in, the pauses
    // included; the camera's first access after it is the attempt that found it.
    const auto history = h.world.PresenceHistory();
    const auto left = std::find_if(history.begin(), history.end(), [](const auto& e) { return !e.arrived; });
    ASSERT_NE(left, history.end()) << what;
    const auto traffic = h.world.Traffic();
    const auto found = std::find_if(traffic.begin(), traffic.end(), [&](const auto& e) {
      return e.device == cam && e.devInst != left->devInst && e.timeMs >= left->timeMs;
    });
    if (c.foundAfter) {
      ASSERT_NE(found, traffic.end()) << what;
      EXPECT_EQ(found->timeMs - left->timeMs, *c.foundAfter) << what;
      EXPECT_EQ(h.Text(IDC_RESULT), "Pass") << what;
    } else {
      EXPECT_EQ(found, traffic.end()) << what;
      const uint32_t lastAttempt = c.wait == Wait::kEraseChipDownloadMode ? 32500 : 33500;
      EXPECT_EQ(h.world.Now() - left->timeMs, lastAttempt) << what;
      EXPECT_EQ(h.Text(IDC_RESULT), "FAIL") << what;
      EXPECT_EQ(h.dlg->m_pThread->m_strReason, "reopen camera failed\r\n") << what;
    }
    EXPECT_EQ(h.world.Departures(cam), 1u) << what;
  }
}

// The chip erase: download mode always with parameter 1; the driver's erase
// only for a class-8 image on a camera that answers the probe, otherwise the
// flash information and the chip erase over the extension unit; protection
// back on after a good erase; every failure ends in "Erase Chip Failed".
TEST(EraseChipJob, BranchesAndEndings) {
  struct Case {
    const char* what;
    int memClass;
    bool probe;
    std::optional<FaultRule> fault;
    bool driverErase;  // the erase request went over the driver path
    bool unitErase;    // the chip erase command went over the extension unit
    bool erased;
  } cases[] = {
      {"class 8, probe answered", 8, true, std::nullopt, true, false, true},
      {"class 8, probe refused", 8, false, std::nullopt, false, true, true},
      {"class 6, probe answered", 6, true, std::nullopt, false, true, true},
      {"driver erase refused", 8, true, substitute::DriverFault(2), true, false, false},
      {"flash information refused", 6, true, substitute::CommandFault(0x02, 0xC1), false, false, false},
      {"unit erase refused", 6, true, substitute::CommandFault(0x02, 0x04), false, true, false},
      {"unprotect refused", 8, true, substitute::CommandFault(0x02, 0x83), false, false, false},
  };
  for (const Case& c : cases) {
    DialogHarness h;
    auto camera = CameraOfClass(8);
    camera.needsDownloadMode = true;
    if (!c.probe) camera.driverPath = DriverPathService::kRefused;
    const auto cam = h.world.AddCamera(camera);
    h.Open();
    h.dlg->m_memClass = c.memClass;
    if (c.fault) h.world.AddFault(cam, *c.fault);
    h.statusLines.clear();
    EXPECT_TRUE(h.EraseChip());
    EXPECT_EQ(h.world.DownloadModeParameter(cam), 1) << c.what;
    EXPECT_EQ(HasDriverRequest(h.world, 2), c.driverErase) << c.what;
    EXPECT_EQ(HasBlock(h.world, cam, 0x02, 0x04), c.unitErase) << c.what;
    EXPECT_EQ(h.dlg->m_pThread->m_bSuccess, c.erased ? 1 : 0) << c.what;
    EXPECT_EQ(h.Text(IDC_RESULT), c.erased ? "Pass" : "FAIL") << c.what;
    const std::string ending = c.erased ? "Erase Chip Finished\n" : "Erase Chip Failed\n";
    ASSERT_GE(h.statusLines.size(), 2u) << c.what;
    EXPECT_EQ(h.statusLines[h.statusLines.size() - 2], ending) << c.what;
    EXPECT_EQ(h.statusLines.back(), "Corvex Camera Connected") << c.what << ": identified again";
    EXPECT_EQ(h.dlg->m_bBusy, 0) << c.what;
    if (c.erased) {
      EXPECT_EQ(h.world.Memory(cam), std::vector<uint8_t>(65536, 0xFF)) << c.what;
      EXPECT_FALSE(h.world.MemoryWritable(cam)) << c.what << ": protected again after the erase";
    }
  }
}

// The reset job reports only Pass or FAIL: no status text, no identification
// afterwards, and never success in m_bSuccess.
TEST(ResetCameraJob, FailureBranchesReportOnlyTheResult) {
  for (bool present : {false, true}) {
    DialogHarness h;
    const auto cam = h.world.AddCamera();
    h.Open();
    if (present) {
      h.world.AddFault(cam, substitute::CommandFault(0x00, 0x09));
    } else {
      h.world.Unplug(cam);
      h.window.PumpPending();
    }
    h.dlg->m_pThread->m_strReason.clear();
    h.dlg->m_strStatus = "untouched";
    h.statusLines.clear();
    EXPECT_TRUE(h.ResetCamera());
    const std::string what = present ? "reset refused" : "no camera";
    EXPECT_EQ(h.Text(IDC_RESULT), "FAIL") << what;
    EXPECT_EQ(h.dlg->m_bBusy, 0) << what;
    EXPECT_EQ(h.dlg->m_pThread->m_bSuccess, 0) << what;
    EXPECT_EQ(h.dlg->m_pThread->m_strReason, present ? "" : "Cannot find corvex camera\r\n") << what;
    EXPECT_EQ(h.dlg->m_strStatus, "untouched") << what << ": no identification afterwards";
    EXPECT_EQ(h.dlg->m_cameraKey, 0u) << what;
    EXPECT_EQ(h.world.OpenHandleCount(), 0u) << what;
    EXPECT_EQ(h.world.IsPresent(cam), present) << what;
  }
}

// Message 1043 names the dialog for later jobs and does nothing else; the
// dialog has no use for it as a window message either.
TEST(SetDialogMessage, OnlyStoresTheDialog) {
  DialogHarness h;
  h.world.AddCamera();
  h.WriteImage("fw.bin", SampleFor(8));
  h.Open();
  h.dlg->m_pThread->m_pDlg = nullptr;
  h.world.ClearTraffic();
  h.view.ClearRecords();
  h.statusLines.clear();
  const auto result = h.Text(IDC_RESULT);
  h.dlg->m_pThread->PostToThread(WM_DL_SET_DIALOG, reinterpret_cast<uintptr_t>(h.dlg.get()), 0);
  h.WaitForWorker();
  EXPECT_EQ(h.dlg->m_pThread->m_pDlg, h.dlg.get());
  EXPECT_EQ(h.dlg->HandleMessage(WM_DL_SET_DIALOG, reinterpret_cast<uintptr_t>(h.dlg.get()), 0), 0);
  EXPECT_TRUE(h.world.Traffic().empty());
  EXPECT_TRUE(h.statusLines.empty());
  EXPECT_TRUE(h.view.ProgressPositions().empty());
  EXPECT_TRUE(h.view.MessageBoxes().empty());
  EXPECT_EQ(h.Text(IDC_RESULT), result);
  EXPECT_EQ(h.dlg->m_bBusy, 0);
  EXPECT_TRUE(h.Enabled(IDC_BTN_START));
}

// Another program's open handle on a file, as each system lets one hold it.
class HeldFile {
 public:
  explicit HeldFile(const std::string& path) {
#ifdef _WIN32
    handle_ = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    held_ = handle_ != INVALID_HANDLE_VALUE;
#else
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    held_ = fd_ >= 0 && ::flock(fd_, LOCK_SH) == 0;
#endif
  }
  ~HeldFile() {
#ifdef _WIN32
    if (handle_ != INVALID_HANDLE_VALUE) ::CloseHandle(handle_);
#else
    if (fd_ >= 0) ::close(fd_);
#endif
  }
  HeldFile(const HeldFile&) = delete;
  HeldFile& operator=(const HeldFile&) = delete;
  bool Held() const { return held_; }

 private:
#ifdef _WIN32
  HANDLE handle_ = INVALID_HANDLE_VALUE;
#else
  int fd_ = -1;
#endif
  bool held_ = false;
};

// Start's refusals after the compatibility check: the old result turns back
// to "N/A", a message names the reason, and nothing else happens.
TEST(StartRefusals, EmptyPathAndAFileHeldByAnotherProgram) {
  for (bool held : {false, true}) {
    DialogHarness h;
    h.world.AddCamera();
    const std::string path = h.WriteImage("fw.bin", SampleFor(8));
    h.Open();
    ASSERT_TRUE(h.Enabled(IDC_BTN_START));
    h.dlg->m_strResult = "Pass";
    h.dlg->m_bPass = 1;
    h.dlg->UpdateData(false);
    std::optional<HeldFile> holder;
    if (held) {
      holder.emplace(path);
      ASSERT_TRUE(holder->Held());
    } else {
      h.view.SetText(IDC_EDIT_PATH, "");
    }
    h.world.ClearTraffic();
    h.view.ClearRecords();
    h.dlg->OnStart();
    h.WaitForWorker();
    holder.reset();
    const std::string message = held ? "Fail to open file " + path : "Please select VD code location";
    EXPECT_EQ(h.view.MessageBoxes(), std::vector<std::string>{message});
    EXPECT_EQ(h.dlg->m_bBusy, 0) << message;
    EXPECT_EQ(h.dlg->m_firmwareLength, 0u) << message;
    EXPECT_EQ(h.Text(IDC_RESULT), "N/A") << message;
    EXPECT_EQ(h.view.ControlState(IDC_RESULT).colour, (platform::Rgb{255, 0, 0})) << message;
    EXPECT_TRUE(h.world.Traffic().empty()) << message;
    EXPECT_TRUE(h.Enabled(IDC_BTN_START)) << message;
  }
}

}  // namespace
