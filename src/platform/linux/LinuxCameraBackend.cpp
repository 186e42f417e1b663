#include "platform/linux/LinuxCameraBackend.h"

#include <fcntl.h>
#include <libudev.h>
#include <linux/videodev2.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <tuple>
#include <utility>

#include "platform/CameraExtensionUnit.h"
#include "platform/Capture.h"
#include "platform/linux/UsbfsVendorRequests.h"
#include "platform/linux/UvcDescriptors.h"
#include "platform/linux/UvcExtensionUnit.h"

namespace platform::linux {

struct LinuxCameraBackend::Shared {
  explicit Shared(ILinuxKernel& k) : kernel(k) {}

  // Opens a device node for reading and writing; -1 after recording why not
  // (the errno also goes to `error`).
  int OpenNode(const std::string& path, int* error) {
    const int result = kernel.Open(path.c_str(), O_RDWR);
    const int fd = result < 0 ? -1 : result;
    *error = result < 0 ? -result : 0;
    if (fd < 0) {
      std::lock_guard<std::mutex> lock(mutex);
      lastFailure = NodeOpenFailure{path, *error};
    }
    return fd;
  }

  ILinuxKernel& kernel;
  std::mutex mutex;
  std::optional<NodeOpenFailure> lastFailure;
};

namespace {

struct UdevUnref {
  void operator()(udev* u) const { udev_unref(u); }
  void operator()(udev_enumerate* e) const { udev_enumerate_unref(e); }
  void operator()(udev_device* d) const { udev_device_unref(d); }
};
using UdevContext = std::unique_ptr<udev, UdevUnref>;
using UdevEnumerate = std::unique_ptr<udev_enumerate, UdevUnref>;
using UdevDevice = std::unique_ptr<udev_device, UdevUnref>;

// A decimal number as sysfs shows it; none when it is not one.
std::optional<uint32_t> ParseNumber(const char* text) {
  if (!text || *text < '0' || *text > '9') return std::nullopt;
  char* end = nullptr;
  errno = 0;
  const unsigned long value = std::strtoul(text, &end, 10);
  if (errno != 0 || value > UINT32_MAX || (*end != '\0' && *end != '\n')) return std::nullopt;
  return static_cast<uint32_t>(value);
}

// The number at the end of a node's name: 12 for "video12".
uint32_t NodeNumber(const std::string& sysname) {
  const size_t digits = sysname.find_first_of("0123456789");
  if (digits == std::string::npos) return 0;
  return ParseNumber(sysname.c_str() + digits).value_or(0);
}

std::string Attribute(udev_device* device, const char* name) {
  const char* value = udev_device_get_sysattr_value(device, name);
  if (!value) return {};
  std::string text = value;
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  return text;
}

// What the node itself can do, asked of the driver; none when it can't be
// asked. Only the node's own capabilities count: the union over the device's
// nodes names capture on the metadata node too.
std::optional<bool> DriverListsCapture(ILinuxKernel& kernel, const char* devnode) {
  const int fd = kernel.Open(devnode, O_RDONLY | O_NONBLOCK);
  if (fd < 0) return std::nullopt;
  v4l2_capability capability{};
  const long result = kernel.Ioctl(fd, VIDIOC_QUERYCAP, &capability);
  kernel.Close(fd);
  if (result < 0 || (capability.capabilities & V4L2_CAP_DEVICE_CAPS) == 0) return std::nullopt;
  return (capability.device_caps & (V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_VIDEO_CAPTURE_MPLANE)) != 0;
}

bool IsCaptureNode(ILinuxKernel& kernel, udev_device* node) {
  if (const char* listed = udev_device_get_property_value(node, "ID_V4L_CAPABILITIES")) return ListsCapture(listed);
  // Without udev's record a node that can't be asked stays listed, so that
  // opening it later says why it failed.
  return DriverListsCapture(kernel, udev_device_get_devnode(node)).value_or(true);
}

std::optional<CaptureNode> Describe(udev_device* node) {
  const char* devnode = udev_device_get_devnode(node);
  // The parent is owned by `node`.
  udev_device* usb = udev_device_get_parent_with_subsystem_devtype(node, "usb", "usb_device");
  if (!devnode || !usb) return std::nullopt;
  const auto busnum = ParseNumber(udev_device_get_sysattr_value(usb, "busnum"));
  const auto devnum = ParseNumber(udev_device_get_sysattr_value(usb, "devnum"));
  if (!busnum || !devnum) return std::nullopt;
  CaptureNode described;
  described.node = devnode;
  // The USB product string, as the camera names itself: the node's own name
  // is uvcvideo's "<product>: <entity>", cut to 31 characters.
  described.name = Attribute(usb, "product");
  if (described.name.empty()) described.name = Attribute(node, "name");
  described.usbSyspath = udev_device_get_syspath(usb);
  if (const char* usbNode = udev_device_get_devnode(usb)) {
    described.usbNode = usbNode;
  } else {
    char path[32];
    std::snprintf(path, sizeof path, "/dev/bus/usb/%03u/%03u", *busnum, *devnum);
    described.usbNode = path;
  }
  described.devicePath = DevicePathOf(described.node, described.usbNode);
  described.key = DeviceInstanceKey(*busnum, *devnum, NodeNumber(udev_device_get_sysname(node)));
  return described;
}

Status ListNodes(ILinuxKernel& kernel, std::vector<CaptureNode>* out) {
  out->clear();
  const UdevContext context(udev_new());
  if (!context) return kFail;
  const UdevEnumerate enumerate(udev_enumerate_new(context.get()));
  if (!enumerate || udev_enumerate_add_match_subsystem(enumerate.get(), "video4linux") < 0 ||
      udev_enumerate_scan_devices(enumerate.get()) < 0)
    return kFail;
  struct Listed {
    uint32_t index;
    uint32_t number;
    std::string sysname;
    CaptureNode node;
  };
  std::vector<Listed> listed;
  udev_list_entry* entry = nullptr;
  udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumerate.get())) {
    const UdevDevice node(udev_device_new_from_syspath(context.get(), udev_list_entry_get_name(entry)));
    if (!node || !IsCaptureNode(kernel, node.get())) continue;
    auto described = Describe(node.get());
    if (!described) continue;
    const std::string sysname = udev_device_get_sysname(node.get());
    listed.push_back({ParseNumber(udev_device_get_sysattr_value(node.get(), "index")).value_or(0), NodeNumber(sysname),
                      sysname, std::move(*described)});
  }
  std::sort(listed.begin(), listed.end(), [](const Listed& a, const Listed& b) {
    return std::tie(a.index, a.number, a.sysname) < std::tie(b.index, b.number, b.sysname);
  });
  for (Listed& l : listed) out->push_back(std::move(l.node));
  return kOk;
}

std::optional<CaptureNode> FindNode(ILinuxKernel& kernel, const std::string& devicePath) {
  std::vector<CaptureNode> nodes;
  if (Failed(ListNodes(kernel, &nodes))) return std::nullopt;
  for (CaptureNode& node : nodes)
    if (node.devicePath == devicePath) return std::move(node);
  return std::nullopt;
}

// The USB device's raw descriptors; none when they can't be read.
// A sysfs attribute's one line of text; none when the device has no such
// attribute (a USB device without a serial string has no "serial").
std::optional<std::string> ReadAttribute(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  char text[256];
  ssize_t n = -1;
  do n = ::read(fd, text, sizeof text);
  while (n < 0 && errno == EINTR);
  ::close(fd);
  if (n <= 0) return std::nullopt;
  std::string value(text, static_cast<size_t>(n));
  value.erase(value.find_last_not_of("\r\n") + 1);
  return value;
}

std::optional<std::vector<uint8_t>> ReadDescriptors(const std::string& usbSyspath) {
  const int fd = ::open((usbSyspath + "/descriptors").c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  std::vector<uint8_t> bytes;
  uint8_t chunk[4096];
  for (;;) {
    const ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ::close(fd);
      if (n < 0) return std::nullopt;
      return bytes;
    }
    bytes.insert(bytes.end(), chunk, chunk + n);
  }
}

Status StatusForOpenError(int error) {
  switch (error) {
    case EACCES:
    case EPERM: return kAccessDenied;
    case ENOENT:
    case ENODEV:
    case ENXIO: return kDeviceGone;
    default: return kFail;
  }
}

// One capture node as it was listed: everything on it fails as on a gone
// device once the node no longer stands for the same device appearance.
class LinuxVideoInput final : public IVideoInput {
 public:
  LinuxVideoInput(std::shared_ptr<LinuxCameraBackend::Shared> shared, CaptureNode node)
      : shared_(std::move(shared)), node_(std::move(node)) {}

  Status Bind() override { return StillPresent() ? kOk : kDeviceGone; }

  Status ReadProperty(const std::string& name, std::string* value) override {
    if (!StillPresent()) return kDeviceGone;
    if (name == "DevicePath") {
      *value = node_.devicePath;
      return kOk;
    }
    if (name == "FriendlyName" && !node_.name.empty()) {
      *value = node_.name;
      return kOk;
    }
    return kPropertyMissing;
  }

  Status OpenExtensionUnit(std::shared_ptr<IExtensionUnitChannel>* out) override {
    out->reset();
    if (!StillPresent()) return kDeviceGone;
    const auto descriptors = ReadDescriptors(node_.usbSyspath);
    if (!descriptors) return kFail;
    const auto unit = FindUvcExtensionUnit(*descriptors, kCameraExtensionUnitGuid);
    if (!unit) return kOk;
    int error = 0;
    const int fd = shared_->OpenNode(node_.node, &error);
    if (fd < 0) return StatusForOpenError(error);
    *out = std::make_shared<UvcExtensionUnit>(shared_->kernel, fd, unit->unitId);
    return kOk;
  }

 private:
  bool StillPresent() {
    const auto current = FindNode(shared_->kernel, node_.devicePath);
    return current && current->key == node_.key;
  }

  std::shared_ptr<LinuxCameraBackend::Shared> shared_;
  const CaptureNode node_;
};

bool IsPermissionError(int error) { return error == EACCES || error == EPERM; }

// The errno a node fails to open with for reading and writing; 0 when it
// opens. Nothing reaches the device: the node is closed again at once.
int TryOpen(ILinuxKernel& kernel, const std::string& path) {
  const int result = kernel.Open(path.c_str(), O_RDWR);
  if (result < 0) return -result;
  kernel.Close(result);
  return 0;
}

std::string PermissionHint(const CaptureNode& node, int captureError, int usbError) {
  std::string hint;
  if (IsPermissionError(captureError))
    hint = node.node +
           " may not be opened: join the video group, or log in at the machine's seat (udev grants that user the "
           "capture nodes)";
  if (IsPermissionError(usbError)) {
    if (!hint.empty()) hint += "; ";
    hint += node.usbNode +
            " may not be opened for writing, so downloads go over the extension unit: install the udev rule "
            "70-zarnet-uvc-camera.rules (cmake --install), then replug the camera";
  }
  return hint;
}

}  // namespace

uint32_t DeviceInstanceKey(uint32_t busnum, uint32_t devnum, uint32_t nodeNumber) {
  const uint32_t key = ((busnum & 0xFFu) << 24) | ((devnum & 0xFFu) << 16) | (nodeNumber & 0xFFFFu);
  return key != 0 ? key : 1;
}

std::string DevicePathOf(const std::string& node, const std::string& usbNode) { return node + "@" + usbNode; }

bool ListsCapture(const std::string& udevCapabilities) {
  return udevCapabilities.find(":capture:") != std::string::npos;
}

std::string LinuxCameraBackend::WhereListed() { return "udev subsystem video4linux (/dev/video*)"; }

DeviceFacts LinuxCameraBackend::Describe(const std::string& devicePath) {
  DeviceFacts facts;
  const auto node = FindCaptureNode(devicePath);
  if (!node) return facts;
  // The USB device's kernel name ("1-1.2": bus, then the hub ports) names its
  // port; its device number changes with each enumeration, the name does not.
  if (const size_t slash = node->usbSyspath.rfind('/'); slash != std::string::npos)
    facts.port = node->usbSyspath.substr(slash + 1);
  if (const auto descriptors = ReadDescriptors(node->usbSyspath)) {
    if (const auto id = ReadUsbDeviceId(*descriptors)) {
      facts.usbVendorId = id->vendor;
      facts.usbProductId = id->product;
    }
    facts.serialNumber = ReadAttribute(node->usbSyspath + "/serial");
    const auto unit = FindUvcExtensionUnit(*descriptors, kCameraExtensionUnitGuid);
    facts.hasExtensionUnit = unit.has_value();
    if (unit) facts.extensionUnitId = unit->unitId;
  }
  const int captureError = TryOpen(shared_->kernel, node->node);
  const int usbError = TryOpen(shared_->kernel, node->usbNode);
  facts.downloadPathOpens = usbError == 0;
  // Only a camera needs the download-mode path: a webcam is not told to
  // fix its usbfs node.
  facts.permissionHint = PermissionHint(*node, captureError, facts.hasExtensionUnit != false ? usbError : 0);
  return facts;
}

LinuxCameraBackend::LinuxCameraBackend(ILinuxKernel& kernel) : shared_(std::make_shared<Shared>(kernel)) {}

Status LinuxCameraBackend::ListCaptureNodes(std::vector<CaptureNode>* out) { return ListNodes(shared_->kernel, out); }

std::optional<CaptureNode> LinuxCameraBackend::FindCaptureNode(const std::string& devicePath) {
  return FindNode(shared_->kernel, devicePath);
}

std::optional<NodeOpenFailure> LinuxCameraBackend::LastOpenFailure() const {
  std::lock_guard<std::mutex> lock(shared_->mutex);
  return shared_->lastFailure;
}

Status LinuxCameraBackend::ListVideoInputs(std::vector<std::shared_ptr<IVideoInput>>* out) {
  out->clear();
  std::vector<CaptureNode> nodes;
  const Status status = ListCaptureNodes(&nodes);
  if (Failed(status)) return status;
  for (CaptureNode& node : nodes) out->push_back(std::make_shared<LinuxVideoInput>(shared_, std::move(node)));
  return kOk;
}

Status LinuxCameraBackend::QueryDeviceInstance(const std::string& devicePath, uint32_t* devInst) {
  *devInst = 0;
  std::vector<CaptureNode> nodes;
  const Status status = ListCaptureNodes(&nodes);
  if (Failed(status)) return status;
  for (const CaptureNode& node : nodes)
    if (node.devicePath == devicePath) *devInst = node.key;
  return kOk;
}

std::shared_ptr<IVendorRequestChannel> LinuxCameraBackend::OpenVendorRequests(const std::string& devicePath) {
  const auto node = FindCaptureNode(devicePath);
  if (!node) return nullptr;
  int error = 0;
  const int fd = shared_->OpenNode(node->usbNode, &error);
  if (fd < 0) return std::make_shared<RefusedVendorRequests>(UsbfsErrorForErrno(error));
  return std::make_shared<UsbfsVendorRequests>(shared_->kernel, fd);
}

}  // namespace platform::linux
