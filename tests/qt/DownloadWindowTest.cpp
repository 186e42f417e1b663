// Downloads started with a real click on Start: the download thread reports
// through the Qt window (sends served by the main thread's event loop), the
// status line and the bar move, and the result ends green or red. Closing
// is refused while the download runs, and a window destroyed mid-run never
// deadlocks.

#include <gtest/gtest.h>

#include <QLineEdit>
#include <algorithm>

#include "QtDialogHarness.h"

using substitute::CameraOfClass;

namespace {

const QColor kRed(255, 0, 0);
const QColor kGreen(0, 255, 0);

std::vector<int> WithoutZeros(std::vector<int> values) {
  values.erase(std::remove(values.begin(), values.end(), 0), values.end());
  return values;
}

TEST(DownloadWindow, AClickOnStartRunsTheDownloadToAGreenPass) {
  QtDialogHarness h;
  const auto cam = h.world.AddCamera();
  const auto image = SampleFor(8, 3, 10000);
  h.WriteImage("fw.bin", image);
  h.Open();
  h.statusLines.clear();
  h.progressValues.clear();
  std::vector<bool> startEnabledDuringRun;
  h.onText = [&](int, const std::string&) { startEnabledDuringRun.push_back(h.Enabled(IDC_BTN_START)); };

  h.ClickStartAndWait();

  EXPECT_EQ(h.statusLines,
            (std::vector<std::string>{
                "Writing firmware ... 0x0", "Writing firmware ... 0x1000", "Writing firmware ... 0x2000",
                "Verify firmware ... 0x0", "Verify firmware ... 0x1000", "Verify firmware ... 0x2000",
                "Reset to updated code ...", "Firmware update finished", "PASS", "Corvex Camera Connected"}));
  // Written and read back: twice the image on a bar of that range. The last
  // full bar is the run's final report, after the identification at its
  // end had set the bar back to 0.
  EXPECT_EQ(WithoutZeros(h.progressValues), (std::vector<int>{4096, 8192, 10000, 14096, 18192, 20000, 20000}));
  EXPECT_EQ(h.view.ProgressBar()->maximum(), 20000);
  EXPECT_EQ(h.view.ProgressBar()->value(), 0) << "the bar returns to 0 at the end";
  EXPECT_EQ(h.Text(IDC_RESULT), "Pass");
  EXPECT_EQ(h.TextColour(IDC_RESULT), kGreen);
  ASSERT_FALSE(startEnabledDuringRun.empty());
  EXPECT_FALSE(startEnabledDuringRun.front()) << "Start is disabled while the download runs";
  EXPECT_TRUE(h.Enabled(IDC_BTN_START));
  EXPECT_TRUE(h.Enabled(IDC_BTN_GET_VERSION));
  const auto memory = h.world.Memory(cam);
  EXPECT_EQ(std::vector<uint8_t>(memory.begin(), memory.begin() + 10000), image);
  EXPECT_TRUE(h.boxes.empty());
  auto* path = qobject_cast<QLineEdit*>(h.view.Control(IDC_EDIT_PATH));
  EXPECT_TRUE(path->hasFocus()) << "the disabled Start handed its focus on";
  EXPECT_FALSE(path->hasSelectedText()) << "without selecting the path";
}

TEST(DownloadWindow, AFailedWriteEndsInARedFail) {
  QtDialogHarness h;
  const auto cam = h.world.AddCamera(CameraOfClass(6));
  h.WriteImage("fw.bin", SampleFor(6));
  h.Open();
  substitute::FaultRule write;
  write.kind = substitute::AccessKind::kControlSet;
  write.selector = 10;
  write.commandClass = 0x02;
  write.opcode = 0x91;
  h.world.AddFault(cam, write);
  h.statusLines.clear();

  h.ClickStartAndWait();

  EXPECT_EQ(h.statusLines,
            (std::vector<std::string>{"Erase Chip ...", "Writing ...", "FAIL", "Corvex Camera Connected", "FAIL"}));
  EXPECT_EQ(h.Text(IDC_RESULT), "FAIL");
  EXPECT_EQ(h.TextColour(IDC_RESULT), kRed);
  EXPECT_EQ(h.view.ProgressBar()->value(), 0);
  EXPECT_TRUE(h.boxes.empty()) << "a failed download shows no message box";
}

TEST(DownloadWindow, TheNextStartTurnsTheResultBackToARedNotApplicable) {
  QtDialogHarness h;
  h.world.AddCamera();
  h.WriteImage("fw.bin", SampleFor(8, 3, 4096));
  h.Open();
  h.ClickStartAndWait();
  ASSERT_EQ(h.Text(IDC_RESULT), "Pass");
  std::string resultWhileRunning;
  QColor colourWhileRunning;
  h.onText = [&](int id, const std::string& text) {
    if (id != IDC_STATUS || text != "Writing firmware ... 0x0") return;
    resultWhileRunning = h.Text(IDC_RESULT);
    colourWhileRunning = h.TextColour(IDC_RESULT);
  };
  h.ClickStartAndWait();
  EXPECT_EQ(resultWhileRunning, "N/A");
  EXPECT_EQ(colourWhileRunning, kRed);
  EXPECT_EQ(h.Text(IDC_RESULT), "Pass");
  EXPECT_EQ(h.TextColour(IDC_RESULT), kGreen);
}

TEST(DownloadWindow, EscapeAndTheCloseBoxAreRefusedWhileTheDownloadRuns) {
  QtDialogHarness h;
  h.world.AddCamera();
  h.WriteImage("fw.bin", SampleFor(8, 3, 10000));
  h.Open();
  bool tried = false;
  h.onText = [&](int id, const std::string& text) {
    if (tried || id != IDC_STATUS || text != "Writing firmware ... 0x1000") return;
    tried = true;
    QTest::keyClick(h.view.Window(), Qt::Key_Escape);
    h.view.Window()->close();
    h.Click(IDC_BTN_START);
  };

  h.ClickStartAndWait();

  ASSERT_TRUE(tried);
  EXPECT_EQ(h.MessageTexts(), (std::vector<std::string>{kCloseWhileBusyText, kCloseWhileBusyText}));
  EXPECT_EQ(h.boxes[0].caption, "Zarnet");
  EXPECT_FALSE(h.dlg->Ended());
  EXPECT_TRUE(h.view.Window()->isVisible());
  EXPECT_EQ(h.Text(IDC_RESULT), "Pass") << "the download ran to its end";

  QTest::keyClick(h.view.Window(), Qt::Key_Escape);
  EXPECT_TRUE(h.dlg->Ended());
}

TEST(DownloadWindow, AWindowDestroyedWhileTheWorkerWaitsInASendReleasesIt) {
  QtDialogHarness h;
  const auto cam = h.world.AddCamera();
  const auto image = SampleFor(8, 3, 20000);
  h.WriteImage("fw.bin", image);
  h.Open();
  bool destroyed = false;
  // The status change is being handled for the worker, which waits in its
  // send: the window goes now, from inside that handling.
  h.onText = [&](int id, const std::string& text) {
    if (destroyed || id != IDC_STATUS || text != "Writing firmware ... 0x1000") return;
    destroyed = true;
    h.dlg->OnDestroy();
  };
  h.Click(IDC_BTN_START);
  while (!destroyed) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);

  EXPECT_EQ(h.dlg->m_pThread, nullptr) << "the worker was joined";
  EXPECT_EQ(h.dlg->m_bBusy, 0) << "the job ran to its end";
  const auto memory = h.world.Memory(cam);
  EXPECT_EQ(std::vector<uint8_t>(memory.begin(), memory.begin() + 20000), image);
  EXPECT_EQ(h.world.OpenHandleCount(), 0u);
  EXPECT_EQ(h.window.Send(WM_DL_STATUS, 0, 0), 0) << "a closed window handles nothing";
  h.Close();
}

}  // namespace
