#pragma once
// A trace read back for replay: the transfers in their order, the listings
// with the appearance of each device on them, and the answers about device
// paths (facts, device instances, channel openings), each tied to the
// appearance of its device it was given for. An appearance is numbered per
// device path from 1, anew each time the path is listed after a listing
// without it; 0 stands for "not listed".

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/DeviceFacts.h"
#include "platform/Types.h"
#include "platform/VendorRequestChannel.h"

namespace platform {

enum class TransferKind { kLength, kGet, kSet, kRequest };

// One transfer, as recorded or as a command makes it. Of a command's, only
// what it sends is filled.
struct RecordedTransfer {
  size_t line = 0;  // in the trace file, from 1
  uint64_t number = 0;
  uint64_t time = 0;
  uint32_t chan = 0;
  TransferKind kind = TransferKind::kGet;
  // Extension-unit accesses.
  uint32_t selector = 0;
  uint32_t length = 0;  // a get's buffer length; the length a length query answered
  Status status = kOk;
  uint32_t returned = 0;  // what a get said it returned
  // Vendor requests.
  VendorRequestSetup setup;
  uint32_t result = 0;
  uint32_t transferred = 0;
  // Data sent (set, host-to-device request) and received (get, device-to-host request).
  std::vector<uint8_t> sent;
  std::vector<uint8_t> got;
};

struct RecordedInput {
  std::optional<std::string> path;  // none when it could not be read
  std::optional<std::string> name;
  Status pathStatus = kOk;
  Status nameStatus = kOk;
  uint32_t appearance = 0;
};

struct RecordedListing {
  size_t line = 0;
  uint64_t time = 0;
  Status status = kOk;
  std::vector<RecordedInput> inputs;
};

// What was answered about a device path, and for which appearance.
struct PathAnswer {
  size_t line = 0;
  std::string path;
  uint32_t appearance = 0;
};

struct RecordedFacts : PathAnswer {
  DeviceFacts facts;
};

struct RecordedInstance : PathAnswer {
  Status status = kOk;
  uint32_t devInst = 0;
};

struct RecordedUnitOpen : PathAnswer {
  Status status = kOk;
  bool unit = false;
  bool fixesSize = false;
};

struct RecordedVendorOpen : PathAnswer {
  bool opened = false;
};

struct RecordedTrace {
  std::string name;  // the file, as messages name it
  std::string program;
  std::string version;
  std::string backend;
  std::string listedIn;
  std::vector<RecordedListing> listings;
  std::vector<RecordedTransfer> transfers;
  std::vector<RecordedFacts> facts;
  std::vector<RecordedInstance> instances;
  std::vector<RecordedUnitOpen> unitOpens;
  std::vector<RecordedVendorOpen> vendorOpens;
  std::map<uint32_t, std::string> channelPaths;  // the device path each channel was opened on
};

// The trace in the file at `path`; none, with `error` saying why (naming the
// file and the line), when it can't be read or is not a trace.
std::optional<RecordedTrace> ReadTrace(const std::string& path, std::string* error);

// The same from text, for a trace that is already in memory; `name` names it.
std::optional<RecordedTrace> ParseTrace(const std::string& text, const std::string& name, std::string* error);

}  // namespace platform
