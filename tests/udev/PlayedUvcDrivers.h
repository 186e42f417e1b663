#pragma once
// uvcvideo and usbfs played over a substitute camera, behind umockdev's ioctl
// emulation: the program's own ioctl() calls on a capture node or a usbfs
// node of the testbed reach these drivers (in umockdev's worker thread, from
// this process or a child started under the same mock), which pass them on
// to the camera's channels as the real drivers would, with uvcvideo's size
// rule (a control's size is fixed at its first use, any other size is
// refused before the camera sees it) and the drivers' errno results. A
// descriptor stands for the appearance of the camera it was first used on;
// once the camera has re-enumerated or left, it fails with ENODEV.

#include <umockdev.h>

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/substitute/SubstituteWorld.h"

namespace emulated {

class PlayedUvcDrivers final {
 public:
  // The camera's unit answers at `unitId` with the command and data controls.
  PlayedUvcDrivers(substitute::SubstituteWorld& world, UMockdevTestbed* testbed, uint8_t unitId);
  ~PlayedUvcDrivers();
  PlayedUvcDrivers(const PlayedUvcDrivers&) = delete;
  PlayedUvcDrivers& operator=(const PlayedUvcDrivers&) = delete;

  // The camera behind a node ("/dev/video0", "/dev/bus/usb/001/003"); the
  // node's ioctls come here from now on. The node's file is the testbed's.
  void Attach(const std::string& node, substitute::DeviceId camera);

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

  // The `nth` (from 1) UVC_SET_CUR of `selector`, or the nth vendor request
  // `request` on a usbfs node, fails with `error` without reaching the camera.
  void FailSet(uint8_t selector, size_t nth, int error);
  void FailTransfer(uint8_t request, size_t nth, int error);

  // A descriptor opened on `node`, as umockdev hands it over: `connection`
  // tells the descriptors apart; `arg` is an ioctl's argument with its
  // buffers made local.
  void Connect(uintptr_t connection, const std::string& node);
  long Play(uintptr_t connection, unsigned long request, void* arg);
  void Hangup(uintptr_t connection);

 private:
  struct Opened {
    substitute::DeviceId camera = 0;
    uint32_t appearance = 0;  // the camera's device instance when opened; 0 if absent
    std::shared_ptr<platform::IExtensionUnitChannel> unit;
    std::shared_ptr<platform::IVendorRequestChannel> vendor;
  };
  struct Failure {
    bool onTransfer;
    uint8_t number;  // the control's selector or the vendor request's number
    size_t nth;
    int error;
  };

  long Resolve(uintptr_t connection, Opened** out);
  long PlayQuery(Opened& opened, void* arg);
  long PlayTransfer(Opened& opened, void* arg);
  long FixedSize(Opened& opened, uint8_t selector, uint16_t* size);

  substitute::SubstituteWorld& world_;
  UMockdevTestbed* const testbed_;
  UMockdevIoctlBase* const handler_;
  const uint8_t unitId_;
  std::mutex mutex_;
  std::map<std::string, substitute::DeviceId> nodes_;
  std::set<std::string> attached_;
  std::map<uintptr_t, Opened> opened_;
  // uvcvideo keeps the sizes for as long as one appearance stays bound.
  std::map<std::pair<substitute::DeviceId, uint32_t>, std::map<uint8_t, uint16_t>> sizes_;
  std::vector<ControlQuery> queries_;
  std::vector<ControlTransfer> transfers_;
  size_t ioctls_ = 0;
  std::optional<Failure> failure_;
  size_t setsSeen_ = 0;
  size_t transfersSeen_ = 0;
};

}  // namespace emulated
