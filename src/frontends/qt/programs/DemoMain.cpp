// zarnet-demo-window: the desktop window on a substitute camera in real time,
// with a sample image in a scratch folder that serves as the current
// directory. For trying the window without a camera or an image.

#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <random>
#include <string>

#include "Version.h"
#include "firmware/SampleImage.h"
#include "frontends/qt/SignalWatch.h"
#include "frontends/qt/programs/WindowProgram.h"
#include "platform/FilesInFolder.h"
#include "platform/Platform.h"
#include "platform/substitute/NamedFaults.h"
#include "platform/substitute/SubstituteWorld.h"

namespace {

const char kUsage[] =
    "usage: zarnet-demo-window [--memory-class N] [--fault KIND] [--no-camera]\n"
    "       zarnet-demo-window --help | --version\n"
    "\n"
    "Opens the Zarnet window on a substitute camera that runs in real time,\n"
    "with a sample firmware image for the camera's memory as the only image of\n"
    "the current directory (a scratch folder, removed at the end, also when\n"
    "the program is interrupted, terminated or hung up).\n"
    "\n"
    "  --memory-class N  the camera's memory class, 1-8 (default 8, the 64 KiB\n"
    "                    serial flash)\n"
    "  --fault KIND      what goes wrong during a download, named as zarnet-cli\n"
    "                    names it:\n"
    "                      write      a write of the image fails\n"
    "                      verify     the read-back fails\n"
    "                      reset      the reset into the new code fails\n"
    "                      unplug     the camera leaves the bus mid-write and\n"
    "                                 comes back 3 s later\n"
    "                      no-return  the camera does not come back after its\n"
    "                                 reset\n"
    "  --no-camera       start without a camera\n"
    "  -h, --help        show this help and end\n"
    "      --version     show the version and end\n";

struct Options {
  int memoryClass = 8;
  std::optional<substitute::NamedFault> fault;
  bool camera = true;
  bool help = false;
  bool version = false;
};

void UsageError(const std::string& why) {
  std::fprintf(stderr, "zarnet-demo-window: %s\nsee zarnet-demo-window --help\n", why.c_str());
}

// Nothing on a usage error (its message is printed).
std::optional<Options> ParseOptions(int argc, char* argv[]) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    const bool takesValue = argument == "--memory-class" || argument == "--fault";
    if (takesValue && i + 1 == argc) {
      UsageError(argument + " needs a value");
      return std::nullopt;
    }
    if (argument == "--memory-class") {
      const std::string value = argv[++i];
      const bool digit = value.size() == 1 && value[0] >= '1' && value[0] <= '8';
      if (!digit) {
        UsageError("the memory class is 1 to 8");
        return std::nullopt;
      }
      options.memoryClass = value[0] - '0';
    } else if (argument == "--fault") {
      const auto fault = substitute::FaultNamed(argv[++i]);
      if (!fault) {
        UsageError(std::string("unknown fault (") + substitute::kFaultNames + ")");
        return std::nullopt;
      }
      options.fault = *fault;
    } else if (argument == "--no-camera") {
      options.camera = false;
    } else if (argument == "--help" || argument == "-h") {
      options.help = true;
    } else if (argument == "--version") {
      options.version = true;
    } else {
      UsageError((argument.size() > 1 && argument[0] == '-' ? "unknown option " : "unexpected argument ") + argument);
      return std::nullopt;
    }
  }
  return options;
}

class ScratchFolder {
 public:
  ScratchFolder() {
    std::random_device random;
    path_ = std::filesystem::temp_directory_path() / ("zarnet-demo-" + std::to_string(random()));
    std::filesystem::create_directories(path_);
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

bool WriteSampleImage(const std::filesystem::path& file, int memoryClass) {
  const auto part = _QTL_UVC_Descriptor::TypicalPartForClass(memoryClass);
  _QTL_UVC_Descriptor::SampleOptions sample;
  sample.eepromId = part.eepromId;
  sample.memType = part.memType;
  sample.imageSize = part.size;
  sample.everyRecordClass = part.size >= 4096;
  std::string error;
  const std::vector<uint8_t> image = _QTL_UVC_Descriptor::BuildSampleImage(sample, &error);
  if (image.empty()) {
    std::fprintf(stderr, "zarnet-demo-window: no sample image: %s\n", error.c_str());
    return false;
  }
  std::ofstream out(file, std::ios::binary);
  out.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
  return static_cast<bool>(out);
}

void InjectFault(substitute::SubstituteWorld& world, substitute::DeviceId camera, const Options& options) {
  if (options.fault) substitute::AddNamedFault(world, camera, *options.fault, {options.memoryClass, true});
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
    std::printf("zarnet-demo-window %s\n", ZARNET_VERSION);
    return 0;
  }
  const std::unique_ptr<QApplication> application =
      OpenApplication("zarnet-demo-window", "use zarnet-cli --simulate on a terminal");
  // Watched before the scratch folder exists and until it is gone: a signal
  // ends the window, and the folder goes as on any other exit.
  frontends::qt::SignalWatch signalWatch;
  ScratchFolder folder;
  const std::string sampleName = "sample-class" + std::to_string(options->memoryClass) + ".bin";
  if (!WriteSampleImage(folder.Path() / sampleName, options->memoryClass)) return 1;

  substitute::SubstituteWorldConfig config;
  config.realTime = true;
  config.logTraffic = false;  // a long session would keep every byte
  substitute::SubstituteWorld world(config);
  if (options->camera) {
    const substitute::DeviceId camera =
        world.AddCamera(substitute::CameraOfClass(static_cast<uint8_t>(options->memoryClass)));
    InjectFault(world, camera, *options);
  }
  platform::FilesInFolder files(folder.Path().string());
  platform::Platform seams = world.Platform();
  seams.files = &files;
  platform::ScopedPlatform inForce(seams);
  // Said once the window serves its events: where the images are.
  QTimer::singleShot(0, [&folder] {
    std::fprintf(stderr, "zarnet-demo-window: current directory %s (removed at the end)\n",
                 folder.Path().string().c_str());
  });
  WindowStart start;
  start.signalWatch = &signalWatch;
  const int code = RunZarnetWindow(start);
  // Ended by a signal: the status a shell gives a program that signal ended.
  return signalWatch.Received() != 0 ? 128 + signalWatch.Received() : code;
}
