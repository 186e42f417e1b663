// zarnet-demo-window: the desktop window on a substitute camera in real time,
// with a sample image in a scratch folder that serves as the current
// directory. For trying the window without a camera or an image.

#include <QApplication>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>

#include "firmware/SampleImage.h"
#include "frontends/qt/programs/WindowProgram.h"
#include "platform/FilesInFolder.h"
#include "platform/Platform.h"
#include "platform/substitute/SubstituteWorld.h"

namespace {

const char kUsage[] =
    "usage: zarnet-demo-window [--memory-class N] [--fault KIND] [--no-camera] [--help]\n"
    "\n"
    "Opens the Zarnet window on a substitute camera that runs in real time,\n"
    "with a sample firmware image for the camera's memory as the only image of\n"
    "the current directory (a scratch folder, removed at the end).\n"
    "\n"
    "  --memory-class N  the camera's memory class, 1-8 (default 8, the 64 KiB\n"
    "                    serial flash)\n"
    "  --fault KIND      what goes wrong during a download:\n"
    "                      midway         the first access to the middle of the\n"
    "                                     memory fails\n"
    "                      unplug         the camera leaves the bus there and\n"
    "                                     comes back 3 s later\n"
    "                      never-returns  the camera does not come back after its\n"
    "                                     reset\n"
    "  --no-camera       start without a camera\n";

enum class Fault { kNone, kMidway, kUnplug, kNeverReturns };

struct Options {
  int memoryClass = 8;
  Fault fault = Fault::kNone;
  bool camera = true;
  bool help = false;
};

std::optional<Fault> FaultNamed(const std::string& name) {
  if (name == "midway") return Fault::kMidway;
  if (name == "unplug") return Fault::kUnplug;
  if (name == "never-returns") return Fault::kNeverReturns;
  return std::nullopt;
}

// Nothing on a usage error (its message is printed).
std::optional<Options> ParseOptions(const QStringList& arguments) {
  Options options;
  for (qsizetype i = 1; i < arguments.size(); ++i) {
    const std::string argument = arguments[i].toStdString();
    const bool hasValue = i + 1 < arguments.size();
    if (argument == "--memory-class" && hasValue) {
      bool ok = false;
      options.memoryClass = arguments[++i].toInt(&ok);
      if (!ok || options.memoryClass < 1 || options.memoryClass > 8) {
        std::fputs("zarnet-demo-window: the memory class is 1 to 8\n", stderr);
        return std::nullopt;
      }
    } else if (argument == "--fault" && hasValue) {
      const auto fault = FaultNamed(arguments[++i].toStdString());
      if (!fault) {
        std::fputs("zarnet-demo-window: unknown fault (midway, unplug, never-returns)\n", stderr);
        return std::nullopt;
      }
      options.fault = *fault;
    } else if (argument == "--no-camera") {
      options.camera = false;
    } else if (argument == "--help") {
      options.help = true;
    } else {
      std::fputs(kUsage, stderr);
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
  if (options.fault == Fault::kNeverReturns) {
    world.ConfigureCamera(camera, [](auto& config) { config.neverReturns = true; });
    return;
  }
  if (options.fault == Fault::kNone) return;
  // The middle of the sample image, which fills the typical part of the class.
  const uint32_t middle = _QTL_UVC_Descriptor::TypicalPartForClass(options.memoryClass).size / 2;
  substitute::FaultRule rule;
  rule.addresses = substitute::AddressRange{middle, middle};
  rule.maxFires = 1;
  if (options.fault == Fault::kUnplug) {
    rule.action = substitute::FaultAction::kUnplugBefore;
    rule.replugAfterMs = 3000;
  }
  world.AddFault(camera, rule);
}

}  // namespace

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  const std::optional<Options> options = ParseOptions(QApplication::arguments());
  if (!options) return 2;
  if (options->help) {
    std::fputs(kUsage, stdout);
    return 0;
  }

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
  return RunZarnetWindow();
}
