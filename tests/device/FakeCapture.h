#pragma once
// A recording stand-in for the capture, device-file, clock and debug seams:
// every extension-unit request is kept byte for byte, gets are answered from a
// queue or by the opcode of the last command block, and chosen calls fail.

#include <gtest/gtest.h>

#include <deque>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "device/Device.h"
#include "platform/Platform.h"

namespace fake {

using Bytes = std::vector<uint8_t>;

struct KsCall {
  int device = 0;
  platform::KsNodeProperty property;
  uint32_t propertyLength = 0;
  uint32_t length = 0;
  Bytes sent;  // the bytes of a set
  bool IsSet() const { return property.flags == platform::kKsPropertySetTopology; }
};

struct Reply {
  platform::Status status = platform::kOk;
  Bytes bytes;
  std::optional<uint32_t> returned;  // the full length when not given
};

struct Wire {
  std::vector<KsCall> calls;
  std::map<size_t, platform::Status> failCall;  // call index -> status
  std::deque<Reply> replies;                    // answers to gets, in order
  std::map<int, Bytes> dataForOpcode;           // data-control answers by (class << 8 | opcode)

  std::vector<KsCall> Sets(uint32_t selector) const;
  std::vector<Bytes> CommandBlocks() const;  // blocks written to the command control
  void FailNext(size_t fromNow, platform::Status status = platform::kFail) {
    failCall[calls.size() + fromNow] = status;
  }
};

struct Device {
  std::string path;
  uint32_t devInst = 0;
  bool identifies = true;
  bool hasDevicePath = true;
  std::optional<std::string> friendlyName;
  bool hasKsControl = true;
};

int LiveFilters();
int LiveControls();

class Capture final : public platform::ICaptureSystem {
 public:
  std::vector<Device> devices;
  Wire wire;
  platform::Status enumeratorStatus = platform::kOk;
  bool emptyCategory = false;
  platform::Status deviceListStatus = platform::kOk;

  platform::Status CreateVideoInputEnumerator(std::unique_ptr<platform::IEnumMoniker>* out) override;
  platform::Status QueryDeviceInstance(const std::string& devicePath, uint32_t* devInst) override;
};

class DeviceFiles final : public platform::IDeviceFiles {
 public:
  std::set<platform::Handle> open;
  std::vector<platform::Handle> closed;
  std::set<std::string> refused;
  platform::Handle next = 100;

  platform::Handle Open(const std::string& devicePath) override;
  bool Close(platform::Handle handle) override;
  uint32_t IoControl(platform::Handle, uint32_t, const void*, uint32_t, void*, uint32_t, uint32_t*) override {
    return platform::kErrorInvalidFunction;
  }
};

class Clock final : public platform::IClock {
 public:
  std::vector<uint32_t> sleeps;
  void Sleep(uint32_t milliseconds) override { sleeps.push_back(milliseconds); }
  uint64_t NowMilliseconds() override { return 0; }
};

class Debug final : public platform::IDebugOutput {
 public:
  std::vector<std::string> lines;
  void Write(const std::string& line) override { lines.push_back(line); }
};

// Installs the fakes; TearDown restores the host and the device layer's state.
class DeviceTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  Device& AddCamera(const std::string& path, uint32_t devInst, bool identifies = true);
  // Adds and opens one camera, then forgets the traffic of the open.
  uint32_t OpenOneCamera(uint32_t devInst = 0x1234);
  CCameraDevice Registered(uint32_t key);

  Capture capture;
  DeviceFiles files;
  Clock clock;
  Debug debug;
  std::optional<platform::ScopedPlatform> inForce;
};

Bytes Block(std::initializer_list<int> bytes);

}  // namespace fake
