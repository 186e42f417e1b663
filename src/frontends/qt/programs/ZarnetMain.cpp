// zarnet: the desktop window on the cameras of this machine.

#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "Version.h"
#include "frontends/qt/programs/WindowProgram.h"
#include "platform/Platform.h"
#include "platform/decorators/TracedPlatform.h"
#ifdef ZARNET_HAVE_UDEV
#include "platform/linux/UdevNotifications.h"
#endif

namespace {

const char kUsage[] =
    "usage: zarnet [FILE]\n"
    "       zarnet --help | --version\n"
    "\n"
    "Opens the Zarnet window, which writes a firmware image into the memory of\n"
    "a USB camera: it finds the camera, checks the image against it, and on\n"
    "Start erases, writes, verifies and restarts the camera's memory.\n"
    "\n"
    "FILE is the image to write, taken as if chosen with Browse. Without it the\n"
    "window takes the first *.bin file of the current directory. A *.bin file\n"
    "dropped on the window is taken the same way, while no download runs.\n"
    "\n"
    "  -h, --help     show this help and end\n"
    "      --version  show the version and end\n"
    "\n"
    "Without a display, or from a script, use zarnet-cli.\n";

struct Options {
  std::optional<std::string> file;
  bool help = false;
  bool version = false;
};

int UsageError(const std::string& why) {
  std::fprintf(stderr, "zarnet: %s\nsee zarnet --help\n", why.c_str());
  return kExitUsage;
}

// Nothing on a usage error (its message is printed).
std::optional<Options> ParseOptions(int argc, char* argv[]) {
  Options options;
  bool optionsEnded = false;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    const bool isOption = !optionsEnded && argument.size() > 1 && argument[0] == '-';
    if (isOption && argument == "--") {
      optionsEnded = true;
    } else if (isOption && (argument == "--help" || argument == "-h")) {
      options.help = true;
    } else if (isOption && argument == "--version") {
      options.version = true;
    } else if (isOption) {
      UsageError("unknown option " + argument);
      return std::nullopt;
    } else if (options.file) {
      UsageError("one image at most; " + argument + " is a second");
      return std::nullopt;
    } else {
      options.file = argument;
    }
  }
  return options;
}

}  // namespace

int main(int argc, char* argv[]) {
  const std::optional<Options> options = ParseOptions(argc, argv);
  if (!options) return kExitUsage;
  if (options->help) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (options->version) {
    std::printf("zarnet %s\n", ZARNET_VERSION);
    return 0;
  }
  const platform::ScopedHostTrace trace("zarnet");  // ZARNET_TRACE: the camera's traffic, for a bug report
  if (!trace.Error().empty()) return UsageError(trace.Error());
  const std::unique_ptr<QApplication> application = OpenApplication("zarnet", "use zarnet-cli on a terminal");
  // Desktops find the window's icon and name through the installed
  // zarnet.desktop.
  QGuiApplication::setDesktopFileName("zarnet");
  WindowStart start;
  start.file = options->file;
#ifdef ZARNET_HAVE_UDEV
  // Cameras that come and go are seen as they do; every other seam stays
  // the host's.
  std::unique_ptr<platform::IDeviceNotifications> notifications = platform::linux::CreateUdevNotifications();
  platform::Platform host;
  host.notifications = notifications.get();
  platform::ScopedPlatform inForce(host);
  return RunZarnetWindow(start);
#else
  return RunZarnetWindow(start);
#endif
}
