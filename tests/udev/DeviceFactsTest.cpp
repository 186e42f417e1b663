// What the Linux backend tells `list` about each capture node: USB id,
// extension unit, download-mode path and the hint when a node is refused.
// Runs under umockdev's preload; started otherwise, the cases skip.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/CameraExtensionUnit.h"
#include "platform/Capture.h"
#include "platform/linux/LinuxCameraBackend.h"
#include "platform/linux/UsbfsVendorRequests.h"
#include "support/FakeLinuxKernel.h"
#include "udev/EmulatedUsbCameras.h"

namespace {

using emulated::Bytes;
using emulated::operator+;

// Opens the testbed's nodes, except those given an errno to refuse with:
// permissions can't be taken from a test that may run as root.
fake::LinuxKernel RefusingKernel() {
  fake::LinuxKernel kernel;
  kernel.closesForReal = true;
  return kernel;
}

Bytes WithUsbId(Bytes descriptors, uint16_t vendor, uint16_t product) {
  descriptors[8] = static_cast<uint8_t>(vendor);
  descriptors[9] = static_cast<uint8_t>(vendor >> 8);
  descriptors[10] = static_cast<uint8_t>(product);
  descriptors[11] = static_cast<uint8_t>(product >> 8);
  return descriptors;
}

emulated::UsbCamera Camera() {
  const Bytes units =
      emulated::ExtensionUnit(3, emulated::kOtherUnit) + emulated::ExtensionUnit(6, platform::kCameraExtensionUnitGuid);
  return {"1-2",
          3,
          "Corvex Camera",
          WithUsbId(emulated::Descriptors(units), 0x2FE3, 0x0C21),
          {{"video0", "0", ":capture:"}}};
}

emulated::UsbCamera Webcam() {
  return {
      "1-2", 3, "Plain Webcam", WithUsbId(emulated::Descriptors({}), 0x1AB2, 0x0007), {{"video0", "0", ":capture:"}}};
}

constexpr const char* kCaptureNode = "/dev/video0";
constexpr const char* kUsbNode = "/dev/bus/usb/001/003";
constexpr const char* kDevicePath = "/dev/video0@/dev/bus/usb/001/003";

TEST(DeviceFacts, TellUnitPathAndWhatToDoWhenANodeIsRefused) {
  struct Case {
    const char* what;
    emulated::UsbCamera device;
    std::map<std::string, int> refuse;
    std::optional<uint32_t> usbId;  // vendor, product
    std::optional<bool> hasUnit;
    std::optional<uint8_t> unitId;
    bool downloadPath;
    std::vector<std::string> hintNames;  // empty: no hint; the hint starts with the first
    platform::Status unitOpens = platform::kOk;
  };
  const Case cases[] = {
      {"a camera whose unit is not at 3", Camera(), {}, 0x2FE30C21, true, 6, true, {}},
      {"usbfs node refused",
       Camera(),
       {{kUsbNode, EACCES}},
       0x2FE30C21,
       true,
       6,
       false,
       {kUsbNode, "70-zarnet-uvc-camera.rules", "cmake --install"}},
      {"both nodes refused",
       Camera(),
       {{kCaptureNode, EACCES}, {kUsbNode, EPERM}},
       0x2FE30C21,
       true,
       6,
       false,
       {kCaptureNode, std::string("; ") + kUsbNode},
       platform::kAccessDenied},
      {"capture node refused",
       Camera(),
       {{kCaptureNode, EPERM}},
       0x2FE30C21,
       true,
       6,
       true,
       {kCaptureNode, "video group", "seat"},
       platform::kAccessDenied},
      {"a usbfs node that fails otherwise", Camera(), {{kUsbNode, ENXIO}}, 0x2FE30C21, true, 6, false, {}},
      {"capture node gone", Camera(), {{kCaptureNode, ENOENT}}, 0x2FE30C21, true, 6, true, {}, platform::kDeviceGone},
      {"a webcam without the unit needs no download path",
       Webcam(),
       {{kUsbNode, EACCES}},
       0x1AB20007,
       false,
       std::nullopt,
       false,
       {}},
  };
  for (const Case& c : cases) {
    emulated::Testbed bed;
    if (!emulated::Testbed::Active()) GTEST_SKIP() << "needs umockdev's preload (umockdev-wrapper)";
    bed.Add(c.device);
    fake::LinuxKernel kernel = RefusingKernel();
    kernel.refuse = c.refuse;
    platform::linux::LinuxCameraBackend backend(kernel);
    const size_t open = bed.OpenFiles();
    const platform::DeviceFacts facts = backend.Describe(kDevicePath);
    EXPECT_EQ(bed.OpenFiles(), open) << c.what << ": what was opened to tell is closed again";
    const auto usbId = facts.usbVendorId && facts.usbProductId
                           ? std::optional<uint32_t>(*facts.usbVendorId << 16 | *facts.usbProductId)
                           : std::nullopt;
    EXPECT_EQ(usbId, c.usbId) << c.what;
    EXPECT_EQ(facts.port, std::optional<std::string>(c.device.port)) << c.what;
    EXPECT_EQ(facts.hasExtensionUnit, c.hasUnit) << c.what;
    EXPECT_EQ(facts.extensionUnitId, c.unitId) << c.what;
    EXPECT_EQ(facts.downloadPathOpens, c.downloadPath) << c.what;
    EXPECT_EQ(facts.permissionHint.empty(), c.hintNames.empty()) << c.what << ": " << facts.permissionHint;
    for (const std::string& name : c.hintNames)
      EXPECT_NE(facts.permissionHint.find(name), std::string::npos) << c.what << ": " << facts.permissionHint;
    if (!c.hintNames.empty()) {
      EXPECT_EQ(facts.permissionHint.rfind(c.hintNames[0], 0), 0u) << c.what;
    }
    EXPECT_EQ(facts.permissionHint.find('\n'), std::string::npos) << c.what;
    // The same refusal where the extension unit is opened.
    std::vector<std::shared_ptr<platform::IVideoInput>> inputs;
    ASSERT_EQ(backend.ListVideoInputs(&inputs), platform::kOk);
    std::shared_ptr<platform::IExtensionUnitChannel> unit;
    EXPECT_EQ(inputs.at(0)->OpenExtensionUnit(&unit), c.unitOpens) << c.what;
    // And the download-mode path fails with its refusal's own code, not as a stall.
    if (const auto refused = c.refuse.find(kUsbNode); refused != c.refuse.end()) {
      uint8_t probe = 0;
      uint32_t moved = 0;
      EXPECT_EQ(backend.OpenVendorRequests(kDevicePath)->Send({true, 5, 0, 0, 1}, &probe, &moved),
                platform::linux::UsbfsErrorForErrno(refused->second))
          << c.what;
    }
  }
}

TEST(DeviceFacts, NothingIsKnownOfANodeThatIsNotThereAndTheListingSaysWhereItLooks) {
  emulated::Testbed bed;
  if (!emulated::Testbed::Active()) GTEST_SKIP() << "needs umockdev's preload (umockdev-wrapper)";
  fake::LinuxKernel kernel = RefusingKernel();
  platform::linux::LinuxCameraBackend backend(kernel);
  const platform::DeviceFacts facts = backend.Describe(kDevicePath);
  EXPECT_FALSE(facts.usbVendorId || facts.port || facts.hasExtensionUnit || facts.downloadPathOpens);
  EXPECT_TRUE(facts.permissionHint.empty());
  EXPECT_EQ(backend.WhereListed(), "udev subsystem video4linux (/dev/video*)");
}

}  // namespace
