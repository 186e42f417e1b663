#include "platform/substitute/SubstituteWorld.h"

#include <atomic>

#include "platform/substitute/CaptureObjects.h"

namespace substitute {
namespace {

class CaptureSystemSeam final : public platform::ICaptureSystem {
 public:
  explicit CaptureSystemSeam(std::shared_ptr<WorldCore> core) : core_(std::move(core)) {}

  platform::Status CreateVideoInputEnumerator(std::unique_ptr<platform::IEnumMoniker>* out) override {
    out->reset();
    std::vector<DeviceRef> devices;
    const platform::Status status = core_->Enumerate(&devices);
    // An empty category is success without an enumerator.
    if (!platform::Failed(status) && !devices.empty()) *out = MakeEnumerator(core_, std::move(devices));
    return status;
  }
  platform::Status QueryDeviceInstance(const std::string& devicePath, uint32_t* devInst) override {
    return core_->QueryDeviceInstance(devicePath, devInst);
  }

 private:
  std::shared_ptr<WorldCore> core_;
};

class DeviceFilesSeam final : public platform::IDeviceFiles {
 public:
  explicit DeviceFilesSeam(std::shared_ptr<WorldCore> core) : core_(std::move(core)) {}

  platform::Handle Open(const std::string& devicePath) override { return core_->Open(devicePath); }
  bool Close(platform::Handle handle) override { return core_->Close(handle); }
  uint32_t IoControl(platform::Handle handle, uint32_t code, const void* in, uint32_t inLength, void* out,
                     uint32_t outLength, uint32_t* returned) override {
    return core_->IoControl(handle, code, in, inLength, out, outLength, returned);
  }

 private:
  std::shared_ptr<WorldCore> core_;
};

class ClockSeam final : public platform::IClock {
 public:
  explicit ClockSeam(std::shared_ptr<WorldCore> core) : core_(std::move(core)) {}
  void Sleep(uint32_t milliseconds) override { core_->Sleep(milliseconds); }
  uint64_t NowMilliseconds() override { return core_->Now(); }

 private:
  std::shared_ptr<WorldCore> core_;
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

class ComSeam final : public platform::IComRuntime {
 public:
  void Initialize() override { ++initializations; }
  void Uninitialize() override { ++uninitializations; }
  std::atomic<int> initializations{0};
  std::atomic<int> uninitializations{0};
};

}  // namespace

struct SubstituteWorld::Seams {
  explicit Seams(const std::shared_ptr<WorldCore>& core)
      : capture(core), files(core), clock(core), debug(core), notifications(core) {}
  CaptureSystemSeam capture;
  DeviceFilesSeam files;
  ClockSeam clock;
  DebugSeam debug;
  NotificationsSeam notifications;
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
  seams.clock = &seams_->clock;
  seams.debug = &seams_->debug;
  seams.com = &seams_->com;
  seams.notifications = &seams_->notifications;
  return seams;
}

platform::ICaptureSystem& SubstituteWorld::CaptureSystem() { return seams_->capture; }
platform::IDeviceFiles& SubstituteWorld::DeviceFiles() { return seams_->files; }
platform::IClock& SubstituteWorld::Clock() { return seams_->clock; }
platform::IDebugOutput& SubstituteWorld::DebugOutput() { return seams_->debug; }
platform::IComRuntime& SubstituteWorld::ComRuntime() { return seams_->com; }
platform::IDeviceNotifications& SubstituteWorld::DeviceNotifications() { return seams_->notifications; }

void SubstituteWorld::SetNotificationRegistrationFails(bool fails) { core_->SetNotificationRegistrationFails(fails); }
size_t SubstituteWorld::NotificationRegistrations() { return core_->NotificationRegistrations(); }

int SubstituteWorld::ComInitializations() { return seams_->com.initializations; }
int SubstituteWorld::ComUninitializations() { return seams_->com.uninitializations; }

DeviceId SubstituteWorld::AddCamera(const SubstituteCameraConfig& camera) { return AddDevice(CameraDevice(camera)); }
DeviceId SubstituteWorld::AddDevice(const SubstituteDeviceConfig& device) { return core_->AddDevice(device); }

uint64_t SubstituteWorld::Now() { return core_->Now(); }
void SubstituteWorld::Advance(uint32_t milliseconds) { core_->Sleep(milliseconds); }

std::vector<std::string> SubstituteWorld::DebugLines() { return core_->DebugLines(); }
void SubstituteWorld::ClearDebugLines() { core_->ClearDebugLines(); }

}  // namespace substitute
