// zarnet-cli's device commands: list, info, flash, read, erase-chip and
// reset. Each runs the window's own dialog logic on a terminal, so a camera
// updated from a script goes through exactly the steps and texts the window
// shows.

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <ostream>
#include <sstream>
#include <system_error>

#include "Backup.h"
#include "Commands.h"
#include "Confirmation.h"
#include "DeviceChoice.h"
#include "FlashAll.h"
#include "InputFiles.h"
#include "Interrupts.h"
#include "Json.h"
#include "OutputFiles.h"
#include "Session.h"
#include "Simulation.h"
#include "device/Device.h"
#include "download/ImageAcceptance.h"
#include "download/MemoryBackup.h"
#include "download/TransferLength.h"
#include "ui/Resource.h"

namespace {

struct CommandLine {
  std::string name;
  bool json = false;
  std::string file;  // flash and verify: the image; read: where the memory goes
  std::string device;
  bool yes = false;
  std::string backup;
  bool force = false;  // an existing output file may be replaced
  bool eightByteTransfers = false;
  bool all = false;  // flash: every camera present, each by a copy of this program
  std::optional<uint32_t> length;
  SimulationOptions simulation;
};

bool Writes(const std::string& name) { return name == "flash" || name == "erase-chip"; }
bool ChangesMemory(const std::string& name) { return Writes(name) || name == "reset"; }

const char kUsageCommon[] =
    "  --device DEV          the device to act on: a video node (/dev/video0), a\n"
    "                        device path or a position, as 'zarnet-cli list' shows\n"
    "                        them, or its USB id (1b3f:2202), serial number or port\n"
    "                        (1-1.2) when no other device has it; without it, the\n"
    "                        first camera that answers identify. A camera chosen\n"
    "                        where its port is known is found again only there\n"
    "                        after its reset\n"
    "  --json                for scripts: JSON on standard output\n"
    "  --help                this text\n";

const char kExitStatus[] =
    "Exit status: 0 success, 1 refused or FAIL, 2 usage error, unreadable input or\n"
    "an output file that may not be written (told before the camera is touched),\n"
    "130 ended by an interrupt (143 by SIGTERM).\n\n";

std::string Synopsis(const std::string& name) {
  if (name == "list") {
    return "usage: zarnet-cli list [--json] [simulation options]\n\n"
           "Every video-input device: its position, device path, friendly name,\n"
           "whether it answers the identify command, and for cameras that do, their\n"
           "version. With --json also the controller generation, USB id, whether it\n"
           "has the camera's extension unit (and its unit id), whether the\n"
           "download-mode path opens, and what to do when a node may not be opened.\n"
           "Without a device it says where it looked.\n\n";
  }
  if (name == "info") {
    return "usage: zarnet-cli info [--device DEV] [--json] [simulation options]\n\n"
           "The camera as the window identifies it: status line, version line,\n"
           "generation, and the firmware- and flash-information bytes.\n\n";
  }
  if (name == "flash") {
    return "usage: zarnet-cli flash [--device DEV] [--backup FILE [--force]] [--8-byte-transfers] [-y] [--json]\n"
           "                        [simulation options] IMAGE\n"
           "       zarnet-cli flash --all [--8-byte-transfers] [-y] [--json] [simulation options] IMAGE\n\n"
           "Writes IMAGE into the camera: identification, the image's acceptance, the\n"
           "generation check, then erase, write, verify and reset with a live status\n"
           "line and progress bar, ending in Pass or FAIL.\n"
           "  --backup FILE         first save what the memory holds (as much as the\n"
           "                        image's memory holds) into FILE; flashing FILE\n"
           "                        later puts it back; an existing FILE is refused\n"
           "  --force               let the backup replace an existing FILE\n"
           "  --8-byte-transfers    keep the extension unit's transfers at 8 bytes; by\n"
           "                        default they are 64 (32 for one flash), and on Linux\n"
           "                        a full serial flash restarts the camera for them\n"
           "  -y, --yes             do not ask before erasing (asked only on a terminal)\n"
           "  --all                 every camera present that answers identify, at once,\n"
           "                        each by a copy of zarnet-cli pinned to its port (a\n"
           "                        camera whose port is not known is refused); asks once,\n"
           "                        shows a line per camera and ends in a table: PORT,\n"
           "                        SERIAL, BEFORE, AFTER, RESULT, REASON, SECONDS. Exit\n"
           "                        status 0 only when every camera passed\n"
           "With --json: one JSON object per line for each status change, progress\n"
           "step (whole percents), message, and the result (with the camera's version\n"
           "after it). With --all: a \"camera\" object per camera, then the result with\n"
           "\"cameras\", \"passed\" and \"failed\".\n"
           "A first Ctrl-C (or SIGTERM) during the download lets it finish; a second\n"
           "within 5 s abandons the camera half written.\n\n";
  }
  if (name == "verify") {
    return "usage: zarnet-cli verify [--device DEV] [--json] [simulation options] IMAGE\n\n"
           "Compares the camera's memory with IMAGE, reading it as the verify pass of a\n"
           "download does, and changes nothing. Exit status 0 when they are equal;\n"
           "otherwise 1, with the first address where they differ.\n\n";
  }
  if (name == "read") {
    return "usage: zarnet-cli read --memory-class N [--length L] [--force] [--device DEV] [--json]\n"
           "                       [simulation options] OUT\n\n"
           "Saves what the camera's memory holds into OUT, read from address 0 with the\n"
           "procedures the verify pass reads with.\n"
           "  --memory-class N      the memory: 1-8 (8: the 64 KiB serial flash); with\n"
           "                        --simulate also the substitute camera's\n"
           "  --length L            bytes to read (decimal or 0x hex); default: the whole\n"
           "                        part, found from what the camera answers (the largest\n"
           "                        memory of the class first, then each smaller one)\n"
           "  --force               replace OUT if it exists (else an existing OUT is\n"
           "                        refused before the camera is read)\n\n";
  }
  if (name == "erase-chip") {
    return "usage: zarnet-cli erase-chip [--device DEV] [--memory-class N] [-y] [--json] [simulation options]\n\n"
           "Erases the camera's serial flash (the download thread's erase-chip job):\n"
           "over the download-mode path for class 8 when the driver serves it, else\n"
           "with the flash's chip-erase command. Other memories refuse it.\n"
           "  --memory-class N      the memory: 1-8 (default 8); with --simulate also\n"
           "                        the substitute camera's\n"
           "  -y, --yes             do not ask first (asked only on a terminal)\n\n";
  }
  return "usage: zarnet-cli reset [--device DEV] [--json] [simulation options]\n\n"
         "Resets the camera (the download thread's reset job).\n\n";
}

std::string UsageOf(const std::string& name) {
  std::ostringstream u;
  u << Synopsis(name) << "Options:\n" << kUsageCommon << "\n" << kExitStatus << kSimulationHelp;
  // read and erase-chip take the memory class as their own option.
  if (name != "read" && name != "erase-chip") u << kSimulatedMemoryClassHelp;
  return u.str();
}

bool ParseLength(const std::string& text, uint32_t* length) {
  char* end = nullptr;
  errno = 0;
  const unsigned long long value = std::strtoull(text.c_str(), &end, 0);
  if (text.empty() || *end != '\0' || errno != 0 || value == 0 || value > 0xFFFFFFFFull) return false;
  *length = static_cast<uint32_t>(value);
  return true;
}

// Takes the command's own option at args[*i]; false when it is not one.
bool ParseOwnOption(const CommandArguments& args, size_t* i, CommandLine& c, std::string* error) {
  const std::string& a = args[*i];
  const bool hasValue = !args.LacksValue(*i);
  if ((a == "--device" && c.name != "list") || (a == "--backup" && c.name == "flash") ||
      (a == "--length" && c.name == "read")) {
    if (!hasValue) {
      *error = CommandArguments::MissingValue(a);
      return true;
    }
  }
  if (a == "--json") {
    c.json = true;
  } else if ((a == "-y" || a == "--yes") && Writes(c.name)) {
    c.yes = true;
  } else if (a == "--device" && c.name != "list") {
    c.device = args[++*i];
  } else if (a == "--backup" && c.name == "flash") {
    c.backup = args[++*i];
  } else if (a == "--force" && (c.name == "flash" || c.name == "read")) {
    c.force = true;
  } else if (a == "--8-byte-transfers" && c.name == "flash") {
    c.eightByteTransfers = true;
  } else if (a == "--all" && c.name == "flash") {
    c.all = true;
  } else if (a == "--length" && c.name == "read") {
    uint32_t length = 0;
    if (!ParseLength(args[++*i], &length)) *error = "--length takes a byte count, e.g. 8192 or 0x2000";
    c.length = length;
  } else {
    return false;
  }
  return true;
}

std::string CheckOptions(const CommandLine& c) {
  const bool takesFile = c.name == "flash" || c.name == "verify" || c.name == "read";
  if (takesFile && c.file.empty()) return c.name == "flash" ? "IMAGE is missing" : "OUT is missing";
  const bool picksClass = c.name == "erase-chip" || c.name == "read";
  if (const std::string option = SimulationOnlyOption(c.simulation); !option.empty() && !c.simulation.simulate)
    return option + " describes the substitute camera: add --simulate";
  if (c.simulation.memoryClass && !c.simulation.simulate && !picksClass)
    return "--memory-class describes the substitute camera: add --simulate";
  if (c.name == "read" && !c.simulation.memoryClass) return "--memory-class is missing: which memory to read (1-8)";
  if (!c.simulation.memoryFile.empty() && c.simulation.cameras > 1)
    return "--memory-file keeps one camera's memory: not with --cameras above 1";
  if (c.all) {
    const std::pair<bool, const char*> one[] = {
        {!c.device.empty(), "--device chooses one camera"},
        {!c.backup.empty(), "--backup keeps one camera's memory"},
        {!c.simulation.memoryFile.empty(), "--memory-file keeps one camera's memory"}};
    for (const auto& [given, what] : one)
      if (given) return std::string(what) + ": not with --all, which flashes every camera";
  }
  if (c.length && c.simulation.memoryClass && *c.length > LargestMemoryOfClass(*c.simulation.memoryClass))
    return "--length is larger than any memory of class " + std::to_string(*c.simulation.memoryClass) + " (" +
           std::to_string(LargestMemoryOfClass(*c.simulation.memoryClass)) + " bytes)";
  return {};
}

// A usage error; with --json also the result object a script waits for.
int UsageFailure(const CommandLine& c, const std::string& why, std::ostream& out, std::ostream& err) {
  if (c.json) out << ResultEvent(std::nullopt, kExitUsage, why) << "\n" << std::flush;
  return UsageError(c.name, why, err);
}

// --json is known before anything is parsed, so that a usage error is told
// in JSON too.
bool WantsJson(const CommandArguments& args) {
  for (size_t i = 0; i < args.size(); ++i)
    if (args.IsOption(i) && args[i] == "--json") return true;
  return false;
}

// Fills `c`; -1 when the command should run, else the exit status.
int Parse(const CommandArguments& args, CommandLine& c, std::ostream& out, std::ostream& err) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    std::string error;
    if (const std::string stray = args.StrayValue(i); !stray.empty()) return UsageFailure(c, stray, out, err);
    if (args.IsOption(i) && (a == "--help" || a == "-h")) {
      out << UsageOf(c.name);
      return kExitOk;
    }
    if (args.IsOption(i) &&
        (ParseOwnOption(args, &i, c, &error) || ParseSimulationOption(args, &i, &c.simulation, &error))) {
      if (!error.empty()) return UsageFailure(c, error, out, err);
    } else if (args.IsOption(i)) {
      return UsageFailure(c, "unknown option " + a, out, err);
    } else if ((c.name == "flash" || c.name == "verify" || c.name == "read") && c.file.empty()) {
      c.file = a;
    } else {
      return UsageFailure(c, "unexpected argument " + a, out, err);
    }
  }
  if (const std::string error = CheckOptions(c); !error.empty()) return UsageFailure(c, error, out, err);
  return -1;
}

std::unique_ptr<Simulation> MaybeSimulate(const CommandLine& c, int imageClass) {
  if (!c.simulation.simulate) return nullptr;
  return std::make_unique<Simulation>(c.simulation, c.simulation.memoryClass.value_or(imageClass),
                                      ChangesMemory(c.name));
}

// A file the command can't use ends it before the camera is touched: one
// line, and with --json the result object.
bool Refuses(const CommandLine& c, const std::optional<std::string>& why, std::ostream& out, std::ostream& err) {
  if (!why) return false;
  if (c.json) out << ResultEvent(std::nullopt, kExitUsage, *why) << "\n" << std::flush;
  err << "zarnet-cli " << c.name << ": " << *why << "\n";
  return true;
}

// A backup saved over the image would be what the download then writes: the
// old memory back, and Pass.
std::optional<std::string> SameFile(const std::string& backup, const std::string& image) {
  std::error_code ec;
  if (!std::filesystem::equivalent(backup, image, ec)) return std::nullopt;
  return "the backup " + backup + " is the image itself; save it elsewhere";
}

// An output file that can't be written, or would be lost, is refused.
bool Unwritable(const CommandLine& c, const std::string& path, std::ostream& out, std::ostream& err) {
  return Refuses(c, OutputRefusal(path, c.force), out, err);
}

bool MemoryFileRefused(const CommandLine& c, int memoryClass, std::ostream& out, std::ostream& err) {
  if (!c.simulation.simulate) return false;
  return Refuses(c, MemoryFileRefusal(c.simulation, memoryClass, ChangesMemory(c.name)), out, err);
}

bool Unreadable(const CommandLine& c, const std::string& path, std::ostream& out, std::ostream& err) {
  const std::optional<std::string> cause = UnreadableCause(path);
  return Refuses(c, cause ? std::optional<std::string>("cannot read " + path + ": " + *cause) : std::nullopt, out, err);
}

// A download writes at most the image's first 0xFFFE bytes, as the window
// does; bytes beyond that which an erased flash would not hold are lost.
void WarnOfUnwrittenTail(const std::string& path, std::ostream& err) {
  constexpr long kWrittenAtMost = 0xFFFE;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return;
  bool lost = false;
  if (std::fseek(file, kWrittenAtMost, SEEK_SET) == 0)
    for (int c = std::fgetc(file); c != EOF; c = std::fgetc(file)) lost = lost || c != 0xFF;
  std::fclose(file);
  if (lost)
    err << "zarnet-cli: warning: a download writes only the first 65534 bytes of " << path
        << "; its bytes from 0xFFFE on are left erased\n";
}

// The camera the session identified, as a person knows it.
std::string CameraName(Session& session) {
  CCameraDevice camera;
  if (!LookupCamera(session.Dlg().m_cameraKey, &camera)) return "the camera";
  return (camera.m_friendlyName.empty() ? std::string("the camera") : camera.m_friendlyName) + " (" +
         camera.m_devicePath + ")";
}

// The camera's version as the window shows it, for the result in JSON.
void TellVersion(Session& session) {
  const CZarnetDlg& dlg = session.Dlg();
  session.Report().VersionAfter(dlg.m_cameraKey ? std::optional<std::string>(dlg.m_strVersion) : std::nullopt);
}

int Refused(Session& session, const std::string& reason) {
  TellVersion(session);
  session.Report().Result(std::nullopt, kExitRefused, reason);
  return kExitRefused;
}

// The result line's text for `outcome`; none when no job ended.
std::optional<std::string> ResultText(CZarnetDlg::Outcome outcome) {
  if (outcome == CZarnetDlg::Outcome::None) return std::nullopt;
  return outcome == CZarnetDlg::Outcome::Pass ? "Pass" : "FAIL";
}

// The simulation's memory file is saved before the result is told: a memory
// that could not be kept is no success. Nor is a simulated run that spoke
// to a camera of the line it did not choose.
int Outcome(Session& session, Simulation* simulation, const std::string& device) {
  const CZarnetDlg::JobResult ended = session.Dlg().Result();
  std::optional<std::string> result = ResultText(ended.outcome);
  int status = ended.outcome == CZarnetDlg::Outcome::Pass ? kExitOk : kExitRefused;
  std::string reason = ended.reason;
  if (const std::string trespass = simulation ? simulation->OtherCamerasSpokenTo(device) : ""; !trespass.empty()) {
    reason = reason.empty() ? trespass : reason + "; " + trespass;
    result = "FAIL";
    status = kExitRefused;
  }
  if (const std::string failure = simulation ? simulation->SaveMemory() : ""; !failure.empty()) {
    reason = reason.empty() ? failure : reason + "; " + failure;
    if (status == kExitOk) status = kExitUsage;
  }
  // What the window shows after the camera was opened again.
  TellVersion(session);
  session.Report().Result(result, status, reason);
  return status;
}

// A job of the command's own ends in the dialog as the download thread's
// jobs do, and is told from there; `failure` says why it failed.
int EndOwnJob(Session& session, const std::string& failure) {
  session.Dlg().EndJob(failure.empty());
  const CZarnetDlg::Outcome outcome = session.Dlg().Result().outcome;
  const int status = outcome == CZarnetDlg::Outcome::Pass ? kExitOk : kExitRefused;
  session.Report().Result(ResultText(outcome), status, failure);
  return status;
}

// What flash and verify share: the image judged, the camera identified and
// the image chosen in the dialog, as far as the window would enable Start.
// `then` goes on from there with the session, the verdict and the simulation.
template <typename Then>
int WithImageChosen(const CommandLine& c, std::ostream& out, std::ostream& err, Then then) {
  const ImageVerdict verdict = JudgeFirmwareImage(c.file);
  if (MemoryFileRefused(c, c.simulation.memoryClass.value_or(verdict.memoryClass.value_or(8)), out, err))
    return kExitUsage;
  if (verdict.accepted) WarnOfUnwrittenTail(c.file, err);
  auto simulation = MaybeSimulate(c, verdict.memoryClass.value_or(8));
  DeviceChoice choice;
  if (std::string error; !choice.Make(c.device, &error)) return UsageFailure(c, error, out, err);
  Session session(out, err, c.json);
  session.Init(true);
  CZarnetDlg& dlg = session.Dlg();
  dlg.ChooseFirmware(c.file);
  // What the window would leave disabled is refused here.
  if (!dlg.m_bImageOk) return Refused(session, dlg.m_strError);
  if (!dlg.m_cameraKey) return Refused(session, dlg.m_strStatus);
  return then(session, verdict, simulation.get());
}

int Flash(const CommandLine& c, InterruptGuard& interrupts, Session& session, const ImageVerdict& verdict,
          Simulation* simulation, std::ostream& err) {
  CZarnetDlg& dlg = session.Dlg();
  std::error_code ignored;
  const std::string question =
      "Write " + c.file + " into " + CameraName(session) + "? What its memory holds now is erased" +
      (c.backup.empty() ? ""
                        : " (after a backup into " + c.backup +
                              (std::filesystem::exists(c.backup, ignored) ? ", which replaces that file" : "") + ")") +
      ".";
  session.Report().EndBarLine();
  if (!Confirmed(question, c.yes, std::cin, err)) return Refused(session, "not confirmed; nothing was written");
  if (!c.backup.empty()) {
    const std::string failure =
        BackUpMemory(session, verdict.memoryClass.value_or(8), verdict.memorySize.value_or(0), c.backup);
    if (!failure.empty()) return Refused(session, failure + "; nothing was written");
  }
  ForceEightByteTransfers(c.eightByteTransfers);
  interrupts.Arm("download");
  dlg.HandleMessage(platform::msg::kCommand, IDC_BTN_START, 0);
  if (!dlg.IsBusy()) return Refused(session, dlg.m_strError);
  session.WaitForJob();
  interrupts.Disarm();
  return Outcome(session, simulation, c.device);
}

int RunFlashOne(const CommandLine& c, InterruptGuard& interrupts, std::ostream& out, std::ostream& err) {
  if (!c.backup.empty() && (Refuses(c, SameFile(c.backup, c.file), out, err) || Unwritable(c, c.backup, out, err)))
    return kExitUsage;
  return WithImageChosen(c, out, err, [&](Session& session, const ImageVerdict& verdict, Simulation* simulation) {
    return Flash(c, interrupts, session, verdict, simulation, err);
  });
}

int RunFlash(const CommandLine& c, InterruptGuard& interrupts, std::ostream& out, std::ostream& err) {
  if (Unreadable(c, c.file, out, err)) return kExitUsage;
  if (!c.all) return RunFlashOne(c, interrupts, out, err);
  const LineFlash line{c.file, c.json, c.yes, c.eightByteTransfers, c.simulation};
  return RunFlashAll(
      line, interrupts, [&] { return RunFlashOne(c, interrupts, out, err); }, out, err);
}

// Where the camera's memory first differs from the image, in words; empty
// when they are equal.
std::string FirstDifference(const std::vector<uint8_t>& memory, const uint8_t* image, uint32_t length) {
  for (uint32_t at = 0; at < length; ++at)
    if (memory[at] != image[at])
      return "the memory differs from the image first at " + HexNumber(at) + ": the camera holds " +
             HexNumber(memory[at]) + ", the image " + HexNumber(image[at]);
  return {};
}

// The bytes and the length a download's verify pass compares, read as it
// reads them.
int Verify(const CommandLine& c, Session& session) {
  CZarnetDlg& dlg = session.Dlg();
  if (!dlg.ReadImageForDownload()) return Refused(session, "cannot read " + c.file);
  const MemoryRead read = ReadMemoryShown(session, dlg.m_memClass, dlg.m_firmwareLength);
  std::string difference =
      read.Ok() ? FirstDifference(read.bytes, dlg.m_pFirmware.get(), dlg.m_firmwareLength) : read.failure;
  return EndOwnJob(session, difference);
}

int RunVerify(const CommandLine& c, std::ostream& out, std::ostream& err) {
  if (Unreadable(c, c.file, out, err)) return kExitUsage;
  return WithImageChosen(c, out, err,
                         [&](Session& session, const ImageVerdict&, Simulation*) { return Verify(c, session); });
}

int RunRead(const CommandLine& c, std::ostream& out, std::ostream& err) {
  const int memoryClass = *c.simulation.memoryClass;
  if (Unwritable(c, c.file, out, err) || MemoryFileRefused(c, memoryClass, out, err)) return kExitUsage;
  auto simulation = MaybeSimulate(c, memoryClass);
  DeviceChoice choice;
  if (std::string error; !choice.Make(c.device, &error)) return UsageFailure(c, error, out, err);
  Session session(out, err, c.json);
  session.Init(true);
  if (!session.Dlg().m_cameraKey) return Refused(session, session.Dlg().m_strStatus);
  return EndOwnJob(session, BackUpMemory(session, memoryClass, c.length, c.file));
}

int RunJob(const CommandLine& c, bool erase, InterruptGuard& interrupts, std::ostream& out, std::ostream& err) {
  const int memoryClass = c.simulation.memoryClass.value_or(8);
  if (MemoryFileRefused(c, memoryClass, out, err)) return kExitUsage;
  auto simulation = MaybeSimulate(c, memoryClass);
  DeviceChoice choice;
  if (std::string error; !choice.Make(c.device, &error)) return UsageFailure(c, error, out, err);
  Session session(out, err, c.json);
  session.Init(true);
  session.Report().EndBarLine();
  if (erase && session.Dlg().m_cameraKey &&
      !Confirmed("Erase the memory of " + CameraName(session) + "?", c.yes, std::cin, err))
    return Refused(session, "not confirmed; nothing was erased");
  interrupts.Arm(erase ? "erase" : "reset");
  const bool started = erase ? session.EraseChip(memoryClass) : session.ResetCamera();
  interrupts.Disarm();
  if (!started) return Refused(session, "the job could not be started");
  return Outcome(session, simulation.get(), c.device);
}

std::string HexOf(const uint8_t* bytes, size_t n) { return HexBytes(bytes, n, " "); }

int RunInfo(const CommandLine& c, std::ostream& out, std::ostream& err) {
  if (MemoryFileRefused(c, 8, out, err)) return kExitUsage;
  auto simulation = MaybeSimulate(c, 8);
  DeviceChoice choice;
  if (std::string error; !choice.Make(c.device, &error)) return UsageFailure(c, error, out, err);
  Session session(out, err, c.json);
  session.Init(false);
  CZarnetDlg& dlg = session.Dlg();
  FirmwareInfoRecord firmware{};
  FlashInfo flash{};
  const bool connected = dlg.m_cameraKey != 0;
  const bool haveFirmware = connected && ReadFirmwareInfo(dlg.m_cameraKey, &firmware);
  const bool haveFlash = connected && ReadFlashInfo(dlg.m_cameraKey, &flash);
  if (c.json) {
    JsonWriter json;
    json.BeginObject().Key("status").String(dlg.m_strStatus).Key("version").String(dlg.m_strVersion);
    json.Key("connected").Bool(connected).Key("generation");
    if (connected)
      json.Number(dlg.m_chipGen);
    else
      json.Null();
    json.Key("firmwareInfo");
    if (haveFirmware)
      json.String(HexBytes(firmware.data(), firmware.size()));
    else
      json.Null();
    json.Key("flashInfo");
    if (haveFlash)
      json.String(HexBytes(flash.data(), flash.size()));
    else
      json.Null();
    json.EndObject();
    out << json.Text() << "\n";
  } else {
    out << "Status:         " << dlg.m_strStatus << "\n"
        << "Version:        " << dlg.m_strVersion << "\n";
    if (connected) {
      out << "Generation:     " << int(dlg.m_chipGen) << "\n"
          << "Firmware info:  " << (haveFirmware ? HexOf(firmware.data(), firmware.size()) : "(unreadable)") << "\n"
          << "Flash info:     " << (haveFlash ? HexOf(flash.data(), flash.size()) : "(unreadable)") << "\n";
    }
  }
  return connected ? kExitOk : kExitRefused;
}

}  // namespace

bool IsDeviceCommand(const std::string& name) {
  return name == "list" || name == "info" || name == "flash" || name == "verify" || name == "read" ||
         name == "erase-chip" || name == "reset";
}

std::string DeviceCommandUsage(const std::string& name) { return UsageOf(name); }

int RunDeviceCommand(const std::string& name, const Arguments& args, std::ostream& out, std::ostream& err) {
  CommandLine c;
  c.name = name;
  const CommandArguments arguments(args);
  c.json = WantsJson(arguments);
  if (const int status = Parse(arguments, c, out, err); status >= 0) return status;
  if (name == "list") return MemoryFileRefused(c, 8, out, err) ? kExitUsage : RunList(c.json, c.simulation, out, err);
  if (name == "info") return RunInfo(c, out, err);
  InterruptGuard interrupts;
  if (name == "read") return RunRead(c, out, err);
  if (name == "flash") return RunFlash(c, interrupts, out, err);
  if (name == "verify") return RunVerify(c, out, err);
  return RunJob(c, name == "erase-chip", interrupts, out, err);
}
