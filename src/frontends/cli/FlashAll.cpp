#include "FlashAll.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <ostream>
#include <random>
#include <system_error>
#include <thread>
#include <vector>

#include "ChildProcess.h"
#include "Commands.h"
#include "Confirmation.h"
#include "DeviceList.h"
#include "Interrupts.h"
#include "Json.h"
#include "OutputFiles.h"
#include "ProgressLine.h"
#include "Terminal.h"
#include "TerminalReport.h"
#include "download/ImageAcceptance.h"

namespace {

using SteadyClock = std::chrono::steady_clock;

// One camera of the line and what its copy of the program told.
struct Camera {
  std::string port;
  std::optional<std::string> serialNumber;
  std::string versionBefore;
  std::string status;
  int percent = 0;
  std::optional<std::string> result;
  std::string reason;
  std::optional<std::string> versionAfter;
  bool toldResult = false;
  int exitStatus = -1;
  double seconds = 0;
  int openStreams = 2;
  SteadyClock::time_point started;
  ChildProcess child;
  std::thread readers[2];

  bool Passed() const { return exitStatus == kExitOk && result == std::optional<std::string>("Pass"); }
};
using Cameras = std::vector<std::unique_ptr<Camera>>;

// A line a copy wrote, or the end of one of its streams.
struct Event {
  size_t camera = 0;
  bool fromErr = false;
  bool ended = false;
  std::string line;
};

class EventQueue {
 public:
  void Push(Event event) {
    std::lock_guard<std::mutex> lock(mutex_);
    events_.push_back(std::move(event));
    ready_.notify_one();
  }
  Event Pop() {
    std::unique_lock<std::mutex> lock(mutex_);
    ready_.wait(lock, [this] { return !events_.empty(); });
    Event event = std::move(events_.front());
    events_.pop_front();
    return event;
  }

 private:
  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<Event> events_;
};

void ReadLines(ChildProcess& child, ChildProcess::Stream stream, size_t camera, EventQueue& queue) {
  const bool fromErr = stream == ChildProcess::Stream::kErr;
  std::string pending;
  for (std::string chunk = child.Read(stream); !chunk.empty(); chunk = child.Read(stream)) {
    pending += chunk;
    for (size_t end = pending.find('\n'); end != std::string::npos; end = pending.find('\n')) {
      queue.Push({camera, fromErr, false, pending.substr(0, end)});
      pending.erase(0, end + 1);
    }
  }
  if (!pending.empty()) queue.Push({camera, fromErr, false, pending});
  queue.Push({camera, fromErr, true, {}});
}

std::string OneLine(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
  for (char& c : text)
    if (c == '\r' || c == '\n' || c == '\t') c = ' ';
  return text;
}

std::string Joined(const std::vector<std::string>& parts) {
  std::string text;
  for (const std::string& part : parts) text += (text.empty() ? "" : ", ") + part;
  return text;
}

// One line per camera. On a terminal the lines are drawn in place, each a
// progress bar until its result; elsewhere each status change is a line of
// its own, headed by the camera's port. Lines of the copies' own (warnings,
// what an interrupt does) are told above the bars.
class Board {
 public:
  Board(const Cameras& cameras, std::ostream& err, bool live, bool statuses)
      : cameras_(cameras), err_(err), live_(live), statuses_(statuses) {
    for (const auto& camera : cameras) portWidth_ = std::max(portWidth_, camera->port.size());
    if (live_) AllowTerminalSequences(2);
  }

  void StatusChanged(size_t camera) {
    if (live_) return Draw();
    if (statuses_) err_ << cameras_[camera]->port << ": " << OneLine(cameras_[camera]->status) << "\n" << std::flush;
  }
  // Progress and results show on the bars only; the statuses tell them too.
  void ProgressChanged() {
    if (live_) Draw();
  }
  void Say(size_t camera, const std::string& line) {
    if (live_ && drawn_) err_ << "\033[" << cameras_.size() << "A\r\033[K";
    err_ << cameras_[camera]->port << ": " << OneLine(line) << "\n";
    if (live_ && drawn_) {
      drawn_ = false;
      Draw();
    }
    err_ << std::flush;
  }

 private:
  void Draw() {
    const int columns = TerminalColumns(2);
    if (drawn_) err_ << "\033[" << cameras_.size() << "A";
    for (const auto& camera : cameras_) err_ << "\r\033[K" << LineOf(*camera, columns) << "\n";
    err_ << std::flush;
    drawn_ = true;
  }

  std::string LineOf(const Camera& camera, int columns) const {
    const std::string head = camera.port + std::string(portWidth_ - camera.port.size() + 2, ' ');
    const int room = std::max((columns > 0 ? columns : 80) - static_cast<int>(head.size()), 12);
    if (!camera.toldResult) return head + ProgressLine(room, camera.percent, std::nullopt, OneLine(camera.status));
    const std::string told = camera.result.value_or("refused") + (camera.reason.empty() ? "" : "  " + camera.reason);
    return head + told.substr(0, static_cast<size_t>(room - 1));
  }

  const Cameras& cameras_;
  std::ostream& err_;
  const bool live_;
  const bool statuses_;
  size_t portWidth_ = 0;
  bool drawn_ = false;
};

std::optional<std::string> TextOf(const std::map<std::string, JsonScalar>& event, const char* key) {
  const auto found = event.find(key);
  if (found == event.end() || found->second.kind != JsonScalar::Kind::kString) return std::nullopt;
  return found->second.text;
}

long long NumberOf(const std::map<std::string, JsonScalar>& event, const char* key) {
  const auto found = event.find(key);
  if (found == event.end() || found->second.kind != JsonScalar::Kind::kNumber) return 0;
  return std::atoll(found->second.text.c_str());
}

// What one line of a copy's JSON stream changes on its camera.
void Take(Camera& camera, size_t index, const std::string& line, Board& board) {
  const auto event = ParseFlatObject(line);
  const std::optional<std::string> kind = event ? TextOf(*event, "event") : std::nullopt;
  if (!kind) return board.Say(index, line);
  if (*kind == "status") {
    camera.status = TextOf(*event, "text").value_or("");
    board.StatusChanged(index);
  } else if (*kind == "progress") {
    const long long position = NumberOf(*event, "position");
    const long long range = NumberOf(*event, "range");
    camera.percent = range > 0 ? static_cast<int>(std::clamp(position * 100 / range, 0LL, 100LL)) : 0;
    board.ProgressChanged();
  } else if (*kind == "message") {
    board.Say(index, TextOf(*event, "text").value_or(""));
  } else if (*kind == "result") {
    camera.toldResult = true;
    camera.result = TextOf(*event, "result");
    camera.reason = TextOf(*event, "reason").value_or("");
    camera.versionAfter = TextOf(*event, "version");
    board.ProgressChanged();
  }
}

// The copy that flashes one camera: the same simulated world, if any, and
// the camera pinned by its port, so that after its reset no other camera
// that comes back first is taken for it.
std::vector<std::string> ChildArguments(const LineFlash& request, const std::string& port, const std::string& image) {
  std::vector<std::string> args{"flash", "--json", "-y", "--device", port};
  for (std::string& arg : SimulationArguments(request.simulation)) args.push_back(std::move(arg));
  if (request.eightByteTransfers) args.emplace_back("--8-byte-transfers");
  args.emplace_back("--");
  args.push_back(image);
  return args;
}

// Each copy of the program reads the image from a file of its own: a
// download opens its image exclusively, so copies that read one file at the
// same moment would refuse each other. Every camera also gets the very bytes
// judged here, should the file change meanwhile. The files go with the
// object.
class ImageCopies {
 public:
  ImageCopies() = default;
  ImageCopies(const ImageCopies&) = delete;
  ImageCopies& operator=(const ImageCopies&) = delete;
  ~ImageCopies() {
    std::error_code ignored;
    if (!folder_.empty()) std::filesystem::remove_all(folder_, ignored);
  }

  // Empty, or why the copies could not be made.
  std::string Make(const std::string& image, size_t count) {
    std::ifstream file(image, std::ios::binary);
    const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    if (!file.good() && !file.eof()) return "cannot read " + image;
    std::error_code error;
    const std::filesystem::path temporary = std::filesystem::temp_directory_path(error);
    if (error) return "no folder for temporary files: " + error.message();
    std::random_device random;
    for (int attempt = 0; attempt < 100 && folder_.empty(); ++attempt) {
      const auto folder = temporary / ("zarnet-cli-all-" + std::to_string(random()));
      if (std::filesystem::create_directory(folder, error)) folder_ = folder;
    }
    if (folder_.empty()) return "cannot make a folder in " + temporary.string() + ": " + error.message();
    const std::filesystem::path name = std::filesystem::path(image).filename();
    for (size_t i = 1; i <= count; ++i) {
      const std::filesystem::path copy = folder_ / std::to_string(i) / name;
      std::filesystem::create_directory(copy.parent_path(), error);
      if (const std::string cause = WriteFileAtomically(copy.string(), bytes); !cause.empty())
        return "cannot copy the image into " + copy.string() + ": " + cause;
      paths_.push_back(copy.string());
    }
    return {};
  }
  const std::string& Path(size_t index) const { return paths_[index]; }

 private:
  std::filesystem::path folder_;
  std::vector<std::string> paths_;
};

// The cameras present that answer identify, as list finds them.
std::vector<Listed> CamerasPresent(const LineFlash& request, const ImageVerdict& verdict) {
  std::unique_ptr<Simulation> world;
  if (request.simulation.simulate)
    world = std::make_unique<Simulation>(request.simulation,
                                         request.simulation.memoryClass.value_or(verdict.memoryClass.value_or(8)));
  std::vector<Listed> cameras;
  for (Listed& device : ListDevices())
    if (device.identified) cameras.push_back(std::move(device));
  return cameras;
}

std::optional<std::string> WithoutPort(const std::vector<Listed>& cameras) {
  for (const Listed& camera : cameras) {
    if (camera.facts.port && !camera.facts.port->empty()) continue;
    return "the camera at position " + std::to_string(camera.position) + " (" +
           camera.devicePath.value_or("no device path") +
           ") tells no port, so it could not be told from the others after its reset; flash it alone with --device";
  }
  return std::nullopt;
}

void ShowCameras(const std::vector<Listed>& cameras, std::ostream& err) {
  std::vector<std::vector<std::string>> rows{{"POS", "PORT", "SERIAL", "VERSION"}};
  for (const Listed& camera : cameras)
    rows.push_back({std::to_string(camera.position), *camera.facts.port, camera.facts.serialNumber.value_or("-"),
                    ShortVersion(camera.version)});
  WriteTable(rows, err);
}

// A refusal before any copy started: one line, and with --json the result.
int Refuse(const LineFlash& request, int status, const std::string& why, std::ostream& out, std::ostream& err) {
  if (request.json) out << ResultEvent(std::nullopt, status, why) << "\n" << std::flush;
  err << "zarnet-cli flash: " << why << "\n" << std::flush;
  return status;
}

class Line {
 public:
  Line(const LineFlash& request, const std::vector<Listed>& found, const ImageCopies& images, std::ostream& err)
      : request_(request), images_(images) {
    for (const Listed& listed : found) {
      auto camera = std::make_unique<Camera>();
      camera->port = *listed.facts.port;
      camera->serialNumber = listed.facts.serialNumber;
      camera->versionBefore = listed.version;
      cameras_.push_back(std::move(camera));
    }
    const bool live = !request.json && IsTerminal(2);
    board_ = std::make_unique<Board>(cameras_, err, live, !request.json);
  }

  // Starts a copy per camera and follows them all to their end. Returns the
  // exit status an interrupt stands for, or 0.
  int Run(const std::string& program) {
    // Each interrupt is passed on to every copy, which takes it as it would
    // alone: the first lets its download finish, a second abandons it.
    InterruptGuard::RelayTo([this](int status) {
      std::lock_guard<std::mutex> lock(starting_);
      int none = 0;
      interrupted_.compare_exchange_strong(none, status);
      for (const auto& camera : cameras_) camera->child.Interrupt(status == kExitTerminated);
    });
    size_t running = 0;
    for (size_t i = 0; i < cameras_.size() && !interrupted_; ++i) running += Start(i, program);
    for (size_t streams = 2 * running; streams > 0;) {
      const Event event = queue_.Pop();
      Camera& camera = *cameras_[event.camera];
      if (event.ended) {
        --streams;
        if (--camera.openStreams == 0)
          camera.seconds = std::chrono::duration<double>(SteadyClock::now() - camera.started).count();
      } else if (event.fromErr) {
        board_->Say(event.camera, event.line);
      } else {
        Take(camera, event.camera, event.line, *board_);
      }
    }
    for (const auto& camera : cameras_) Finish(*camera);
    InterruptGuard::RelayTo(nullptr);
    return interrupted_;
  }

  const Cameras& Result() const { return cameras_; }

 private:
  bool Start(size_t index, const std::string& program) {
    Camera& camera = *cameras_[index];
    camera.started = SteadyClock::now();
    {
      // A copy started as an interrupt arrives hears of it once: here, or from
      // the relay, never from both.
      std::lock_guard<std::mutex> lock(starting_);
      const std::string failure =
          camera.child.Start(program, ChildArguments(request_, camera.port, images_.Path(index)));
      if (!failure.empty()) {
        camera.reason = "not started: " + failure;
        return false;
      }
      if (interrupted_) camera.child.Interrupt(interrupted_ == kExitTerminated);
    }
    camera.readers[0] =
        std::thread(ReadLines, std::ref(camera.child), ChildProcess::Stream::kOut, index, std::ref(queue_));
    camera.readers[1] =
        std::thread(ReadLines, std::ref(camera.child), ChildProcess::Stream::kErr, index, std::ref(queue_));
    return true;
  }

  void Finish(Camera& camera) {
    for (std::thread& reader : camera.readers)
      if (reader.joinable()) reader.join();
    camera.exitStatus = camera.child.Wait();  // -1: never started
    if (camera.toldResult || !camera.reason.empty()) return;
    camera.reason = camera.exitStatus < 0
                        ? "not started: interrupted"
                        : "ended without a result (exit status " + std::to_string(camera.exitStatus) + ")";
  }

  const LineFlash& request_;
  const ImageCopies& images_;
  Cameras cameras_;
  std::unique_ptr<Board> board_;
  EventQueue queue_;
  std::atomic<int> interrupted_{0};
  std::mutex starting_;
};

std::string CameraObject(const Camera& camera) {
  JsonWriter json;
  json.BeginObject().Key("event").String("camera").Key("port").String(camera.port);
  json.Key("serialNumber").StringOrNull(camera.serialNumber);
  json.Key("versionBefore").String(camera.versionBefore);
  json.Key("versionAfter").StringOrNull(camera.versionAfter);
  json.Key("result").StringOrNull(camera.result);
  json.Key("reason").StringOrNull(camera.reason.empty() ? std::nullopt : std::optional<std::string>(camera.reason));
  json.Key("exitStatus");
  if (camera.exitStatus >= 0)
    json.Number(camera.exitStatus);
  else
    json.Null();  // never started
  json.Key("seconds").Decimal(camera.seconds, 1).EndObject();
  return json.Text();
}

std::string Seconds(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", seconds);
  return text;
}

void SummaryTable(const Cameras& cameras, std::ostream& out) {
  std::vector<std::vector<std::string>> rows{{"PORT", "SERIAL", "BEFORE", "AFTER", "RESULT", "REASON", "SECONDS"}};
  for (const auto& c : cameras)
    rows.push_back({c->port, c->serialNumber.value_or("-"), ShortVersion(c->versionBefore),
                    c->versionAfter ? ShortVersion(*c->versionAfter) : "-", c->result.value_or("-"),
                    c->reason.empty() ? "-" : OneLine(c->reason), Seconds(c->seconds)});
  WriteTable(rows, out);
  out << std::flush;
}

int Summary(const Cameras& cameras, int interrupted, bool json, std::ostream& out, std::ostream& err) {
  std::vector<std::string> failedPorts;
  for (const auto& camera : cameras)
    if (!camera->Passed()) failedPorts.push_back(camera->port);
  const int status = interrupted ? interrupted : failedPorts.empty() ? kExitOk : kExitRefused;
  std::string reason = failedPorts.empty()
                           ? std::string()
                           : std::to_string(failedPorts.size()) + " of " + std::to_string(cameras.size()) +
                                 " cameras failed: " + Joined(failedPorts);
  if (interrupted) reason = "interrupted" + (reason.empty() ? std::string() : "; " + reason);
  if (json) {
    for (const auto& camera : cameras) out << CameraObject(*camera) << "\n";
    JsonWriter result;
    result.BeginObject();
    ResultFields(result, std::string(failedPorts.empty() ? "Pass" : "FAIL"), status, reason);
    result.Key("cameras").Number(static_cast<int64_t>(cameras.size()));
    result.Key("passed").Number(static_cast<int64_t>(cameras.size() - failedPorts.size()));
    result.Key("failed").Number(static_cast<int64_t>(failedPorts.size())).EndObject();
    out << result.Text() << "\n" << std::flush;
  } else {
    SummaryTable(cameras, out);
  }
  if (!reason.empty()) err << "zarnet-cli: " << reason << "\n" << std::flush;
  return status;
}

}  // namespace

int RunFlashAll(const LineFlash& request, InterruptGuard&, const std::function<int()>& withoutCamera, std::ostream& out,
                std::ostream& err) {
  const ImageVerdict verdict = JudgeFirmwareImage(request.image);
  if (!verdict.accepted) return Refuse(request, kExitRefused, verdict.error, out, err);
  // A script still gets its result when an interrupt ends the program
  // before any copy runs.
  if (request.json) InterruptGuard::OnEnd(TerminalReport::JsonResultLine);
  const std::vector<Listed> found = CamerasPresent(request, verdict);
  if (found.empty()) {
    InterruptGuard::OnEnd(nullptr);
    return withoutCamera();
  }
  if (const auto why = WithoutPort(found)) return Refuse(request, kExitUsage, *why, out, err);
  const std::string program = ChildProcess::ThisProgram();
  if (program.empty())
    return Refuse(request, kExitRefused, "cannot tell where this program is, to run it per camera", out, err);
  if (!request.json) ShowCameras(found, err);
  std::vector<std::string> ports;
  ports.reserve(found.size());
  for (const Listed& camera : found) ports.push_back(*camera.facts.port);
  const std::string question = "Write " + request.image + " into " + std::to_string(found.size()) +
                               (found.size() == 1 ? " camera" : " cameras") + " (at " + Joined(ports) +
                               ")? What their memories hold now is erased.";
  if (!Confirmed(question, request.yes, std::cin, err))
    return Refuse(request, kExitRefused, "not confirmed; nothing was written", out, err);
  ImageCopies images;
  if (const std::string failure = images.Make(request.image, found.size()); !failure.empty())
    return Refuse(request, kExitRefused, failure + "; nothing was written", out, err);
  InterruptGuard::OnEnd(nullptr);
  Line line(request, found, images, err);
  const int interrupted = line.Run(program);
  return Summary(line.Result(), interrupted, request.json, out, err);
}
