#pragma once
// A substitute camera on an emulated Linux host: umockdev's testbed shows it
// in sysfs and /dev, the Linux camera backend (on the running kernel) lists
// it, and its ioctls reach uvcvideo and usbfs played over the camera. The
// testbed follows the camera off and on the bus, with a new device number at
// each arrival. The program must run under umockdev's preload.

#include <sys/stat.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "platform/CameraExtensionUnit.h"
#include "platform/Platform.h"
#include "platform/adapters/CaptureSystemAdapter.h"
#include "platform/adapters/DeviceFilesAdapter.h"
#include "platform/linux/LinuxCameraBackend.h"
#include "udev/EmulatedUsbCameras.h"
#include "udev/PlayedUvcDrivers.h"

namespace emulated {

class LinuxCameraRig {
 public:
  // The camera's unit is at `unitId`, behind an unrelated unit at id 3. The
  // rig's capture objects and device files are in force for its life.
  LinuxCameraRig(Testbed& bed, substitute::SubstituteWorld& world, uint8_t unitId)
      : bed_(bed),
        world_(world),
        unitId_(unitId),
        drivers_(world, bed.Get(), unitId),
        capture_(backend_,
                 platform::ExtensionUnitAddress{platform::kCameraExtensionUnitGuid,
                                                platform::kCameraExtensionUnitNode,
                                                {platform::kCameraCommandSelector, platform::kCameraDataSelector}}),
        files_(backend_) {
    platform::Platform seams;
    seams.capture = &capture_;
    seams.deviceFiles = &files_;
    inForce_.emplace(seams);
  }
  ~LinuxCameraRig() {
    inForce_.reset();
    world_.SetPresenceListener({});
  }
  LinuxCameraRig(const LinuxCameraRig&) = delete;
  LinuxCameraRig& operator=(const LinuxCameraRig&) = delete;

  // Adds the camera to the world and to the testbed.
  substitute::DeviceId AddCamera(const substitute::SubstituteCameraConfig& camera) {
    world_.SetPresenceListener([this](const substitute::PresenceEvent& event) { Follow(event); });
    return world_.AddCamera(camera);
  }

  // Whether the camera's usbfs node opens for writing at its next arrivals.
  void SetUsbfsOpens(bool opens) { usbfsOpens_ = opens; }

  PlayedUvcDrivers& Drivers() { return drivers_; }
  platform::linux::LinuxCameraBackend& Backend() { return backend_; }
  // The device numbers of the camera's arrivals, in order.
  const std::vector<int>& Devnums() const { return devnums_; }

 private:
  void Follow(const substitute::PresenceEvent& event) {
    if (!event.arrived) {
      bed_.Remove(syspaths_);
      return;
    }
    const int devnum = 3 + static_cast<int>(devnums_.size());
    devnums_.push_back(devnum);
    syspaths_ = bed_.Add(Camera(devnum));
    drivers_.Attach("/dev/video0", event.device);
    drivers_.Attach(UsbNode(devnum), event.device);
    if (!usbfsOpens_) {
      // A node that can't be opened for writing, whoever runs the program.
      const std::string node = bed_.Root() + UsbNode(devnum);
      std::remove(node.c_str());
      ::mkdir(node.c_str(), 0755);
    }
  }

  UsbCamera Camera(int devnum) const {
    return {"1-2",
            devnum,
            "Corvex Camera",
            Descriptors(ExtensionUnit(3, kOtherUnit) + ExtensionUnit(unitId_, platform::kCameraExtensionUnitGuid)),
            {{"video0", "0", ":capture:"}}};
  }

  Testbed& bed_;
  substitute::SubstituteWorld& world_;
  const uint8_t unitId_;
  PlayedUvcDrivers drivers_;
  platform::linux::LinuxCameraBackend backend_;
  platform::CaptureSystemAdapter capture_;
  platform::DeviceFilesAdapter files_;
  std::optional<platform::ScopedPlatform> inForce_;
  bool usbfsOpens_ = true;
  std::vector<int> devnums_;
  std::vector<std::string> syspaths_;
};

}  // namespace emulated
