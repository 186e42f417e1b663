#pragma once
// What the dialog shows, told on a terminal: status lines and a progress bar
// for people (on standard error; the bar only on a terminal), or one JSON
// object per line for scripts (on standard output).

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>

#include "ProgressLine.h"
#include "frontends/headless/HeadlessView.h"

class TerminalReport {
 public:
  // What the bar is drawn with: the time in milliseconds (by default the
  // steady clock) and the terminal's width, asked at each draw (0: unknown).
  struct BarEnvironment {
    std::function<int64_t()> nowMs;
    std::function<int()> columns;
  };
  TerminalReport(frontends::headless::HeadlessView& view, std::ostream& out, std::ostream& err, bool json, bool bar,
                 BarEnvironment environment = {});
  // From now on every change of the view is reported.
  void Attach();
  void Detach();
  // Clears the bar's line, so that a question can stand on a line of its own.
  void EndBarLine();
  // A job of the download thread starts: what it shows from now on tells
  // whether it began to write.
  void JobStarts();
  // The outcome: "Pass" or "FAIL", or nothing when the job was refused
  // before it started (the reason then says why). A FAIL without a reason
  // takes the last status the job showed.
  void Result(const std::optional<std::string>& result, int exitStatus, const std::string& reason);

  // The camera's version after the job, told with the result in JSON
  // ("version"; null when no camera is connected).
  void VersionAfter(const std::optional<std::string>& version) { versionAfter_ = version; }

  // The result as one JSON line, "\n" included.
  static std::string JsonResultLine(const std::optional<std::string>& result, int exitStatus,
                                    const std::string& reason);
  // What to do after a FAIL that may have left the memory half written.
  static constexpr char kFlashAgain[] =
      "the camera's memory may be left half written, and the camera may not start: flash it again before "
      "unplugging the camera";

 private:
  void OnChange(int controlId);
  void Status(const std::string& text);
  void Progress();
  void DrawBar();
  void ShowMessageBox(const std::string& text);
  std::string ResultLine(const std::optional<std::string>& result, int exitStatus, const std::string& reason) const;

  frontends::headless::HeadlessView& view_;
  std::ostream& out_;
  std::ostream& err_;
  const bool json_;
  const bool bar_;
  BarEnvironment environment_;
  ProgressEstimate estimate_;
  std::optional<ProgressTimes> times_;
  bool barShown_ = false;
  int lastPercent_ = -1;
  std::string status_;
  std::string lastMessage_;
  // While a job runs: the last status it showed, and whether it got as far
  // as writing (its progress range was set, or it began a chip erase).
  bool jobRunning_ = false;
  std::string jobStatus_;
  bool writingBegan_ = false;
  bool finalLineRegistered_ = false;
  std::optional<std::optional<std::string>> versionAfter_;  // told only when set
};
