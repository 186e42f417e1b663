#pragma once
// Device files: a handle opened on a device path, and device I/O control calls
// on it (the camera driver's download-mode requests).

#include <string>

#include "platform/Types.h"

namespace platform {

class IDeviceFiles {
 public:
  virtual ~IDeviceFiles() = default;
  // Opens the path for reading and writing, shared; kInvalidHandle on failure.
  virtual Handle Open(const std::string& devicePath) = 0;
  virtual bool Close(Handle handle) = 0;
  // 0 when the call succeeded, else the operating system's error code.
  virtual uint32_t IoControl(Handle handle, uint32_t code, const void* in, uint32_t inLength, void* out,
                             uint32_t outLength, uint32_t* returned) = 0;
};

}  // namespace platform
