#include "Tracing.h"

#include <optional>
#include <ostream>
#include <utility>

#include "Commands.h"
#include "platform/decorators/TracedPlatform.h"
#include "platform/replay/RecordedTrace.h"
#include "platform/replay/ReplayPlatform.h"

namespace {

const char kReplayUsage[] =
    "usage: zarnet-cli replay TRACE -- COMMAND [options]\n"
    "\n"
    "Runs a device command (list, info, flash, verify, read, erase-chip, reset)\n"
    "against the camera that TRACE recorded ('zarnet-cli --trace TRACE COMMAND ...'),\n"
    "played back in virtual time: every transfer is answered as it was recorded,\n"
    "failures included, and the camera leaves and comes back when it did. The\n"
    "command must send what the recorded run sent, in the same order: the first\n"
    "transfer that differs, or that goes beyond the recording, stops the replay\n"
    "with the transfer's number, its line in TRACE and the bytes expected and\n"
    "sent, and the command fails. So does a command that ends before the\n"
    "recording does.\n"
    "\n"
    "Exit status: the command's, or 1 when the replay stopped or was left\n"
    "unfinished; 2 when TRACE can't be read or is not a trace.\n";

const char kDeviceCommands[] = "a device command (list, info, flash, verify, read, erase-chip, reset)";

std::shared_ptr<platform::ITraceSink>& Requested() {
  static std::shared_ptr<platform::ITraceSink> sink;
  return sink;
}

int Usage(const std::string& why, std::ostream& err) {
  err << "zarnet-cli: " << why << "\nsee zarnet-cli --help\n";
  return kExitUsage;
}

bool HasOption(const Arguments& args, const std::string& name) {
  const CommandArguments parsed(args);
  for (size_t i = 0; i < parsed.size(); ++i)
    if (parsed.IsOption(i) && parsed[i] == name) return true;
  return false;
}

bool AsksForHelp(const Arguments& args) { return HasOption(args, "--help") || HasOption(args, "-h"); }

// Why `command` with `args` can't run traced or replayed; empty when it can.
std::string Refusal(const char* what, const std::string& command, const Arguments& args) {
  if (command.empty() || !IsDeviceCommand(command)) return std::string(what) + " goes with " + kDeviceCommands;
  if (command == "flash" && HasOption(args, "--all"))
    return std::string(what) + " is one camera's run: not with flash --all";
  return {};
}

}  // namespace

bool IsTraceOption(const std::string& argument) { return argument == "--trace" || argument.rfind("--trace=", 0) == 0; }

std::shared_ptr<platform::ITraceSink> RequestedTrace() { return Requested(); }

int RunTraced(const std::string& option, const Arguments& rest, const CommandRunner& run, std::ostream& err) {
  const bool valueFollows = option == "--trace";
  const std::string file = valueFollows ? (rest.empty() ? "" : rest.front()) : option.substr(8);
  if (file.empty()) return Usage("--trace needs a file", err);
  const Arguments words(rest.begin() + (valueFollows ? 1 : 0), rest.end());
  const std::string command = words.empty() ? "" : words.front();
  const Arguments args(words.empty() ? words.end() : words.begin() + 1, words.end());
  if (const std::string why = Refusal("--trace", command, args); !why.empty()) return Usage(why, err);
  if (AsksForHelp(args)) return run(command, args);
  const bool simulated = HasOption(args, "--simulate");
  std::string why;
  if (!simulated && !platform::HostCameraBackend())
    return Usage("cannot trace: this build reaches its cameras in a way that can't be traced", err);
  std::shared_ptr<platform::FileTraceSink> sink = platform::FileTraceSink::Create(file, &why);
  if (!sink) return Usage("cannot create the trace " + file + ": " + why, err);
  if (simulated) {
    // The substitute camera is made by the command itself, which traces it.
    Requested() = sink;
    const int status = run(command, args);
    Requested().reset();
    return status;
  }
  const std::unique_ptr<platform::TracedPlatform> traced = platform::TraceHost(std::move(sink), "zarnet-cli", &why);
  const platform::ScopedPlatform inForce(traced->Seams());
  return run(command, args);
}

int RunReplay(const Arguments& args, const CommandRunner& run, std::ostream& out, std::ostream& err) {
  if (!args.empty() && (args.front() == "--help" || args.front() == "-h")) {
    out << kReplayUsage;
    return kExitOk;
  }
  if (args.empty()) return UsageError("replay", "TRACE is missing", err);
  const bool separated = args.size() > 1 && args[1] == "--";
  const Arguments words(args.begin() + (separated ? 2 : 1), args.end());
  const std::string command = words.empty() ? "" : words.front();
  const Arguments commandArgs(words.empty() ? words.end() : words.begin() + 1, words.end());
  if (const std::string why = Refusal("replay", command, commandArgs); !why.empty())
    return UsageError("replay", why, err);
  if (HasOption(commandArgs, "--simulate"))
    return UsageError("replay", "--simulate has no place in a replay: the recording is the camera", err);
  if (AsksForHelp(commandArgs)) return run(command, commandArgs);
  std::string error;
  std::optional<platform::RecordedTrace> trace = platform::ReadTrace(args.front(), &error);
  if (!trace) {
    err << "zarnet-cli replay: " << error << "\n";
    return kExitUsage;
  }
  platform::ReplayPlatform replay(std::move(*trace));
  int status = kExitOk;
  {
    const platform::ScopedPlatform inForce(replay.Seams());
    status = run(command, commandArgs);
  }
  const std::string verdict = replay.Verdict();
  if (verdict.empty()) return status;
  err << "zarnet-cli replay: " << verdict << "\n";
  return status != kExitOk ? status : kExitRefused;
}
