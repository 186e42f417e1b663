#pragma once
// Every control access and every I/O control block that reached a substitute
// device, byte for byte, in the order they came.

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "platform/Capture.h"
#include "platform/Types.h"

namespace substitute {

using DeviceId = size_t;

enum class TrafficKind { kKsGet, kKsSet, kIoControl };

struct TrafficEntry {
  TrafficKind kind = TrafficKind::kKsGet;
  DeviceId device = 0;
  uint32_t devInst = 0;  // the instance the caller addressed
  uint64_t timeMs = 0;
  bool faultFired = false;

  // Control accesses.
  platform::KsNodeProperty property;
  uint32_t propertyLength = 0;
  uint32_t length = 0;          // data length the caller gave
  platform::Status status = 0;

  // I/O control.
  uint32_t ioCode = 0;
  uint32_t outLength = 0;
  uint32_t ioResult = 0;

  // Set data or I/O control input; get data or I/O control output (what the
  // caller received: `returned` bytes).
  std::vector<uint8_t> in;
  std::vector<uint8_t> out;
  uint32_t returned = 0;

  uint32_t Selector() const { return property.id; }
};

class TrafficLog {
 public:
  void Add(TrafficEntry entry) { entries_.push_back(std::move(entry)); }
  const std::vector<TrafficEntry>& Entries() const { return entries_; }
  void Clear() { entries_.clear(); }

 private:
  std::vector<TrafficEntry> entries_;
};

}  // namespace substitute
