#pragma once
// Fault injection over any camera's channels: rules that make an access fail,
// or the camera vanish from the bus, at a chosen moment. Every control access
// and every vendor request that reaches the camera is one access, counted
// from 1 per camera. What an access is about (the command whose transfer is
// open, the memory bytes it moves) is read off the traffic itself, so the
// same rules serve every backend.

#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/CameraExtensionUnit.h"
#include "platform/ExtensionUnitChannel.h"
#include "platform/Types.h"
#include "platform/VendorRequestChannel.h"

namespace platform {

enum class AccessKind {
  kAny,
  kControlAny,
  kControlGet,
  kControlSet,
  kVendorRequest,
};

enum class FaultAction {
  kFailAccess,    // the access fails with the rule's status; the camera latches its status code
  kUnplugBefore,  // the camera leaves the bus; the access fails as on a gone device
  kUnplugAfter,   // the access is served, then the camera leaves the bus
  kNotify,        // the rule's `notify` runs, then the access is served: a moment a test acts at
};

// Byte addresses, both ends included.
struct AddressRange {
  uint32_t first = 0;
  uint32_t last = 0;
};

// The command status a refused access leaves latched unless a rule says
// otherwise: a hardware error.
constexpr uint16_t kRefusedCommandStatus = 0x09;

struct FaultRule {
  AccessKind kind = AccessKind::kAny;
  std::optional<uint64_t> accessNumber;  // only the Nth access of the camera
  std::optional<uint32_t> selector;      // extension-unit control selector
  // The command the access belongs to: the block being set on the command
  // control, or the command whose transfer is open.
  std::optional<uint8_t> commandClass;
  std::optional<uint8_t> opcode;
  std::optional<uint8_t> bRequest;        // vendor request number
  std::optional<AddressRange> addresses;  // memory bytes the access moves or names

  uint32_t skipMatches = 0;  // matching accesses let through before the rule fires
  uint32_t maxFires = std::numeric_limits<uint32_t>::max();

  FaultAction action = FaultAction::kFailAccess;
  Status ksStatus = kStalled;                     // what a failed control access returns
  uint16_t cameraStatus = kRefusedCommandStatus;  // the command status it leaves latched
  uint32_t ioError = kErrorGenFailure;            // what a failed vendor request returns
  std::optional<uint32_t> replugAfterMs;          // an unplugged camera comes back after this time
  std::function<void()> notify;                   // kNotify
};

// The set of the command block with this class and opcode on the command
// control fails.
inline FaultRule CommandFault(uint8_t commandClass, uint8_t opcode) {
  FaultRule rule;
  rule.kind = AccessKind::kControlSet;
  rule.selector = kCameraCommandSelector;
  rule.commandClass = commandClass;
  rule.opcode = opcode;
  return rule;
}

// The vendor request `bRequest` fails with `error` once `skip` of them have
// gone through.
inline FaultRule DriverFault(uint8_t bRequest, uint32_t skip = 0, uint32_t error = kErrorGenFailure) {
  FaultRule rule;
  rule.kind = AccessKind::kVendorRequest;
  rule.bRequest = bRequest;
  rule.skipMatches = skip;
  rule.ioError = error;
  return rule;
}

// What an access is, as far as rules can tell.
struct AccessFacts {
  AccessKind kind = AccessKind::kControlGet;
  uint64_t number = 0;
  uint32_t selector = 0;
  std::optional<uint8_t> commandClass;
  std::optional<uint8_t> opcode;
  std::optional<uint8_t> bRequest;
  std::optional<AddressRange> addresses;
};

bool RuleMatches(const FaultRule& rule, const AccessFacts& facts);

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

// Follows the vendor command protocol as it passes on the extension unit: the
// 8-byte block on the command control opens a data phase on the data control
// (opcode bit 7; bit 6 towards the host), whose blocks run over the command's
// bytes; the length change (00 16) sets the block length and is confirmed by
// one block of that length.
class CommandTracker {
 public:
  AccessFacts Describe(bool isSet, uint32_t selector, const uint8_t* data, uint32_t length) const;
  void Observe(bool isSet, uint32_t selector, const uint8_t* data, uint32_t length, Status status);
  // A refused access drops the open transfer, as the camera does.
  void DropTransfer() { transfer_ = {}; }
  // A camera that came back starts afresh.
  void PowerUp() { *this = CommandTracker(); }

 private:
  struct Transfer {
    bool open = false;
    uint8_t commandClass = 0;
    uint8_t opcode = 0;
    bool namesAddresses = false;
    uint32_t address = 0;
    uint32_t total = 0;
    uint32_t done = 0;
  };
  uint32_t NextBlock() const;

  Transfer transfer_;
  uint32_t blockLength_ = 8;
};

// What a fault's action needs from whoever composed the channels.
class IFaultHooks {
 public:
  virtual ~IFaultHooks() = default;
  // Whether an access now reaches the camera at all; one that does not
  // (the camera is gone) is passed on uncounted.
  virtual bool Reachable() = 0;
  virtual void Unplug(std::optional<uint32_t> replugAfterMs) = 0;
  // The camera refuses the access with this command status latched.
  virtual void LatchStatus(uint16_t status) = 0;
};

// The rules, the access count and the protocol state of one camera, shared
// by every channel opened on it.
class FaultState {
 public:
  void Add(const FaultRule& rule);
  void Clear();
  uint32_t Fired() const;
  uint64_t Accesses() const;

  // One access: counts it, describes it and picks the rule that fires.
  // `incarnation` tells the camera's appearances on the bus apart.
  std::optional<FaultRule> BeginControl(uint64_t incarnation, bool isSet, uint32_t selector, const uint8_t* data,
                                        uint32_t length);
  void EndControl(bool isSet, uint32_t selector, const uint8_t* data, uint32_t length, Status status);
  void RefuseControl();
  std::optional<FaultRule> BeginVendorRequest(const VendorRequestSetup& setup);

 private:
  mutable std::mutex mutex_;
  FaultPlan plan_;
  uint64_t accesses_ = 0;
  CommandTracker tracker_;
  std::optional<uint64_t> incarnation_;
};

class FaultyExtensionUnit final : public IExtensionUnitChannel {
 public:
  FaultyExtensionUnit(std::shared_ptr<IExtensionUnitChannel> inner, std::shared_ptr<FaultState> state,
                      std::shared_ptr<IFaultHooks> hooks, uint64_t incarnation);
  Status GetLength(uint32_t selector, uint16_t* length) override;
  Status Get(uint32_t selector, uint8_t* data, uint32_t length, uint32_t* returned) override;
  Status Set(uint32_t selector, const uint8_t* data, uint32_t length) override;
  bool FixesSizeAtFirstUse() const override { return inner_->FixesSizeAtFirstUse(); }

 private:
  template <typename Serve>
  Status Access(bool isSet, uint32_t selector, const uint8_t* data, uint32_t length, Serve serve);

  std::shared_ptr<IExtensionUnitChannel> inner_;
  std::shared_ptr<FaultState> state_;
  std::shared_ptr<IFaultHooks> hooks_;
  uint64_t incarnation_;
};

class FaultyVendorRequests final : public IVendorRequestChannel {
 public:
  FaultyVendorRequests(std::shared_ptr<IVendorRequestChannel> inner, std::shared_ptr<FaultState> state,
                       std::shared_ptr<IFaultHooks> hooks);
  uint32_t Send(const VendorRequestSetup& setup, uint8_t* data, uint32_t* transferred) override;

 private:
  std::shared_ptr<IVendorRequestChannel> inner_;
  std::shared_ptr<FaultState> state_;
  std::shared_ptr<IFaultHooks> hooks_;
};

}  // namespace platform
