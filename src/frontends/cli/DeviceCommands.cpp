// zarnet-cli's device commands: list, info, flash, erase-chip and reset. Each
// runs the window's own dialog logic on a terminal, so a camera updated from a
// script goes through exactly the steps and texts the window shows.

#include <unistd.h>

#include <cstdio>
#include <memory>
#include <optional>
#include <ostream>
#include <sstream>

#include "Commands.h"
#include "Json.h"
#include "Simulation.h"
#include "TerminalReport.h"
#include "device/Device.h"
#include "download/DownloadMessages.h"
#include "download/DownloadThread.h"
#include "download/ImageAcceptance.h"
#include "frontends/headless/HeadlessView.h"
#include "frontends/headless/HeadlessWindow.h"
#include "ui/DialogSession.h"
#include "ui/Resource.h"
#include "ui/ZarnetDlg.h"

namespace {

struct CommandLine {
  std::string name;
  bool json = false;
  std::string file;
  int eraseClass = 8;
  SimulationOptions simulation;
};

const char kUsageCommon[] =
    "  --json                for scripts: JSON on standard output\n"
    "  --help                this text\n";

std::string UsageOf(const std::string& name) {
  std::ostringstream u;
  if (name == "list") {
    u << "usage: zarnet-cli list [--json] [simulation options]\n\n"
         "Every video-input device: its position, device path, friendly name,\n"
         "whether it answers the identify command, and for cameras that do, their\n"
         "version and controller generation; then its USB id, whether it has the\n"
         "camera's extension unit (and its unit id), whether the download-mode path\n"
         "opens, and what to do when a node may not be opened. Without a device it\n"
         "says where it looked.\n\n";
  } else if (name == "info") {
    u << "usage: zarnet-cli info [--json] [simulation options]\n\n"
         "The first camera as the window identifies it: status line, version line,\n"
         "generation, and the firmware- and flash-information bytes.\n\n";
  } else if (name == "flash") {
    u << "usage: zarnet-cli flash [--json] [simulation options] FILE\n\n"
         "Writes FILE into the first camera: identification, the image's acceptance,\n"
         "the generation check, then erase, write, verify and reset with a live\n"
         "status line and progress bar, ending in Pass or FAIL.\n"
         "With --json: one JSON object per line for each status change, progress\n"
         "step (whole percents), message, and the result.\n\n"
         "Exit status: 0 Pass, 1 refused or FAIL, 2 usage error.\n\n";
  } else if (name == "erase-chip") {
    u << "usage: zarnet-cli erase-chip [--json] [--memory-class N] [simulation options]\n\n"
         "Erases the camera's serial flash (the download thread's erase-chip job):\n"
         "over the download-mode path for class 8 when the driver serves it, else\n"
         "with the flash's chip-erase command. Other memories refuse it.\n\n";
  } else {
    u << "usage: zarnet-cli reset [--json] [simulation options]\n\n"
         "Resets the camera (the download thread's reset job).\n\n";
  }
  u << "Options:\n" << kUsageCommon << "\n" << kSimulationHelp;
  return u.str();
}

int UsageError(const CommandLine& c, std::ostream& err, const std::string& why) {
  err << "zarnet-cli " << c.name << ": " << why << "\n" << UsageOf(c.name);
  return kExitUsage;
}

// Fills `c`; -1 when the command should run, else the exit status.
int Parse(const Arguments& args, CommandLine& c, std::ostream& out, std::ostream& err) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    std::string error;
    if (a == "--help" || a == "-h") {
      out << UsageOf(c.name);
      return kExitOk;
    }
    if (a == "--json") {
      c.json = true;
    } else if (ParseSimulationOption(args, &i, &c.simulation, &error)) {
      if (!error.empty()) return UsageError(c, err, error);
    } else if (!a.empty() && a[0] == '-') {
      return UsageError(c, err, "unknown option " + a);
    } else if (c.name == "flash" && c.file.empty()) {
      c.file = a;
    } else {
      return UsageError(c, err, "unexpected argument " + a);
    }
  }
  if (c.name == "flash" && c.file.empty()) return UsageError(c, err, "FILE is missing");
  if (c.simulation.memoryClass && !c.simulation.simulate && c.name != "erase-chip")
    return UsageError(c, err, "--memory-class describes the substitute camera: add --simulate");
  if (c.simulation.memoryClass) c.eraseClass = *c.simulation.memoryClass;
  return -1;
}

// The dialog on a terminal: a headless window served by this thread.
class Session {
 public:
  Session(const CommandLine& c, std::ostream& out, std::ostream& err)
      : report_(view_, out, err, c.json, !c.json && ::isatty(STDERR_FILENO)) {
    view_.SetTitleForTest(kDialogCaption);
    dlg_ = std::make_unique<CZarnetDlg>(view_, window_);
  }
  ~Session() {
    report_.Detach();
    running_.reset();
  }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  CZarnetDlg& Dlg() { return *dlg_; }
  platform::HeadlessView& View() { return view_; }
  TerminalReport& Report() { return report_; }

  void Init(bool report) {
    if (report) report_.Attach();
    running_.emplace(*dlg_, false);
    dlg_->m_pThread->SetIdleListener([this] { window_.PostTask([] {}); });
    window_.PumpPending();
  }
  // Serves the window until the download thread has nothing left to do.
  void WaitForJob() {
    window_.PumpUntil([this] { return dlg_->m_pThread->IsIdle(); });
    window_.PumpPending();
  }
  void Job(uint32_t message) {
    dlg_->m_bBusy = 1;
    dlg_->m_pThread->PostToThread(message, reinterpret_cast<uintptr_t>(dlg_.get()), 0);
    WaitForJob();
  }

 private:
  platform::HeadlessWindow window_;
  platform::HeadlessView view_;
  TerminalReport report_;
  std::unique_ptr<CZarnetDlg> dlg_;
  std::optional<DialogSession> running_;
};

std::unique_ptr<Simulation> MaybeSimulate(const CommandLine& c, int imageClass) {
  if (!c.simulation.simulate) return nullptr;
  return std::make_unique<Simulation>(c.simulation, c.simulation.memoryClass.value_or(imageClass));
}

std::string HexOf(const uint8_t* bytes, size_t n) { return HexBytes(bytes, n, " "); }

int RunFlash(const CommandLine& c, std::ostream& out, std::ostream& err) {
  const ImageVerdict verdict = JudgeFirmwareImage(c.file);
  auto simulation = MaybeSimulate(c, verdict.memoryClass.value_or(8));
  Session session(c, out, err);
  session.Init(true);
  CZarnetDlg& dlg = session.Dlg();
  dlg.ChooseFirmware(c.file);
  // What the window would leave disabled is refused here.
  if (!dlg.m_bImageOk) {
    session.Report().Result(std::nullopt, kExitRefused, dlg.m_strError);
    return kExitRefused;
  }
  if (!dlg.m_cameraKey) {
    session.Report().Result(std::nullopt, kExitRefused, dlg.m_strStatus);
    return kExitRefused;
  }
  dlg.HandleMessage(platform::msg::kCommand, IDC_BTN_START, 0);
  if (!dlg.m_bBusy) {
    session.Report().Result(std::nullopt, kExitRefused, dlg.m_strError);
    return kExitRefused;
  }
  session.WaitForJob();
  const std::string result = session.View().GetText(IDC_RESULT);
  const int status = result == "Pass" ? kExitOk : kExitRefused;
  session.Report().Result(result, status, dlg.m_pThread->m_strReason);
  return status;
}

int RunJob(const CommandLine& c, uint32_t job, std::ostream& out, std::ostream& err) {
  auto simulation = MaybeSimulate(c, c.eraseClass);
  Session session(c, out, err);
  session.Init(true);
  session.Dlg().m_memClass = c.eraseClass;
  session.Job(job);
  const std::string result = session.View().GetText(IDC_RESULT);
  const int status = result == "Pass" ? kExitOk : kExitRefused;
  session.Report().Result(result, status, session.Dlg().m_pThread->m_strReason);
  return status;
}

int RunInfo(const CommandLine& c, std::ostream& out, std::ostream& err) {
  auto simulation = MaybeSimulate(c, 8);
  Session session(c, out, err);
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

int RunDeviceCommand(const std::string& name, const Arguments& args, std::ostream& out, std::ostream& err) {
  CommandLine c;
  c.name = name;
  if (const int status = Parse(args, c, out, err); status >= 0) return status;
  if (name == "flash") return RunFlash(c, out, err);
  if (name == "erase-chip") return RunJob(c, WM_DL_ERASE_CHIP, out, err);
  if (name == "reset") return RunJob(c, WM_DL_RESET_CAMERA, out, err);
  if (name == "info") return RunInfo(c, out, err);
  return RunList(c.json, c.simulation, out, err);
}
