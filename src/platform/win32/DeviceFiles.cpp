#include "platform/win32/DeviceFiles.h"

#include <windows.h>

#include "platform/win32/WideText.h"

namespace platform::win32 {

Handle SystemDeviceFiles::Open(const std::string& devicePath) {
  const HANDLE file = ::CreateFileW(Wide(devicePath).c_str(), GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  return file == INVALID_HANDLE_VALUE ? kInvalidHandle : reinterpret_cast<Handle>(file);
}

bool SystemDeviceFiles::Close(Handle handle) {
  return handle != kInvalidHandle && ::CloseHandle(reinterpret_cast<HANDLE>(handle));
}

uint32_t SystemDeviceFiles::IoControl(Handle handle, uint32_t code, const void* in, uint32_t inLength, void* out,
                                      uint32_t outLength, uint32_t* returned) {
  DWORD count = 0;
  // The input is only read; the system's prototype lacks the const.
  const BOOL done = ::DeviceIoControl(reinterpret_cast<HANDLE>(handle), code, const_cast<void*>(in), inLength, out,
                                      outLength, &count, nullptr);
  if (returned) *returned = count;
  if (done) return 0;
  // A failure must never read as success, even without an error code.
  const DWORD error = ::GetLastError();
  return error != 0 ? error : kErrorGenFailure;
}

namespace {

// The port names the USB device, not one of its interfaces: a camera that
// comes back in download mode may be no composite device, and it is the same
// camera.
std::string PortOfLocation(const std::string& location) {
  const size_t lastStep = location.rfind("#USBMI(");
  return lastStep == std::string::npos ? location : location.substr(0, lastStep);
}

}  // namespace

DeviceFacts DirectShowFacts::Describe(const std::string& devicePath) {
  DeviceFacts facts;
  if (const std::wstring location = LookUpLocationPath(setup_, Wide(devicePath)); !location.empty())
    facts.port = PortOfLocation(Narrow(location));
  return facts;
}

}  // namespace platform::win32
