#include "platform/decorators/Faults.h"

#include <algorithm>
#include <utility>

#include "platform/CameraExtensionUnit.h"
#include "platform/CameraVendorRequests.h"

namespace platform {
namespace {

constexpr uint32_t kCommandSelector = kCameraCommandSelector;
constexpr uint32_t kDataSelector = kCameraDataSelector;
constexpr uint32_t kCommandBlockSize = 8;
constexpr uint8_t kDeviceClass = 0x00;
constexpr uint8_t kMemoryClass = 0x02;
constexpr uint8_t kClearClass = 0xFF;
constexpr uint8_t kChangeLength = 0x16;
constexpr uint8_t kFlashWriteRequest = kCameraRequestWrite;
constexpr uint8_t kFlashReadRequest = kCameraRequestRead;

struct Command {
  uint8_t commandClass = 0;
  uint8_t opcode = 0;
  uint16_t word2 = 0;
  uint16_t length = 0;
  uint16_t word6 = 0;

  static Command Parse(const uint8_t* b) {
    return {b[0], b[1], static_cast<uint16_t>(b[2] | (b[3] << 8)), static_cast<uint16_t>(b[4] | (b[5] << 8)),
            static_cast<uint16_t>(b[6] | (b[7] << 8))};
  }
  bool HasDataPhase() const { return (opcode & 0x80) != 0; }
  // Register commands of the device class name 16-bit addresses; the memory
  // class spreads 32 bits over the block.
  uint32_t Address() const {
    return commandClass == kDeviceClass ? word2 : word2 | (static_cast<uint32_t>(word6) << 16);
  }
  // Whether the data phase moves bytes at an address of the registers or the
  // memory (not the flash's information or status bytes).
  bool MovesMemory() const {
    if (commandClass == kDeviceClass) return opcode == 0x82 || opcode == 0xC2;
    return commandClass == kMemoryClass && HasDataPhase() && opcode != 0xC1 && opcode != 0xC3 && opcode != 0x83;
  }
};

std::optional<AddressRange> Span(uint32_t first, uint32_t count) {
  if (count == 0) return std::nullopt;
  return AddressRange{first, first + count - 1};
}

bool KindMatches(AccessKind wanted, AccessKind actual) {
  switch (wanted) {
    case AccessKind::kAny: return true;
    case AccessKind::kControlAny: return actual == AccessKind::kControlGet || actual == AccessKind::kControlSet;
    default: return wanted == actual;
  }
}

template <typename T>
bool FieldMatches(const std::optional<T>& wanted, const std::optional<T>& actual) {
  return !wanted || (actual && *wanted == *actual);
}

bool RangesMeet(const std::optional<AddressRange>& wanted, const std::optional<AddressRange>& actual) {
  if (!wanted) return true;
  if (!actual) return false;
  return actual->first <= wanted->last && wanted->first <= actual->last;
}

}  // namespace

bool RuleMatches(const FaultRule& rule, const AccessFacts& facts) {
  return KindMatches(rule.kind, facts.kind) && (!rule.accessNumber || *rule.accessNumber == facts.number) &&
         (!rule.selector || (facts.kind != AccessKind::kVendorRequest && *rule.selector == facts.selector)) &&
         FieldMatches(rule.commandClass, facts.commandClass) && FieldMatches(rule.opcode, facts.opcode) &&
         FieldMatches(rule.bRequest, facts.bRequest) && RangesMeet(rule.addresses, facts.addresses);
}

std::optional<FaultRule> FaultPlan::Match(const AccessFacts& facts) {
  std::optional<FaultRule> firing;
  for (Entry& entry : entries_) {
    if (!RuleMatches(entry.rule, facts)) continue;
    ++entry.matches;
    const bool due = entry.matches > entry.rule.skipMatches && entry.fires < entry.rule.maxFires;
    if (due && !firing) {
      ++entry.fires;
      ++fired_;
      firing = entry.rule;
    }
  }
  return firing;
}

// --- the command protocol -----------------------------------------------------

uint32_t CommandTracker::NextBlock() const { return std::min(blockLength_, transfer_.total - transfer_.done); }

AccessFacts CommandTracker::Describe(bool isSet, uint32_t selector, const uint8_t* data, uint32_t length) const {
  AccessFacts facts;
  facts.kind = isSet ? AccessKind::kControlSet : AccessKind::kControlGet;
  facts.selector = selector;
  if (isSet && selector == kCommandSelector && data && length >= kCommandBlockSize) {
    const Command command = Command::Parse(data);
    facts.commandClass = command.commandClass;
    facts.opcode = command.opcode;
    if (command.MovesMemory()) facts.addresses = Span(command.Address(), command.length);
    return facts;
  }
  if (!transfer_.open) return facts;
  facts.commandClass = transfer_.commandClass;
  facts.opcode = transfer_.opcode;
  if (selector == kDataSelector && transfer_.namesAddresses)
    facts.addresses = Span(transfer_.address + transfer_.done, NextBlock());
  return facts;
}

void CommandTracker::Observe(bool isSet, uint32_t selector, const uint8_t* data, uint32_t length, Status status) {
  if (selector == kDataSelector) {
    if (Failed(status)) {
      transfer_ = {};
      return;
    }
    if (!transfer_.open) return;
    transfer_.done += NextBlock();
    if (transfer_.done >= transfer_.total) transfer_ = {};
    return;
  }
  // Reading the command control reads the status and changes nothing; a new
  // command ends whatever transfer was open.
  if (selector != kCommandSelector || !isSet) return;
  transfer_ = {};
  if (Failed(status) || !data || length < kCommandBlockSize) return;
  const Command command = Command::Parse(data);
  if (command.commandClass == kClearClass) return;
  const bool changesLength = command.commandClass == kDeviceClass && command.opcode == kChangeLength;
  const uint32_t total = changesLength ? static_cast<uint8_t>(command.length) : command.length;
  if (changesLength) blockLength_ = total;
  if ((!command.HasDataPhase() && !changesLength) || total == 0) return;
  transfer_.open = true;
  transfer_.commandClass = command.commandClass;
  transfer_.opcode = command.opcode;
  transfer_.namesAddresses = command.MovesMemory();
  transfer_.address = command.Address();
  transfer_.total = total;
}

// --- one camera's state -------------------------------------------------------

void FaultState::Add(const FaultRule& rule) {
  std::lock_guard<std::mutex> lock(mutex_);
  plan_.Add(rule);
}

void FaultState::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  plan_.Clear();
}

uint32_t FaultState::Fired() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return plan_.Fired();
}

uint64_t FaultState::Accesses() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return accesses_;
}

std::optional<FaultRule> FaultState::BeginControl(uint64_t incarnation, bool isSet, uint32_t selector,
                                                  const uint8_t* data, uint32_t length) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (incarnation_ != incarnation) tracker_.PowerUp();
  incarnation_ = incarnation;
  AccessFacts facts = tracker_.Describe(isSet, selector, data, length);
  facts.number = ++accesses_;
  return plan_.Match(facts);
}

void FaultState::EndControl(bool isSet, uint32_t selector, const uint8_t* data, uint32_t length, Status status) {
  std::lock_guard<std::mutex> lock(mutex_);
  tracker_.Observe(isSet, selector, data, length, status);
}

void FaultState::RefuseControl() {
  std::lock_guard<std::mutex> lock(mutex_);
  tracker_.DropTransfer();
}

std::optional<FaultRule> FaultState::BeginVendorRequest(const VendorRequestSetup& setup) {
  AccessFacts facts;
  facts.kind = AccessKind::kVendorRequest;
  facts.bRequest = setup.bRequest;
  if (setup.bRequest == kFlashWriteRequest || setup.bRequest == kFlashReadRequest)
    facts.addresses = Span(setup.wIndex, setup.wLength);
  std::lock_guard<std::mutex> lock(mutex_);
  facts.number = ++accesses_;
  return plan_.Match(facts);
}

// --- the decorators -----------------------------------------------------------

FaultyExtensionUnit::FaultyExtensionUnit(std::shared_ptr<IExtensionUnitChannel> inner,
                                         std::shared_ptr<FaultState> state, std::shared_ptr<IFaultHooks> hooks,
                                         uint64_t incarnation)
    : inner_(std::move(inner)), state_(std::move(state)), hooks_(std::move(hooks)), incarnation_(incarnation) {}

template <typename Serve>
Status FaultyExtensionUnit::Access(bool isSet, uint32_t selector, const uint8_t* data, uint32_t length, Serve serve) {
  if (!hooks_->Reachable()) return serve();
  const std::optional<FaultRule> fault = state_->BeginControl(incarnation_, isSet, selector, data, length);
  if (fault && fault->action == FaultAction::kNotify) fault->notify();
  if (fault && fault->action == FaultAction::kUnplugBefore) {
    hooks_->Unplug(fault->replugAfterMs);
    return kDeviceGone;
  }
  if (fault && fault->action == FaultAction::kFailAccess) {
    hooks_->LatchStatus(fault->cameraStatus);
    state_->RefuseControl();
    return fault->ksStatus;
  }
  const Status status = serve();
  state_->EndControl(isSet, selector, data, length, status);
  if (fault && fault->action == FaultAction::kUnplugAfter) hooks_->Unplug(fault->replugAfterMs);
  return status;
}

Status FaultyExtensionUnit::GetLength(uint32_t selector, uint16_t* length) {
  return inner_->GetLength(selector, length);
}

Status FaultyExtensionUnit::Get(uint32_t selector, uint8_t* data, uint32_t length, uint32_t* returned) {
  if (returned) *returned = 0;
  return Access(false, selector, nullptr, length, [&] { return inner_->Get(selector, data, length, returned); });
}

Status FaultyExtensionUnit::Set(uint32_t selector, const uint8_t* data, uint32_t length) {
  return Access(true, selector, data, length, [&] { return inner_->Set(selector, data, length); });
}

FaultyVendorRequests::FaultyVendorRequests(std::shared_ptr<IVendorRequestChannel> inner,
                                           std::shared_ptr<FaultState> state, std::shared_ptr<IFaultHooks> hooks)
    : inner_(std::move(inner)), state_(std::move(state)), hooks_(std::move(hooks)) {}

uint32_t FaultyVendorRequests::Send(const VendorRequestSetup& setup, uint8_t* data, uint32_t* transferred) {
  if (transferred) *transferred = 0;
  if (!hooks_->Reachable()) return inner_->Send(setup, data, transferred);
  const std::optional<FaultRule> fault = state_->BeginVendorRequest(setup);
  if (fault && fault->action == FaultAction::kNotify) fault->notify();
  if (fault && fault->action == FaultAction::kUnplugBefore) {
    hooks_->Unplug(fault->replugAfterMs);
    return kErrorDeviceNotConnected;
  }
  if (fault && fault->action == FaultAction::kFailAccess) return fault->ioError;
  const uint32_t result = inner_->Send(setup, data, transferred);
  if (fault && fault->action == FaultAction::kUnplugAfter) hooks_->Unplug(fault->replugAfterMs);
  return result;
}

}  // namespace platform
