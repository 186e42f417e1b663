// The terminal report on a view, a virtual clock and a terminal of a chosen
// width: what a person sees of a job.

#include "frontends/cli/TerminalReport.h"

#include <gtest/gtest.h>

#include <sstream>

#include "ui/Resource.h"

namespace {

struct Reported {
  frontends::headless::HeadlessView view;
  std::ostringstream out, err;
  int64_t now = 0;
  int columns = 100;
  TerminalReport report{view, out, err, false, true, {[this] { return now; }, [this] { return columns; }}};
  Reported() { report.Attach(); }
  // What the terminal's line shows now.
  std::string Line() const {
    const std::string e = err.str();
    const size_t at = e.rfind("\r\033[K");
    return at == std::string::npos ? e : e.substr(at + 4);
  }
};

TEST(TerminalReport, TheBarShowsTimesOnItsClockAndFollowsTheWidth) {
  Reported r;
  r.view.SetText(IDC_STATUS, "Corvex Camera Connected");
  EXPECT_EQ(r.Line(), "[..............................]   0%  Corvex Camera Connected");
  r.report.JobStarts();
  r.now = 10000;
  r.view.SetProgressRange(0, 1000);
  r.view.SetText(IDC_STATUS, "Writing firmware ... 0x0");
  r.now = 10500;
  r.view.SetProgressPos(100);
  EXPECT_EQ(r.Line(), "[###...........................]  10%  00:00, --:-- left  Writing firmware ... 0x0");
  r.now = 14000;
  r.view.SetProgressPos(200);
  EXPECT_EQ(r.Line(), "[######........................]  20%  00:04, 00:16 left  Writing firmware ... 0x0");
  r.columns = 40;  // the window was narrowed
  r.now = 16000;
  r.view.SetProgressPos(300);
  EXPECT_EQ(r.Line(), "[###.......]  30%  Writing firmware ...");
}

}  // namespace
