#pragma once
// Fault injection: rules that make a camera refuse an access, or vanish from
// the bus, at a chosen moment. Every KsProperty and IoControl call that
// reaches a present camera is one access, counted from 1 per camera.

#include <cstdint>
#include <limits>
#include <optional>
#include <vector>

#include "platform/Types.h"
#include "platform/substitute/CameraProtocol.h"

namespace substitute {

enum class AccessKind { kAny, kKsAny, kKsGet, kKsSet, kIoControl };

enum class FaultAction {
  kFail,          // the access fails with the rule's status; the camera latches its status code
  kUnplugBefore,  // the camera leaves the bus; the access fails as on a gone device
  kUnplugAfter,   // the access is served, then the camera leaves the bus
};

// Byte addresses, both ends included.
struct AddressRange {
  uint32_t first = 0;
  uint32_t last = 0;
};

struct FaultRule {
  AccessKind kind = AccessKind::kAny;
  std::optional<uint64_t> accessNumber;  // only the Nth access of the camera
  std::optional<uint32_t> selector;      // extension-unit control selector
  // The command the access belongs to: the block being set on the command
  // control, or the command whose transfer is open.
  std::optional<uint8_t> commandClass;
  std::optional<uint8_t> opcode;
  std::optional<uint8_t> bRequest;       // driver request number
  std::optional<AddressRange> addresses; // memory bytes the access moves or names

  uint32_t skipMatches = 0;  // matching accesses let through before the rule fires
  uint32_t maxFires = std::numeric_limits<uint32_t>::max();

  FaultAction action = FaultAction::kFail;
  platform::Status ksStatus = kStalled;
  uint16_t cameraStatus = camera_status::kHardwareError;
  uint32_t ioError = platform::kErrorGenFailure;
  std::optional<uint32_t> replugAfterMs;  // an unplugged camera comes back after this time
};

// What an access is, as far as rules can tell.
struct AccessFacts {
  AccessKind kind = AccessKind::kKsGet;
  uint64_t number = 0;
  uint32_t selector = 0;
  std::optional<uint8_t> commandClass;
  std::optional<uint8_t> opcode;
  std::optional<uint8_t> bRequest;
  std::optional<AddressRange> addresses;
};

class FaultPlan {
 public:
  void Add(const FaultRule& rule) { entries_.push_back({rule}); }
  void Clear() { entries_.clear(); }
  // The first rule that fires on this access, if any; every matching rule
  // counts the match.
  std::optional<FaultRule> Match(const AccessFacts& facts);
  uint32_t Fired() const { return fired_; }

 private:
  struct Entry {
    FaultRule rule;
    uint32_t matches = 0;
    uint32_t fires = 0;
  };
  std::vector<Entry> entries_;
  uint32_t fired_ = 0;
};

bool RuleMatches(const FaultRule& rule, const AccessFacts& facts);

}  // namespace substitute
