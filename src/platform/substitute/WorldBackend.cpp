#include "platform/substitute/WorldBackend.h"

#include <atomic>
#include <thread>
#include <utility>

namespace substitute {
namespace {

// Counts the objects alive, so that tests can see a host release what it took.
class LiveToken {
 public:
  explicit LiveToken(std::shared_ptr<std::atomic<int>> counter) : counter_(std::move(counter)) { ++*counter_; }
  ~LiveToken() { --*counter_; }
  LiveToken(const LiveToken&) = delete;
  LiveToken& operator=(const LiveToken&) = delete;

 private:
  std::shared_ptr<std::atomic<int>> counter_;
};

// Where the world's objects stand for a single-threaded apartment's: the
// thread that made one is the only one that may use or release it.
class ApartmentCheck {
 public:
  ApartmentCheck(bool enforced, std::shared_ptr<std::atomic<int>> foreignReleases)
      : enforced_(enforced), foreignReleases_(std::move(foreignReleases)) {}
  ~ApartmentCheck() {
    if (!OnOwnThread()) ++*foreignReleases_;
  }
  ApartmentCheck(const ApartmentCheck&) = delete;
  ApartmentCheck& operator=(const ApartmentCheck&) = delete;
  bool OnOwnThread() const { return !enforced_ || std::this_thread::get_id() == owner_; }

 private:
  const bool enforced_;
  const std::thread::id owner_ = std::this_thread::get_id();
  std::shared_ptr<std::atomic<int>> foreignReleases_;
};

// What every object holds: the world, weakly, and the device's appearance.
class DeviceObject {
 public:
  // A device file's requests (`apartmentBound` false) may come from any thread.
  DeviceObject(const std::shared_ptr<WorldCore>& core, const DeviceRef& ref, std::shared_ptr<std::atomic<int>> counter,
               bool apartmentBound = true)
      : core_(core),
        ref_(ref),
        token_(std::move(counter)),
        apartment_(apartmentBound && core->Config().threadBoundObjects, core->ForeignReleases()) {}

 protected:
  // The world while this object is used on its own thread; null otherwise,
  // with *status saying why.
  std::shared_ptr<WorldCore> Reach(platform::Status* status) const {
    std::shared_ptr<WorldCore> core = apartment_.OnOwnThread() ? core_.lock() : nullptr;
    *status = !apartment_.OnOwnThread() ? platform::kWrongThread : platform::kDeviceGone;
    return core;
  }
  // Runs `serve` on the world when this object may reach it; why not otherwise.
  template <typename Serve>
  platform::Status OnWorld(Serve&& serve) const {
    platform::Status refused = platform::kOk;
    const std::shared_ptr<WorldCore> core = Reach(&refused);
    return core ? serve(*core) : refused;
  }

  std::weak_ptr<WorldCore> core_;
  DeviceRef ref_;

 private:
  LiveToken token_;
  ApartmentCheck apartment_;
};

class ExtensionUnit final : public platform::IExtensionUnitChannel, private DeviceObject {
 public:
  ExtensionUnit(const std::shared_ptr<WorldCore>& core, const DeviceRef& ref)
      : DeviceObject(core, ref, core->LiveObjects()) {}

  platform::Status GetLength(uint32_t selector, uint16_t* length) override {
    *length = 0;
    return OnWorld([&](WorldCore& core) { return core.ControlLength(ref_, selector, length); });
  }
  platform::Status Get(uint32_t selector, uint8_t* data, uint32_t length, uint32_t* returned) override {
    *returned = 0;
    return OnWorld([&](WorldCore& core) { return core.ControlGet(ref_, selector, data, length, returned); });
  }
  platform::Status Set(uint32_t selector, const uint8_t* data, uint32_t length) override {
    return OnWorld([&](WorldCore& core) { return core.ControlSet(ref_, selector, data, length); });
  }
};

class VendorRequests final : public platform::IVendorRequestChannel, private DeviceObject {
 public:
  VendorRequests(const std::shared_ptr<WorldCore>& core, const DeviceRef& ref)
      : DeviceObject(core, ref, core->OpenVendorChannels(), false) {}

  uint32_t Send(const platform::VendorRequestSetup& setup, uint8_t* data, uint32_t* transferred) override {
    *transferred = 0;
    const std::shared_ptr<WorldCore> core = core_.lock();
    return core ? core->VendorRequest(ref_, setup, data, transferred) : platform::kErrorDeviceNotConnected;
  }
};

// What the fault decorators may do to the world: one device's appearance.
class FaultHooks final : public platform::IFaultHooks {
 public:
  FaultHooks(const std::shared_ptr<WorldCore>& core, const DeviceRef& ref) : core_(core), ref_(ref) {}

  bool Reachable() override {
    const std::shared_ptr<WorldCore> core = core_.lock();
    return core && core->Reachable(ref_);
  }
  void Unplug(std::optional<uint32_t> replugAfterMs) override {
    if (const std::shared_ptr<WorldCore> core = core_.lock()) core->Unplug(ref_, replugAfterMs);
  }
  void LatchStatus(uint16_t status) override {
    if (const std::shared_ptr<WorldCore> core = core_.lock()) core->LatchStatus(ref_, status);
  }

 private:
  std::weak_ptr<WorldCore> core_;
  DeviceRef ref_;
};

}  // namespace

std::shared_ptr<platform::IFaultHooks> FaultHooksFor(const std::shared_ptr<WorldCore>& core, const DeviceRef& ref) {
  return std::make_shared<FaultHooks>(core, ref);
}

namespace {

platform::ChannelDecorations DecorationsFor(const std::shared_ptr<WorldCore>& core, const DeviceRef& ref,
                                            const ChannelLayers& layers) {
  platform::ChannelDecorations d;
  d.faults = core->Faults(ref.id);
  d.hooks = FaultHooksFor(core, ref);
  d.incarnation = ref.devInst;
  d.traffic = {layers.log, {ref.id, ref.devInst}, layers.clock, d.faults};
  d.pause = layers.pause;
  d.timing = layers.timing;
  return d;
}

class VideoInput final : public platform::IVideoInput, private DeviceObject {
 public:
  VideoInput(const std::shared_ptr<WorldCore>& core, const DeviceRef& ref, const ChannelLayers& layers)
      : DeviceObject(core, ref, core->LiveObjects()), layers_(layers) {}

  platform::Status Bind() override {
    return OnWorld([&](WorldCore& core) { return core.Bind(ref_); });
  }
  platform::Status ReadProperty(const std::string& name, std::string* value) override {
    return OnWorld([&](WorldCore& core) { return core.ReadProperty(ref_, name, value); });
  }
  platform::Status OpenExtensionUnit(std::shared_ptr<platform::IExtensionUnitChannel>* out) override {
    out->reset();
    platform::Status refused = platform::kOk;
    const std::shared_ptr<WorldCore> core = Reach(&refused);
    if (!core) return refused;
    bool hasUnit = false;
    const platform::Status status = core->ExtensionUnit(ref_, &hasUnit);
    if (platform::Failed(status) || !hasUnit) return status;
    *out = platform::Decorate(std::make_shared<ExtensionUnit>(core, ref_), DecorationsFor(core, ref_, layers_));
    return status;
  }

 private:
  ChannelLayers layers_;
};

}  // namespace

WorldBackend::WorldBackend(std::shared_ptr<WorldCore> core, ChannelLayers layers)
    : core_(std::move(core)), layers_(std::move(layers)) {}

platform::Status WorldBackend::ListVideoInputs(std::vector<std::shared_ptr<platform::IVideoInput>>* out) {
  out->clear();
  std::vector<DeviceRef> devices;
  const platform::Status status = core_->Enumerate(&devices);
  for (const DeviceRef& ref : devices) out->push_back(std::make_shared<VideoInput>(core_, ref, layers_));
  return status;
}

platform::Status WorldBackend::QueryDeviceInstance(const std::string& devicePath, uint32_t* devInst) {
  return core_->QueryDeviceInstance(devicePath, devInst);
}

std::shared_ptr<platform::IVendorRequestChannel> WorldBackend::OpenVendorRequests(const std::string& devicePath) {
  const std::optional<DeviceRef> ref = core_->Openable(devicePath);
  if (!ref) return nullptr;
  return platform::Decorate(std::make_shared<VendorRequests>(core_, *ref), DecorationsFor(core_, *ref, layers_));
}

}  // namespace substitute
