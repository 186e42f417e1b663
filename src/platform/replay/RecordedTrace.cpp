#include "platform/replay/RecordedTrace.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <utility>

#include "platform/decorators/Trace.h"
#include "platform/replay/TraceJson.h"

namespace platform {
namespace {

using Kind = JsonValue::Kind;

// The fields of one record, each read where it is needed; the first that is
// missing or of the wrong kind becomes the record's error, and every read
// after it gives an empty value.
class Fields {
 public:
  Fields(const JsonValue& object, std::string where) : object_(object), where_(std::move(where)) {}

  const std::string& Error() const { return error_; }
  void Fail(const std::string& why) {
    if (error_.empty()) error_ = where_ + ": " + why;
  }

  const JsonValue* Get(const char* key, Kind kind, const char* what, bool optional = false) {
    const JsonValue* value = object_.Find(key);
    if ((!value || value->kind == Kind::kNull) && optional) return nullptr;
    if (value && value->kind == kind) return value;
    Fail(std::string("\"") + key + "\" is " + (value ? "not " : "missing, or not ") + what);
    return nullptr;
  }
  int64_t Number(const char* key, int64_t low, int64_t high) {
    const JsonValue* value = Get(key, Kind::kNumber, "a number");
    if (value && (value->number < low || value->number > high)) Fail(std::string("\"") + key + "\" is out of range");
    return value ? value->number : 0;
  }
  uint32_t Unsigned(const char* key, int64_t high = std::numeric_limits<uint32_t>::max()) {
    return static_cast<uint32_t>(Number(key, 0, high));
  }
  Status StatusOf(const char* key) {
    return static_cast<Status>(Number(key, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
  }
  std::string Text(const char* key) {
    const JsonValue* value = Get(key, Kind::kString, "a string");
    return value ? value->text : std::string();
  }
  std::optional<std::string> OptionalText(const char* key) {
    const JsonValue* value = Get(key, Kind::kString, "a string", true);
    return value ? std::optional<std::string>(value->text) : std::nullopt;
  }
  bool Bool(const char* key) {
    const JsonValue* value = Get(key, Kind::kBool, "true or false");
    return value && value->boolean;
  }
  std::optional<bool> OptionalBool(const char* key) {
    const JsonValue* value = Get(key, Kind::kBool, "true or false", true);
    return value ? std::optional<bool>(value->boolean) : std::nullopt;
  }
  std::vector<uint8_t> Hex(const char* key) {
    std::vector<uint8_t> bytes;
    const std::string text = Text(key);
    if (text.size() % 2 != 0 || text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
      Fail(std::string("\"") + key + "\" is not hex bytes");
      return bytes;
    }
    bytes.reserve(text.size() / 2);
    for (size_t i = 0; i < text.size(); i += 2)
      bytes.push_back(static_cast<uint8_t>(std::strtoul(text.substr(i, 2).c_str(), nullptr, 16)));
    return bytes;
  }

 private:
  const JsonValue& object_;
  const std::string where_;
  std::string error_;
};

std::optional<std::pair<uint16_t, uint16_t>> UsbId(const std::string& text) {
  if (text.size() != 9 || text[4] != ':' || text.find_first_not_of("0123456789abcdefABCDEF:") != std::string::npos)
    return std::nullopt;
  return std::make_pair(static_cast<uint16_t>(std::strtoul(text.substr(0, 4).c_str(), nullptr, 16)),
                        static_cast<uint16_t>(std::strtoul(text.substr(5).c_str(), nullptr, 16)));
}

DeviceFacts FactsFrom(Fields& f) {
  DeviceFacts facts;
  if (const auto id = f.OptionalText("usbId")) {
    const auto parsed = UsbId(*id);
    if (!parsed) f.Fail("\"usbId\" is not vvvv:pppp");
    if (parsed) facts.usbVendorId = parsed->first;
    if (parsed) facts.usbProductId = parsed->second;
  }
  facts.serialNumber = f.OptionalText("serial");
  facts.port = f.OptionalText("port");
  facts.hasExtensionUnit = f.OptionalBool("unit");
  if (f.Get("unitId", Kind::kNumber, "a number", true))
    facts.extensionUnitId = static_cast<uint8_t>(f.Unsigned("unitId", 255));
  facts.downloadPathOpens = f.OptionalBool("downloadPath");
  facts.permissionHint = f.OptionalText("hint").value_or("");
  return facts;
}

// Reads the records in order and ties each answer to its device's appearance.
class Loader {
 public:
  explicit Loader(const std::string& name) { trace_.name = name; }

  bool Header(const std::string& line, std::string* error);
  bool Record(const std::string& line, size_t number, std::string* error);
  RecordedTrace Take() { return std::move(trace_); }

 private:
  void List(Fields& f, RecordedListing listing);
  void Transfer(Fields& f, const std::string& ch, const std::string& op, RecordedTransfer transfer);
  void Open(Fields& f, const std::string& ch, PathAnswer answer, uint32_t chan);
  PathAnswer AnswerFor(Fields& f, size_t line) {
    PathAnswer answer;
    answer.line = line;
    answer.path = f.Text("path");
    const auto present = present_.find(answer.path);
    answer.appearance = present == present_.end() ? 0 : present->second;
    return answer;
  }

  RecordedTrace trace_;
  std::map<std::string, uint32_t> appearances_;  // how often each path has appeared
  std::map<std::string, uint32_t> present_;      // the last listing's paths and their appearances
};

bool Loader::Header(const std::string& line, std::string* error) {
  const std::optional<JsonValue> header = ParseJson(line);
  const JsonValue* format = header ? header->Find("format") : nullptr;
  if (!format || format->kind != Kind::kString || format->text != kTraceFormatName) {
    *error =
        trace_.name + " is not a Zarnet trace: its first line does not say \"format\":\"" + kTraceFormatName + "\"";
    return false;
  }
  Fields f(*header, trace_.name + " line 1");
  const int64_t version = f.Number("formatVersion", 1, std::numeric_limits<int32_t>::max());
  if (f.Error().empty() && version > kTraceFormatVersion) {
    *error = trace_.name + " is a trace of format " + std::to_string(version) + "; this program reads format " +
             std::to_string(kTraceFormatVersion) + " only";
    return false;
  }
  trace_.program = f.Text("program");
  trace_.version = f.Text("version");
  trace_.backend = f.Text("backend");
  trace_.listedIn = f.OptionalText("listedIn").value_or("");
  *error = f.Error();
  return error->empty();
}

bool Loader::Record(const std::string& line, size_t number, std::string* error) {
  const std::string where = trace_.name + " line " + std::to_string(number);
  const std::optional<JsonValue> record = ParseJson(line);
  if (!record || record->kind != Kind::kObject) {
    *error = where + ": not a JSON object";
    return false;
  }
  Fields f(*record, where);
  const uint64_t time = static_cast<uint64_t>(f.Number("t", 0, std::numeric_limits<int64_t>::max()));
  const std::string ch = f.Text("ch");
  const std::string op = f.Text("op");
  if (!f.Error().empty()) {
    *error = f.Error();
    return false;
  }
  if (ch == "bus" && op == "list") {
    RecordedListing listing;
    listing.line = number;
    listing.time = time;
    List(f, std::move(listing));
  } else if (ch == "bus" && op == "device") {
    RecordedFacts facts;
    static_cast<PathAnswer&>(facts) = AnswerFor(f, number);
    facts.facts = FactsFrom(f);
    trace_.facts.push_back(std::move(facts));
  } else if (ch == "bus" && op == "instance") {
    RecordedInstance instance;
    static_cast<PathAnswer&>(instance) = AnswerFor(f, number);
    instance.status = f.StatusOf("status");
    instance.devInst = f.Unsigned("devInst");
    trace_.instances.push_back(std::move(instance));
  } else if ((ch == "xu" || ch == "vendor") && op == "open") {
    const uint32_t chan = f.Unsigned("chan");
    Open(f, ch, AnswerFor(f, number), chan);
  } else if ((ch == "xu" && (op == "length" || op == "get" || op == "set")) || (ch == "vendor" && op == "request")) {
    RecordedTransfer transfer;
    transfer.line = number;
    transfer.time = time;
    Transfer(f, ch, op, std::move(transfer));
  } else {
    f.Fail("no record of channel \"" + ch + "\" has the operation \"" + op + "\"");
  }
  *error = f.Error();
  return error->empty();
}

void Loader::List(Fields& f, RecordedListing listing) {
  listing.status = f.StatusOf("status");
  const JsonValue* inputs = f.Get("inputs", Kind::kArray, "a list");
  std::map<std::string, uint32_t> present;
  for (const JsonValue& item : inputs ? inputs->items : std::vector<JsonValue>()) {
    Fields input(item, "");
    if (item.kind != Kind::kObject) f.Fail("an input of \"inputs\" is not an object");
    RecordedInput entry;
    entry.path = input.OptionalText("path");
    entry.name = input.OptionalText("name");
    if (!entry.path)
      entry.pathStatus = input.Get("pathStatus", Kind::kNumber, "", true) ? input.StatusOf("pathStatus") : kFail;
    if (!entry.name)
      entry.nameStatus = input.Get("nameStatus", Kind::kNumber, "", true) ? input.StatusOf("nameStatus") : kFail;
    if (!input.Error().empty()) f.Fail("an input of \"inputs\"" + input.Error());
    if (entry.path) {
      const auto before = present_.find(*entry.path);
      entry.appearance = before != present_.end() ? before->second : ++appearances_[*entry.path];
      present[*entry.path] = entry.appearance;
    }
    listing.inputs.push_back(std::move(entry));
  }
  present_ = std::move(present);
  trace_.listings.push_back(std::move(listing));
}

void Loader::Open(Fields& f, const std::string& ch, PathAnswer answer, uint32_t chan) {
  if (chan == 0 || trace_.channelPaths.count(chan)) f.Fail("channel " + std::to_string(chan) + " is opened twice");
  trace_.channelPaths[chan] = answer.path;
  if (ch == "xu") {
    RecordedUnitOpen open;
    static_cast<PathAnswer&>(open) = std::move(answer);
    open.status = f.StatusOf("status");
    open.unit = f.Bool("unit");
    open.fixesSize = f.Bool("fixesSize");
    trace_.unitOpens.push_back(std::move(open));
  } else {
    RecordedVendorOpen open;
    static_cast<PathAnswer&>(open) = std::move(answer);
    open.opened = f.Bool("opened");
    trace_.vendorOpens.push_back(std::move(open));
  }
}

void Loader::Transfer(Fields& f, const std::string& ch, const std::string& op, RecordedTransfer t) {
  t.number = static_cast<uint64_t>(f.Number("n", 1, std::numeric_limits<int64_t>::max()));
  if (f.Error().empty() && t.number != trace_.transfers.size() + 1)
    f.Fail("transfer " + std::to_string(t.number) + " where transfer " + std::to_string(trace_.transfers.size() + 1) +
           " was due");
  t.chan = f.Unsigned("chan");
  if (f.Error().empty() && !trace_.channelPaths.count(t.chan))
    f.Fail("transfer on channel " + std::to_string(t.chan) + ", which no record before it opened");
  if (ch == "vendor") {
    t.kind = TransferKind::kRequest;
    const std::string dir = f.Text("dir");
    if (dir != "in" && dir != "out") f.Fail("\"dir\" is neither \"in\" nor \"out\"");
    t.setup.toHost = dir == "in";
    t.setup.bRequest = static_cast<uint8_t>(f.Unsigned("bRequest", 0xFF));
    t.setup.wValue = static_cast<uint16_t>(f.Unsigned("wValue", 0xFFFF));
    t.setup.wIndex = static_cast<uint16_t>(f.Unsigned("wIndex", 0xFFFF));
    t.setup.wLength = static_cast<uint16_t>(f.Unsigned("wLength", 0xFFFF));
    t.result = f.Unsigned("result");
    t.transferred = f.Unsigned("transferred");
    (t.setup.toHost ? t.got : t.sent) = f.Hex(t.setup.toHost ? "got" : "sent");
  } else {
    t.kind = op == "length" ? TransferKind::kLength : op == "get" ? TransferKind::kGet : TransferKind::kSet;
    t.selector = f.Unsigned("sel");
    t.status = f.StatusOf("status");
    if (t.kind == TransferKind::kLength) t.length = f.Unsigned("length", 0xFFFF);
    if (t.kind == TransferKind::kGet) {
      t.length = f.Unsigned("len");
      t.got = f.Hex("got");
      const bool more = f.Get("returned", Kind::kNumber, "a number", true) != nullptr;
      t.returned = more ? f.Unsigned("returned") : static_cast<uint32_t>(t.got.size());
    }
    if (t.kind == TransferKind::kSet) t.sent = f.Hex("sent");
  }
  trace_.transfers.push_back(std::move(t));
}

std::vector<std::string> LinesOf(const std::string& text) {
  std::vector<std::string> lines;
  size_t begin = 0;
  while (begin < text.size()) {
    size_t end = text.find('\n', begin);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(begin, end - begin);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    begin = end + 1;
  }
  return lines;
}

}  // namespace

std::optional<RecordedTrace> ParseTrace(const std::string& text, const std::string& name, std::string* error) {
  const std::vector<std::string> lines = LinesOf(text);
  if (lines.empty()) {
    *error = name + " is empty: not a Zarnet trace";
    return std::nullopt;
  }
  Loader loader(name);
  if (!loader.Header(lines.front(), error)) return std::nullopt;
  for (size_t i = 1; i < lines.size(); ++i)
    if (!lines[i].empty() && !loader.Record(lines[i], i + 1, error)) return std::nullopt;
  return loader.Take();
}

std::optional<RecordedTrace> ReadTrace(const std::string& path, std::string* error) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) {
    *error = "cannot read " + path + ": " + std::strerror(errno);
    return std::nullopt;
  }
  std::string text;
  char buffer[65536];
  size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, n);
  const bool failed = std::ferror(file) != 0;
  const int cause = errno;
  std::fclose(file);
  if (failed) {
    *error = "cannot read " + path + ": " + std::strerror(cause);
    return std::nullopt;
  }
  return ParseTrace(text, path, error);
}

}  // namespace platform
