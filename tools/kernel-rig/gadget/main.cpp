// zarnet-gadget-camera: the substitute camera as a USB device, on the device
// side of a USB controller through raw_gadget, so that a real kernel's
// usbcore, uvcvideo and udev meet the camera the tests use. Runs in the
// kernel rig's virtual machine (tools/kernel-rig/).

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include "GadgetCamera.h"
#include "UvcDescriptors.h"
#include "platform/CameraExtensionUnit.h"
#include "platform/substitute/CameraProtocol.h"

namespace {

const char kUsage[] =
    "usage: zarnet-gadget-camera [options]\n"
    "  --memory-class N     the camera's memory, 1-8 (default 8)\n"
    "  --no-probe           the camera refuses the download-mode vendor requests\n"
    "  --download-mode      the camera asks to be switched to download mode first\n"
    "  --reboot-ms MS       time off the bus after a reset (default 1500)\n"
    "  --silent-write N     the Nth write on the data control is never answered\n"
    "  --unplug-write N     at the Nth write on the data control the camera leaves the bus\n"
    "  --replug-ms MS       and comes back after MS (default 3000)\n"
    "  --state-dir DIR      where SIGUSR1 writes memory.bin and state (default /tmp/camera)\n"
    "  --udc DRIVER DEVICE  the controller (default dummy_udc dummy_udc.0)\n"
    "  --serial TEXT        the serial number string (default ZRIG0001)\n";

struct Options {
  int memoryClass = 8;
  bool probe = true;
  bool downloadMode = false;
  uint32_t rebootMs = 1500;
  uint32_t unplugWrite = 0;
  uint32_t replugMs = 3000;
  std::string stateDir = "/tmp/camera";
  rig::GadgetOptions gadget;
};

[[noreturn]] void Usage(const std::string& problem) {
  std::fprintf(stderr, "zarnet-gadget-camera: %s\n%s", problem.c_str(), kUsage);
  std::exit(2);
}

uint32_t Number(const std::string& text, const char* option) {
  char* end = nullptr;
  const unsigned long value = std::strtoul(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || value > 0xFFFFFFFFul) Usage(std::string(option) + " takes a number");
  return static_cast<uint32_t>(value);
}

Options Parse(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= argc) Usage(a + " needs a value");
      return argv[++i];
    };
    if (a == "--memory-class") {
      o.memoryClass = static_cast<int>(Number(value(), "--memory-class"));
      if (o.memoryClass < 1 || o.memoryClass > 8) Usage("--memory-class takes 1 to 8");
    } else if (a == "--no-probe") {
      o.probe = false;
    } else if (a == "--download-mode") {
      o.downloadMode = true;
    } else if (a == "--reboot-ms") {
      o.rebootMs = Number(value(), "--reboot-ms");
    } else if (a == "--silent-write") {
      o.gadget.silentWrite = Number(value(), "--silent-write");
    } else if (a == "--unplug-write") {
      o.unplugWrite = Number(value(), "--unplug-write");
    } else if (a == "--replug-ms") {
      o.replugMs = Number(value(), "--replug-ms");
    } else if (a == "--state-dir") {
      o.stateDir = value();
    } else if (a == "--udc") {
      o.gadget.udcDriver = value();
      o.gadget.udcDevice = value();
    } else if (a == "--serial") {
      o.gadget.serial = value();
      // A string descriptor holds at most 126 UTF-16 characters.
      if (o.gadget.serial.empty() || o.gadget.serial.size() > 126) Usage("--serial takes 1 to 126 characters");
    } else if (a == "--help") {
      std::fputs(kUsage, stdout);
      std::exit(0);
    } else {
      Usage("unknown option " + a);
    }
  }
  return o;
}

substitute::SubstituteDeviceConfig CameraConfig(const Options& o) {
  substitute::SubstituteCameraConfig camera = substitute::CameraOfClass(static_cast<uint8_t>(o.memoryClass));
  if (!o.probe) camera.driverPath = substitute::DriverPathService::kRefused;
  camera.needsDownloadMode = o.downloadMode;
  camera.rebootDelayMs = o.rebootMs;
  substitute::SubstituteDeviceConfig device = substitute::CameraDevice(camera);
  device.usbVendorId = rig::kVendorId;
  device.usbProductId = rig::kProductId;
  return device;
}

// The camera leaves the bus as it takes the Nth data block, as if pulled out.
substitute::FaultRule UnplugAtWrite(const Options& o) {
  substitute::FaultRule rule;
  rule.kind = substitute::AccessKind::kControlSet;
  rule.selector = platform::kCameraDataSelector;
  rule.skipMatches = o.unplugWrite - 1;
  rule.maxFires = 1;
  rule.action = substitute::FaultAction::kUnplugBefore;
  rule.replugAfterMs = o.replugMs;
  return rule;
}

void WriteFile(const std::string& path, const void* bytes, size_t size) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(static_cast<const char*>(bytes), static_cast<std::streamsize>(size));
}

// The memory first, the state last and whole, so that a reader that sees
// the state file also sees the memory it describes.
void Dump(substitute::SubstituteWorld& world, substitute::DeviceId id, const rig::GadgetCamera& camera,
          const std::string& dir) {
  const std::vector<uint8_t> memory = world.Memory(id);
  WriteFile(dir + "/memory.bin", memory.data(), memory.size());
  char state[512];
  const int length = std::snprintf(
      state, sizeof state,
      "present=%d\ndepartures=%u\nrequests=%llu\nxuRequests=%llu\nvendorRequests=%llu\ndataLength=%u\n"
      "memoryWritable=%d\nflashStatus=0x%02x\nprotectA=0x%02x\nprotectB=0x%02x\nmode=%s\n",
      world.IsPresent(id) ? 1 : 0, world.Departures(id), static_cast<unsigned long long>(camera.Counts().all.load()),
      static_cast<unsigned long long>(camera.Counts().extensionUnit.load()),
      static_cast<unsigned long long>(camera.Counts().vendor.load()), world.DataLength(id),
      world.MemoryWritable(id) ? 1 : 0, world.FlashStatusRegister(id),
      world.Register(id, substitute::kProtectRegisterA), world.Register(id, substitute::kProtectRegisterB),
      world.Mode(id) == substitute::CameraMode::kDownload ? "download" : "running");
  WriteFile(dir + "/state.tmp", state, static_cast<size_t>(length));
  std::rename((dir + "/state.tmp").c_str(), (dir + "/state").c_str());
}

}  // namespace

int main(int argc, char** argv) {
  const Options options = Parse(argc, argv);
  // Signals are taken by one thread of their own; the world's threads and
  // the bus loop never see them.
  sigset_t signals;
  sigemptyset(&signals);
  for (const int s : {SIGUSR1, SIGTERM, SIGINT}) sigaddset(&signals, s);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);

  substitute::SubstituteWorldConfig config;
  config.realTime = true;
  config.latency = {0, 0, 0};  // the bus itself takes the time
  config.logTraffic = false;
  // Requests come from the bus threads, not from a host's apartments.
  config.threadBoundObjects = false;
  substitute::SubstituteWorld world(config);
  const substitute::DeviceId id = world.AddDevice(CameraConfig(options));
  if (options.unplugWrite) world.AddFault(id, UnplugAtWrite(options));
  rig::GadgetCamera camera(world, id, options.gadget);

  std::thread([&] {
    for (;;) {
      int received = 0;
      if (sigwait(&signals, &received) != 0) continue;
      if (received == SIGUSR1) {
        Dump(world, id, camera, options.stateDir);
        continue;
      }
      // Closing the gadget with the process takes the camera off the bus.
      std::_Exit(0);
    }
  }).detach();

  for (;;) {
    if (!world.IsPresent(id)) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      continue;
    }
    std::string error;
    if (!camera.ServeAppearance(&error)) {
      std::fprintf(stderr, "zarnet-gadget-camera: %s\n", error.c_str());
      return 1;
    }
  }
}
