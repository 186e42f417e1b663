#include "platform/substitute/NamedFaults.h"

namespace substitute {

namespace {

uint8_t WriteOpcode(int memoryClass) {
  switch (memoryClass) {
    case 5: return 0x8B;
    case 6: return 0x91;
    case 7: return 0x87;
    case 8: return 0x82;
    default: return 0x8E;
  }
}

uint8_t ReadOpcode(int memoryClass) { return static_cast<uint8_t>(WriteOpcode(memoryClass) | 0x40); }

constexpr uint8_t kDriverReset = 1;
constexpr uint8_t kDriverWrite = 4;
constexpr uint8_t kDriverRead = 5;

FaultRule RuleFor(NamedFault fault, const DownloadShape& shape) {
  const bool driver = shape.driverPath && shape.memoryClass == 8;
  // The probe comes first on the driver path. Classes 5 and 6 read their
  // memory only to verify; the others also check it is blank first.
  const uint32_t readsBeforeVerify = shape.memoryClass == 5 || shape.memoryClass == 6 ? 0 : 1;
  switch (fault) {
    case NamedFault::kVerify: {
      FaultRule rule = driver ? DriverFault(kDriverRead, 1) : CommandFault(0x02, ReadOpcode(shape.memoryClass));
      if (!driver) rule.skipMatches = readsBeforeVerify;
      return rule;
    }
    case NamedFault::kReset: return driver ? DriverFault(kDriverReset, 0) : CommandFault(0x00, 0x09);
    case NamedFault::kUnplug: {
      FaultRule rule = RuleFor(NamedFault::kWrite, shape);
      rule.action = FaultAction::kUnplugBefore;
      rule.replugAfterMs = 3000;
      return rule;
    }
    default: return driver ? DriverFault(kDriverWrite, 1) : CommandFault(0x02, WriteOpcode(shape.memoryClass));
  }
}

}  // namespace

FaultRule WriteFault(const DownloadShape& shape) { return RuleFor(NamedFault::kWrite, shape); }

const char kFaultNames[] = "write, verify, reset, unplug or no-return";

std::optional<NamedFault> FaultNamed(const std::string& name) {
  if (name == "write") return NamedFault::kWrite;
  if (name == "verify") return NamedFault::kVerify;
  if (name == "reset") return NamedFault::kReset;
  if (name == "unplug") return NamedFault::kUnplug;
  if (name == "no-return") return NamedFault::kNoReturn;
  return std::nullopt;
}

void AddNamedFault(SubstituteWorld& world, DeviceId camera, NamedFault fault, const DownloadShape& shape) {
  if (fault == NamedFault::kNoReturn) {
    world.ConfigureCamera(camera, [](SubstituteCameraConfig& config) { config.neverReturns = true; });
    return;
  }
  world.AddFault(camera, RuleFor(fault, shape));
}

}  // namespace substitute
