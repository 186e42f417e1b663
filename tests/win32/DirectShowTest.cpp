// The Windows camera backend through the system's own calls under wine, as
// the common adapters present it: DirectShow's enumeration, monikers,
// property bags and filters over the registered test camera, its IKsControl,
// the device files, and the device-setup lookup over its stand-in.

#include <gtest/gtest.h>

#include <algorithm>

#include "device/CameraRegistry.h"
#include "device/Device.h"
#include "download/DownloadMode.h"
#include "platform/CameraExtensionUnit.h"
#include "support/DialogHarness.h"
#include "win32/RegisteredCamera.h"

namespace {

using platform::kOk;

// A world with one camera registered as the test camera, in force.
struct RealBackend {
  explicit RealBackend(const substitute::SubstituteDeviceConfig& device = substitute::CameraDevice())
      : cam(world.AddDevice(device)), camera(world, cam), inForce(camera.Platform()) {}
  ~RealBackend() { ResetDeviceState(); }

  substitute::SubstituteWorld world;
  substitute::DeviceId cam;
  RegisteredCamera camera;
  platform::ScopedPlatform inForce;
};

TEST(DirectShow, ListsTheRegisteredDeviceWithItsNames) {
  RealBackend b;
  ASSERT_TRUE(b.camera.Registered());
  {
    std::unique_ptr<platform::IEnumMoniker> devices;
    ASSERT_EQ(b.camera.Capture().CreateVideoInputEnumerator(&devices), kOk);
    ASSERT_TRUE(devices);
    std::shared_ptr<platform::IMoniker> moniker;
    ASSERT_EQ(devices->Next(&moniker), kOk);
    std::shared_ptr<platform::IPropertyBag> bag;
    ASSERT_EQ(moniker->BindToPropertyBag(&bag), kOk);
    std::string name, path, missing;
    EXPECT_EQ(bag->Read("FriendlyName", &name), kOk);
    EXPECT_EQ(name, RegisteredCamera::kFriendlyName);
    EXPECT_EQ(bag->Read("DevicePath", &path), kOk);
    EXPECT_EQ(path, b.camera.DevicePath());
    EXPECT_TRUE(platform::Failed(bag->Read("NoSuchName", &missing)));
    std::shared_ptr<platform::ICaptureFilter> filter;
    ASSERT_EQ(moniker->BindToFilter(&filter), kOk);
    std::shared_ptr<platform::IKsControl> control;
    EXPECT_EQ(filter->QueryKsControl(&control), kOk);
    EXPECT_GT(TestCameraServer::Get().liveObjects(), 0);

    EXPECT_EQ(devices->Next(&moniker), platform::kFalse);
    EXPECT_FALSE(moniker);
    // Skipping past the only device ends, where wine's own Skip would not.
    EXPECT_EQ(devices->Reset(), kOk);
    EXPECT_EQ(devices->Skip(1), kOk);
    EXPECT_EQ(devices->Reset(), kOk);
    EXPECT_EQ(devices->Skip(2), platform::kFalse);
    EXPECT_EQ(devices->Next(&moniker), platform::kFalse);
  }
  EXPECT_EQ(TestCameraServer::Get().liveObjects(), 0) << "every filter reference was released";
}

TEST(DirectShow, OpenCameraIdentifiesTheCameraThroughKsProperty) {
  RealBackend b;
  int32_t index = 0;
  const uint32_t key = OpenCamera(&index);
  EXPECT_EQ(key, b.world.DevInst(b.cam));
  EXPECT_EQ(index, 0);
  EXPECT_EQ(b.camera.Setup().Calls(),
            (std::vector<std::string>{"list 22", "open", "detail size", "detail", "destroy"}));

  // The identify block went out as a 32-byte node request on the command control.
  const auto requests = b.camera.Answers().Requests();
  ASSERT_FALSE(requests.empty());
  std::vector<uint8_t> expected(32, 0);
  const auto unit = platform::kCameraExtensionUnitGuid.Bytes();
  std::copy(unit.begin(), unit.end(), expected.begin());
  expected[16] = 10;
  expected[20] = 0x02;
  expected[23] = 0x10;
  expected[24] = 3;
  EXPECT_EQ(requests.front(), expected);
  EXPECT_EQ(requests[1][16], 11) << "then the data control is read";
  EXPECT_EQ(requests[1][20], 0x01);
  ASSERT_FALSE(b.world.CommandBlocks(b.cam).empty());
  EXPECT_EQ(b.world.CommandBlocks(b.cam).front(), (std::vector<uint8_t>{0x00, 0xD0, 0, 0, 8, 0, 0, 0}));

  CloseCamera(key);
  EXPECT_EQ(TestCameraServer::Get().liveObjects(), 0);
}

TEST(DirectShow, DownloadModeProbeFailsOnADriverWithoutTheCode) {
  RealBackend b;
  int32_t index = 0;
  const uint32_t key = OpenCamera(&index);
  ASSERT_NE(key, 0u);
  platform::Handle handle = platform::kInvalidHandle;
  ASSERT_EQ(GetDeviceHandle(key, &handle), 1);
  EXPECT_NE(handle, platform::kInvalidHandle) << "the device path opened through CreateFileW";
  uint8_t answer = 0;
  EXPECT_NE(ProbeDevice(handle, &answer), 0u);
  CloseCamera(key);
}

struct Lookup {
  const char* name;
  bool listFails, detailFails, otherPath;
  bool failed;
  bool found;
  std::vector<std::string> calls;
};

void PrintTo(const Lookup& c, std::ostream* os) { *os << c.name; }

class DeviceSetupLookup : public ::testing::TestWithParam<Lookup> {};

TEST_P(DeviceSetupLookup, AsksForTheDetailTwiceAndAlwaysDestroysTheList) {
  const Lookup& c = GetParam();
  RealBackend b;
  b.camera.Setup().listFails = c.listFails;
  b.camera.Setup().detailFails = c.detailFails;
  const std::string path = c.otherPath ? b.camera.DevicePath() + "-other" : b.camera.DevicePath();
  uint32_t devInst = 0xDEAD;
  EXPECT_EQ(platform::Failed(b.camera.Capture().QueryDeviceInstance(path, &devInst)), c.failed);
  EXPECT_EQ(devInst, c.found ? b.world.DevInst(b.cam) : 0u);
  EXPECT_EQ(b.camera.Setup().Calls(), c.calls);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DeviceSetupLookup,
    ::testing::Values(
        Lookup{"Found", false, false, false, false, true, {"list 22", "open", "detail size", "detail", "destroy"}},
        Lookup{
            "DetailFails", false, true, false, false, false, {"list 22", "open", "detail size", "detail", "destroy"}},
        Lookup{"NoSuchInterface", false, false, true, false, false, {"list 22", "open", "destroy"}},
        Lookup{"NoList", true, false, false, true, false, {"list 22"}}),
    [](const auto& param) { return std::string(param.param.name); });

// The port a camera is re-found at after its reset: the USB device's location
// path (the interface's, without its last step), asked size first, from the
// device's record; none for an interface not present.
TEST(DeviceSetup, ACamerasPortIsItsLocationPath) {
  RealBackend b;
  platform::IDeviceFacts& facts = b.camera.Backend();
  EXPECT_EQ(facts.Describe(b.camera.DevicePath()).port, "PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(1)");
  EXPECT_EQ(b.camera.Setup().Calls(), (std::vector<std::string>{"list 22", "open", "detail size", "detail",
                                                                "property size", "location", "destroy"}));
  EXPECT_FALSE(facts.Describe(b.camera.DevicePath() + "-other").port);
}

// The system's own device setup, as wine has it: the list is had, and no
// device path opens.
TEST(DeviceSetup, TheSystemsLookupFindsNoInstanceUnderWine) {
  uint32_t devInst = 0xDEAD;
  EXPECT_EQ(platform::win32::LookUpDeviceInstance(platform::win32::SystemDeviceSetup(), L"\\\\?\\usb#none", &devInst),
            kOk);
  EXPECT_EQ(devInst, 0u);
}

// The dialog over the registered camera through the real backend.
struct RealBackendDialog {
  explicit RealBackendDialog(const substitute::SubstituteDeviceConfig& device)
      : cam(h.world.AddDevice(device)), camera(h.world, cam) {
    platform::Platform p = camera.Platform();
    p.files = &h.files;
    h.inForce.reset();
    h.inForce.emplace(p);
  }
  ~RealBackendDialog() { Close(); }
  void Close() {
    h.Close();
    ResetDeviceState();
    h.inForce.reset();
  }

  DialogHarness h;
  substitute::DeviceId cam;
  RegisteredCamera camera;
};

struct NoCamera {
  const char* name;
  substitute::SubstituteDeviceConfig device;
  bool registered;
  bool setupFindsNone;
};

void PrintTo(const NoCamera& c, std::ostream* os) { *os << c.name; }

class SearchWithoutCamera : public ::testing::TestWithParam<NoCamera> {};

TEST_P(SearchWithoutCamera, EndsAndSaysNoCamera) {
  const NoCamera& c = GetParam();
  RealBackendDialog d(c.device);
  if (!c.registered) RegisteredCamera::RemoveLeftovers();
  d.camera.Setup().detailFails = c.setupFindsNone;
  int32_t index = 0;
  EXPECT_EQ(OpenCamera(&index), 0u);
  EXPECT_EQ(index, -1);
  d.h.Open();
  EXPECT_EQ(d.h.Text(IDC_STATUS), "No Corvex Camera");
  EXPECT_EQ(d.h.dlg->m_cameraKey, 0u);
}

INSTANTIATE_TEST_SUITE_P(Cases, SearchWithoutCamera,
                         ::testing::Values(NoCamera{"NoneRegistered", substitute::CameraDevice(), false, false},
                                           NoCamera{"FailsIdentity", substitute::PlainWebcam(), true, false},
                                           NoCamera{"NoDeviceInstance", substitute::CameraDevice(), true, true}),
                         [](const auto& param) { return std::string(param.param.name); });

struct FullDownload {
  const char* name;
  uint8_t memoryClass;
  bool needsDownloadMode;
};

void PrintTo(const FullDownload& c, std::ostream* os) { *os << c.name; }

class DownloadThroughWindows : public ::testing::TestWithParam<FullDownload> {};

// The probe through DeviceIoControl fails on a device file whose driver
// lacks the code, so even the serial flash is written over the extension
// unit; the camera resets and comes back before the run ends.
TEST_P(DownloadThroughWindows, PassesOverTheExtensionUnitAndTheCameraReturns) {
  const FullDownload& c = GetParam();
  auto config = substitute::CameraOfClass(c.memoryClass);
  config.needsDownloadMode = c.needsDownloadMode;
  RealBackendDialog d(substitute::CameraDevice(config));
  const auto image = SampleFor(c.memoryClass);
  d.h.WriteImage("fw.bin", image);
  d.h.Open();
  ASSERT_EQ(d.h.Text(IDC_STATUS), "Corvex Camera Connected");
  ASSERT_EQ(d.h.dlg->m_bImageOk, 1);
  d.h.ClickStart();

  EXPECT_EQ(d.h.Text(IDC_RESULT), "Pass");
  const auto memory = d.h.world.Memory(d.cam);
  const size_t length = std::min<size_t>(image.size(), 0xFFFE);
  EXPECT_TRUE(std::equal(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(length), memory.begin()));
  EXPECT_EQ(d.h.world.Departures(d.cam), c.needsDownloadMode ? 2u : 1u) << "reset (and download mode) left the bus";
  EXPECT_TRUE(d.h.world.IsPresent(d.cam));
  for (const auto& entry : d.h.world.Traffic())
    EXPECT_NE(entry.kind, substitute::TrafficKind::kVendorRequest) << "nothing went the driver's way";
  EXPECT_EQ(d.h.Text(IDC_STATUS), "Corvex Camera Connected");
  EXPECT_NE(d.h.dlg->m_cameraKey, 0u);

  d.Close();
  EXPECT_EQ(TestCameraServer::Get().liveObjects(), 0) << "every filter reference was released";
}

INSTANTIATE_TEST_SUITE_P(Cases, DownloadThroughWindows,
                         ::testing::Values(FullDownload{"SerialFlash", 8, false},
                                           FullDownload{"SerialFlashInDownloadMode", 8, true},
                                           FullDownload{"Eeprom", 6, false}),
                         [](const auto& param) { return std::string(param.param.name); });

}  // namespace
