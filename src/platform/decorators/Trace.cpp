#include "platform/decorators/Trace.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <utility>

#include "Version.h"
#include "platform/decorators/TraceLine.h"

namespace platform {

std::shared_ptr<FileTraceSink> FileTraceSink::Create(const std::string& path, std::string* error) {
  std::FILE* file = path.empty() ? nullptr : std::fopen(path.c_str(), "wb");
  if (!file) {
    *error = path.empty() ? std::string("no file named") : std::string(std::strerror(errno));
    return nullptr;
  }
  return std::shared_ptr<FileTraceSink>(new FileTraceSink(file));
}

FileTraceSink::~FileTraceSink() { std::fclose(file_); }

void FileTraceSink::Write(const std::string& line) {
  std::fwrite(line.data(), 1, line.size(), file_);
  std::fputc('\n', file_);
  // Into the system's hands at once: a crash right after keeps the line.
  std::fflush(file_);
}

class TraceWriter {
 public:
  TraceWriter(IClock& clock, std::shared_ptr<ITraceSink> sink)
      : clock_(clock), sink_(std::move(sink)), start_(clock.NowMilliseconds()) {}

  void Header(const std::string& line) { sink_->Write(line); }

  // One record: the time it ended, then `body`'s fields. A transfer is
  // numbered in the order the transfers ended.
  void Event(const std::string& body, bool isTransfer = false) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (closed_) return;
    std::string line = "{\"t\":" + std::to_string(clock_.NowMilliseconds() - start_);
    if (isTransfer) line += ",\"n\":" + std::to_string(++transfers_);
    line.append(",", body.size() > 2 ? 1 : 0).append(body, 1, std::string::npos);
    sink_->Write(line);
  }

  uint32_t NextChannel() {
    std::lock_guard<std::mutex> lock(mutex_);
    return ++channels_;
  }

  void Close() {
    std::lock_guard<std::mutex> lock(mutex_);
    closed_ = true;
  }

 private:
  std::mutex mutex_;
  IClock& clock_;
  std::shared_ptr<ITraceSink> sink_;
  const uint64_t start_;
  uint64_t transfers_ = 0;
  uint32_t channels_ = 0;
  bool closed_ = false;
};

namespace {

TraceLine Record(const char* channel, const char* op, uint32_t chan = 0) {
  TraceLine line;
  line.Text("ch", channel).Text("op", op);
  if (chan != 0) line.Number("chan", chan);
  return line;
}

class TracedExtensionUnit final : public IExtensionUnitChannel {
 public:
  TracedExtensionUnit(std::shared_ptr<IExtensionUnitChannel> inner, std::shared_ptr<TraceWriter> writer, uint32_t chan)
      : inner_(std::move(inner)), writer_(std::move(writer)), chan_(chan) {}

  Status GetLength(uint32_t selector, uint16_t* length) override {
    const Status status = inner_->GetLength(selector, length);
    writer_->Event(Record("xu", "length", chan_)
                       .Number("sel", selector)
                       .Number("status", status)
                       .Number("length", length ? *length : 0)
                       .Done(),
                   true);
    return status;
  }

  Status Get(uint32_t selector, uint8_t* data, uint32_t length, uint32_t* returned) override {
    uint32_t received = 0;
    const Status status = inner_->Get(selector, data, length, &received);
    if (returned) *returned = received;
    const uint32_t kept = data ? std::min(received, length) : 0;
    TraceLine line = Record("xu", "get", chan_);
    line.Number("sel", selector).Number("len", length).Number("status", status).Hex("got", data, kept);
    if (received != kept) line.Number("returned", received);
    writer_->Event(line.Done(), true);
    return status;
  }

  Status Set(uint32_t selector, const uint8_t* data, uint32_t length) override {
    // The bytes as they went out, before the callee could touch them.
    TraceLine line = Record("xu", "set", chan_);
    line.Number("sel", selector).Hex("sent", data, data ? length : 0);
    const Status status = inner_->Set(selector, data, length);
    writer_->Event(line.Number("status", status).Done(), true);
    return status;
  }

  bool FixesSizeAtFirstUse() const override { return inner_->FixesSizeAtFirstUse(); }

 private:
  std::shared_ptr<IExtensionUnitChannel> inner_;
  std::shared_ptr<TraceWriter> writer_;
  const uint32_t chan_;
};

class TracedVendorRequests final : public IVendorRequestChannel {
 public:
  TracedVendorRequests(std::shared_ptr<IVendorRequestChannel> inner, std::shared_ptr<TraceWriter> writer, uint32_t chan)
      : inner_(std::move(inner)), writer_(std::move(writer)), chan_(chan) {}

  uint32_t Send(const VendorRequestSetup& setup, uint8_t* data, uint32_t* transferred) override {
    TraceLine line = Record("vendor", "request", chan_);
    line.Text("dir", setup.toHost ? "in" : "out")
        .Number("bRequest", setup.bRequest)
        .Number("wValue", setup.wValue)
        .Number("wIndex", setup.wIndex)
        .Number("wLength", setup.wLength);
    if (!setup.toHost) line.Hex("sent", data, data ? setup.wLength : 0);
    uint32_t moved = 0;
    const uint32_t result = inner_->Send(setup, data, &moved);
    if (transferred) *transferred = moved;
    line.Number("result", result).Number("transferred", moved);
    if (setup.toHost) line.Hex("got", data, data ? std::min<uint32_t>(moved, setup.wLength) : 0);
    writer_->Event(line.Done(), true);
    return result;
  }

 private:
  std::shared_ptr<IVendorRequestChannel> inner_;
  std::shared_ptr<TraceWriter> writer_;
  const uint32_t chan_;
};

class TracedInput final : public IVideoInput {
 public:
  TracedInput(std::shared_ptr<IVideoInput> inner, std::string path, std::shared_ptr<TraceWriter> writer)
      : inner_(std::move(inner)), path_(std::move(path)), writer_(std::move(writer)) {}

  Status Bind() override { return inner_->Bind(); }
  Status ReadProperty(const std::string& name, std::string* value) override {
    return inner_->ReadProperty(name, value);
  }

  Status OpenExtensionUnit(std::shared_ptr<IExtensionUnitChannel>* out) override {
    const Status status = inner_->OpenExtensionUnit(out);
    const uint32_t chan = writer_->NextChannel();
    const bool unit = *out != nullptr;
    writer_->Event(Record("xu", "open", chan)
                       .Text("path", path_)
                       .Number("status", status)
                       .Bool("unit", unit)
                       .Bool("fixesSize", unit && (*out)->FixesSizeAtFirstUse())
                       .Done());
    if (unit) *out = std::make_shared<TracedExtensionUnit>(std::move(*out), writer_, chan);
    return status;
  }

 private:
  std::shared_ptr<IVideoInput> inner_;
  const std::string path_;
  std::shared_ptr<TraceWriter> writer_;
};

// A property as a listing tells it: its text, or null and why.
void Property(TraceLine& line, const char* key, const char* statusKey, Status status, const std::string& value) {
  if (Failed(status))
    line.Null(key).Number(statusKey, status);
  else
    line.Text(key, value);
}

}  // namespace

std::string TraceFactsFields(const DeviceFacts& facts) {
  TraceLine line;
  if (facts.usbVendorId && facts.usbProductId) {
    char id[10];
    std::snprintf(id, sizeof id, "%04x:%04x", unsigned{*facts.usbVendorId}, unsigned{*facts.usbProductId});
    line.Text("usbId", id);
  }
  if (facts.serialNumber) line.Text("serial", *facts.serialNumber);
  if (facts.port) line.Text("port", *facts.port);
  if (facts.hasExtensionUnit) line.Bool("unit", *facts.hasExtensionUnit);
  if (facts.extensionUnitId) line.Number("unitId", *facts.extensionUnitId);
  if (facts.downloadPathOpens) line.Bool("downloadPath", *facts.downloadPathOpens);
  if (!facts.permissionHint.empty()) line.Text("hint", facts.permissionHint);
  const std::string text = line.Done();
  return text.substr(1, text.size() - 2);
}

TracedBackend::TracedBackend(ICameraBackend& inner, IDeviceFacts* facts, IClock& clock,
                             std::shared_ptr<ITraceSink> sink, const TraceOrigin& origin)
    : inner_(inner), facts_(facts), writer_(std::make_shared<TraceWriter>(clock, std::move(sink))) {
  TraceLine header;
  header.Text("format", kTraceFormatName)
      .Number("formatVersion", kTraceFormatVersion)
      .Text("program", origin.program)
      .Text("version", ZARNET_VERSION)
      .Text("backend", origin.backend);
  if (facts_) header.Text("listedIn", facts_->WhereListed());
  writer_->Header(header.Done());
}

TracedBackend::~TracedBackend() { writer_->Close(); }

Status TracedBackend::ListVideoInputs(std::vector<std::shared_ptr<IVideoInput>>* out) {
  std::vector<std::shared_ptr<IVideoInput>> found;
  const Status status = inner_.ListVideoInputs(&found);
  out->clear();
  std::string inputs = "[";
  std::set<std::string> paths;
  for (const std::shared_ptr<IVideoInput>& input : found) {
    std::string path;
    std::string name;
    const Status pathStatus = input->ReadProperty("DevicePath", &path);
    const Status nameStatus = input->ReadProperty("FriendlyName", &name);
    if (Failed(pathStatus)) path.clear();
    TraceLine entry;
    Property(entry, "path", "pathStatus", pathStatus, path);
    Property(entry, "name", "nameStatus", nameStatus, name);
    inputs += (inputs.size() > 1 ? "," : "") + entry.Done();
    if (!path.empty()) paths.insert(path);
    out->push_back(std::make_shared<TracedInput>(input, path, writer_));
  }
  writer_->Event(Record("bus", "list").Number("status", status).Value("inputs", inputs + "]").Done());
  // A device that has just arrived is described once, so that the trace
  // tells its USB id and port even when the command never asks for them.
  std::vector<std::string> arrived;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    std::set_difference(paths.begin(), paths.end(), listedBefore_.begin(), listedBefore_.end(),
                        std::back_inserter(arrived));
    listedBefore_ = std::move(paths);
  }
  if (facts_)
    for (const std::string& path : arrived) RecordFacts(path, facts_->Describe(path));
  return status;
}

Status TracedBackend::QueryDeviceInstance(const std::string& devicePath, uint32_t* devInst) {
  const Status status = inner_.QueryDeviceInstance(devicePath, devInst);
  writer_->Event(Record("bus", "instance")
                     .Text("path", devicePath)
                     .Number("status", status)
                     .Number("devInst", devInst ? *devInst : 0)
                     .Done());
  return status;
}

std::shared_ptr<IVendorRequestChannel> TracedBackend::OpenVendorRequests(const std::string& devicePath) {
  std::shared_ptr<IVendorRequestChannel> channel = inner_.OpenVendorRequests(devicePath);
  const uint32_t chan = writer_->NextChannel();
  writer_->Event(Record("vendor", "open", chan).Text("path", devicePath).Bool("opened", channel != nullptr).Done());
  if (!channel) return nullptr;
  return std::make_shared<TracedVendorRequests>(std::move(channel), writer_, chan);
}

std::string TracedBackend::WhereListed() { return facts_ ? facts_->WhereListed() : std::string(); }

DeviceFacts TracedBackend::Describe(const std::string& devicePath) {
  if (!facts_) return {};
  DeviceFacts facts = facts_->Describe(devicePath);
  RecordFacts(devicePath, facts);
  return facts;
}

// Only what changed: a command that asks for a device's facts on every
// listing would otherwise repeat them.
void TracedBackend::RecordFacts(const std::string& devicePath, const DeviceFacts& facts) {
  std::string fields = TraceFactsFields(facts);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto [at, added] = factsRecorded_.try_emplace(devicePath, fields);
    if (!added && at->second == fields) return;
    at->second = fields;
  }
  writer_->Event(Record("bus", "device").Text("path", devicePath).Fields(fields).Done());
}

}  // namespace platform
