#pragma once
// uvcvideo and usbfs played over a substitute camera: the extension-unit
// control queries on a capture node and the control transfers on a usbfs
// node reach the camera's channels as the drivers would pass them on, with
// uvcvideo's size rule (a control's size is fixed at its first use, any other
// size is refused before the camera sees it) and the drivers' errno results.
// A descriptor belongs to the node it was opened on (the testbed's file); a
// node removed since, or a camera that has left since, fails with ENODEV.

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/linux/LinuxKernel.h"
#include "platform/substitute/SubstituteWorld.h"

namespace emulated {

class PlayedUvcKernel final : public platform::ILinuxKernel {
 public:
  // `root` is the testbed's root directory; the camera's unit answers at
  // `unitId` with the command and data controls.
  PlayedUvcKernel(substitute::SubstituteWorld& world, const std::string& root, uint8_t unitId);

  // The camera behind a node ("/dev/video0", "/dev/bus/usb/001/003").
  void Attach(const std::string& node, substitute::DeviceId camera);

  long Ioctl(int fd, unsigned long request, void* arg) override;
  void Close(int fd) override;

  // What reached the drivers, in order.
  struct ControlQuery {
    uint8_t selector = 0;
    uint8_t query = 0;  // UVC_GET_LEN, UVC_GET_CUR, UVC_SET_CUR
    uint16_t size = 0;
    long result = 0;
  };
  struct ControlTransfer {
    uint8_t requestType = 0;
    uint8_t request = 0;
    uint16_t value = 0;
    uint16_t index = 0;
    uint16_t length = 0;
    long result = 0;
  };
  std::vector<ControlQuery> Queries();
  std::vector<ControlTransfer> Transfers();
  size_t IoctlCount();

  // The `nth` (from 1) UVC_SET_CUR of `selector` fails with `error` without
  // reaching the camera.
  void FailSet(uint8_t selector, size_t nth, int error);

 private:
  struct Opened {
    substitute::DeviceId camera = 0;
    uint32_t appearance = 0;  // the camera's device instance when first used
    std::shared_ptr<platform::IExtensionUnitChannel> unit;
    std::shared_ptr<platform::IVendorRequestChannel> vendor;
  };

  // The descriptor's camera and channels; a negated errno when it has none.
  long Resolve(int fd, Opened** out);
  long PlayQuery(Opened& opened, void* arg);
  long PlayTransfer(Opened& opened, void* arg);
  long FixedSize(Opened& opened, uint8_t selector, uint16_t* size);

  substitute::SubstituteWorld& world_;
  const std::string root_;
  const uint8_t unitId_;
  std::mutex mutex_;
  std::map<std::string, substitute::DeviceId> nodes_;
  std::map<int, Opened> opened_;
  // uvcvideo keeps the sizes for as long as one appearance stays bound.
  std::map<std::pair<substitute::DeviceId, uint32_t>, std::map<uint8_t, uint16_t>> sizes_;
  std::vector<ControlQuery> queries_;
  std::vector<ControlTransfer> transfers_;
  size_t ioctls_ = 0;
  struct Failure {
    uint8_t selector;
    size_t nth;
    int error;
  };
  std::optional<Failure> failure_;
  size_t setsSeen_ = 0;
};

}  // namespace emulated
