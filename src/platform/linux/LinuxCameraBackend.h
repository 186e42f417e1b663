#pragma once
// The cameras of a Linux host as a camera backend: udev lists the capture
// nodes of the video4linux subsystem, sysfs gives each node's USB device and
// its raw descriptors, the extension unit is reached through uvcvideo on the
// capture node and the download-mode vendor requests through the USB
// device's usbfs node.
//
// A device path names the capture node and its USB device's usbfs node
// ("/dev/video0@/dev/bus/usb/001/003"). A node's name is reused by whatever
// device comes next, but the usbfs node changes each time a device
// enumerates, so a path kept from an earlier appearance finds nothing rather
// than another camera. Every object handed out likewise keeps the node's
// device-instance key from the moment it was listed, and fails as on a gone
// device once the node's USB device has re-enumerated or left.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/CameraBackend.h"
#include "platform/DeviceFacts.h"
#include "platform/linux/LinuxKernel.h"

namespace platform::linux {

// A capture node and the USB device it belongs to, as sysfs shows them now.
struct CaptureNode {
  std::string node;        // the capture node, /dev/videoN
  std::string devicePath;  // the node and its USB device: DevicePathOf(node, usbNode)
  std::string name;        // the USB product string; the node's name where the device has none
  std::string usbSyspath;  // the USB device's sysfs directory
  std::string usbNode;     // the USB device's usbfs node, /dev/bus/usb/BBB/DDD
  uint32_t key = 0;        // the device-instance key; never 0
};

// Why the last device node that would not open did not open.
struct NodeOpenFailure {
  std::string path;
  int error = 0;  // errno
};

// The device-instance key of a capture node: the USB bus and device numbers
// (the device number changes each time the device enumerates) and the node's
// number, so that two capture nodes of one device differ. Never 0.
uint32_t DeviceInstanceKey(uint32_t busnum, uint32_t devnum, uint32_t nodeNumber);

// The device path of a capture node of the USB device at `usbNode`.
std::string DevicePathOf(const std::string& node, const std::string& usbNode);

// Whether udev's capability list (ID_V4L_CAPABILITIES, ":capture:radio:")
// names video capture.
bool ListsCapture(const std::string& udevCapabilities);

// Where a listed camera stands with the host: its USB id and extension unit
// from the raw descriptors, and whether its nodes open for this user.
class LinuxCameraBackend final : public ICameraBackend, public IDeviceFacts {
 public:
  // Channels reach the drivers through `kernel`, which must outlive them.
  explicit LinuxCameraBackend(ILinuxKernel& kernel = RunningKernel());

  Status ListVideoInputs(std::vector<std::shared_ptr<IVideoInput>>* out) override;
  Status QueryDeviceInstance(const std::string& devicePath, uint32_t* devInst) override;
  std::shared_ptr<IVendorRequestChannel> OpenVendorRequests(const std::string& devicePath) override;

  std::string WhereListed() override;
  // Opens the capture node and the usbfs node and closes them again; sends
  // the device nothing.
  DeviceFacts Describe(const std::string& devicePath) override;

  // The capture nodes present now, in index order (sysfs `index`, then the
  // node's name); metadata-only nodes and nodes outside a USB device are
  // left out. A negative status when udev can't be asked.
  Status ListCaptureNodes(std::vector<CaptureNode>* out);
  // The capture node behind a device path; none when it is not present now.
  std::optional<CaptureNode> FindCaptureNode(const std::string& devicePath);
  std::optional<NodeOpenFailure> LastOpenFailure() const;

  // Everything the listed devices share: the kernel and the last open failure.
  struct Shared;

 private:
  std::shared_ptr<Shared> shared_;
};

}  // namespace platform::linux
