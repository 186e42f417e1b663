#pragma once
// A log of every access to a camera's channels, byte for byte, in the order
// the accesses came: what the caller gave, what it got back, and whether an
// injected fault decided the outcome.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/Clock.h"
#include "platform/ExtensionUnitChannel.h"
#include "platform/Types.h"
#include "platform/VendorRequestChannel.h"
#include "platform/decorators/Faults.h"

namespace platform {

enum class TrafficKind { kGet, kSet, kGetLength, kVendorRequest };

// Which camera, and which appearance of it on the bus, the caller addressed.
struct TrafficSource {
  size_t device = 0;
  uint32_t devInst = 0;
};

struct TrafficEntry {
  TrafficKind kind = TrafficKind::kGet;
  size_t device = 0;
  uint32_t devInst = 0;
  uint64_t timeMs = 0;
  bool faultFired = false;

  // Control accesses.
  uint32_t selector = 0;
  uint32_t length = 0;  // data length the caller gave; for a length query, the length reported
  Status status = 0;

  // Vendor requests.
  VendorRequestSetup setup;
  uint32_t result = 0;

  // Data sent (set, host-to-device request) and data received (get,
  // device-to-host request: the `returned` bytes the caller got).
  std::vector<uint8_t> in;
  std::vector<uint8_t> out;
  uint32_t returned = 0;

  uint32_t Selector() const { return selector; }
};

class TrafficLog {
 public:
  void Add(TrafficEntry entry);
  std::vector<TrafficEntry> Entries() const;
  void Clear();

 private:
  mutable std::mutex mutex_;
  std::vector<TrafficEntry> entries_;
};

// The log's view of one channel: where its entries go, what they are
// stamped with, and the fault state whose firing they note (may be null).
struct TrafficRecorder {
  std::shared_ptr<TrafficLog> log;
  TrafficSource source;
  std::shared_ptr<IClock> clock;
  std::shared_ptr<const FaultState> faults;
};

class LoggedExtensionUnit final : public IExtensionUnitChannel {
 public:
  LoggedExtensionUnit(std::shared_ptr<IExtensionUnitChannel> inner, TrafficRecorder recorder);
  Status GetLength(uint32_t selector, uint16_t* length) override;
  Status Get(uint32_t selector, uint8_t* data, uint32_t length, uint32_t* returned) override;
  Status Set(uint32_t selector, const uint8_t* data, uint32_t length) override;
  bool FixesSizeAtFirstUse() const override { return inner_->FixesSizeAtFirstUse(); }

 private:
  std::shared_ptr<IExtensionUnitChannel> inner_;
  TrafficRecorder recorder_;
};

class LoggedVendorRequests final : public IVendorRequestChannel {
 public:
  LoggedVendorRequests(std::shared_ptr<IVendorRequestChannel> inner, TrafficRecorder recorder);
  uint32_t Send(const VendorRequestSetup& setup, uint8_t* data, uint32_t* transferred) override;

 private:
  std::shared_ptr<IVendorRequestChannel> inner_;
  TrafficRecorder recorder_;
};

}  // namespace platform
