#include "FakeCapture.h"

#include <algorithm>
#include <cstring>

namespace fake {
namespace {

int g_liveFilters = 0;
int g_liveControls = 0;

const Bytes kIdentification = {'M', 'O', 'X', 'E', 'L', 'I', 'N', 0};

class KsControl final : public platform::IKsControl {
 public:
  KsControl(Wire* wire, int device, bool identifies) : wire_(wire), device_(device), identifies_(identifies) {
    ++g_liveControls;
  }
  ~KsControl() override { --g_liveControls; }
  KsControl(const KsControl&) = delete;
  KsControl& operator=(const KsControl&) = delete;

  platform::Status KsProperty(const platform::KsNodeProperty& property, uint32_t propertyLength, uint8_t* data,
                              uint32_t length, uint32_t* returned) override {
    KsCall call{device_, property, propertyLength, length, {}};
    if (call.IsSet() && length) call.sent.assign(data, data + length);
    const size_t index = wire_->calls.size();
    wire_->calls.push_back(call);
    if (call.IsSet() && property.id == kCommandControl && length >= 2) lastCommand_ = data[0] << 8 | data[1];
    if (auto fail = wire_->failCall.find(index); fail != wire_->failCall.end()) return fail->second;
    if (call.IsSet()) return platform::kOk;
    const Reply reply = NextReply(property.id);
    std::fill_n(data, length, uint8_t{0});
    std::copy_n(reply.bytes.begin(), std::min<size_t>(length, reply.bytes.size()), data);
    *returned = reply.returned.value_or(length);
    return reply.status;
  }

 private:
  Reply NextReply(uint32_t selector) {
    if (!wire_->replies.empty()) {
      Reply reply = wire_->replies.front();
      wire_->replies.pop_front();
      return reply;
    }
    if (selector != kDataControl) return {};
    if (lastCommand_ == 0x00D0) return {platform::kOk, identifies_ ? kIdentification : Bytes{}, {}};
    if (auto data = wire_->dataForOpcode.find(lastCommand_); data != wire_->dataForOpcode.end())
      return {platform::kOk, data->second, {}};
    return {};
  }

  Wire* wire_;
  int device_;
  bool identifies_;
  int lastCommand_ = -1;
};

class Filter final : public platform::ICaptureFilter {
 public:
  Filter(Wire* wire, int device, const Device& d) : wire_(wire), device_(device), d_(d) { ++g_liveFilters; }
  ~Filter() override { --g_liveFilters; }
  Filter(const Filter&) = delete;
  Filter& operator=(const Filter&) = delete;
  platform::Status QueryKsControl(std::shared_ptr<platform::IKsControl>* out) override {
    if (!d_.hasKsControl) return platform::kNoInterface;
    *out = std::make_shared<KsControl>(wire_, device_, d_.identifies);
    return platform::kOk;
  }

 private:
  Wire* wire_;
  int device_;
  Device d_;
};

class PropertyBag final : public platform::IPropertyBag {
 public:
  explicit PropertyBag(const Device& d) : d_(d) {}
  platform::Status Read(const std::string& name, std::string* value) override {
    if (name == "DevicePath" && d_.hasDevicePath) return *value = d_.path, platform::kOk;
    if (name == "FriendlyName" && d_.friendlyName) return *value = *d_.friendlyName, platform::kOk;
    return platform::kFail;
  }

 private:
  Device d_;
};

class Moniker final : public platform::IMoniker {
 public:
  Moniker(Wire* wire, int device, const Device& d) : wire_(wire), device_(device), d_(d) {}
  platform::Status BindToFilter(std::shared_ptr<platform::ICaptureFilter>* out) override {
    *out = std::make_shared<Filter>(wire_, device_, d_);
    return platform::kOk;
  }
  platform::Status BindToPropertyBag(std::shared_ptr<platform::IPropertyBag>* out) override {
    *out = std::make_shared<PropertyBag>(d_);
    return platform::kOk;
  }

 private:
  Wire* wire_;
  int device_;
  Device d_;
};

class EnumMoniker final : public platform::IEnumMoniker {
 public:
  EnumMoniker(Wire* wire, std::vector<Device> devices) : wire_(wire), devices_(std::move(devices)) {}
  platform::Status Reset() override { return position_ = 0, platform::kOk; }
  platform::Status Skip(uint32_t count) override {
    if (count > devices_.size() - position_) return position_ = devices_.size(), platform::kFalse;
    position_ += count;
    return platform::kOk;
  }
  platform::Status Next(std::shared_ptr<platform::IMoniker>* out) override {
    if (position_ >= devices_.size()) return platform::kFalse;
    *out = std::make_shared<Moniker>(wire_, static_cast<int>(position_), devices_[position_]);
    ++position_;
    return platform::kOk;
  }

 private:
  Wire* wire_;
  std::vector<Device> devices_;
  size_t position_ = 0;
};

}  // namespace

int LiveFilters() { return g_liveFilters; }
int LiveControls() { return g_liveControls; }

std::vector<KsCall> Wire::Sets(uint32_t selector) const {
  std::vector<KsCall> sets;
  for (const KsCall& call : calls)
    if (call.IsSet() && call.property.id == selector) sets.push_back(call);
  return sets;
}

std::vector<Bytes> Wire::CommandBlocks() const {
  std::vector<Bytes> blocks;
  for (const KsCall& call : Sets(kCommandControl)) blocks.push_back(call.sent);
  return blocks;
}

platform::Status Capture::CreateVideoInputEnumerator(std::unique_ptr<platform::IEnumMoniker>* out) {
  if (!platform::Failed(enumeratorStatus) && !emptyCategory) *out = std::make_unique<EnumMoniker>(&wire, devices);
  return enumeratorStatus;
}

platform::Status Capture::QueryDeviceInstance(const std::string& devicePath, uint32_t* devInst) {
  if (platform::Failed(deviceListStatus)) return deviceListStatus;
  *devInst = 0;
  for (const Device& d : devices)
    if (d.path == devicePath) *devInst = d.devInst;
  return platform::kOk;
}

platform::Handle DeviceFiles::Open(const std::string& devicePath) {
  if (refused.count(devicePath)) return platform::kInvalidHandle;
  open.insert(next);
  return next++;
}

bool DeviceFiles::Close(platform::Handle handle) {
  closed.push_back(handle);
  return open.erase(handle) == 1;
}

void DeviceTest::SetUp() {
  platform::Platform p;
  p.capture = &capture;
  p.deviceFiles = &files;
  p.clock = &clock;
  p.debug = &debug;
  inForce.emplace(p);
}

void DeviceTest::TearDown() {
  inForce.reset();
  ResetDeviceState();
  EXPECT_EQ(LiveFilters(), 0);
  EXPECT_EQ(LiveControls(), 0);
}

Device& DeviceTest::AddCamera(const std::string& path, uint32_t devInst, bool identifies) {
  capture.devices.push_back({path, devInst, identifies, true, path + " camera", true});
  return capture.devices.back();
}

uint32_t DeviceTest::OpenOneCamera(uint32_t devInst) {
  AddCamera("\\\\?\\usb#camera", devInst);
  int32_t index = 0;
  const uint32_t key = OpenCamera(&index);
  EXPECT_EQ(key, devInst);
  capture.wire.calls.clear();
  return key;
}

CCameraDevice DeviceTest::Registered(uint32_t key) {
  CCameraDevice camera;
  EXPECT_EQ(LookupCamera(key, &camera), 1);
  return camera;
}

Bytes Block(std::initializer_list<int> bytes) {
  Bytes b;
  for (int v : bytes) b.push_back(static_cast<uint8_t>(v));
  return b;
}

}  // namespace fake
