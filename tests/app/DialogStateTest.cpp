// The dialog as the operator first sees it: identification, the default
// image, the enabling rule, notifications, Get Version and the about box.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "support/DialogHarness.h"
#include "ui/AboutDlg.h"

using substitute::CameraDevice;
using substitute::CameraOfClass;

namespace {

TEST(DialogState, NoCameraNoImage) {
  DialogHarness h;
  h.Open();
  EXPECT_EQ(h.Text(IDC_STATUS), "No Corvex Camera");
  EXPECT_EQ(h.Text(IDC_VERSION), "Ver: N/A");
  EXPECT_EQ(h.Text(IDC_RESULT), "N/A");
  EXPECT_EQ(h.Text(IDC_EDIT_PATH), "");
  EXPECT_FALSE(h.Enabled(IDC_BTN_START));
  EXPECT_FALSE(h.Enabled(IDC_BTN_GET_VERSION));
  EXPECT_FALSE(h.Enabled(IDC_VERSION));
  EXPECT_EQ(h.view.GetTitle(), "Zarnet v1.09");
  EXPECT_FALSE(h.view.ControlState(IDC_BTN_BROWSE).shown);
  EXPECT_FALSE(h.view.ControlState(IDC_BTN_BROWSE).enabled);
  ASSERT_EQ(h.view.MessageBoxes().size(), 1u);
  EXPECT_EQ(h.view.MessageBoxes()[0], "Cannot find any Firmware data");
  EXPECT_EQ(h.view.ControlState(IDC_RESULT).colour, (platform::Rgb{255, 0, 0}));
  EXPECT_EQ(h.view.ControlState(IDC_RESULT).fontHeight, 24);
  EXPECT_EQ(h.view.ControlState(IDC_RESULT).fontWeight, 700);
  ASSERT_TRUE(h.view.AboutMenuEntry());
  EXPECT_EQ(h.view.AboutMenuEntry()->first, 0x10u);
  EXPECT_EQ(h.view.AboutMenuEntry()->second, "&About Zarnet...");
}

TEST(DialogState, ConnectedCameraWithAcceptedImageIsReady) {
  DialogHarness h;
  h.world.AddCamera();
  const std::string path = h.WriteImage("fw.bin", SampleFor(8));
  h.Open();
  EXPECT_EQ(h.Text(IDC_STATUS), "Corvex Camera Connected");
  EXPECT_EQ(h.Text(IDC_VERSION), "Ver: 21-0615-0042");
  EXPECT_EQ(h.Text(IDC_EDIT_PATH), path);
  EXPECT_EQ(h.dlg->m_chipGen, 3);
  EXPECT_EQ(h.dlg->m_bImageOk, 1);
  EXPECT_EQ(h.dlg->m_memClass, 8);
  EXPECT_EQ(h.dlg->m_fwType, 3);
  EXPECT_TRUE(h.Enabled(IDC_BTN_START));
  EXPECT_TRUE(h.Enabled(IDC_BTN_GET_VERSION));
  EXPECT_TRUE(h.view.MessageBoxes().empty());
}

TEST(DialogState, CameraWithoutImageCanOnlyGetVersion) {
  DialogHarness h;
  h.world.AddCamera();
  h.WriteImage("broken.bin", std::vector<uint8_t>(300, 0));
  h.Open();
  EXPECT_EQ(h.view.MessageBoxes(), std::vector<std::string>{"FW Data Error\n"});
  EXPECT_FALSE(h.Enabled(IDC_BTN_START));
  EXPECT_TRUE(h.Enabled(IDC_BTN_GET_VERSION));
}

TEST(DialogState, PlainWebcamIsNotACorvexCamera) {
  DialogHarness h;
  h.world.AddDevice(substitute::PlainWebcam());
  h.Open();
  EXPECT_EQ(h.Text(IDC_STATUS), "No Corvex Camera");
  EXPECT_EQ(h.dlg->m_cameraKey, 0u);
}

struct GenerationCase {
  uint8_t high, low;
  int expected;  // -1: unchanged
};

TEST(DialogState, GenerationBytesToGeneration) {
  const GenerationCase cases[] = {
      {0x01, 0x3F, 3}, {0x01, 0x30, 3}, {0x00, 0x45, 2}, {0x00, 0x50, -1}, {0x83, 0x00, -1},
      {0x02, 0x10, 1}, {0x88, 0x0F, 0}, {0x80, 0x00, 0}, {0xFF, 0xFF, -1},
  };
  for (const auto& c : cases) {
    DialogHarness h;
    auto camera = CameraOfClass(8);
    camera.generationHigh = c.high;
    camera.generationLow = c.low;
    h.world.AddCamera(camera);
    h.Open();
    h.dlg->m_chipGen = 7;
    h.dlg->IdentifyCamera();
    EXPECT_EQ(h.dlg->m_chipGen, c.expected < 0 ? 7 : c.expected) << std::hex << int(c.high) << " " << int(c.low);
  }
}

TEST(DialogState, FailedGenerationReadKeepsTheEarlierGeneration) {
  DialogHarness h;
  const auto cam = h.world.AddCamera();
  h.Open();
  ASSERT_EQ(h.dlg->m_chipGen, 3);
  substitute::FaultRule rule;
  rule.opcode = 0xC2;
  rule.commandClass = 0x00;
  h.world.AddFault(cam, rule);
  h.dlg->IdentifyCamera();
  EXPECT_EQ(h.dlg->m_chipGen, 3);
  EXPECT_EQ(h.Text(IDC_STATUS), "Corvex Camera Connected");
}

TEST(DialogState, RepeatedIdentificationNeverAccumulatesOpens) {
  DialogHarness h;
  h.world.AddCamera();
  h.Open();
  const size_t handles = h.world.OpenHandleCount();
  for (int i = 0; i < 5; ++i) h.dlg->IdentifyCamera();
  EXPECT_EQ(h.world.OpenHandleCount(), handles);
  h.Close();
  EXPECT_EQ(h.world.OpenHandleCount(), 0u);
}

TEST(DialogState, CompatibilityOfGenerationAndFirmwareType) {
  struct Case {
    uint8_t generation;
    int fwType;
    bool starts;
  } cases[] = {{3, 4, true}, {3, 2, false}, {0, 6, true}, {0, 1, false},
               {7, 9, true}, {1, 3, true},  {5, 5, true}, {4, 4, false}};
  for (const auto& c : cases) {
    DialogHarness h;
    h.world.AddCamera();
    h.WriteImage("fw.bin", SampleFor(8));
    h.Open();
    h.dlg->m_chipGen = c.generation;
    h.dlg->m_fwType = c.fwType;
    h.view.ClearRecords();
    h.dlg->m_strResult = "Pass";
    h.dlg->UpdateData(false);
    h.dlg->OnStart();
    const bool started = h.dlg->m_bBusy != 0;
    EXPECT_EQ(started, c.starts) << int(c.generation) << "/" << c.fwType;
    if (!c.starts) {
      EXPECT_EQ(h.view.MessageBoxes(), std::vector<std::string>{"Firmware file is not for this Camera Device"});
      EXPECT_EQ(h.dlg->m_strError, "Firmware file is not for this Camera Device");
      EXPECT_EQ(h.Text(IDC_RESULT), "Pass") << "a refusal keeps the last result";
    }
    h.WaitForWorker();
  }
}

TEST(DialogState, ArrivalAndRemovalWhileIdleAndBusy) {
  DialogHarness h;
  const auto cam = h.world.AddCamera();
  h.Open();
  h.world.Unplug(cam);
  h.window.PumpPending();
  EXPECT_EQ(h.Text(IDC_STATUS), "No Corvex Camera");
  h.world.Plug(cam);
  h.window.PumpPending();
  EXPECT_EQ(h.Text(IDC_STATUS), "Corvex Camera Connected");

  // While busy nothing changes.
  h.dlg->m_bBusy = 1;
  h.world.Unplug(cam);
  h.window.PumpPending();
  EXPECT_EQ(h.Text(IDC_STATUS), "Corvex Camera Connected");
  h.dlg->m_bBusy = 0;

  // Any removal re-identifies; only a capture-class arrival does.
  platform::DeviceBroadcast other;
  other.classGuid = platform::Guid{0x12345678, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}};
  h.world.Plug(cam);
  h.window.PumpPending();
  h.world.Unplug(cam);
  h.dlg->m_strStatus = "untouched";
  h.dlg->OnDeviceChange(platform::kDeviceArrival, &other);
  EXPECT_EQ(h.dlg->m_strStatus, "untouched");
  EXPECT_EQ(h.dlg->OnDeviceChange(platform::kDeviceRemoveComplete, &other), 1);
  EXPECT_EQ(h.dlg->m_strStatus, "No Corvex Camera");
  EXPECT_EQ(h.dlg->OnDeviceChange(0x7, nullptr), 1);
}

// Device changes arrive at every moment a run leaves the window's thread
// free. Once the procedure has cleared the busy flag the dialog identifies
// the camera on each, while the run goes on to its last messages: the run's
// own texts must reach the dialog without a write of the download thread's,
// or both threads write the status at once (ThreadSanitizer's preset sees
// it). Whether a change falls between two messages is the threads' own
// timing, so each run is made a few times.
TEST(DialogState, DeviceChangesThroughoutARunMeetNoWriteOfTheDownloadThread) {
  for (int round = 0; round < 20; ++round) {
    const bool failing = round % 5 != 0;
    DialogHarness h;
    const auto cam = h.world.AddCamera(substitute::CameraOfClass(1));
    h.WriteImage("fw.bin", SampleFor(1));
    h.Open();
    if (failing) h.world.AddFault(cam, substitute::CommandFault(0x02, 0x8E));
    const platform::DeviceBroadcast capture{platform::kDeviceTypeInterface, platform::kCaptureInterfaceClass};
    // The next change is queued before this one is handled, so that one
    // always waits behind whatever the run sends meanwhile.
    std::function<void()> change = [&] {
      if (!h.dlg->m_pThread->IsIdle()) h.window.PostTask(change);
      h.dlg->OnDeviceChange(platform::kDeviceArrival, &capture);
    };
    h.dlg->HandleMessage(platform::msg::kCommand, IDC_BTN_START, 0);
    h.window.PostTask(change);
    h.WaitForWorker();
    EXPECT_EQ(h.Text(IDC_RESULT), failing ? "FAIL" : "Pass");
  }
}

TEST(DialogState, GetVersionResetsAndTheReturnShowsTheVersion) {
  DialogHarness h;
  const auto cam = h.world.AddCamera();
  h.Open();
  h.statusLines.clear();
  h.dlg->HandleMessage(platform::msg::kCommand, IDC_BTN_GET_VERSION, 0);
  EXPECT_EQ(h.dlg->m_cameraKey, 0u);
  EXPECT_EQ(h.Text(IDC_STATUS), "Corvex Camera Connected") << "nothing changes on screen at once";
  h.window.PumpPending();
  EXPECT_EQ(h.Text(IDC_STATUS), "No Corvex Camera");
  h.world.Advance(5000);
  h.world.IsPresent(cam);
  h.window.PumpPending();
  EXPECT_EQ(h.Text(IDC_STATUS), "Corvex Camera Connected");
  EXPECT_EQ(h.statusLines, (std::vector<std::string>{"No Corvex Camera", "Corvex Camera Connected"}));
}

TEST(DialogState, GetVersionWithoutCameraDoesNothing) {
  DialogHarness h;
  h.Open();
  h.dlg->OnGetVersion();
  EXPECT_EQ(h.dlg->m_cameraKey, 0u);
  EXPECT_TRUE(h.world.Traffic().empty());
}

TEST(DialogState, AboutBoxShowsTheNoticeEachTime) {
  DialogHarness h;
  h.Open();
  h.dlg->HandleMessage(platform::msg::kSysCommand, 0x10, 0);
  h.dlg->HandleMessage(platform::msg::kSysCommand, 0x1F, 0);
  h.dlg->HandleMessage(platform::msg::kSysCommand, 0x20, 0);
  const std::string notice =
      std::string(CAboutDlg::kNotice[0]) + CAboutDlg::kNotice[1] + CAboutDlg::kNotice[2] + CAboutDlg::kNotice[3];
  EXPECT_EQ(h.view.AboutTexts(), (std::vector<std::string>{notice, notice}));
  EXPECT_EQ(std::count(notice.begin(), notice.end(), '\n'), 3);
  EXPECT_NE(notice.back(), '\n');
}

TEST(DialogState, EnterDoesNothingEscapeCloses) {
  DialogHarness h;
  h.Open();
  h.dlg->HandleMessage(platform::msg::kCommand, platform::msg::kIdOk, 0);
  EXPECT_FALSE(h.dlg->Ended());
  h.dlg->HandleMessage(platform::msg::kCommand, platform::msg::kIdCancel, 0);
  EXPECT_TRUE(h.dlg->Ended());
  EXPECT_TRUE(h.view.Closed());
}

TEST(DialogState, RangeIsThirtyTwoBitAndResultColours) {
  DialogHarness h;
  h.Open();
  h.dlg->HandleMessage(WM_DL_RANGE, 70000, 0);
  EXPECT_EQ(h.view.ProgressHigh(), 70000);
  h.dlg->HandleMessage(WM_DL_PASS, 0, 0);
  EXPECT_EQ(h.Text(IDC_RESULT), "Pass");
  EXPECT_EQ(h.view.ControlState(IDC_RESULT).colour, (platform::Rgb{0, 255, 0}));
  EXPECT_EQ(h.view.ProgressPos(), 0);
  h.dlg->HandleMessage(WM_DL_FAIL, 0, 0);
  EXPECT_EQ(h.Text(IDC_RESULT), "FAIL");
  EXPECT_EQ(h.view.ControlState(IDC_RESULT).colour, (platform::Rgb{255, 0, 0}));
}

TEST(DialogState, AFrontEndsOwnJobShowsAsTheThreadsJobsDo) {
  DialogHarness h;
  h.Open();
  h.dlg->EndJob(true);
  h.dlg->BeginJob("Reading memory ...");
  EXPECT_EQ(h.Text(IDC_STATUS), "Reading memory ...");
  EXPECT_EQ(h.Text(IDC_RESULT), "N/A") << "an earlier result is not this job's";
  EXPECT_EQ(h.dlg->Result().outcome, CZarnetDlg::Outcome::None);
  EXPECT_EQ(h.view.ProgressHigh(), 0);
  h.dlg->SetProgressRange(70000);
  h.dlg->SetProgress(69999);
  EXPECT_EQ(h.view.ProgressHigh(), 70000);
  EXPECT_EQ(h.view.ProgressPos(), 69999);
  h.dlg->EndJob(false);
  EXPECT_EQ(h.Text(IDC_RESULT), "FAIL");
  EXPECT_EQ(h.dlg->Result().outcome, CZarnetDlg::Outcome::Fail);
}

TEST(DialogState, ProgressCallbackBeforeTheThreadExistsChangesNothing) {
  DialogHarness h;
  h.Open();
  std::unique_ptr<CDownloadThread> thread = std::move(h.dlg->m_pThread);
  h.view.ClearRecords();
  ProgressCallback(100, 200);
  EXPECT_TRUE(h.view.ProgressPositions().empty());
  h.dlg->m_pThread = std::move(thread);
  h.dlg->m_passIndex = 2;
  h.dlg->m_firmwareLength = 1000;
  ProgressCallback(100, 200);
  EXPECT_EQ(h.view.ProgressPositions(), std::vector<int32_t>{2100});
}

TEST(DialogState, FirstBinOfTheCurrentDirectoryAndFoldersNamedBin) {
  DialogHarness h;
  h.world.AddCamera();
  std::filesystem::create_directory(h.dir.Path() / "folder.bin");
  h.Open();
  // Whatever the directory delivers first is taken; a folder is refused on opening.
  EXPECT_EQ(h.Text(IDC_EDIT_PATH), "");
  EXPECT_EQ(h.view.MessageBoxes(),
            std::vector<std::string>{"Fail to open file " + (h.dir.Path() / "folder.bin").string()});
}

// A current directory too long for the host to tell comes back empty.
TEST(DialogState, AnUnknownCurrentDirectoryGivesNoDefaultImage) {
  struct NoDirectory final : platform::IFileSystem {
    bool GetStatus(const std::string&) override { return false; }
    std::unique_ptr<platform::IReadFile> OpenRead(const std::string&, bool) override { return nullptr; }
    std::string CurrentDirectory() override { return ""; }
    std::vector<std::string> FindFiles(const std::string&, const std::string&) override { return {"fw.bin"}; }
    char PathSeparator() const override { return '\\'; }
  } files;
  DialogHarness h;
  h.world.AddCamera();
  platform::Platform seams = h.world.Platform();
  seams.files = &files;
  platform::ScopedPlatform inForce(seams);
  h.Open();
  EXPECT_EQ(h.Text(IDC_EDIT_PATH), "");
  EXPECT_EQ(h.view.MessageBoxes(), std::vector<std::string>{"Cannot find any Firmware data"});
  h.Close();
}

TEST(DialogState, BrowseAppendsTheExtensionOnlyForATrailingFullStop) {
  DialogHarness h;
  h.world.AddCamera();
  h.Open();
  const std::string base = (h.dir.Path() / "image").string();
  h.WriteImage("image.bin", SampleFor(8));
  h.view.AnswerOpenFile(platform::OpenFileResult{base + ".", 0, 1});
  h.dlg->OnBrowse();
  EXPECT_EQ(h.dlg->m_strPath, base + ".bin");
  EXPECT_EQ(h.dlg->m_bImageOk, 1);
  ASSERT_EQ(h.view.OpenFileRequests().size(), 1u);
  EXPECT_EQ(h.view.OpenFileRequests()[0].filter, "Firmware(*.bin)|*.bin||");
  EXPECT_EQ(h.view.OpenFileRequests()[0].flags, 0x80006u);

  h.view.AnswerOpenFile(platform::OpenFileResult{base, static_cast<uint16_t>(base.size()), 1});
  h.dlg->OnBrowse();
  EXPECT_EQ(h.view.MessageBoxes().back(), base + " does not exist");
  EXPECT_FALSE(h.Enabled(IDC_BTN_START));

  h.view.AnswerOpenFile(std::nullopt);
  h.dlg->OnBrowse();
  EXPECT_EQ(h.dlg->m_strPath, "") << "a cancelled dialog changes nothing";
}

struct RefusalCase {
  bool earlierImage;
  std::vector<uint8_t> refused;  // empty: the file is not there
  std::string message;           // after the refused file's path
};

TEST(DialogState, ARefusedImageLeavesTheFieldEmpty) {
  const RefusalCase cases[] = {
      {false, {}, " does not exist"},
      {true, {}, " does not exist"},
      {true, std::vector<uint8_t>(300, 0), "FW Data Error\n"},
  };
  for (const RefusalCase& c : cases) {
    DialogHarness h;
    h.world.AddCamera();
    if (c.earlierImage) h.WriteImage("fw.bin", SampleFor(8));
    h.Open();
    const std::string refused =
        c.refused.empty() ? (h.dir.Path() / "gone.img").string() : h.WriteImage("bad.img", c.refused);
    h.view.AnswerOpenFile(platform::OpenFileResult{refused, static_cast<uint16_t>(refused.size() - 3), 1});
    h.dlg->OnBrowse();
    EXPECT_EQ(h.view.MessageBoxes().back(), c.refused.empty() ? refused + c.message : c.message);
    EXPECT_EQ(h.Text(IDC_EDIT_PATH), "");
    EXPECT_EQ(h.dlg->m_strPath, "");
    EXPECT_FALSE(h.Enabled(IDC_BTN_START));
  }
}

}  // namespace

// A thread that could not enter the component runtime must not leave it:
// that would take away another user's entry on the same thread.
TEST(DialogState, NoThreadLeavesAComponentRuntimeItCouldNotEnter) {
  for (bool refused : {false, true}) {
    DialogHarness h;
    h.world.RefuseComInitialization(refused);
    h.world.AddCamera();
    h.WriteImage("fw.bin", SampleFor(8));
    h.Open();
    h.ClickStart();
    EXPECT_EQ(h.Text(IDC_RESULT), "Pass");
    h.Close();
    EXPECT_EQ(h.world.ComInitializations(), 2) << "the window's thread and the download thread";
    EXPECT_EQ(h.world.ComUninitializations(), refused ? 0 : 2);
  }
}
