// Every way a download can fail, what the operator sees, and what the run
// leaves behind: the result, the camera closed, transfers at their power-up
// length, protection back on, and a thread ready for the next Start.

#include <gtest/gtest.h>

#include "support/DialogHarness.h"
#include "support/FaultSweep.h"

using substitute::AccessKind;
using substitute::CameraOfClass;
using substitute::DriverPathService;
using substitute::FaultRule;

namespace {

struct Failure {
  const char* what;
  int memClass;
  bool probe;
  std::vector<FaultRule> faults;
  bool neverReturns;
  std::string reason;
  std::vector<std::string> statusLines;
};

void ExpectCleanEnd(DialogHarness& h, substitute::DeviceId cam, int memClass, const char* what) {
  EXPECT_EQ(h.Text(IDC_RESULT), "FAIL") << what;
  EXPECT_EQ(h.view.ControlState(IDC_RESULT).colour, (platform::Rgb{255, 0, 0})) << what;
  EXPECT_EQ(h.dlg->m_bBusy, 0) << what;
  EXPECT_EQ(h.dlg->m_pThread->m_bSuccess, 0) << what;
  EXPECT_EQ(DataControlLength(), 8u) << what;
  EXPECT_EQ(h.view.ProgressPos(), 0) << what;
  EXPECT_LE(h.world.OpenHandleCount(), h.dlg->m_cameraKey ? 1u : 0u) << what << ": only the dialog's own open";
  if (h.world.IsPresent(cam)) {
    EXPECT_EQ(h.world.DataLength(cam), 8u) << what;
    if (memClass >= 5) {
      EXPECT_FALSE(h.world.MemoryWritable(cam))
          << what << ": protection is back on, FEA0 " << int(h.world.Register(cam, 0xFEA0)) << " FEA6 "
          << int(h.world.Register(cam, 0xFEA6)) << " status " << int(h.world.FlashStatusRegister(cam));
    }
  }
}

TEST(Failure, EachStepWithItsStatusLinesAndReason) {
  const std::string connected = "Corvex Camera Connected";
  const Failure cases[] = {
      {"write protection off",
       6,
       true,
       {substitute::CommandFault(0x00, 0xC2)},
       false,
       "disable write protect failed\r\n",
       {"Erase Chip ...", "FAIL", connected, "FAIL"}},
      {"blank check",
       1,
       true,
       {},
       false,
       "verify empty failed\r\n",
       {"Erase Chip ...", "Check empty ...", "FAIL", connected, "FAIL"}},
      {"write",
       6,
       true,
       {substitute::CommandFault(0x02, 0x91)},
       false,
       "write firmware failed\r\n",
       {"Erase Chip ...", "Writing ...", "FAIL", connected, "FAIL"}},
      {"verify",
       6,
       true,
       {substitute::CommandFault(0x02, 0xD1)},
       false,
       "verify firmware failed\r\n",
       {"Erase Chip ...", "Writing ...", "Verifying ...", "FAIL", connected, "FAIL"}},
      {"reset",
       7,
       true,
       {substitute::CommandFault(0x00, 0x09)},
       false,
       "reset to rom failed\r\n",
       {"Erase Chip ...", "Check empty ...", "Writing ...", "Verifying ...", "Reset to updated code ...", "FAIL",
        connected, "FAIL"}},
      {"reopen",
       5,
       true,
       {},
       true,
       "reopen camera failed\r\n",
       {"Erase Chip ...", "Writing ...", "Verifying ...", "Reset to updated code ...", "Reopen Camera Failed", "FAIL",
        "No Corvex Camera", "FAIL"}},
      {"flash erase",
       8,
       true,
       {substitute::DriverFault(2)},
       false,
       "Failed to erase serial flash : ",
       {"FAIL", connected, "FAIL"}},
      {"flash write",
       8,
       true,
       {substitute::DriverFault(4, 1)},
       false,
       "SetData error[0x1000] : 1f",
       {"Writing firmware ... 0x0", "Writing firmware ... 0x1000", "FAIL", connected, "FAIL"}},
      {"flash read",
       8,
       true,
       {substitute::DriverFault(5, 1)},
       false,
       "GetData error[0x0] : 1f",
       {"Writing firmware ... 0x0", "Writing firmware ... 0x1000", "Verify firmware ... 0x0", "FAIL", connected,
        "FAIL"}},
      {"flash compare",
       8,
       true,
       {substitute::DriverFault(4, 0, 0)},
       false,
       "Failed to downlaod flash , verify failed!",
       {"Writing firmware ... 0x0", "Writing firmware ... 0x1000", "Verify firmware ... 0x0", "FAIL", connected,
        "FAIL"}},
      {"flash reset",
       8,
       true,
       {substitute::DriverFault(1)},
       false,
       "Failed to reset : ",
       {"Writing firmware ... 0x0", "Writing firmware ... 0x1000", "Verify firmware ... 0x0",
        "Verify firmware ... 0x1000", "Reset to updated code ...", "FAIL", connected, "FAIL"}},
      {"flash reopen",
       8,
       true,
       {},
       true,
       "reopen camera failed\r\n",
       {"Writing firmware ... 0x0", "Writing firmware ... 0x1000", "Verify firmware ... 0x0",
        "Verify firmware ... 0x1000", "Reset to updated code ...", "Reopen Camera Failed", "FAIL", "No Corvex Camera",
        "FAIL"}},
  };
  for (const Failure& c : cases) {
    DialogHarness h;
    auto camera = CameraOfClass(static_cast<uint8_t>(c.memClass));
    if (!c.probe) camera.driverPath = DriverPathService::kRefused;
    if (std::string(c.what) == "blank check") camera.eraseKey = 0x00;  // the erase then changes nothing
    const auto cam = h.world.AddCamera(camera);
    const uint32_t size = c.memClass == 8 ? 4096 : 0;  // flash cases: one whole chunk and an empty one
    h.WriteImage("fw.bin", SampleFor(c.memClass, 3, size));
    h.Open();
    ASSERT_TRUE(h.Enabled(IDC_BTN_START)) << c.what;
    for (const auto& f : c.faults) h.world.AddFault(cam, f);
    if (c.neverReturns) h.world.ConfigureCamera(cam, [](auto& config) { config.neverReturns = true; });
    h.statusLines.clear();
    h.ClickStart();
    EXPECT_EQ(h.dlg->m_pThread->m_strReason, c.reason) << c.what;
    EXPECT_EQ(h.statusLines, c.statusLines) << c.what;
    ExpectCleanEnd(h, cam, c.memClass, c.what);
    if (c.neverReturns) continue;
    // The camera stayed and answers: Start is offered again at once.
    EXPECT_TRUE(h.Enabled(IDC_BTN_START)) << c.what << ": ready for another Start";
    EXPECT_EQ(IsIdentifiedCamera(h.dlg->m_cameraKey), 1) << c.what;

    // The next Start on a healthy camera passes.
    h.world.ClearFaults(cam);
    h.world.ConfigureCamera(cam, [](auto& config) { config.eraseKey.reset(); });
    h.ClickStart();
    EXPECT_EQ(h.Text(IDC_RESULT), "Pass") << c.what << " then healthy";
  }
}

// The failure ending asks for 8-byte transfers again; a camera that stays and
// refuses keeps 64, and the host must keep it too, or the camera stops
// answering until it is power-cycled.
TEST(Failure, ARefusedReturnToEightBytesKeepsHostAndCameraInStep) {
  DialogHarness h;
  const auto cam = h.world.AddCamera(CameraOfClass(6));
  h.WriteImage("fw.bin", SampleFor(6));
  h.Open();
  h.world.AddFault(cam, substitute::CommandFault(0x02, 0x91));
  FaultRule back = substitute::CommandFault(0x00, 0x16);
  back.skipMatches = 1;  // the change to 64 goes through
  h.world.AddFault(cam, back);
  h.ClickStart();
  EXPECT_EQ(h.Text(IDC_RESULT), "FAIL");
  EXPECT_EQ(h.world.DataLength(cam), 64u);
  EXPECT_EQ(DataControlLength(), 64u);
  EXPECT_EQ(h.Text(IDC_STATUS), "FAIL");
  EXPECT_TRUE(h.Enabled(IDC_BTN_START)) << "the camera still answers";

  h.world.ClearFaults(cam);
  h.ClickStart();
  EXPECT_EQ(h.Text(IDC_RESULT), "Pass");
  EXPECT_EQ(h.world.DataLength(cam), 8u);
  EXPECT_EQ(DataControlLength(), 8u);
}

// A camera that restarts mid-run comes back at 8 bytes, and on Windows under
// the device instance it had: only the camera's own answer tells the host to
// follow it, or every later transfer would be refused.
TEST(Failure, ACameraRestartedUnderItsOldInstanceHasTheHostFollowItsLength) {
  DialogHarness h;
  const auto cam = h.world.AddCamera(CameraOfClass(6));
  h.WriteImage("fw.bin", SampleFor(6));
  h.Open();
  const uint32_t instance = h.world.DevInst(cam);
  FaultRule restart = substitute::CommandFault(0x02, 0x91);
  restart.action = substitute::FaultAction::kUnplugBefore;
  restart.replugAfterMs = 0;
  h.world.AddFault(cam, restart);
  h.ClickStart();
  EXPECT_EQ(h.Text(IDC_RESULT), "FAIL");
  ASSERT_EQ(h.world.DevInst(cam), instance);
  EXPECT_EQ(h.world.DataLength(cam), 8u);
  EXPECT_EQ(DataControlLength(), 8u);

  h.world.ClearFaults(cam);
  h.window.PumpPending();
  h.ClickStart();
  EXPECT_EQ(h.Text(IDC_RESULT), "Pass");
}

// Whichever pass fails, the memory ends protected as it was before the
// download: the flash by its status register, the EEPROMs of classes 5 and
// 6 by their own registers, which an EEPROM camera's refusal of the flash's
// status write must not leave cleared.
TEST(Failure, EveryClassFailingAtEachPassEndsProtected) {
  const std::pair<uint8_t, uint8_t> writeAndRead[] = {{0x8E, 0xCE}, {0x8E, 0xCE}, {0x8E, 0xCE}, {0x8E, 0xCE},
                                                      {0x8B, 0xCB}, {0x91, 0xD1}, {0x87, 0xC7}, {0x82, 0xC2}};
  for (int memClass = 1; memClass <= 8; ++memClass) {
    const auto [write, read] = writeAndRead[memClass - 1];
    const bool blankCheck = memClass != 5 && memClass != 6;
    FaultRule blank = substitute::CommandFault(0x02, read);
    FaultRule verify = blank;
    verify.skipMatches = blankCheck ? 1 : 0;
    std::vector<FaultRule> passes = {substitute::CommandFault(0x02, write), verify};
    if (blankCheck) passes.push_back(blank);
    for (const FaultRule& pass : passes) {
      SCOPED_TRACE(testing::Message() << "class " << memClass << ", opcode " << int(*pass.opcode));
      DialogHarness h;
      auto camera = CameraOfClass(static_cast<uint8_t>(memClass));
      camera.driverPath = DriverPathService::kRefused;
      const auto cam = h.world.AddCamera(camera);
      h.WriteImage("fw.bin", SampleFor(memClass));
      h.Open();
      h.world.AddFault(cam, pass);
      if (memClass <= 6) h.world.AddFault(cam, substitute::CommandFault(0x02, 0x83));
      h.ClickStart();
      EXPECT_EQ(h.Text(IDC_RESULT), "FAIL");
      if (memClass >= 5) {
        EXPECT_FALSE(h.world.MemoryWritable(cam));
      }
      if (memClass == 5 || memClass == 6) {
        EXPECT_EQ(h.world.Register(cam, 0xFEA0), 0x10);
        EXPECT_EQ(h.world.Register(cam, 0xFEA6), 0x21);
      }
      if (memClass >= 7) {
        EXPECT_EQ(h.world.FlashStatusRegister(cam), 0x8C);
      }
    }
  }
}

// A camera that leaves as it is told to switch to download mode ends the run
// before any procedure handed the key to the dialog: the run itself lets go
// of the key, or the dialog would keep one that names no camera.
TEST(Failure, ACameraGoneBeforeTheProcedureLeavesNoKeyBehind) {
  DialogHarness h;
  auto camera = CameraOfClass(6);
  camera.needsDownloadMode = true;
  const auto cam = h.world.AddCamera(camera);
  h.WriteImage("fw.bin", SampleFor(6));
  h.Open();
  const uint32_t key = h.dlg->m_cameraKey;
  ASSERT_NE(key, 0u);
  FaultRule unplug = substitute::CommandFault(0x00, 0x07);
  unplug.action = substitute::FaultAction::kUnplugBefore;
  h.world.AddFault(cam, unplug);
  h.ClickStart();
  EXPECT_EQ(h.Text(IDC_RESULT), "FAIL");
  EXPECT_EQ(h.dlg->m_pThread->m_strReason, "reset to download mode failed\r\n");
  EXPECT_EQ(h.dlg->m_cameraKey, 0u);
  CCameraDevice entry;
  EXPECT_EQ(LookupCamera(key, &entry), 0) << "nothing left in the registry";
}

TEST(Failure, CameraUnpluggedMidWriteFailsAndTheNextRunOnItsReturnPasses) {
  for (bool probe : {true, false}) {
    DialogHarness h;
    auto camera = CameraOfClass(8);
    if (!probe) camera.driverPath = DriverPathService::kRefused;
    const auto cam = h.world.AddCamera(camera);
    const auto image = SampleFor(8, 3, 10000);
    h.WriteImage("fw.bin", image);
    h.Open();
    FaultRule unplug = probe ? substitute::DriverFault(4, 1) : substitute::CommandFault(0x02, 0x82);
    unplug.action = substitute::FaultAction::kUnplugBefore;
    h.world.AddFault(cam, unplug);
    h.ClickStart();
    ExpectCleanEnd(h, cam, 8, probe ? "unplugged, driver path" : "unplugged, extension unit");
    EXPECT_FALSE(h.world.IsPresent(cam));

    h.world.ClearFaults(cam);
    h.world.Plug(cam);
    h.window.PumpPending();
    EXPECT_TRUE(h.Enabled(IDC_BTN_START));
    h.ClickStart();
    EXPECT_EQ(h.Text(IDC_RESULT), "Pass") << probe;
    const auto memory = h.world.Memory(cam);
    EXPECT_EQ(std::vector<uint8_t>(memory.begin(), memory.begin() + 10000), image);
  }
}

class FaultSweep : public ::testing::TestWithParam<Sweep> {};

TEST_P(FaultSweep, EveryAccessFailingInTurnEndsCleanly) {
  const Sweep s = GetParam();
  DialogHarness h;
  const auto cam = h.world.AddCamera(SweptCamera(s));
  RunFaultSweep(h, cam, s, SweepFaults::Of(h.world, cam));
}

INSTANTIATE_TEST_SUITE_P(Procedures, FaultSweep, SweptProcedures(), SweepName);

// The same sweep with the faults stacked over the world's backend from
// outside, as they are stacked over a host's.
class FaultSweepOverABackend : public ::testing::TestWithParam<Sweep> {};

TEST_P(FaultSweepOverABackend, EveryAccessFailingInTurnEndsCleanly) {
  const Sweep s = GetParam();
  DialogHarness h;
  const auto cam = h.world.AddCamera(SweptCamera(s));
  FaultsOverBackend over(h.world.Backend(), h.world, cam);
  platform::ScopedPlatform overTheWorld(over.Over(platform::Platform{}));
  RunFaultSweep(h, cam, s, SweepFaults::Of(*over.faults));
  h.Close();
  ResetDeviceState();
}

INSTANTIATE_TEST_SUITE_P(Procedures, FaultSweepOverABackend, SweptProcedures(), SweepName);

}  // namespace
