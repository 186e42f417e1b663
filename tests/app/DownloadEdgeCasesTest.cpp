// Edge cases of the download jobs that the broader runs pass over: each pins
// one rule that a small slip in the code would otherwise break unnoticed.

#include <gtest/gtest.h>

#include <algorithm>

#include "support/DialogHarness.h"

using substitute::CameraOfClass;
using substitute::TrafficKind;

namespace {

// Driver write requests (bRequest 4) as (address, length).
std::vector<std::pair<uint32_t, uint32_t>> DriverWrites(substitute::SubstituteWorld& world) {
  std::vector<std::pair<uint32_t, uint32_t>> writes;
  for (const auto& e : world.Traffic())
    if (e.kind == TrafficKind::kVendorRequest && e.setup.bRequest == 4)
      writes.emplace_back(e.setup.wIndex, e.setup.wLength);
  return writes;
}

// Runs `change` on the window's thread when the status line turns to `text`;
// the worker waits meanwhile, so the camera is changed between two steps.
void OnStatus(DialogHarness& h, const std::string& text, std::function<void()> change) {
  h.view.OnChange([&h, text, change](int id) {
    if (id == IDC_STATUS && h.view.GetText(IDC_STATUS) == text) change();
  });
}

TEST(DownloadEdgeCases, OnlyTheWholeSmallPageFlashIdTakes32ByteChunks) {
  DialogHarness h;
  auto camera = CameraOfClass(8);
  camera.flashInfo = {0x30, 0xC2, 0x22, 0x01, 0, 0, 0, 0};  // differs in its fourth byte
  h.world.AddCamera(camera);
  h.WriteImage("fw.bin", SampleFor(8, 3, 5000));
  h.Open();
  h.ClickStart();
  EXPECT_EQ(h.Text(IDC_RESULT), "Pass");
  EXPECT_EQ(DriverWrites(h.world), (std::vector<std::pair<uint32_t, uint32_t>>{{0, 4096}, {4096, 904}}));
}

TEST(DownloadEdgeCases, SerialFlashVerifyCatchesTheLastByteOfAChunk) {
  DialogHarness h;
  const auto cam = h.world.AddCamera();
  const auto image = SampleFor(8, 3, 10000);
  h.WriteImage("fw.bin", image);
  h.Open();
  OnStatus(h, "Verify firmware ... 0x0", [&] { h.world.SetMemory(cam, 4095, {static_cast<uint8_t>(~image[4095])}); });
  h.ClickStart();
  EXPECT_EQ(h.Text(IDC_RESULT), "FAIL");
}

TEST(DownloadEdgeCases, MemoryVerifyCatchesTheLastByteOfTheImage) {
  DialogHarness h;
  const auto cam = h.world.AddCamera(CameraOfClass(1));
  const auto image = SampleFor(1);
  h.WriteImage("fw.bin", image);
  h.Open();
  const size_t last = image.size() - 1;
  OnStatus(h, "Verifying ...",
           [&] { h.world.SetMemory(cam, static_cast<uint32_t>(last), {static_cast<uint8_t>(~image[last])}); });
  h.ClickStart();
  EXPECT_EQ(h.Text(IDC_RESULT), "FAIL");
  EXPECT_EQ(h.dlg->m_pThread->m_strReason, "verify firmware failed\r\n");
}

TEST(DownloadEdgeCases, ThirtyTwoByteTypeFourImageEndsWithAnEmptySecondPass) {
  DialogHarness h;
  h.world.AddCamera();
  h.WriteImage("fw.bin", SampleFor(8, 4));
  h.Open();
  ASSERT_EQ(h.dlg->m_fwType, 4);
  // Start reads the file again without judging it.
  h.WriteImage("fw.bin", std::vector<uint8_t>(32, 0x42));
  h.ClickStart();
  EXPECT_EQ(h.Text(IDC_RESULT), "Pass");
  EXPECT_EQ(DriverWrites(h.world), (std::vector<std::pair<uint32_t, uint32_t>>{{0, 32}, {32, 0}}));
}

TEST(DownloadEdgeCases, TransfersGoBackToEightBytesBeforeTheProtectionReturns) {
  DialogHarness h;
  const auto cam = h.world.AddCamera(CameraOfClass(5));
  h.WriteImage("fw.bin", SampleFor(5));
  h.Open();
  h.ClickStart();
  ASSERT_EQ(h.Text(IDC_RESULT), "Pass");
  const auto blocks = h.world.CommandBlocks(cam);
  auto last = [&](auto matches) {
    return std::find_if(blocks.rbegin(), blocks.rend(), matches).base() - blocks.begin();
  };
  const auto lengthBack = last([](const auto& b) { return b[0] == 0x00 && b[1] == 0x16 && b[4] == 8; });
  const auto restore = last([](const auto& b) { return b[0] == 0x00 && b[1] == 0x82 && b[2] == 0xA6 && b[3] == 0xFE; });
  ASSERT_GT(lengthBack, 0);
  ASSERT_GT(restore, 0);
  EXPECT_LT(lengthBack, restore);
}

TEST(DownloadEdgeCases, ButtonsStayDisabledWhileADownloadRuns) {
  DialogHarness h;
  h.world.AddCamera();
  h.WriteImage("fw.bin", SampleFor(8));
  h.Open();
  ASSERT_TRUE(h.Enabled(IDC_BTN_START));
  bool startEnabled = true;
  bool versionEnabled = true;
  OnStatus(h, "Writing firmware ... 0x0", [&] {
    startEnabled = h.Enabled(IDC_BTN_START);
    versionEnabled = h.Enabled(IDC_BTN_GET_VERSION);
  });
  h.ClickStart();
  EXPECT_FALSE(startEnabled);
  EXPECT_FALSE(versionEnabled);
}

TEST(DownloadEdgeCases, StartOnAThreadThatNoLongerTakesJobsGivesTheButtonsBack) {
  DialogHarness h;
  h.world.AddCamera();
  h.WriteImage("fw.bin", SampleFor(8));
  h.Open();
  h.dlg->m_pThread->PostToThread(platform::msg::kQuit, 0, 0);
  h.dlg->m_pThread->Join();
  h.view.ClearRecords();
  h.dlg->HandleMessage(platform::msg::kCommand, IDC_BTN_START, 0);
  EXPECT_EQ(h.dlg->m_bBusy, 0);
  EXPECT_EQ(h.view.MessageBoxes(), std::vector<std::string>{"The download could not be started."});
  EXPECT_TRUE(h.Enabled(IDC_BTN_START));
}

TEST(DownloadEdgeCases, EraseChipWaits2500MsBeforeLookingForTheSwitchedCamera) {
  DialogHarness h;
  auto camera = CameraOfClass(8);
  camera.needsDownloadMode = true;
  camera.neverReturns = true;
  h.world.AddCamera(camera);
  h.Open();
  const uint64_t before = h.world.Now();
  EXPECT_TRUE(h.EraseChip());
  EXPECT_EQ(h.dlg->m_pThread->m_bSuccess, 0);
  EXPECT_EQ(h.world.Now() - before, 2500u + 60 * 500);
}

TEST(DownloadEdgeCases, EraseChipProtectsTheFlashAgain) {
  DialogHarness h;
  const auto cam = h.world.AddCamera();
  h.Open();
  EXPECT_TRUE(h.EraseChip());
  ASSERT_EQ(h.dlg->m_pThread->m_bSuccess, 1);
  EXPECT_EQ(h.world.FlashStatusRegister(cam), 0x8C);
  EXPECT_FALSE(h.world.MemoryWritable(cam));
}

TEST(DownloadEdgeCases, ReopenTriesTheNextPositionWhenTheFirstCameraFaltersAtItsIdentity) {
  DialogHarness h;
  const auto first = h.world.AddCamera();
  const auto second = h.world.AddCamera();
  h.WriteImage("fw.bin", SampleFor(8));
  h.Open();
  // Back from its reset, the first camera answers the identify command of the
  // open but neither of the two asks of the check that follows it.
  h.world.SetPresenceListener([&](const substitute::PresenceEvent& e) {
    if (e.device != first || !e.arrived) return;
    platform::FaultRule rule;
    rule.kind = platform::AccessKind::kControlSet;
    rule.commandClass = 0x00;
    rule.opcode = 0xD0;
    rule.skipMatches = 1;
    rule.maxFires = 2;
    h.world.AddFault(first, rule);
  });
  const size_t secondBlocks = h.world.CommandBlocks(second).size();
  h.ClickStart();
  EXPECT_EQ(h.Text(IDC_RESULT), "Pass");
  // The same attempt goes on to the second camera instead of waiting 500 ms
  // for the next one.
  EXPECT_GT(h.world.CommandBlocks(second).size(), secondBlocks);
  const auto history = h.world.PresenceHistory();
  const auto left = std::find_if(history.begin(), history.end(), [&](const auto& e) { return !e.arrived; });
  ASSERT_NE(left, history.end());
  EXPECT_EQ(h.world.Now() - left->timeMs, 3500u + 500u);
}

// A run cut off mid-transfer (the host lost the camera, or the camera stopped
// answering) leaves the camera waiting for the rest: it refuses the next
// command, and the identity check asks once more after the clear block that
// the refusal's report sends.
TEST(DownloadEdgeCases, ACameraLeftMidTransferIsStillIdentified) {
  DialogHarness h;
  const auto camera = h.world.AddCamera();
  int32_t index = 0;
  const uint32_t key = OpenCamera(&index);
  ASSERT_NE(key, 0u);
  const CommandBlock write = {0x02, 0x82, 0x00, 0x00, 0x10, 0x00, 0x00, 0x00};
  ASSERT_EQ(RunOnCamera(key, [&](CCameraDevice& c) { return SendCommandBlock(c, write); }), 1);
  CloseCamera(key);
  ASSERT_TRUE(h.world.TransferOpen(camera));
  h.Open();
  EXPECT_EQ(h.Text(IDC_STATUS), "Corvex Camera Connected");
}

// Generations 0, 2, 4 and 5 take firmware types 0, 2, 5 and 6; 1 and 3 take 1,
// 3 and 4; later ones every type. A suitable type goes on to read the file.
TEST(DownloadEdgeCases, StartMatchesTheFirmwareTypeToTheGeneration) {
  DialogHarness h;
  h.Open();
  const std::vector<std::pair<int, std::vector<int>>> taken = {{0, {0, 2, 5, 6}},
                                                               {1, {1, 3, 4}},
                                                               {2, {0, 2, 5, 6}},
                                                               {3, {1, 3, 4}},
                                                               {4, {0, 2, 5, 6}},
                                                               {5, {0, 2, 5, 6}},
                                                               {6, {0, 1, 2, 3, 4, 5, 6, 7}}};
  for (const auto& [generation, types] : taken) {
    for (int fwType = 0; fwType <= 7; ++fwType) {
      h.dlg->m_chipGen = static_cast<uint8_t>(generation);
      h.dlg->m_fwType = fwType;
      h.view.ClearRecords();
      h.dlg->OnStart();
      const bool suits = std::find(types.begin(), types.end(), fwType) != types.end();
      EXPECT_EQ(h.view.MessageBoxes(), std::vector<std::string>{suits ? "Please select VD code location"
                                                                      : "Firmware file is not for this Camera Device"})
          << generation << "/" << fwType;
    }
  }
}

}  // namespace
