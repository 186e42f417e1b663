#pragma once
// USB cameras that umockdev emulates in sysfs and /dev: a USB device with its
// raw descriptors, its VideoControl interface and its video4linux nodes. The
// program must run under umockdev's preload for the backend to see them.

#include <glib.h>
#include <gtest/gtest.h>
#include <umockdev.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "platform/Types.h"

namespace emulated {

using Bytes = std::vector<uint8_t>;

inline Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

inline Bytes ExtensionUnit(uint8_t id, const platform::Guid& guid) {
  const auto g = guid.Bytes();
  // One source pin; controls 10 and 11 declared in a two-byte bitmap.
  Bytes unit = Bytes{0, 0x24, 0x06, id} + Bytes(g.begin(), g.end()) + Bytes{16, 1, 1, 2, 0x00, 0x06, 0};
  unit[0] = static_cast<uint8_t>(unit.size());
  return unit;
}

// A device with one VideoControl interface holding `units`.
inline Bytes Descriptors(const Bytes& units) {
  return Bytes{18, 0x01, 0x00, 0x02, 0xEF, 0x02, 0x01, 0x40} + Bytes(10, 0) + Bytes{9, 0x02, 0, 0, 2, 1, 0, 0x80, 50} +
         Bytes{9, 0x04, 0, 0, 1, 0x0E, 0x01, 0, 0} + Bytes{13, 0x24, 0x01, 0x00, 0x01, 0, 0, 0, 0, 0, 0, 0, 0} + units;
}

inline const platform::Guid kOtherUnit{0x1229A78C, 0x47B4, 0x4094, {0xB0, 0xCE, 0xDB, 0x07, 0x38, 0x6F, 0xB9, 0x39}};

struct Node {
  const char* name;  // video0
  const char* index;
  const char* capabilities;  // udev's ID_V4L_CAPABILITIES; null: none recorded
};

struct UsbCamera {
  const char* port;  // 1-1
  int devnum;
  const char* product;
  Bytes descriptors;
  std::vector<Node> nodes;
  bool usbNode = true;  // false: udev names no /dev node for the USB device
};

// The usbfs node of a device on bus 1.
inline std::string UsbNode(int devnum) {
  char path[32];
  std::snprintf(path, sizeof path, "/dev/bus/usb/001/%03d", devnum);
  return path;
}

// A umockdev testbed; it exists for the object's life.
class Testbed {
 public:
  Testbed() : bed_(umockdev_testbed_new()) {}
  ~Testbed() { g_object_unref(bed_); }
  Testbed(const Testbed&) = delete;
  Testbed& operator=(const Testbed&) = delete;

  // The preload is known to be active only once a testbed exists.
  static bool Active() { return umockdev_in_mock_environment(); }

  // Adds the USB device, its VideoControl interface and its nodes; returns
  // their syspaths, the USB device's first.
  std::vector<std::string> Add(const UsbCamera& camera) {
    const std::string devnum = std::to_string(camera.devnum);
    const std::string usbNode = UsbNode(camera.devnum);
    const std::string usbDev = "189:" + std::to_string(camera.devnum - 1);
    const char* devKey = camera.usbNode ? "dev" : nullptr;
    const gchar* usbAttributes[] = {"busnum",       "1",    "devnum",       devnum.c_str(), "product",
                                    camera.product, devKey, usbDev.c_str(), nullptr};
    const gchar* usbProperties[] = {"DEVTYPE", "usb_device", camera.usbNode ? "DEVNAME" : nullptr, usbNode.c_str(),
                                    nullptr};
    gchar* usb = umockdev_testbed_add_devicev(bed_, "usb", camera.port, nullptr, const_cast<gchar**>(usbAttributes),
                                              const_cast<gchar**>(usbProperties));
    std::vector<std::string> added{usb};
    g_free(usb);
    const std::string& syspath = added.front();
    if (camera.usbNode) MakeNode(usbNode);
    Bytes descriptors = camera.descriptors;
    umockdev_testbed_set_attribute_binary(bed_, syspath.c_str(), "descriptors", descriptors.data(),
                                          static_cast<gssize>(descriptors.size()));
    const std::string interfaceName = std::string(camera.port) + ":1.0";
    const gchar* interfaceProperties[] = {"DEVTYPE", "usb_interface", nullptr};
    const gchar* none[] = {nullptr};
    gchar* interface =
        umockdev_testbed_add_devicev(bed_, "usb", interfaceName.c_str(), syspath.c_str(), const_cast<gchar**>(none),
                                     const_cast<gchar**>(interfaceProperties));
    // uvcvideo names a node "<USB product>: <entity name>", cut to 31 characters.
    const std::string v4l2Name = (std::string(camera.product) + ": " + camera.product).substr(0, 31);
    for (const Node& node : camera.nodes) {
      const std::string number = std::string(node.name).substr(5);
      const std::string dev = "81:" + number;
      const std::string devname = std::string("/dev/") + node.name;
      const gchar* attributes[] = {"name", v4l2Name.c_str(), "index", node.index, "dev", dev.c_str(), nullptr};
      // Without capabilities the node lacks udev's record of them.
      const gchar* properties[] = {"DEVNAME", devname.c_str(), node.capabilities ? "ID_V4L_CAPABILITIES" : nullptr,
                                   node.capabilities, nullptr};
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
  // serves while no ioctl reaches a real driver.
  void MakeNode(const std::string& devname) {
    const std::string path = Root() + devname;
    g_mkdir_with_parents(std::string(path, 0, path.rfind('/')).c_str(), 0755);
    ASSERT_TRUE(g_file_set_contents(path.c_str(), "", 0, nullptr)) << path;
    madeNodes_.push_back(devname);
  }

  UMockdevTestbed* Get() const { return bed_; }

  // The testbed's files and nodes this process holds open (the preload's
  // own sockets and event descriptors left aside): a probe that opens a node
  // or a sysfs file must leave the count as it was.
  size_t OpenFiles() const {
    const std::string root = Root();
    size_t open = 0;
    for (const auto& fd : std::filesystem::directory_iterator("/proc/self/fd")) {
      std::error_code error;
      if (std::filesystem::read_symlink(fd.path(), error).string().starts_with(root)) ++open;
    }
    return open;
  }

  std::string Root() const {
    gchar* root = umockdev_testbed_get_root_dir(bed_);
    std::string path = root;
    g_free(root);
    return path;
  }

 private:
  UMockdevTestbed* bed_;
  std::vector<std::string> madeNodes_;
};

}  // namespace emulated
