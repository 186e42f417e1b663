#pragma once
// One opened camera: the capture filter, its property interface (through which
// the extension unit is reached), the device path and the file handle opened on
// it. A plain value object: copies share the interfaces and the handle; only the
// camera registry's entry owns them.

#include <cstdint>
#include <memory>
#include <string>

#include "platform/Platform.h"

class CCameraDevice {
 public:
  // Finds the first camera at or after *index that passes the identity check
  // and opens its device file. 1 = a camera is open in this object; *index is
  // its position, or -1 when the enumeration ran out. `dataLength` as for
  // CheckIdentity.
  int Open(int32_t* index, uint8_t dataLength = 0);
  // Releases the interfaces, closes the handle and forgets the device; the
  // position and the open count stay.
  void Close();
  // Binds the device at *index of the enumeration; 1 = filled. *index becomes
  // -1 when the enumeration has no such position.
  int ReadMoniker(platform::IEnumMoniker& enumerator, int32_t* index);
  // Sets m_devInst from the device path; 0 only when the device list can't be had.
  int QueryDeviceInstance();
  int OpenDeviceHandle();
  // 1 when the camera answers the identify command with its identification
  // string. Where the driver keeps the data control at its first size until
  // the camera enumerates again, a camera it holds at another length than
  // the host's is switched to that length first; with `dataLength` given,
  // the camera is asked for it before anything touches the data control, so
  // that a camera that has just enumerated can be used at that length.
  int CheckIdentity(uint8_t dataLength = 0);
  // Whether the camera's driver keeps each control at its first size until
  // the camera enumerates again.
  bool FixesControlSizes() const;

  int32_t m_deviceIndex = 0;
  uint32_t m_devInst = 0;
  int32_t m_openCount = 0;
  uint32_t m_nodeId = 3;
  std::shared_ptr<platform::ICaptureFilter> m_filter;
  std::shared_ptr<platform::IKsControl> m_ksControl;
  platform::Handle m_handle = platform::kInvalidHandle;
  std::string m_devicePath;
  std::string m_friendlyName;
};

// Opens the device file for reading and writing, shared; kInvalidHandle when it
// can't be opened (an empty path never opens).
platform::Handle OpenDeviceFile(const std::string& devicePath);
// Closes *handle unless it is kInvalidHandle, and sets it to kInvalidHandle.
void CloseDeviceFile(platform::Handle* handle);
