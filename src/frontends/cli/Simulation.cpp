#include "Simulation.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>
#include <vector>

#include "InputFiles.h"
#include "Interrupts.h"
#include "Json.h"
#include "OutputFiles.h"
#include "Tracing.h"
#include "platform/substitute/NamedFaults.h"

const char kSimulationHelp[] =
    "Simulation (the substitute camera instead of a real one):\n"
    "  --simulate            run on the substitute camera, in real time with its USB\n"
    "                        timing model\n"
    "  --fast                with --simulate: virtual time, no waiting (for scripts)\n"
    "  --no-probe            the driver does not serve the download-mode path\n"
    "  --download-mode       the camera asks to be switched to download mode first\n"
    "  --generation N        controller generation 0-3 (default 3)\n"
    "  --flash-info HEX      the 8 flash-information bytes, e.g. 30c2220000000000\n"
    "  --small-page-flash    the flash that takes 32-byte transfers (30 C2 22 00)\n"
    "  --fault NAME          write, verify, reset, unplug (mid-write) or no-return\n"
    "  --extra-webcam        a webcam that does not answer identify, first in the list\n"
    "  --cameras N           N cameras (1-8) on ports 1-1 ... 1-N, resetting together as\n"
    "                        on a production line; faults are the first one's\n"
    "  --memory-file FILE    the camera's memory is kept in FILE from run to run (flash,\n"
    "                        erase-chip and reset save it; a file must be a whole memory)\n"
    "  --interrupt N         N interrupts (SIGINT, 1 or 2) arrive while the image is written;\n"
    "                        'term': one SIGTERM\n";

const char kSimulatedMemoryClassHelp[] =
    "  --memory-class N      with --simulate: the camera's memory, 1-8 (default: what\n"
    "                        the image needs, else 8)\n";

namespace {

std::vector<uint8_t> ReadWholeFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

bool ParseHexBytes(const std::string& text, std::array<uint8_t, 8>* bytes) {
  if (text.size() != 16) return false;
  for (size_t i = 0; i < 8; ++i) {
    char* end = nullptr;
    const std::string pair = text.substr(2 * i, 2);
    const long v = std::strtol(pair.c_str(), &end, 16);
    if (*end != '\0') return false;
    (*bytes)[i] = static_cast<uint8_t>(v);
  }
  return true;
}

// The two generation register bytes that identification maps to `generation`.
std::pair<uint8_t, uint8_t> GenerationBytes(int generation) {
  switch (generation) {
    case 0: return {0x80, 0x00};
    case 1: return {0x00, 0x10};
    case 2: return {0x00, 0x40};
    default: return {0x01, 0x30};
  }
}

std::string SerialNumberOf(int n) {
  char serial[16];
  std::snprintf(serial, sizeof serial, "SIM%04d", n);
  return serial;
}

}  // namespace

std::string SimulationOnlyOption(const SimulationOptions& o) {
  const std::pair<bool, const char*> given[] = {
      {o.fast, "--fast"},
      {!o.probe, "--no-probe"},
      {o.downloadMode, "--download-mode"},
      {o.generation.has_value(), "--generation"},
      {o.flashInfo.has_value(), "--flash-info"},
      {!o.fault.empty(), "--fault"},
      {o.extraWebcam, "--extra-webcam"},
      {o.cameras != 1, "--cameras"},
      {!o.memoryFile.empty(), "--memory-file"},
      {o.interrupts != 0, "--interrupt"},
  };
  for (const auto& [isGiven, name] : given)
    if (isGiven) return name;
  return {};
}

std::vector<std::string> SimulationArguments(const SimulationOptions& o) {
  std::vector<std::string> args;
  if (!o.simulate) return args;
  args.push_back("--simulate");
  const std::pair<bool, const char*> flags[] = {{o.fast, "--fast"},
                                                {!o.probe, "--no-probe"},
                                                {o.downloadMode, "--download-mode"},
                                                {o.extraWebcam, "--extra-webcam"}};
  for (const auto& [given, name] : flags)
    if (given) args.push_back(name);
  auto valued = [&](const char* name, const std::string& value) {
    args.push_back(name);
    args.push_back(value);
  };
  if (o.memoryClass) valued("--memory-class", std::to_string(*o.memoryClass));
  if (o.generation) valued("--generation", std::to_string(*o.generation));
  if (o.flashInfo) valued("--flash-info", HexBytes(o.flashInfo->data(), o.flashInfo->size()));
  if (!o.fault.empty()) valued("--fault", o.fault);
  if (o.interrupts != 0) valued("--interrupt", o.terminate ? "term" : std::to_string(o.interrupts));
  if (o.cameras != 1) valued("--cameras", std::to_string(o.cameras));
  return args;
}

std::optional<std::string> MemoryFileRefusal(const SimulationOptions& o, int memoryClass, bool changesMemory) {
  const std::string& path = o.memoryFile;
  if (path.empty()) return std::nullopt;
  std::error_code error;
  const auto status = std::filesystem::status(path, error);
  if (std::filesystem::exists(status)) {
    // Anything but a regular file (a FIFO would not even end) is no memory.
    if (!std::filesystem::is_regular_file(status))
      return "cannot use " + path + " as the camera's memory: " +
             (std::filesystem::is_directory(status) ? "it is a folder" : "not a regular file");
    if (const auto cause = UnreadableCause(path)) return "cannot read " + path + ": " + *cause;
    const uintmax_t size = std::filesystem::file_size(path, error);
    const uint32_t expected = substitute::DefaultMemorySize(static_cast<uint8_t>(memoryClass));
    if (error || size != expected)
      return "cannot use " + path + " as the camera's memory: it holds " + std::to_string(size) + " bytes, not the " +
             std::to_string(expected) + " of a class-" + std::to_string(memoryClass) + " memory";
  }
  if (changesMemory) return OutputRefusal(path, true);
  return std::nullopt;
}

bool ParseSimulationOption(const CommandArguments& args, size_t* i, SimulationOptions* o, std::string* error) {
  const std::string& a = args[*i];
  auto value = [&](std::string* v) {
    if (args.LacksValue(*i)) {
      *error = CommandArguments::MissingValue(a);
      return false;
    }
    *v = args[++*i];
    return true;
  };
  std::string v;
  if (a == "--simulate") {
    o->simulate = true;
  } else if (a == "--fast") {
    o->fast = true;
  } else if (a == "--no-probe") {
    o->probe = false;
  } else if (a == "--download-mode") {
    o->downloadMode = true;
  } else if (a == "--extra-webcam") {
    o->extraWebcam = true;
  } else if (a == "--small-page-flash") {
    o->flashInfo = std::array<uint8_t, 8>{0x30, 0xC2, 0x22, 0x00, 0, 0, 0, 0};
  } else if (a == "--memory-class") {
    if (!value(&v)) return true;
    const int n = std::atoi(v.c_str());
    if (n < 1 || n > 8 || v.size() != 1) *error = "--memory-class takes 1 to 8";
    o->memoryClass = n;
  } else if (a == "--generation") {
    if (!value(&v)) return true;
    const int n = std::atoi(v.c_str());
    if (n < 0 || n > 3 || v.size() != 1) *error = "--generation takes 0 to 3";
    o->generation = n;
  } else if (a == "--flash-info") {
    if (!value(&v)) return true;
    std::array<uint8_t, 8> bytes{};
    if (!ParseHexBytes(v, &bytes)) *error = "--flash-info takes 8 bytes as 16 hex digits";
    o->flashInfo = bytes;
  } else if (a == "--cameras") {
    if (!value(&v)) return true;
    const int n = std::atoi(v.c_str());
    if (n < 1 || n > kMaxSimulatedCameras || v.size() != 1) *error = "--cameras takes 1 to 8";
    o->cameras = n;
  } else if (a == "--memory-file") {
    if (value(&v)) o->memoryFile = v;
  } else if (a == "--interrupt") {
    if (!value(&v)) return true;
    if (v != "1" && v != "2" && v != "term") *error = "--interrupt takes 1, 2 or term";
    o->terminate = v == "term";
    o->interrupts = o->terminate ? 1 : std::atoi(v.c_str());
  } else if (a == "--fault") {
    if (!value(&v)) return true;
    if (!substitute::FaultNamed(v)) *error = std::string("--fault takes ") + substitute::kFaultNames;
    o->fault = v;
  } else {
    return false;
  }
  return true;
}

Simulation::Simulation(const SimulationOptions& options, int memoryClass, bool changesMemory)
    : changesMemory_(changesMemory) {
  substitute::SubstituteWorldConfig config;
  config.realTime = !options.fast;
  config.logTraffic = false;
  world_ = std::make_unique<substitute::SubstituteWorld>(config);
  if (options.extraWebcam) world_->AddDevice(substitute::PlainWebcam());

  auto camera = substitute::CameraOfClass(static_cast<uint8_t>(memoryClass));
  if (options.flashInfo) {
    if ((*options.flashInfo)[0] == 0x30 && (*options.flashInfo)[1] == 0xC2 && (*options.flashInfo)[2] == 0x22)
      substitute::UseSmallPageFlash(camera);
    camera.flashInfo = *options.flashInfo;
  }
  if (!options.probe) camera.driverPath = substitute::DriverPathService::kRefused;
  camera.needsDownloadMode = options.downloadMode;
  const auto [high, low] = GenerationBytes(options.generation.value_or(3));
  camera.generationHigh = high;
  camera.generationLow = low;
  memoryFile_ = options.memoryFile;
  // MemoryFileRefusal has found it a regular file (or none).
  std::error_code ignored;
  if (!memoryFile_.empty() && std::filesystem::is_regular_file(memoryFile_, ignored))
    camera.initialMemory = ReadWholeFile(memoryFile_);
  // Serial numbers and ports of their own, so that --device can name each
  // camera as a real one.
  for (int n = 1; n <= options.cameras; ++n) {
    substitute::SubstituteDeviceConfig device = substitute::CameraDevice(camera);
    device.serialNumber = SerialNumberOf(n);
    device.port = "1-" + std::to_string(n);
    device.newPathEachArrival = true;
    line_.push_back(world_->AddDevice(device));
    portsAndSerials_.emplace_back(*device.port, *device.serialNumber);
    // The memory file is the first camera's; --cameras above 1 refuses it.
    camera.initialMemory.clear();
  }
  camera_ = line_.front();
  if (line_.size() > 1) ResetTogether(camera.rebootDelayMs);
  InjectFault(options, memoryClass);
  InterruptMidWrite(options, memoryClass);
  inForce_.emplace(TracedIfAsked(world_->Platform()));
}

// Under --trace the world's camera is traced as the host's would be: above
// its faults, so that the trace shows what the command got.
platform::Platform Simulation::TracedIfAsked(platform::Platform seams) {
  const std::shared_ptr<platform::ITraceSink> sink = RequestedTrace();
  if (!sink) return seams;
  traced_ = std::make_unique<platform::TracedPlatform>(world_->Backend(), seams.deviceFacts, world_->Clock(), sink,
                                                       platform::TraceOrigin{"zarnet-cli", "substitute"});
  const platform::Platform traced = traced_->Seams();
  seams.capture = traced.capture;
  seams.deviceFiles = traced.deviceFiles;
  seams.deviceFacts = traced.deviceFacts;
  return seams;
}

// The line's cameras reset at about the same moment, and the others come
// back before the one that reset first: a run that took whichever camera
// answers first after its reset would take another. Only a reset starts the
// others' departures; theirs start none (the listener hears them too, from
// inside Unplug, on the thread that caused the reset).
void Simulation::ResetTogether(uint32_t rebootDelayMs) {
  world_->SetPresenceListener([world = world_.get(), line = line_, rebootDelayMs](const substitute::PresenceEvent& e) {
    if (e.arrived || !e.reset) return;
    for (const substitute::DeviceId other : line)
      if (other != e.device) world->Unplug(other, rebootDelayMs / 2);
  });
}

// The line's listener reaches into the world: it goes first.
Simulation::~Simulation() {
  inForce_.reset();
  world_->SetPresenceListener(nullptr);
}

void Simulation::InjectFault(const SimulationOptions& options, int memoryClass) {
  if (const auto fault = substitute::FaultNamed(options.fault))
    substitute::AddNamedFault(*world_, camera_, *fault, {memoryClass, options.probe});
}

// Each interrupt is a real signal to this process, taken by the program's own
// interrupt handling before the write goes on.
void Simulation::InterruptMidWrite(const SimulationOptions& options, int memoryClass) {
  if (options.interrupts == 0) return;
  substitute::FaultRule rule = substitute::WriteFault({memoryClass, options.probe});
  rule.selector.reset();  // the write's data transfers too
  rule.skipMatches += 2;
  rule.action = substitute::FaultAction::kNotify;
  rule.maxFires = static_cast<uint32_t>(options.interrupts);
  auto sent = std::make_shared<int>(0);
  rule.notify = [sent, terminate = options.terminate] {
    InterruptGuard::SendToSelf(terminate);
    InterruptGuard::AwaitTaken(++*sent);
  };
  world_->AddFault(camera_, rule);
}

std::string Simulation::OtherCamerasSpokenTo(const std::string& chosen) {
  auto isChosen = [&](size_t i) { return portsAndSerials_[i].first == chosen || portsAndSerials_[i].second == chosen; };
  bool known = false;
  for (size_t i = 0; i < line_.size(); ++i) known = known || isChosen(i);
  if (line_.size() < 2 || !known) return {};
  std::string others;
  for (size_t i = 0; i < line_.size(); ++i)
    if (!isChosen(i) && world_->AccessCount(line_[i]) > 0)
      others += (others.empty() ? "" : ", ") + portsAndSerials_[i].first;
  if (others.empty()) return {};
  return "the run spoke to the camera at " + others + " as well as to the one chosen (" + chosen + ")";
}

std::string Simulation::SaveMemory() {
  if (memoryFile_.empty() || !changesMemory_) return {};
  if (const std::string cause = WriteFileAtomically(memoryFile_, world_->Memory(camera_)); !cause.empty())
    return "cannot save the camera's memory into " + memoryFile_ + ": " + cause;
  return {};
}
