#pragma once
// What the dialog shows, told on a terminal: status lines and a progress bar
// for people (on standard error; the bar only on a terminal), or one JSON
// object per line for scripts (on standard output).

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>

#include "frontends/headless/HeadlessView.h"

class TerminalReport {
 public:
  TerminalReport(platform::HeadlessView& view, std::ostream& out, std::ostream& err, bool json, bool bar);
  // From now on every change of the view is reported.
  void Attach();
  void Detach();
  // Ends the bar's line, so that a question can stand on a line of its own.
  void EndBarLine();
  // The outcome: "Pass" or "FAIL", or nothing when the job was refused
  // before it started (the reason then says why).
  void Result(const std::optional<std::string>& result, int exitStatus, const std::string& reason);

 private:
  void OnChange(int controlId);
  void Status(const std::string& text);
  void Progress();
  void DrawBar();
  void ShowMessageBox(const std::string& text);

  platform::HeadlessView& view_;
  std::ostream& out_;
  std::ostream& err_;
  const bool json_;
  const bool bar_;
  bool barShown_ = false;
  int lastPercent_ = -1;
  std::string status_;
  std::string lastMessage_;
};
