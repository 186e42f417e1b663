#pragma once
// --simulate: the device commands run on the substitute camera instead of the
// platform's real backend, with the camera set up as the options say.

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Commands.h"
#include "platform/Platform.h"
#include "platform/decorators/TracedPlatform.h"
#include "platform/substitute/SubstituteWorld.h"

struct SimulationOptions {
  bool simulate = false;
  bool fast = false;               // virtual time instead of the USB timing model
  std::optional<int> memoryClass;  // default: what the image needs, else 8
  bool probe = true;               // the driver serves the download-mode path
  bool downloadMode = false;       // the camera asks to be switched first (0x11)
  std::optional<int> generation;   // 0-3
  std::optional<std::array<uint8_t, 8>> flashInfo;
  std::string fault;         // "", "write", "verify", "reset", "unplug", "no-return"
  bool extraWebcam = false;  // a webcam that does not answer identify, at position 0
  int cameras = 1;           // cameras of one line, on ports 1-1 ... 1-N
  std::string memoryFile;    // the camera's memory kept here between runs
  int interrupts = 0;        // interrupts that arrive while the image is written
  bool terminate = false;    // the interrupt is a SIGTERM, not a SIGINT
};

// Takes the simulation option at args[*i] (and its value); false when the
// argument is not one. A bad value sets `error`.
bool ParseSimulationOption(const CommandArguments& args, size_t* i, SimulationOptions* options, std::string* error);
extern const char kSimulationHelp[];
constexpr char kSimulatedSerialNumber[] = "SIM0001";  // the first camera's; the next are SIM0002 ...
constexpr int kMaxSimulatedCameras = 8;
// For the commands where the memory class only describes the substitute camera.
extern const char kSimulatedMemoryClassHelp[];

// The first option given that only describes the substitute camera (all but
// --simulate and --memory-class), or empty.
std::string SimulationOnlyOption(const SimulationOptions& options);

// The options again as arguments, for a copy of this program that is to
// simulate the same world (--memory-file aside: it belongs to one run).
std::vector<std::string> SimulationArguments(const SimulationOptions& options);

// Why the options' memory file can't be the memory of a camera of
// `memoryClass`, on one line, or nothing: it must be a regular file of the
// memory's size, or missing (a fresh camera). A command that `changesMemory`
// must also be able to write it.
std::optional<std::string> MemoryFileRefusal(const SimulationOptions& options, int memoryClass, bool changesMemory);

// The substitute world the options describe, installed as the platform for
// as long as the object lives. Its memory file is written only for a command
// that `changesMemory`, and only by SaveMemory.
//
// With --cameras N the world is a production line: N cameras, each with its
// own memory, on ports 1-1 ... 1-N, each given a new device path whenever it
// comes back to the bus. The cameras of a line are flashed at once, so their
// resets overlap: when one resets, every other one leaves the bus with it and
// comes back first, after half its reboot delay. Faults and interrupts are
// the first camera's (port 1-1), as they are the single camera's.
class Simulation {
 public:
  Simulation(const SimulationOptions& options, int memoryClass, bool changesMemory = false);
  ~Simulation();
  Simulation(const Simulation&) = delete;
  Simulation& operator=(const Simulation&) = delete;

  substitute::SubstituteWorld& World() { return *world_; }
  substitute::DeviceId Camera() const { return camera_; }
  // Keeps the camera's memory in the memory file, when there is one and the
  // command may change the memory. Empty, or why it could not be saved.
  std::string SaveMemory();
  // On a line, a run that chose its camera by port or serial number speaks
  // to that camera alone: why it did not (which other cameras it spoke to),
  // or empty. A simulated run so checks itself as a test would.
  std::string OtherCamerasSpokenTo(const std::string& chosen);

 private:
  void InjectFault(const SimulationOptions& options, int memoryClass);
  void InterruptMidWrite(const SimulationOptions& options, int memoryClass);
  void ResetTogether(uint32_t rebootDelayMs);
  platform::Platform TracedIfAsked(platform::Platform seams);

  std::unique_ptr<substitute::SubstituteWorld> world_;
  substitute::DeviceId camera_ = 0;  // the first camera
  std::vector<substitute::DeviceId> line_;
  std::vector<std::pair<std::string, std::string>> portsAndSerials_;  // of line_, in order
  std::string memoryFile_;
  bool changesMemory_ = false;
  std::unique_ptr<platform::TracedPlatform> traced_;  // under --trace
  std::optional<platform::ScopedPlatform> inForce_;
};
