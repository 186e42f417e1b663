// The Linux camera backend against USB cameras that umockdev emulates in
// sysfs and /dev. The program runs under umockdev's preload (ctest starts it
// through umockdev-wrapper); started otherwise, the emulated cases skip.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/uvcvideo.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "platform/CameraExtensionUnit.h"
#include "platform/Capture.h"
#include "platform/DeviceFile.h"
#include "platform/Platform.h"
#include "platform/linux/LinuxCameraBackend.h"
#include "support/FakeLinuxKernel.h"
#include "udev/EmulatedUsbCameras.h"

namespace {

using emulated::Bytes;
using emulated::operator+;
using emulated::Descriptors;
using emulated::ExtensionUnit;
using emulated::kOtherUnit;
using emulated::UsbCamera;

class LinuxCameraBackendTest : public ::testing::Test {
 protected:
  void SetUp() override {
    bed_.emplace();
    if (!emulated::Testbed::Active()) GTEST_SKIP() << "needs umockdev's preload (umockdev-wrapper)";
  }

  std::vector<std::string> Add(const UsbCamera& camera) { return bed_->Add(camera); }
  void Remove(const std::vector<std::string>& syspaths) { bed_->Remove(syspaths); }
  std::string Root() { return bed_->Root(); }

  // The camera: an unrelated unit ahead of its own at id 6, a capture node
  // and a metadata node. The webcam has no such unit; udev finds it first
  // (its port comes first) but its capture node has the higher number.
  UsbCamera Camera(int devnum) {
    return {"1-2",
            devnum,
            "Corvex Camera",
            Descriptors(ExtensionUnit(3, kOtherUnit) + ExtensionUnit(6, platform::kCameraExtensionUnitGuid)),
            {{"video0", "0", ":capture:"}, {"video1", "1", ":"}}};
  }
  UsbCamera Webcam() { return {"1-1", 4, "Plain Webcam", Descriptors({}), {{"video2", "0", ":capture:"}}}; }

  std::optional<emulated::Testbed> bed_;
  // The camera's unit, as the kernel answers it: the command control only.
  fake::LinuxKernel kernel_ = [] {
    fake::LinuxKernel kernel;
    kernel.closesForReal = true;
    kernel.unit = 6;
    kernel.controls = {{platform::kCameraCommandSelector, Bytes(8, 0)}};
    return kernel;
  }();
};

std::string Property(platform::IVideoInput& input, const char* name) {
  std::string value;
  return platform::Failed(input.ReadProperty(name, &value)) ? "<missing>" : value;
}

TEST_F(LinuxCameraBackendTest, ListsCaptureNodesOnlyWithTheirUsbDevices) {
  Add(Webcam());
  // A second capture node of the camera comes after every device's first.
  UsbCamera camera = Camera(3);
  camera.nodes[1].capabilities = ":capture:";
  Add(camera);
  // A name padded with blanks, and a USB device udev gives no node: its
  // usbfs node by bus and device number.
  Add({"1-3", 7, "Bare Camera  ", Descriptors({}), {{"video4", "0", ":capture:"}}, false});
  platform::linux::LinuxCameraBackend backend(kernel_);
  std::vector<platform::linux::CaptureNode> nodes;
  ASSERT_EQ(backend.ListCaptureNodes(&nodes), platform::kOk);
  struct Expected {
    const char* node;
    const char* name;
    const char* usbNode;
    const char* usbDevice;
  };
  const Expected expected[] = {{"/dev/video0", "Corvex Camera", "/dev/bus/usb/001/003", "/1-2"},
                               {"/dev/video2", "Plain Webcam", "/dev/bus/usb/001/004", "/1-1"},
                               {"/dev/video4", "Bare Camera", "/dev/bus/usb/001/007", "/1-3"},
                               {"/dev/video1", "Corvex Camera", "/dev/bus/usb/001/003", "/1-2"}};
  ASSERT_EQ(nodes.size(), std::size(expected));
  for (size_t i = 0; i < nodes.size(); ++i) {
    EXPECT_EQ(nodes[i].node, expected[i].node);
    EXPECT_EQ(nodes[i].devicePath, std::string(expected[i].node) + "@" + expected[i].usbNode);
    EXPECT_EQ(nodes[i].name, expected[i].name);
    EXPECT_EQ(nodes[i].usbNode, expected[i].usbNode);
    EXPECT_TRUE(nodes[i].usbSyspath.ends_with(expected[i].usbDevice)) << nodes[i].usbSyspath;
  }

  std::vector<std::shared_ptr<platform::IVideoInput>> inputs;
  ASSERT_EQ(backend.ListVideoInputs(&inputs), platform::kOk);
  ASSERT_EQ(inputs.size(), std::size(expected));
  for (size_t i = 0; i < inputs.size(); ++i) {
    EXPECT_EQ(inputs[i]->Bind(), platform::kOk);
    EXPECT_EQ(Property(*inputs[i], "DevicePath"), nodes[i].devicePath);
    EXPECT_EQ(Property(*inputs[i], "FriendlyName"), expected[i].name);
  }
}

TEST_F(LinuxCameraBackendTest, OpensTheExtensionUnitFoundInTheDescriptors) {
  Add(Camera(3));
  Add(Webcam());
  platform::linux::LinuxCameraBackend backend(kernel_);
  std::vector<std::shared_ptr<platform::IVideoInput>> inputs;
  ASSERT_EQ(backend.ListVideoInputs(&inputs), platform::kOk);
  ASSERT_EQ(inputs.size(), 2u);

  std::shared_ptr<platform::IExtensionUnitChannel> webcam;
  EXPECT_EQ(inputs[1]->OpenExtensionUnit(&webcam), platform::kOk);
  EXPECT_EQ(webcam, nullptr);

  std::shared_ptr<platform::IExtensionUnitChannel> camera;
  ASSERT_EQ(inputs[0]->OpenExtensionUnit(&camera), platform::kOk) << backend.LastOpenFailure()->error;
  ASSERT_NE(camera, nullptr);
  const uint8_t block[8] = {0x00, 0xD0, 0, 0, 8, 0, 0, 0};
  EXPECT_EQ(camera->Set(platform::kCameraCommandSelector, block, sizeof block), platform::kOk);
  EXPECT_EQ(kernel_.Units(), std::vector<uint8_t>(kernel_.queries.size(), 6));
  EXPECT_FALSE(kernel_.queries.empty());
}

TEST_F(LinuxCameraBackendTest, DeviceInstanceFollowsTheUsbDeviceAppearance) {
  const std::vector<std::string> camera = Add(Camera(3));
  platform::linux::LinuxCameraBackend backend(kernel_);
  std::vector<std::shared_ptr<platform::IVideoInput>> listed;
  ASSERT_EQ(backend.ListVideoInputs(&listed), platform::kOk);
  ASSERT_EQ(listed.size(), 1u);

  const auto key = [&backend](const char* path) {
    uint32_t devInst = 0xFFFFFFFF;
    EXPECT_EQ(backend.QueryDeviceInstance(path, &devInst), platform::kOk);
    return devInst;
  };
  const std::string firstPath = "/dev/video0@/dev/bus/usb/001/003";
  const uint32_t first = key(firstPath.c_str());
  EXPECT_NE(first, 0u);
  EXPECT_EQ(key(firstPath.c_str()), first);
  EXPECT_EQ(key("/dev/video1@/dev/bus/usb/001/003"), 0u) << "the metadata node is no capture device";
  EXPECT_EQ(key("/dev/video0"), 0u) << "a node alone names no device";
  EXPECT_NE(backend.OpenVendorRequests(firstPath), nullptr);

  Remove(camera);
  EXPECT_EQ(key(firstPath.c_str()), 0u);
  EXPECT_EQ(backend.OpenVendorRequests(firstPath), nullptr);

  Add(Camera(5));
  const std::string secondPath = "/dev/video0@/dev/bus/usb/001/005";
  const uint32_t second = key(secondPath.c_str());
  EXPECT_NE(second, 0u);
  EXPECT_NE(second, first);
  // The path kept from the first appearance finds nothing, not the camera
  // that took its capture node's name.
  EXPECT_EQ(key(firstPath.c_str()), 0u);
  EXPECT_EQ(backend.OpenVendorRequests(firstPath), nullptr);
  EXPECT_EQ(listed[0]->Bind(), platform::kDeviceGone) << "the listing stood for the earlier appearance";
  std::shared_ptr<platform::IExtensionUnitChannel> stale;
  EXPECT_EQ(listed[0]->OpenExtensionUnit(&stale), platform::kDeviceGone);
  EXPECT_EQ(backend.FindCaptureNode(secondPath)->usbNode, "/dev/bus/usb/001/005");
  EXPECT_NE(backend.OpenVendorRequests(secondPath), nullptr);
}

TEST_F(LinuxCameraBackendTest, ANodeThatDoesNotOpenLeavesItsErrno) {
  Add(Camera(3));
  // Nodes that can't be opened for writing, whoever runs the test.
  for (const char* node : {"/dev/video0", "/dev/bus/usb/001/003"}) {
    ASSERT_EQ(std::remove((Root() + node).c_str()), 0);
    ASSERT_EQ(::mkdir((Root() + node).c_str(), 0755), 0);
  }
  platform::linux::LinuxCameraBackend backend(kernel_);
  std::vector<std::shared_ptr<platform::IVideoInput>> inputs;
  ASSERT_EQ(backend.ListVideoInputs(&inputs), platform::kOk);
  ASSERT_EQ(inputs.size(), 1u);
  std::shared_ptr<platform::IExtensionUnitChannel> channel;
  EXPECT_EQ(inputs[0]->OpenExtensionUnit(&channel), platform::kFail);
  EXPECT_EQ(channel, nullptr);
  ASSERT_TRUE(backend.LastOpenFailure());
  EXPECT_EQ(backend.LastOpenFailure()->path, "/dev/video0");
  EXPECT_EQ(backend.LastOpenFailure()->error, EISDIR);
  // The camera still opens; its vendor requests fail as on a refusing
  // driver, so downloads go over the extension unit.
  const auto refused = backend.OpenVendorRequests("/dev/video0@/dev/bus/usb/001/003");
  ASSERT_NE(refused, nullptr);
  uint8_t probe = 0;
  uint32_t moved = 7;
  EXPECT_EQ(refused->Send({true, 5, 0, 0, 1}, &probe, &moved), platform::kErrorGenFailure);
  EXPECT_EQ(moved, 0u);
  EXPECT_EQ(backend.LastOpenFailure()->path, "/dev/bus/usb/001/003");
}

TEST_F(LinuxCameraBackendTest, TheHostListsTheCamerasThroughItsCaptureObjects) {
  Add(Camera(3));
  Add(Webcam());
  const platform::Platform& host = platform::Host();
  std::unique_ptr<platform::IEnumMoniker> devices;
  ASSERT_EQ(host.capture->CreateVideoInputEnumerator(&devices), platform::kOk);
  ASSERT_NE(devices, nullptr);
  std::vector<std::shared_ptr<platform::IMoniker>> monikers(2);
  for (auto& moniker : monikers) ASSERT_EQ(devices->Next(&moniker), platform::kOk);
  std::shared_ptr<platform::IMoniker> past;
  EXPECT_EQ(devices->Next(&past), platform::kFalse);

  std::shared_ptr<platform::IPropertyBag> properties;
  ASSERT_EQ(monikers[0]->BindToPropertyBag(&properties), platform::kOk);
  std::string devicePath;
  ASSERT_EQ(properties->Read("DevicePath", &devicePath), platform::kOk);
  EXPECT_EQ(devicePath, "/dev/video0@/dev/bus/usb/001/003");
  uint32_t devInst = 0;
  EXPECT_EQ(host.capture->QueryDeviceInstance(devicePath, &devInst), platform::kOk);
  EXPECT_EQ(devInst, platform::linux::DeviceInstanceKey(1, 3, 0));
  const platform::Handle handle = host.deviceFiles->Open(devicePath);
  EXPECT_NE(handle, platform::kInvalidHandle);
  EXPECT_TRUE(host.deviceFiles->Close(handle));

  // The webcam's filter has no such unit: the framework's answer for it.
  std::shared_ptr<platform::ICaptureFilter> filter;
  std::shared_ptr<platform::IKsControl> control;
  ASSERT_EQ(monikers[1]->BindToFilter(&filter), platform::kOk);
  ASSERT_EQ(filter->QueryKsControl(&control), platform::kOk);
  platform::KsNodeProperty property;
  property.set = platform::kCameraExtensionUnitGuid;
  property.id = platform::kCameraCommandSelector;
  property.flags = platform::kKsPropertySetTopology;
  property.nodeId = platform::kCameraExtensionUnitNode;
  uint8_t block[8] = {0x00, 0xD0, 0, 0, 8, 0, 0, 0};
  uint32_t returned = 0;
  EXPECT_EQ(control->KsProperty(property, platform::KsNodeProperty::kSize, block, sizeof block, &returned),
            platform::kSetNotFound);
}

TEST(LinuxCameraBackendRules, KeysAndCapabilities) {
  EXPECT_EQ(platform::linux::DeviceInstanceKey(1, 3, 0), 0x01030000u);
  EXPECT_NE(platform::linux::DeviceInstanceKey(1, 3, 0), platform::linux::DeviceInstanceKey(1, 4, 0));
  EXPECT_NE(platform::linux::DeviceInstanceKey(1, 3, 0), platform::linux::DeviceInstanceKey(1, 3, 2));
  EXPECT_NE(platform::linux::DeviceInstanceKey(0, 0, 0), 0u);
  const std::pair<const char*, bool> capabilities[] = {
      {":capture:", true}, {":capture:radio:", true}, {":", false}, {":video_output:", false}, {"", false}};
  for (const auto& [listed, capture] : capabilities)
    EXPECT_EQ(platform::linux::ListsCapture(listed), capture) << listed;
}

}  // namespace
