// zarnet-cli: the command-line companion of the Zarnet window.

#include <iostream>
#include <string>

#include "Commands.h"

namespace {

const char kUsage[] =
    "usage: zarnet-cli COMMAND [options]\n"
    "\n"
    "Commands:\n"
    "  list                    every video-input device, and which are cameras\n"
    "  info                    the first camera as the window identifies it\n"
    "  flash FILE              write FILE into the camera: erase, write, verify, reset\n"
    "  erase-chip              erase the camera's memory\n"
    "  reset                   reset the camera\n"
    "  inspect [--json] FILE   judge a firmware image and show its descriptor table\n"
    "  make-sample FILE        write a sample firmware image made from code\n"
    "\n"
    "The device commands take --json, and --simulate to run on the substitute\n"
    "camera instead of a real one.\n"
    "\n"
    "'zarnet-cli COMMAND --help' tells more about each command.\n";

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << kUsage;
    return kExitUsage;
  }
  const std::string command = argv[1];
  const Arguments args(argv + 2, argv + argc);
  if (command == "inspect") return RunInspect(args, std::cout, std::cerr);
  if (command == "make-sample") return RunMakeSample(args, std::cout, std::cerr);
  if (command == "list" || command == "info" || command == "flash" || command == "erase-chip" || command == "reset")
    return RunDeviceCommand(command, args, std::cout, std::cerr);
  if (command == "--help" || command == "-h" || command == "help") {
    std::cout << kUsage;
    return kExitOk;
  }
  std::cerr << "zarnet-cli: unknown command " << command << "\n" << kUsage;
  return kExitUsage;
}
