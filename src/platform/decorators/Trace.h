#pragma once
// A trace of a camera's traffic at the level of its operation channels, as
// JSON Lines written while the run goes: the first line names the program
// and the backend, then one record per event in the order the events ended.
// Every extension-unit access and vendor request is one numbered transfer
// with the bytes that went each way and its outcome; the listings, device
// facts, device-instance answers and channel openings around them tell when
// the camera left and came back. A person reads it in a bug report, and
// replay answers a command from it as the camera did.
//
// The decorator costs nothing where it is not installed; where it is, each
// record is composed in memory and handed to the sink in one piece.

#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/CameraBackend.h"
#include "platform/Clock.h"
#include "platform/DeviceFacts.h"

namespace platform {

// What the first line's "format" holds, and the format's version.
constexpr char kTraceFormatName[] = "zarnet-trace";
constexpr int kTraceFormatVersion = 1;

// Where the records go, each a line without its newline.
class ITraceSink {
 public:
  virtual ~ITraceSink() = default;
  virtual void Write(const std::string& line) = 0;
};

// A file that gets each line as soon as it is written, so that a program
// that ends abruptly leaves every record up to its end.
class FileTraceSink final : public ITraceSink {
 public:
  // Null with `error` set when the file can't be created.
  static std::shared_ptr<FileTraceSink> Create(const std::string& path, std::string* error);
  ~FileTraceSink() override;
  FileTraceSink(const FileTraceSink&) = delete;
  FileTraceSink& operator=(const FileTraceSink&) = delete;
  void Write(const std::string& line) override;

 private:
  explicit FileTraceSink(std::FILE* file) : file_(file) {}
  std::FILE* file_;
};

// Who made the trace, for its first line.
struct TraceOrigin {
  std::string program;  // "zarnet-cli", "zarnet"
  std::string backend;  // "linux", "win32", "substitute"
};

// The records' common part: the sink, the clock, the transfer count, and
// the numbers channels are known by. Shared by the channels handed out, which
// may outlive the backend: once it is gone they pass traffic on unrecorded.
class TraceWriter;

class TracedBackend final : public ICameraBackend, public IDeviceFacts {
 public:
  // `inner`, `facts` (may be null) and `clock` must outlive this object.
  // Writes the first line at once.
  TracedBackend(ICameraBackend& inner, IDeviceFacts* facts, IClock& clock, std::shared_ptr<ITraceSink> sink,
                const TraceOrigin& origin);
  ~TracedBackend() override;
  TracedBackend(const TracedBackend&) = delete;
  TracedBackend& operator=(const TracedBackend&) = delete;

  Status ListVideoInputs(std::vector<std::shared_ptr<IVideoInput>>* out) override;
  Status QueryDeviceInstance(const std::string& devicePath, uint32_t* devInst) override;
  std::shared_ptr<IVendorRequestChannel> OpenVendorRequests(const std::string& devicePath) override;

  // Only meaningful when the inner backend has facts.
  std::string WhereListed() override;
  DeviceFacts Describe(const std::string& devicePath) override;

 private:
  void RecordFacts(const std::string& devicePath, const DeviceFacts& facts);

  ICameraBackend& inner_;
  IDeviceFacts* facts_;
  std::shared_ptr<TraceWriter> writer_;
  std::mutex mutex_;
  std::set<std::string> listedBefore_;                // the paths of the last listing
  std::map<std::string, std::string> factsRecorded_;  // the last facts recorded per path
};

// The facts as a trace record's fields, without braces: what the record of a
// device holds, and what replay reads back.
std::string TraceFactsFields(const DeviceFacts& facts);

}  // namespace platform
