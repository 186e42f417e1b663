#pragma once
// The faults a person can ask the substitute camera for by name, the same in
// zarnet-cli and the demonstration window: what goes wrong during a download.

#include <optional>
#include <string>

#include "platform/substitute/SubstituteWorld.h"

namespace substitute {

enum class NamedFault {
  kWrite,     // a write of the image fails
  kVerify,    // the read-back fails
  kReset,     // the reset into the new code fails
  kUnplug,    // the camera leaves the bus mid-write and comes back 3 s later
  kNoReturn,  // the camera does not come back after its reset
};

// "write, verify, reset, unplug or no-return", for messages.
extern const char kFaultNames[];
std::optional<NamedFault> FaultNamed(const std::string& name);

// What a download's steps look like on the camera: whether its driver serves
// the download-mode path (then a class-8 image goes that way).
struct DownloadShape {
  int memoryClass = 8;
  bool driverPath = true;
};

// The rule that fails the image's writes (their first is let through).
FaultRule WriteFault(const DownloadShape& shape);

// Arranges the fault on a camera of `world` that has not been reset yet.
void AddNamedFault(SubstituteWorld& world, DeviceId camera, NamedFault fault, const DownloadShape& shape);

}  // namespace substitute
