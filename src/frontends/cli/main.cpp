// zarnet-cli: the command-line companion of the Zarnet window.

#include <algorithm>
#include <csignal>
#include <exception>
#include <iostream>
#include <string>

#include "Commands.h"
#include "Json.h"
#include "Tracing.h"
#include "Version.h"

namespace {

const char kUsage[] =
    "usage: zarnet-cli COMMAND [options]\n"
    "\n"
    "Commands:\n"
    "  list                    every video-input device, and which are cameras\n"
    "  info                    the camera as the window identifies it\n"
    "  flash IMAGE             write IMAGE into the camera: erase, write, verify, reset\n"
    "  flash --all IMAGE       write IMAGE into every camera present, all at once\n"
    "  read OUT                save what the camera's memory holds into OUT\n"
    "  verify IMAGE            compare the camera's memory with IMAGE, changing nothing\n"
    "  erase-chip              erase the camera's memory\n"
    "  reset                   reset the camera\n"
    "  inspect FILE            judge a firmware image: its descriptor table, or --summary\n"
    "  make-sample FILE        write a sample firmware image made from code\n"
    "  replay TRACE -- COMMAND ...  run a device command against the camera TRACE\n"
    "                        recorded, played back\n"
    "  help [COMMAND]          this text, or what COMMAND takes\n"
    "\n"
    "The device commands act on the first camera that answers identify, or on\n"
    "the one --device names (also by its port, as list shows it); they take\n"
    "--json, and --simulate to run on the substitute camera instead of a real one.\n"
    "'zarnet-cli --trace FILE COMMAND ...' records the camera's traffic during a\n"
    "device command into FILE, to send with a bug report.\n"
    "\n"
    "Exit status: 0 success, 1 refused or FAIL, 2 usage error or unreadable input,\n"
    "130 ended by an interrupt (143 by SIGTERM).\n"
    "'zarnet-cli COMMAND --help' tells more about each command; 'zarnet-cli\n"
    "--version' tells the version.\n";

int Run(const std::string& command, const Arguments& args) {
  if (command == "inspect") return RunInspect(args, std::cout, std::cerr);
  if (command == "make-sample") return RunMakeSample(args, std::cout, std::cerr);
  if (IsDeviceCommand(command)) return RunDeviceCommand(command, args, std::cout, std::cerr);
  std::cerr << "zarnet-cli: unknown command " << command << "\nsee zarnet-cli --help\n";
  return kExitUsage;
}

int Main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << kUsage;
    return kExitUsage;
  }
  const std::string command = argv[1];
  const Arguments args(argv + 2, argv + argc);
  if (command == "--version" || command == "-V") {
    std::cout << "zarnet-cli " << ZARNET_VERSION << "\n";
    return kExitOk;
  }
  if (command == "--help" || command == "-h" || (command == "help" && args.empty())) {
    std::cout << kUsage;
    return kExitOk;
  }
  if (command == "help" && args[0] == "replay") return RunReplay({"--help"}, Run, std::cout, std::cerr);
  if (command == "help") return Run(args[0], {"--help"});
  if (IsTraceOption(command)) return RunTraced(command, args, Run, std::cerr);
  if (command == "replay") return RunReplay(args, Run, std::cout, std::cerr);
  return Run(command, args);
}

}  // namespace

// Whatever a library throws ends the program with a line, never with an
// abort that leaves the user a core dump and no reason.
int main(int argc, char** argv) {
#ifndef _WIN32
  // A reader that goes away (a `| head`, or flash --all's parent ended) must
  // not end the program in the middle of a download: the write to it fails
  // instead, and the camera is finished.
  std::signal(SIGPIPE, SIG_IGN);
#endif
  std::string why = "internal error";
  try {
    return Main(argc, argv);
  } catch (const std::exception& e) {
    why += std::string(": ") + e.what();
  } catch (...) {
  }
  std::cerr << "zarnet-cli: " << why << "\n";
  // A script reading JSON still gets its result.
  if (std::find(argv, argv + argc, std::string("--json")) != argv + argc)
    std::cout << ResultEvent(std::nullopt, kExitRefused, why) << "\n";
  return kExitRefused;
}
