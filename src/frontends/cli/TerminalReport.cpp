#include "TerminalReport.h"

#include <algorithm>
#include <cctype>
#include <ostream>

#include "Json.h"
#include "ui/Resource.h"

namespace {

constexpr int kBarWidth = 30;

// Status texts may end with a line break of their own.
std::string Trimmed(const std::string& text) {
  std::string t = text;
  while (!t.empty() && (t.back() == '\n' || t.back() == '\r')) t.pop_back();
  return t;
}

// A recorded reason as one line: without its line break, and without the
// separator some reasons end in where a code once followed.
std::string ReasonLine(const std::string& reason) {
  std::string t = reason;
  while (!t.empty() && (std::isspace(static_cast<unsigned char>(t.back())) || t.back() == ':')) t.pop_back();
  for (char& c : t)
    if (c == '\r' || c == '\n') c = ' ';
  return t;
}

}  // namespace

TerminalReport::TerminalReport(platform::HeadlessView& view, std::ostream& out, std::ostream& err, bool json, bool bar)
    : view_(view), out_(out), err_(err), json_(json), bar_(bar && !json) {}

void TerminalReport::Attach() {
  view_.OnChange([this](int id) { OnChange(id); });
}

void TerminalReport::Detach() {
  view_.OnChange(nullptr);
  EndBarLine();
}

void TerminalReport::OnChange(int controlId) {
  if (controlId == IDC_STATUS) Status(view_.GetText(IDC_STATUS));
  if (controlId == platform::HeadlessView::kProgressControl) Progress();
  if (controlId == platform::HeadlessView::kMessageBox) ShowMessageBox(view_.MessageBoxes().back());
}

void TerminalReport::Status(const std::string& text) {
  // The window's placeholder before the first identification is no news.
  if (status_.empty() && text == "N/A") return;
  status_ = text;
  if (json_) {
    JsonWriter json;
    json.BeginObject().Key("event").String("status").Key("text").String(text).EndObject();
    out_ << json.Text() << "\n" << std::flush;
    return;
  }
  if (bar_) {
    DrawBar();
    return;
  }
  err_ << Trimmed(text) << "\n" << std::flush;
}

// Reports whole percents only: the bar moves with every data block.
void TerminalReport::Progress() {
  const int64_t high = view_.ProgressHigh();
  const int64_t position = std::clamp<int64_t>(view_.ProgressPos(), 0, high > 0 ? high : 0);
  const int percent = high > 0 ? static_cast<int>(position * 100 / high) : 0;
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

void TerminalReport::DrawBar() {
  const int64_t high = view_.ProgressHigh();
  const int64_t position = std::clamp<int64_t>(view_.ProgressPos(), 0, high > 0 ? high : 0);
  const int percent = high > 0 ? static_cast<int>(position * 100 / high) : 0;
  const int filled = percent * kBarWidth / 100;
  err_ << "\r\033[K[" << std::string(static_cast<size_t>(filled), '#')
       << std::string(static_cast<size_t>(kBarWidth - filled), '.') << "] " << percent << "%  " << Trimmed(status_)
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
  err_ << "zarnet-cli: " << Trimmed(text) << "\n" << std::flush;
}

void TerminalReport::EndBarLine() {
  if (!barShown_) return;
  err_ << "\n" << std::flush;
  barShown_ = false;
}

void TerminalReport::Result(const std::optional<std::string>& result, int exitStatus, const std::string& reason) {
  std::string why = ReasonLine(reason);
  if (exitStatus != 0 && why.empty()) why = result.value_or("refused");
  if (json_) {
    JsonWriter json;
    json.BeginObject().Key("event").String("result").Key("result");
    if (result)
      json.String(*result);
    else
      json.Null();
    json.Key("exitStatus").Number(exitStatus).Key("reason");
    if (why.empty())
      json.Null();
    else
      json.String(why);
    json.EndObject();
    out_ << json.Text() << "\n" << std::flush;
    return;
  }
  EndBarLine();
  // A refusal the dialog showed in a message box has been told already.
  if (exitStatus != 0 && why != ReasonLine(lastMessage_)) err_ << "zarnet-cli: " << why << "\n" << std::flush;
  if (result) out_ << *result << "\n" << std::flush;
}
