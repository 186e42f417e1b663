// Closing the window while a download runs: refused with a message; and a
// window that goes anyway neither deadlocks nor leaves the camera half written.

#include <gtest/gtest.h>

#include <atomic>
#include <future>

#include "support/DialogHarness.h"

namespace {

TEST(CloseWhileBusy, EscapeAndTheCloseBoxAreRefusedWithAMessage) {
  DialogHarness h;
  h.world.AddCamera();
  h.WriteImage("fw.bin", SampleFor(8));
  h.Open();
  h.dlg->OnStart();
  ASSERT_EQ(h.dlg->m_bBusy, 1);
  h.dlg->HandleMessage(platform::msg::kCommand, platform::msg::kIdCancel, 0);
  h.dlg->HandleMessage(platform::msg::kClose, 0, 0);
  EXPECT_FALSE(h.dlg->Ended());
  EXPECT_FALSE(h.view.Closed());
  EXPECT_EQ(h.view.MessageBoxes(), (std::vector<std::string>{kCloseWhileBusyText, kCloseWhileBusyText}));
  h.WaitForWorker();
  EXPECT_EQ(h.Text(IDC_RESULT), "Pass");
  h.dlg->OnCancel();
  EXPECT_TRUE(h.dlg->Ended());
}

// A driver that never answers holds the worker inside one request; after two
// minutes without a report the window may close, on a warning, and tells
// the front end that the worker was abandoned.
TEST(CloseWhileBusy, AfterTwoMinutesOfSilenceTheWindowClosesOnAWarning) {
  DialogHarness h;
  const auto cam = h.world.AddCamera();
  h.WriteImage("fw.bin", SampleFor(8));
  h.Open();
  std::promise<void> answer;
  std::shared_future<void> answered = answer.get_future().share();
  std::atomic<bool> stuck{false};
  substitute::FaultRule hang;  // the run's first access
  hang.action = substitute::FaultAction::kNotify;
  hang.maxFires = 1;
  hang.notify = [&] {
    stuck = true;
    h.window.PostTask([] {});  // wakes the pump
    answered.wait();
  };
  h.world.AddFault(cam, hang);
  h.dlg->OnStart();
  h.window.PumpUntil([&] { return stuck.load(); });
  h.world.Advance(CZarnetDlg::kStuckAfterMs - 1);
  h.dlg->OnCancel();
  EXPECT_EQ(h.view.MessageBoxes(), std::vector<std::string>{kCloseWhileBusyText});
  h.world.Advance(1);
  h.dlg->OnCancel();  // answered No
  EXPECT_EQ(h.view.Questions(), std::vector<std::string>{kCloseStuckText});
  EXPECT_FALSE(h.dlg->Ended());
  h.view.AnswerQuestions(true);
  h.dlg->OnCancel();
  EXPECT_TRUE(h.dlg->Ended());
  EXPECT_TRUE(h.dlg->Abandoned());

  answer.set_value();
  h.WaitForWorker();
}

TEST(CloseWhileBusy, AWindowDestroyedMidDownloadReleasesTheWorkerWhichFinishesTheJob) {
  DialogHarness h;
  const auto cam = h.world.AddCamera();
  const auto image = SampleFor(8, 3, 20000);
  h.WriteImage("fw.bin", image);
  h.Open();
  h.dlg->OnStart();
  // Serve a few of the worker's sends, then destroy the window while the
  // worker waits in the next one.
  for (int i = 0; i < 4; ++i) h.window.PumpOne(true);
  h.dlg->OnDestroy();
  EXPECT_EQ(h.dlg->m_pThread, nullptr);
  EXPECT_EQ(h.dlg->m_bBusy, 0) << "the job ran to its end";
  const auto memory = h.world.Memory(cam);
  EXPECT_EQ(std::vector<uint8_t>(memory.begin(), memory.begin() + 20000), image);
  EXPECT_EQ(h.world.OpenHandleCount(), 0u);
}

}  // namespace
