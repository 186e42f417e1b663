// The Linux camera backend against USB cameras that umockdev emulates in
// sysfs and /dev. The program runs under umockdev's preload (ctest starts it
// through umockdev-wrapper); started otherwise, the emulated cases skip.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/uvcvideo.h>
#include <sys/stat.h>
#include <umockdev.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/CameraExtensionUnit.h"
#include "platform/Capture.h"
#include "platform/DeviceFile.h"
#include "platform/Platform.h"
#include "platform/linux/LinuxCameraBackend.h"

namespace {

using Bytes = std::vector<uint8_t>;
using platform::Guid;

Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

Bytes ExtensionUnit(uint8_t id, const Guid& guid) {
  const auto g = guid.Bytes();
  // One source pin; controls 10 and 11 declared in a two-byte bitmap.
  Bytes unit = Bytes{0, 0x24, 0x06, id} + Bytes(g.begin(), g.end()) + Bytes{16, 1, 1, 2, 0x00, 0x06, 0};
  unit[0] = static_cast<uint8_t>(unit.size());
  return unit;
}

// A device with one VideoControl interface holding `units`.
Bytes Descriptors(const Bytes& units) {
  return Bytes{18, 0x01, 0x00, 0x02, 0xEF, 0x02, 0x01, 0x40} + Bytes(10, 0) + Bytes{9, 0x02, 0, 0, 2, 1, 0, 0x80, 50} +
         Bytes{9, 0x04, 0, 0, 1, 0x0E, 0x01, 0, 0} + Bytes{13, 0x24, 0x01, 0x00, 0x01, 0, 0, 0, 0, 0, 0, 0, 0} + units;
}

const Guid kOtherUnit{0x1229A78C, 0x47B4, 0x4094, {0xB0, 0xCE, 0xDB, 0x07, 0x38, 0x6F, 0xB9, 0x39}};

struct Node {
  const char* name;  // video0
  const char* index;
  const char* capabilities;  // udev's ID_V4L_CAPABILITIES
};

struct UsbCamera {
  const char* port;  // 1-1
  int devnum;
  const char* product;
  Bytes descriptors;
  std::vector<Node> nodes;
};

// The kernel seam as the tests see it: every extension-unit query is
// recorded and answered with zero bytes.
class RecordingKernel final : public platform::ILinuxKernel {
 public:
  long Ioctl(int, unsigned long request, void* arg) override {
    if (request != UVCIOC_CTRL_QUERY) return -ENOTTY;
    const auto* query = static_cast<uvc_xu_control_query*>(arg);
    units.push_back(query->unit);
    return 0;
  }
  void Close(int fd) override { ::close(fd); }
  std::vector<uint8_t> units;
};

class LinuxCameraBackendTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The preload is known to be active only once a testbed exists.
    bed_ = umockdev_testbed_new();
    if (!umockdev_in_mock_environment()) GTEST_SKIP() << "needs umockdev's preload (umockdev-wrapper)";
  }
  void TearDown() override {
    if (bed_) g_object_unref(bed_);
  }

  // Adds the USB device, its VideoControl interface and its nodes; returns
  // their syspaths, the USB device's first.
  std::vector<std::string> Add(const UsbCamera& camera) {
    const std::string devnum = std::to_string(camera.devnum);
    char usbNode[32];
    std::snprintf(usbNode, sizeof usbNode, "/dev/bus/usb/001/%03d", camera.devnum);
    const std::string usbDev = "189:" + std::to_string(camera.devnum - 1);
    const gchar* usbAttributes[] = {"busnum",       "1",   "devnum",       devnum.c_str(), "product",
                                    camera.product, "dev", usbDev.c_str(), nullptr};
    const gchar* usbProperties[] = {"DEVTYPE", "usb_device", "DEVNAME", usbNode, nullptr};
    gchar* usb = umockdev_testbed_add_devicev(bed_, "usb", camera.port, nullptr, const_cast<gchar**>(usbAttributes),
                                              const_cast<gchar**>(usbProperties));
    std::vector<std::string> added{usb};
    g_free(usb);
    const std::string& syspath = added.front();
    MakeNode(usbNode);
    Bytes descriptors = camera.descriptors;
    umockdev_testbed_set_attribute_binary(bed_, syspath.c_str(), "descriptors", descriptors.data(),
                                          static_cast<gssize>(descriptors.size()));
    const std::string interfaceName = std::string(camera.port) + ":1.0";
    const gchar* interfaceProperties[] = {"DEVTYPE", "usb_interface", nullptr};
    const gchar* none[] = {nullptr};
    gchar* interface =
        umockdev_testbed_add_devicev(bed_, "usb", interfaceName.c_str(), syspath.c_str(), const_cast<gchar**>(none),
                                     const_cast<gchar**>(interfaceProperties));
    for (const Node& node : camera.nodes) {
      const std::string number = std::string(node.name).substr(5);
      const std::string dev = "81:" + number;
      const std::string devname = std::string("/dev/") + node.name;
      const gchar* attributes[] = {"name", camera.product, "index", node.index, "dev", dev.c_str(), nullptr};
      const gchar* properties[] = {"DEVNAME", devname.c_str(), "ID_V4L_CAPABILITIES", node.capabilities, nullptr};
      gchar* added_node = umockdev_testbed_add_devicev(
          bed_, "video4linux", node.name, interface, const_cast<gchar**>(attributes), const_cast<gchar**>(properties));
      added.emplace_back(added_node);
      g_free(added_node);
      MakeNode(devname);
    }
    added.insert(added.begin() + 1, interface);
    g_free(interface);
    return added;
  }

  // Removes what Add added, children first, and every device node made so
  // far (the tests that remove a camera have only that one).
  void Remove(const std::vector<std::string>& syspaths) {
    for (auto it = syspaths.rbegin(); it != syspaths.rend(); ++it) umockdev_testbed_remove_device(bed_, it->c_str());
    for (const std::string& node : madeNodes_) std::remove((Root() + node).c_str());
    madeNodes_.clear();
  }

  // The testbed records a node's device numbers; the node itself, which the
  // preload opens in place of /dev/..., is left to the test: a plain file
  // serves while no ioctl reaches the driver.
  void MakeNode(const std::string& devname) {
    const std::string path = Root() + devname;
    g_mkdir_with_parents(std::string(path, 0, path.rfind('/')).c_str(), 0755);
    ASSERT_TRUE(g_file_set_contents(path.c_str(), "", 0, nullptr)) << path;
    madeNodes_.push_back(devname);
  }

  std::string Root() {
    gchar* root = umockdev_testbed_get_root_dir(bed_);
    std::string path = root;
    g_free(root);
    return path;
  }

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

  UMockdevTestbed* bed_ = nullptr;
  std::vector<std::string> madeNodes_;
  RecordingKernel kernel_;
};

std::string Property(platform::IVideoInput& input, const char* name) {
  std::string value;
  return platform::Failed(input.ReadProperty(name, &value)) ? "<missing>" : value;
}

TEST_F(LinuxCameraBackendTest, ListsCaptureNodesOnlyWithTheirUsbDevices) {
  Add(Webcam());
  Add(Camera(3));
  platform::LinuxCameraBackend backend(kernel_);
  std::vector<platform::CaptureNode> nodes;
  ASSERT_EQ(backend.ListCaptureNodes(&nodes), platform::kOk);
  struct Expected {
    const char* devicePath;
    const char* name;
    const char* usbNode;
    const char* usbDevice;
  };
  const Expected expected[] = {{"/dev/video0", "Corvex Camera", "/dev/bus/usb/001/003", "/1-2"},
                               {"/dev/video2", "Plain Webcam", "/dev/bus/usb/001/004", "/1-1"}};
  ASSERT_EQ(nodes.size(), std::size(expected));
  for (size_t i = 0; i < nodes.size(); ++i) {
    EXPECT_EQ(nodes[i].devicePath, expected[i].devicePath);
    EXPECT_EQ(nodes[i].name, expected[i].name);
    EXPECT_EQ(nodes[i].usbNode, expected[i].usbNode);
    EXPECT_TRUE(nodes[i].usbSyspath.ends_with(expected[i].usbDevice)) << nodes[i].usbSyspath;
  }

  std::vector<std::shared_ptr<platform::IVideoInput>> inputs;
  ASSERT_EQ(backend.ListVideoInputs(&inputs), platform::kOk);
  ASSERT_EQ(inputs.size(), std::size(expected));
  for (size_t i = 0; i < inputs.size(); ++i) {
    EXPECT_EQ(inputs[i]->Bind(), platform::kOk);
    EXPECT_EQ(Property(*inputs[i], "DevicePath"), expected[i].devicePath);
    EXPECT_EQ(Property(*inputs[i], "FriendlyName"), expected[i].name);
  }
}

TEST_F(LinuxCameraBackendTest, OpensTheExtensionUnitFoundInTheDescriptors) {
  Add(Camera(3));
  Add(Webcam());
  platform::LinuxCameraBackend backend(kernel_);
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
  EXPECT_EQ(kernel_.units, std::vector<uint8_t>{6});
}

TEST_F(LinuxCameraBackendTest, DeviceInstanceFollowsTheUsbDeviceAppearance) {
  const std::vector<std::string> camera = Add(Camera(3));
  platform::LinuxCameraBackend backend(kernel_);
  std::vector<std::shared_ptr<platform::IVideoInput>> listed;
  ASSERT_EQ(backend.ListVideoInputs(&listed), platform::kOk);
  ASSERT_EQ(listed.size(), 1u);

  const auto key = [&backend](const char* path) {
    uint32_t devInst = 0xFFFFFFFF;
    EXPECT_EQ(backend.QueryDeviceInstance(path, &devInst), platform::kOk);
    return devInst;
  };
  const uint32_t first = key("/dev/video0");
  EXPECT_NE(first, 0u);
  EXPECT_EQ(key("/dev/video0"), first);
  EXPECT_EQ(key("/dev/video1"), 0u) << "the metadata node is no capture device";
  EXPECT_EQ(key("/dev/video9"), 0u);
  EXPECT_NE(backend.OpenVendorRequests("/dev/video0"), nullptr);

  Remove(camera);
  EXPECT_EQ(key("/dev/video0"), 0u);
  EXPECT_EQ(backend.OpenVendorRequests("/dev/video0"), nullptr);

  Add(Camera(5));
  const uint32_t second = key("/dev/video0");
  EXPECT_NE(second, 0u);
  EXPECT_NE(second, first);
  EXPECT_EQ(listed[0]->Bind(), platform::kDeviceGone) << "the listing stood for the earlier appearance";
  std::shared_ptr<platform::IExtensionUnitChannel> stale;
  EXPECT_EQ(listed[0]->OpenExtensionUnit(&stale), platform::kDeviceGone);
  EXPECT_EQ(backend.FindCaptureNode("/dev/video0")->usbNode, "/dev/bus/usb/001/005");
  EXPECT_NE(backend.OpenVendorRequests("/dev/video0"), nullptr);
}

TEST_F(LinuxCameraBackendTest, ANodeThatDoesNotOpenLeavesItsErrno) {
  Add(Camera(3));
  // Nodes that can't be opened for writing, whoever runs the test.
  for (const char* node : {"/dev/video0", "/dev/bus/usb/001/003"}) {
    ASSERT_EQ(std::remove((Root() + node).c_str()), 0);
    ASSERT_EQ(::mkdir((Root() + node).c_str(), 0755), 0);
  }
  platform::LinuxCameraBackend backend(kernel_);
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
  const auto refused = backend.OpenVendorRequests("/dev/video0");
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
  EXPECT_EQ(devicePath, "/dev/video0");
  uint32_t devInst = 0;
  EXPECT_EQ(host.capture->QueryDeviceInstance(devicePath, &devInst), platform::kOk);
  EXPECT_EQ(devInst, platform::DeviceInstanceKey(1, 3, 0));
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
  EXPECT_EQ(platform::DeviceInstanceKey(1, 3, 0), 0x01030000u);
  EXPECT_NE(platform::DeviceInstanceKey(1, 3, 0), platform::DeviceInstanceKey(1, 4, 0));
  EXPECT_NE(platform::DeviceInstanceKey(1, 3, 0), platform::DeviceInstanceKey(1, 3, 2));
  EXPECT_NE(platform::DeviceInstanceKey(0, 0, 0), 0u);
  const std::pair<const char*, bool> capabilities[] = {
      {":capture:", true}, {":capture:radio:", true}, {":", false}, {":video_output:", false}, {"", false}};
  for (const auto& [listed, capture] : capabilities) EXPECT_EQ(platform::ListsCapture(listed), capture) << listed;
}

}  // namespace
