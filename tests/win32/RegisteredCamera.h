#pragma once
// The substitute camera behind the real Windows backend: the test camera's
// COM server registered as a video-input device, its property requests
// answered by a camera of a substitute world, and its device path a file
// that opens (its driver then knows no I/O control code, as a camera's
// driver without the download path). `Platform()` gives the world's seams
// with capture and device files the common adapters over the Windows camera
// backend (DirectShow, IKsControl and the device files through the system's
// own calls; the device-setup lookup by a stand-in, since wine's opens no
// device path) and the host's component runtime; the clock stays the
// world's, so nothing really sleeps. `Backend()` is that backend, for seams
// composed over it otherwise (with decorators, say).
//
// The registration lives in the shared wine prefix: tests that register must
// not run side by side (ctest RESOURCE_LOCK "wine_video_inputs").
//
// Use: add the camera to the world, make a RegisteredCamera of it, put
// `Platform()` in force (with the test's own files, window or view where it
// has them), and close the dialog and ResetDeviceState() before the
// RegisteredCamera ends: property requests still under way would otherwise
// reach a camera that is gone. The program needs the server DLL next to it
// (target zarnet_test_camera, built into the tests' folder).

#include <windows.h>

#include <setupapi.h>

#include <array>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "platform/adapters/CaptureSystemAdapter.h"
#include "platform/adapters/DeviceFilesAdapter.h"
#include "platform/adapters/ExtensionUnitKsControl.h"
#include "platform/adapters/HostWithoutCameras.h"
#include "platform/substitute/SubstituteWorld.h"
#include "platform/win32/DeviceSetup.h"
#include "platform/win32/WideText.h"
#include "platform/win32/Win32CameraBackend.h"
#include "support/TempDir.h"
#include "win32/TestCameraServer.h"

// The server's exports, loaded once per process from next to the program.
class TestCameraServer {
 public:
  static TestCameraServer& Get() {
    static TestCameraServer server;
    return server;
  }
  bool Loaded() const { return module_ && setHandler && registerDevice && unregisterDevice && liveObjects; }

  SetHandlerFunction setHandler = nullptr;
  RegisterFunction registerDevice = nullptr;
  UnregisterFunction unregisterDevice = nullptr;
  LiveObjectsFunction liveObjects = nullptr;

 private:
  TestCameraServer() {
    wchar_t self[MAX_PATH];
    const DWORD n = ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return;
    const auto path = std::filesystem::path(std::wstring(self, n)).parent_path() / kTestCameraServerFile;
    module_ = ::LoadLibraryW(path.c_str());
    if (!module_) return;
    setHandler = Export<SetHandlerFunction>(kSetHandlerExport);
    registerDevice = Export<RegisterFunction>(kRegisterExport);
    unregisterDevice = Export<UnregisterFunction>(kUnregisterExport);
    liveObjects = Export<LiveObjectsFunction>(kLiveObjectsExport);
  }
  template <typename F>
  F Export(const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void*>(::GetProcAddress(module_, name)));
  }
  HMODULE module_ = nullptr;
};

// The 32 request bytes as the capture seam describes them.
inline platform::KsNodeProperty DecodeNodeRequest(const BYTE* bytes, ULONG length) {
  platform::KsNodeProperty p;
  if (!bytes || length < platform::KsNodeProperty::kSize) return p;
  auto word = [bytes](int at) {
    return static_cast<uint32_t>(bytes[at]) | static_cast<uint32_t>(bytes[at + 1]) << 8 |
           static_cast<uint32_t>(bytes[at + 2]) << 16 | static_cast<uint32_t>(bytes[at + 3]) << 24;
  };
  p.set.data1 = word(0);
  p.set.data2 = static_cast<uint16_t>(bytes[4] | bytes[5] << 8);
  p.set.data3 = static_cast<uint16_t>(bytes[6] | bytes[7] << 8);
  std::memcpy(p.set.data4.data(), bytes + 8, 8);
  p.id = word(16);
  p.flags = word(20);
  p.nodeId = word(24);
  p.reserved = word(28);
  return p;
}

// Answers the server's property requests from one camera of the world: its
// extension unit as it appears now (listed again once it has left and come
// back), device-gone while it is away. Keeps every request's bytes.
class WorldCameraAnswers {
 public:
  WorldCameraAnswers(substitute::SubstituteWorld& world, substitute::DeviceId id) : world_(world), id_(id) {}

  static HRESULT Handler(void* context, const BYTE* property, ULONG propertyLength, void* data, ULONG dataLength,
                         ULONG* returned) {
    return static_cast<WorldCameraAnswers*>(context)->Answer(property, propertyLength, data, dataLength, returned);
  }

  std::vector<std::vector<uint8_t>> Requests() {
    std::lock_guard lock(mutex_);
    return requests_;
  }

 private:
  HRESULT Answer(const BYTE* property, ULONG propertyLength, void* data, ULONG dataLength, ULONG* returned) {
    std::lock_guard lock(mutex_);
    if (returned) *returned = 0;
    if (property) requests_.emplace_back(property, property + std::min<ULONG>(propertyLength, 64));
    if (!world_.IsPresent(id_)) return platform::kDeviceGone;
    if (!control_ || departures_ != world_.Departures(id_)) ListAgain();
    if (!control_) return platform::kDeviceGone;
    uint32_t count = 0;
    const platform::Status status = control_->KsProperty(DecodeNodeRequest(property, propertyLength), propertyLength,
                                                         static_cast<uint8_t*>(data), dataLength, &count);
    if (returned) *returned = count;
    return status;
  }

  void ListAgain() {
    control_.reset();
    departures_ = world_.Departures(id_);
    std::vector<std::shared_ptr<platform::IVideoInput>> devices;
    if (platform::Failed(world_.Backend().ListVideoInputs(&devices))) return;
    const std::string path = world_.DevicePath(id_);
    for (const auto& device : devices) {
      std::string listed;
      if (platform::Failed(device->ReadProperty("DevicePath", &listed)) || listed != path) continue;
      std::shared_ptr<platform::IExtensionUnitChannel> channel;
      if (platform::Failed(device->OpenExtensionUnit(&channel))) return;
      control_ = std::make_shared<platform::ExtensionUnitKsControl>(channel, platform::CameraExtensionUnitAddress());
      return;
    }
  }

  substitute::SubstituteWorld& world_;
  substitute::DeviceId id_;
  std::mutex mutex_;
  std::shared_ptr<platform::IKsControl> control_;
  uint32_t departures_ = 0;
  std::vector<std::vector<uint8_t>> requests_;
};

// Stands in for the system's device setup: the registered device path is the
// interface of the world's camera while it is present, with the camera's
// device-instance handle. Keeps the order of the calls.
class RegisteredDeviceSetup final : public platform::win32::IDeviceSetupCalls {
 public:
  RegisteredDeviceSetup(substitute::SubstituteWorld& world, substitute::DeviceId id, std::wstring devicePath)
      : world_(world), id_(id), devicePath_(std::move(devicePath)) {}

  bool listFails = false;
  bool detailFails = false;

  std::vector<std::string> Calls() {
    std::lock_guard lock(mutex_);
    return calls_;
  }

  HDEVINFO GetClassDevs(const GUID* classGuid, const wchar_t* enumerator, HWND parent, DWORD flags) override {
    Note("list " + std::to_string(flags) + (classGuid || enumerator || parent ? " narrowed" : ""));
    if (listFails) {
      ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return static_cast<HDEVINFO>(INVALID_HANDLE_VALUE);
    }
    return List();
  }
  BOOL OpenDeviceInterface(HDEVINFO list, const wchar_t* devicePath, DWORD, SP_DEVICE_INTERFACE_DATA* data) override {
    Note("open");
    if (list != List() || !data || data->cbSize != sizeof(*data) || ::lstrcmpiW(devicePath, devicePath_.c_str()) != 0 ||
        !world_.IsPresent(id_)) {
      ::SetLastError(ERROR_NO_SUCH_DEVICE_INTERFACE);
      return FALSE;
    }
    data->Reserved = kOpened;
    return TRUE;
  }
  BOOL GetDeviceInterfaceDetail(HDEVINFO list, SP_DEVICE_INTERFACE_DATA* data,
                                SP_DEVICE_INTERFACE_DETAIL_DATA_W* detail, DWORD detailSize, DWORD* requiredSize,
                                SP_DEVINFO_DATA* deviceInfo) override {
    const DWORD size = static_cast<DWORD>(offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath) +
                                          (devicePath_.size() + 1) * sizeof(wchar_t));
    if (requiredSize) *requiredSize = size;
    if (list != List() || !data || data->Reserved != kOpened) return Refuse("detail refused", ERROR_INVALID_PARAMETER);
    if (!detail) return Refuse("detail size", ERROR_INSUFFICIENT_BUFFER);
    if (detailSize < size || detail->cbSize != sizeof(*detail) || !deviceInfo ||
        deviceInfo->cbSize != sizeof(*deviceInfo))
      return Refuse("detail refused", ERROR_INVALID_USER_BUFFER);
    if (detailFails) return Refuse("detail", ERROR_GEN_FAILURE);
    Note("detail");
    std::memcpy(detail->DevicePath, devicePath_.c_str(), (devicePath_.size() + 1) * sizeof(wchar_t));
    deviceInfo->DevInst = world_.DevInst(id_);
    return TRUE;
  }
  // The camera sits on the root hub's first port, as a composite device's
  // first interface.
  BOOL GetDeviceRegistryProperty(HDEVINFO list, SP_DEVINFO_DATA* device, DWORD property, DWORD* type, BYTE* buffer,
                                 DWORD size, DWORD* requiredSize) override {
    static const wchar_t kLocation[] = L"PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(1)#USBMI(0)\0";
    if (requiredSize) *requiredSize = sizeof kLocation;
    if (list != List() || !device || property != SPDRP_LOCATION_PATHS)
      return Refuse("property refused", ERROR_INVALID_DATA);
    if (!buffer || size < sizeof kLocation) return Refuse("property size", ERROR_INSUFFICIENT_BUFFER);
    Note("location");
    if (type) *type = REG_MULTI_SZ;
    std::memcpy(buffer, kLocation, sizeof kLocation);
    return TRUE;
  }
  BOOL DestroyDeviceInfoList(HDEVINFO list) override {
    Note(list == List() ? "destroy" : "destroy refused");
    return list == List();
  }

 private:
  static constexpr ULONG_PTR kOpened = 0x0BE4;
  static HDEVINFO List() { return reinterpret_cast<HDEVINFO>(static_cast<uintptr_t>(0x5E7)); }
  void Note(const std::string& call) {
    std::lock_guard lock(mutex_);
    calls_.push_back(call);
  }
  BOOL Refuse(const std::string& call, DWORD error) {
    Note(call);
    ::SetLastError(error);
    return FALSE;
  }

  substitute::SubstituteWorld& world_;
  substitute::DeviceId id_;
  std::wstring devicePath_;
  std::mutex mutex_;
  std::vector<std::string> calls_;
};

// One world camera registered as the test camera for the object's life.
class RegisteredCamera {
 public:
  static constexpr char kFriendlyName[] = "Corvex USB Camera";

  RegisteredCamera(substitute::SubstituteWorld& world, substitute::DeviceId id)
      : world_(world),
        answers_(world, id),
        devicePath_(folder_.Write("camera-device", {})),
        setup_(world, id, platform::win32::Wide(devicePath_)),
        backend_(setup_),
        capture_(backend_, platform::CameraExtensionUnitAddress()),
        files_(backend_) {
    com_->Initialize();
    RemoveLeftovers();
    auto& server = TestCameraServer::Get();
    if (!server.Loaded()) return;
    server.setHandler(&WorldCameraAnswers::Handler, &answers_);
    registered_ = SUCCEEDED(server.registerDevice(platform::win32::Wide(kFriendlyName).c_str(),
                                                  platform::win32::Wide(devicePath_).c_str()));
  }
  ~RegisteredCamera() {
    RemoveLeftovers();
    if (TestCameraServer::Get().Loaded()) TestCameraServer::Get().setHandler(nullptr, nullptr);
    com_->Uninitialize();
  }
  RegisteredCamera(const RegisteredCamera&) = delete;
  RegisteredCamera& operator=(const RegisteredCamera&) = delete;

  // Takes away a registration a test left behind (one that crashed).
  static void RemoveLeftovers() {
    if (TestCameraServer::Get().Loaded()) TestCameraServer::Get().unregisterDevice();
  }

  bool Registered() const { return registered_; }
  const std::string& DevicePath() const { return devicePath_; }

  platform::Platform Platform() {
    platform::Platform p = world_.Platform();
    p.capture = &capture_;
    p.deviceFiles = &files_;
    p.com = com_;
    p.deviceFacts = &backend_;
    return p;
  }

  WorldCameraAnswers& Answers() { return answers_; }
  RegisteredDeviceSetup& Setup() { return setup_; }
  platform::win32::Win32CameraBackend& Backend() { return backend_; }
  platform::ICaptureSystem& Capture() { return capture_; }

 private:
  substitute::SubstituteWorld& world_;
  WorldCameraAnswers answers_;
  TempDir folder_;
  std::string devicePath_;
  RegisteredDeviceSetup setup_;
  platform::win32::Win32CameraBackend backend_;
  platform::CaptureSystemAdapter capture_;
  platform::DeviceFilesAdapter files_;
  platform::IComRuntime* com_ = platform::Host().com;
  bool registered_ = false;
};
