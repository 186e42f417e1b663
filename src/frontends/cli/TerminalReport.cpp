#include "TerminalReport.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <ostream>

#include "Interrupts.h"
#include "Json.h"
#include "ui/Resource.h"

namespace {

// The dialog's status line also shows the outcome, which the result tells.
bool IsOutcome(const std::string& status) { return status == "PASS" || status == "FAIL"; }

// The memory download's status before its erase, and the chip erase's.
bool IsErase(const std::string& status) { return status.rfind("Erase Chip ...", 0) == 0; }

// A recorded reason or status as one line: without its line breaks, and
// without the separator some reasons end in where a code once followed.
std::string OneLine(const std::string& text) {
  std::string t = text;
  while (!t.empty() && (std::isspace(static_cast<unsigned char>(t.back())) || t.back() == ':')) t.pop_back();
  for (char& c : t)
    if (c == '\r' || c == '\n' || c == '\t') c = ' ';
  return t;
}

int64_t SteadyMilliseconds() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

TerminalReport::TerminalReport(frontends::headless::HeadlessView& view, std::ostream& out, std::ostream& err, bool json,
                               bool bar, BarEnvironment environment)
    : view_(view), out_(out), err_(err), json_(json), bar_(bar && !json), environment_(std::move(environment)) {
  if (!environment_.nowMs) environment_.nowMs = SteadyMilliseconds;
  if (!environment_.columns) environment_.columns = [] { return 0; };
}

void TerminalReport::Attach() {
  view_.OnChange([this](int id) { OnChange(id); });
  // An interrupt that ends the program still gives a script its result.
  if (json_) {
    InterruptGuard::OnEnd(JsonResultLine);
    finalLineRegistered_ = true;
  }
}

void TerminalReport::Detach() {
  view_.OnChange(nullptr);
  if (finalLineRegistered_) InterruptGuard::OnEnd(nullptr);
  finalLineRegistered_ = false;
  EndBarLine();
}

void TerminalReport::JobStarts() {
  jobRunning_ = true;
  jobStatus_.clear();
  writingBegan_ = false;
}

void TerminalReport::OnChange(int controlId) {
  if (controlId == IDC_STATUS) Status(view_.GetText(IDC_STATUS));
  if (controlId == frontends::headless::HeadlessView::kProgressControl) Progress();
  if (controlId == frontends::headless::HeadlessView::kMessageBox) ShowMessageBox(view_.MessageBoxes().back());
  if (controlId == IDC_RESULT && !view_.GetText(IDC_RESULT).empty()) jobRunning_ = false;
}

void TerminalReport::Status(const std::string& text) {
  // The window's placeholder before the first identification is no news.
  if (status_.empty() && text == "N/A") return;
  status_ = text;
  if (jobRunning_ && !IsOutcome(text)) jobStatus_ = text;
  if (jobRunning_ && IsErase(text)) writingBegan_ = true;
  if (json_) {
    JsonWriter json;
    json.BeginObject().Key("event").String("status").Key("text").String(text).EndObject();
    out_ << json.Text() << "\n" << std::flush;
    return;
  }
  // The outcome is told once, by the result.
  if (IsOutcome(text)) return;
  if (bar_) {
    DrawBar();
    return;
  }
  err_ << OneLine(text) << "\n" << std::flush;
}

// Reports whole percents only: the bar moves with every data block.
void TerminalReport::Progress() {
  const int64_t high = view_.ProgressHigh();
  if (jobRunning_ && high > 0) writingBegan_ = true;
  const int64_t position = std::clamp<int64_t>(view_.ProgressPos(), 0, high > 0 ? high : 0);
  const int percent = high > 0 ? static_cast<int>(position * 100 / high) : 0;
  // The run's clock starts when its range is set, before its first block.
  if (bar_) times_ = estimate_.Update(environment_.nowMs(), position, high);
  if (percent == lastPercent_ || position == 0) return;
  lastPercent_ = percent;
  if (json_) {
    JsonWriter json;
    json.BeginObject().Key("event").String("progress").Key("position").Number(position);
    json.Key("range").Number(high).EndObject();
    out_ << json.Text() << "\n" << std::flush;
    return;
  }
  if (bar_) DrawBar();
}

// The width is asked at each draw rather than on SIGWINCH: the question is
// one system call, and a handler would have to reach this thread anyway.
void TerminalReport::DrawBar() {
  const int64_t high = view_.ProgressHigh();
  const int64_t position = std::clamp<int64_t>(view_.ProgressPos(), 0, high > 0 ? high : 0);
  const int percent = high > 0 ? static_cast<int>(position * 100 / high) : 0;
  const bool running = high > 0 && position > 0;
  err_ << "\r\033[K" << ProgressLine(environment_.columns(), percent, running ? times_ : std::nullopt, OneLine(status_))
       << std::flush;
  barShown_ = true;
}

void TerminalReport::ShowMessageBox(const std::string& text) {
  lastMessage_ = text;
  if (json_) {
    JsonWriter json;
    json.BeginObject().Key("event").String("message").Key("text").String(text).EndObject();
    out_ << json.Text() << "\n" << std::flush;
    return;
  }
  EndBarLine();
  err_ << "zarnet-cli: " << OneLine(text) << "\n" << std::flush;
}

// The bar is a live line: it is cleared, not left above what follows.
void TerminalReport::EndBarLine() {
  if (!barShown_) return;
  err_ << "\r\033[K" << std::flush;
  barShown_ = false;
}

std::string TerminalReport::JsonResultLine(const std::optional<std::string>& result, int exitStatus,
                                           const std::string& reason) {
  return ResultEvent(result, exitStatus, reason) + "\n";
}

std::string TerminalReport::ResultLine(const std::optional<std::string>& result, int exitStatus,
                                       const std::string& reason) const {
  if (!versionAfter_) return JsonResultLine(result, exitStatus, reason);
  JsonWriter json;
  json.BeginObject();
  ResultFields(json, result, exitStatus, reason);
  json.Key("version");
  if (*versionAfter_)
    json.String(**versionAfter_);
  else
    json.Null();
  json.EndObject();
  return json.Text() + "\n";
}

void TerminalReport::Result(const std::optional<std::string>& result, int exitStatus, const std::string& reason) {
  std::string why = OneLine(reason);
  if (exitStatus != 0 && why.empty()) why = OneLine(jobStatus_);
  if (exitStatus != 0 && why.empty()) why = result ? "the camera reported a failure" : "refused";
  const bool flashAgain = result && *result == "FAIL" && writingBegan_;
  jobRunning_ = false;
  if (json_) {
    out_ << ResultLine(result, exitStatus, why) << std::flush;
    // The result is given: an interrupt from now on adds no second one.
    if (finalLineRegistered_) InterruptGuard::OnEnd(nullptr);
    finalLineRegistered_ = false;
    if (flashAgain) err_ << "zarnet-cli: " << kFlashAgain << "\n" << std::flush;
    return;
  }
  EndBarLine();
  // A refusal the dialog showed in a message box has been told already.
  if (exitStatus != 0 && why != OneLine(lastMessage_)) err_ << "zarnet-cli: " << why << "\n" << std::flush;
  if (flashAgain) err_ << "zarnet-cli: " << kFlashAgain << "\n" << std::flush;
  if (result) out_ << *result << "\n" << std::flush;
}
