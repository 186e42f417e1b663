#include "platform/substitute/SubstituteWorld.h"

#include <atomic>

#include "platform/adapters/CaptureSystemAdapter.h"
#include "platform/adapters/DeviceFilesAdapter.h"
#include "platform/substitute/CameraProtocol.h"
#include "platform/substitute/WorldBackend.h"

namespace substitute {
namespace {

// Also the clock of the channels' log and transfer time, which may outlive
// the world: it holds the world weakly.
class ClockSeam final : public platform::IClock {
 public:
  explicit ClockSeam(const std::shared_ptr<WorldCore>& core) : core_(core) {}
  void Sleep(uint32_t milliseconds) override {
    if (const std::shared_ptr<WorldCore> core = core_.lock()) core->Sleep(milliseconds);
  }
  uint64_t NowMilliseconds() override {
    const std::shared_ptr<WorldCore> core = core_.lock();
    return core ? core->Now() : 0;
  }

 private:
  std::weak_ptr<WorldCore> core_;
};

class DebugSeam final : public platform::IDebugOutput {
 public:
  explicit DebugSeam(std::shared_ptr<WorldCore> core) : core_(std::move(core)) {}
  void Write(const std::string& line) override { core_->WriteDebug(line); }

 private:
  std::shared_ptr<WorldCore> core_;
};

class NotificationsSeam final : public platform::IDeviceNotifications {
 public:
  explicit NotificationsSeam(std::shared_ptr<WorldCore> core) : core_(std::move(core)) {}
  uintptr_t Register(const platform::Guid& interfaceClass, platform::DeviceEventSink sink) override {
    return core_->RegisterNotifications(interfaceClass, std::move(sink));
  }
  void Unregister(uintptr_t registration) override { core_->UnregisterNotifications(registration); }

 private:
  std::shared_ptr<WorldCore> core_;
};

class FactsSeam final : public platform::IDeviceFacts {
 public:
  explicit FactsSeam(std::shared_ptr<WorldCore> core) : core_(std::move(core)) {}
  std::string WhereListed() override { return "the substitute camera"; }
  platform::DeviceFacts Describe(const std::string& devicePath) override { return core_->Facts(devicePath); }

 private:
  std::shared_ptr<WorldCore> core_;
};

class ComSeam final : public platform::IComRuntime {
 public:
  bool Initialize() override {
    ++initializations;
    return !refuses;
  }
  void Uninitialize() override { ++uninitializations; }
  std::atomic<int> initializations{0};
  std::atomic<int> uninitializations{0};
  std::atomic<bool> refuses{false};
};

platform::ExtensionUnitAddress CameraExtensionUnit() {
  return {kExtensionUnitGuid, kExtensionUnitNode, {kCommandSelector, kDataSelector}};
}

ChannelLayers LayersOf(const SubstituteWorldConfig& config, const std::shared_ptr<platform::IClock>& clock) {
  ChannelLayers layers;
  if (config.logTraffic) layers.log = std::make_shared<platform::TrafficLog>();
  layers.clock = clock;
  if (config.realTime) layers.pause = std::make_shared<platform::TransferPause>(clock);
  layers.timing = config.latency;
  return layers;
}

}  // namespace

struct SubstituteWorld::Seams {
  explicit Seams(const std::shared_ptr<WorldCore>& core)
      : clock(std::make_shared<ClockSeam>(core)),
        layers(LayersOf(core->Config(), clock)),
        backend(core, layers),
        capture(backend, CameraExtensionUnit()),
        files(backend),
        debug(core),
        notifications(core),
        facts(core) {}
  std::shared_ptr<ClockSeam> clock;
  ChannelLayers layers;
  WorldBackend backend;
  platform::CaptureSystemAdapter capture;
  platform::DeviceFilesAdapter files;
  DebugSeam debug;
  NotificationsSeam notifications;
  FactsSeam facts;
  ComSeam com;
};

SubstituteWorld::SubstituteWorld(const SubstituteWorldConfig& config)
    : core_(std::make_shared<WorldCore>(config)), seams_(std::make_unique<Seams>(core_)) {
  core_->StartBus();
}

SubstituteWorld::~SubstituteWorld() {
  core_->StopBus();
  // The platform keeps plain pointers to the seams: never leave them dangling.
  platform::Withdraw(Platform());
}

platform::Platform SubstituteWorld::Platform() {
  platform::Platform seams;
  seams.capture = &seams_->capture;
  seams.deviceFiles = &seams_->files;
  seams.clock = seams_->clock.get();
  seams.debug = &seams_->debug;
  seams.com = &seams_->com;
  seams.notifications = &seams_->notifications;
  seams.deviceFacts = &seams_->facts;
  return seams;
}

platform::ICaptureSystem& SubstituteWorld::CaptureSystem() { return seams_->capture; }
platform::IDeviceFiles& SubstituteWorld::DeviceFiles() { return seams_->files; }
platform::IClock& SubstituteWorld::Clock() { return *seams_->clock; }
platform::IDebugOutput& SubstituteWorld::DebugOutput() { return seams_->debug; }
platform::IComRuntime& SubstituteWorld::ComRuntime() { return seams_->com; }
platform::IDeviceNotifications& SubstituteWorld::DeviceNotifications() { return seams_->notifications; }
platform::ICameraBackend& SubstituteWorld::Backend() { return seams_->backend; }

void SubstituteWorld::SetNotificationRegistrationFails(bool fails) { core_->SetNotificationRegistrationFails(fails); }
size_t SubstituteWorld::NotificationRegistrations() { return core_->NotificationRegistrations(); }

int SubstituteWorld::ComInitializations() { return seams_->com.initializations; }
void SubstituteWorld::RefuseComInitialization(bool refuses) { seams_->com.refuses = refuses; }
int SubstituteWorld::ComUninitializations() { return seams_->com.uninitializations; }

DeviceId SubstituteWorld::AddCamera(const SubstituteCameraConfig& camera) { return AddDevice(CameraDevice(camera)); }
DeviceId SubstituteWorld::AddDevice(const SubstituteDeviceConfig& device) { return core_->AddDevice(device); }

uint64_t SubstituteWorld::Now() { return core_->Now(); }
void SubstituteWorld::Advance(uint32_t milliseconds) { core_->Sleep(milliseconds); }

std::vector<TrafficEntry> SubstituteWorld::Traffic() {
  return seams_->layers.log ? seams_->layers.log->Entries() : std::vector<TrafficEntry>();
}

void SubstituteWorld::ClearTraffic() {
  if (seams_->layers.log) seams_->layers.log->Clear();
}

std::vector<std::string> SubstituteWorld::DebugLines() { return core_->DebugLines(); }
void SubstituteWorld::ClearDebugLines() { core_->ClearDebugLines(); }

}  // namespace substitute
