// A download as the window shows it, with pictures of the window idle, in
// the middle of the download, passed and failed: the result's colour is
// what the dialog answers WM_CTLCOLORSTATIC with and what is drawn.

#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include "Pictures.h"
#include "Win32DialogHarness.h"

namespace {

constexpr COLORREF kGreen = RGB(0, 255, 0);
constexpr COLORREF kRed = RGB(255, 0, 0);

struct Outcome {
  const char* name;
  bool fails;
  const char* result;
  COLORREF colour, otherColour;
};

void PrintTo(const Outcome& outcome, std::ostream* out) { *out << outcome.name; }

class Win32Download : public testing::TestWithParam<Outcome> {};

TEST_P(Win32Download, EndsWithTheResultInItsColour) {
  const Outcome& run = GetParam();
  Win32DialogHarness h;
  const auto cam = h.world.AddCamera(substitute::CameraOfClass(6));
  h.WriteImage("fw.bin", SampleFor(6));
  h.Open();
  ASSERT_TRUE(h.boxes.empty());
  ASSERT_TRUE(h.Enabled(IDC_BTN_START));
  ASSERT_TRUE(SaveScreenshot(Capture(h.Dialog()), "idle"));
  if (run.fails) {
    substitute::FaultRule write;
    write.kind = substitute::AccessKind::kControlSet;
    write.selector = 10;
    write.commandClass = 0x02;
    write.opcode = 0x91;
    h.world.AddFault(cam, write);
  }

  // Half way through, the window shows the run as it goes.
  bool midway = false;
  h.view.OnChange([&](int id) {
    const auto position = static_cast<int>(::SendMessageW(h.Control(IDC_PROGRESS), PBM_GETPOS, 0, 0));
    const auto high = static_cast<int>(::SendMessageW(h.Control(IDC_PROGRESS), PBM_GETRANGE, FALSE, 0));
    if (midway || !h.dlg->m_bBusy || id != frontends::win32::Win32DialogView::kProgressChange || position < high / 2)
      return;
    midway = true;
    EXPECT_FALSE(h.Enabled(IDC_BTN_START));
    EXPECT_FALSE(h.Enabled(IDC_BTN_GET_VERSION));
    if (!run.fails) {
      EXPECT_TRUE(SaveScreenshot(Capture(h.Dialog()), "running"));
    }
  });
  h.Click(IDC_BTN_START);
  ASSERT_TRUE(h.WaitForWorker());
  h.view.OnChange(nullptr);

  EXPECT_EQ(midway, !run.fails);
  EXPECT_EQ(h.Text(IDC_RESULT), run.result);
  EXPECT_EQ(h.AnsweredTextColour(IDC_RESULT), run.colour);
  EXPECT_EQ(::SendMessageW(h.Control(IDC_PROGRESS), PBM_GETPOS, 0, 0), 0);
  EXPECT_TRUE(h.Enabled(IDC_BTN_START));
  EXPECT_TRUE(h.boxes.empty()) << "a download shows no message box";
  const Picture picture = Capture(h.Dialog());
  EXPECT_TRUE(SaveScreenshot(picture, run.name));
  const RECT result = AreaInPicture(h.Control(IDC_RESULT));
  EXPECT_GT(picture.Count(result, run.colour), 20) << "the drawn result";
  EXPECT_EQ(picture.Count(result, run.otherColour), 0);
}

INSTANTIATE_TEST_SUITE_P(PassAndFail, Win32Download,
                         testing::Values(Outcome{"passed", false, "Pass", kGreen, kRed},
                                         Outcome{"failed", true, "FAIL", kRed, kGreen}),
                         [](const testing::TestParamInfo<Outcome>& each) { return std::string(each.param.name); });

}  // namespace
