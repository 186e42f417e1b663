#pragma once
// The device-setup calls that turn a device path into the device-instance
// handle of the device behind it. They sit behind an interface of their own
// so that a test can stand in for them where the system offers no device
// setup of its own (wine's opens no device's path).

#include <windows.h>

#include <setupapi.h>

#include <cstdint>
#include <string>

#include "platform/Types.h"

namespace platform::win32 {

class IDeviceSetupCalls {
 public:
  virtual ~IDeviceSetupCalls() = default;
  // The five calls, as the system names them; each returns what the system's
  // returns and leaves its error in the thread's last error.
  virtual HDEVINFO GetClassDevs(const GUID* classGuid, const wchar_t* enumerator, HWND parent, DWORD flags) = 0;
  virtual BOOL OpenDeviceInterface(HDEVINFO list, const wchar_t* devicePath, DWORD openFlags,
                                   SP_DEVICE_INTERFACE_DATA* data) = 0;
  virtual BOOL GetDeviceInterfaceDetail(HDEVINFO list, SP_DEVICE_INTERFACE_DATA* data,
                                        SP_DEVICE_INTERFACE_DETAIL_DATA_W* detail, DWORD detailSize,
                                        DWORD* requiredSize, SP_DEVINFO_DATA* deviceInfo) = 0;
  virtual BOOL GetDeviceRegistryProperty(HDEVINFO list, SP_DEVINFO_DATA* device, DWORD property, DWORD* type,
                                         BYTE* buffer, DWORD size, DWORD* requiredSize) = 0;
  virtual BOOL DestroyDeviceInfoList(HDEVINFO list) = 0;
};

// The system's own calls.
IDeviceSetupCalls& SystemDeviceSetup();

// Present device interfaces of every class.
constexpr DWORD kPresentInterfacesOfAllClasses = 0x16;

// The device-instance handle of the present device behind `devicePath`, 0
// when there is none; a negative status only when the device list can't be
// had.
Status LookUpDeviceInstance(IDeviceSetupCalls& calls, const std::wstring& devicePath, uint32_t* devInst);

// The first location path of the present device behind `devicePath`
// ("PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(2)#USBMI(0)"): where it is plugged
// in, which stays the same when the device leaves the bus and comes back.
// Empty when there is no such device or the system tells none.
std::wstring LookUpLocationPath(IDeviceSetupCalls& calls, const std::wstring& devicePath);

}  // namespace platform::win32
