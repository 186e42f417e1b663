#include "platform/win32/DeviceSetup.h"

#include <algorithm>
#include <vector>

namespace platform::win32 {
namespace {

class SystemCalls final : public IDeviceSetupCalls {
 public:
  HDEVINFO GetClassDevs(const GUID* classGuid, const wchar_t* enumerator, HWND parent, DWORD flags) override {
    return ::SetupDiGetClassDevsW(classGuid, enumerator, parent, flags);
  }
  BOOL OpenDeviceInterface(HDEVINFO list, const wchar_t* devicePath, DWORD openFlags,
                           SP_DEVICE_INTERFACE_DATA* data) override {
    return ::SetupDiOpenDeviceInterfaceW(list, devicePath, openFlags, data);
  }
  BOOL GetDeviceInterfaceDetail(HDEVINFO list, SP_DEVICE_INTERFACE_DATA* data,
                                SP_DEVICE_INTERFACE_DETAIL_DATA_W* detail, DWORD detailSize, DWORD* requiredSize,
                                SP_DEVINFO_DATA* deviceInfo) override {
    return ::SetupDiGetDeviceInterfaceDetailW(list, data, detail, detailSize, requiredSize, deviceInfo);
  }
  BOOL DestroyDeviceInfoList(HDEVINFO list) override { return ::SetupDiDestroyDeviceInfoList(list); }
};

Status LastErrorStatus() {
  const HRESULT hr = HRESULT_FROM_WIN32(::GetLastError());
  return FAILED(hr) ? static_cast<Status>(hr) : kFail;
}

// The device-instance handle of the interface opened in `list`: the detail
// is asked for twice, its size first, then the detail with the device's
// record; 0 when the second call fails.
uint32_t DevInstOf(IDeviceSetupCalls& calls, HDEVINFO list, SP_DEVICE_INTERFACE_DATA* opened) {
  DWORD required = 0;
  calls.GetDeviceInterfaceDetail(list, opened, nullptr, 0, &required, nullptr);
  // The record's fixed part at least, however small a size the system names.
  const DWORD size = std::max<DWORD>(required, sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W));
  std::vector<uint8_t> storage(size);
  auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(storage.data());
  detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
  SP_DEVINFO_DATA device{};
  device.cbSize = sizeof(device);
  if (!calls.GetDeviceInterfaceDetail(list, opened, detail, size, nullptr, &device)) return 0;
  return device.DevInst;
}

}  // namespace

IDeviceSetupCalls& SystemDeviceSetup() {
  static SystemCalls calls;
  return calls;
}

Status LookUpDeviceInstance(IDeviceSetupCalls& calls, const std::wstring& devicePath, uint32_t* devInst) {
  *devInst = 0;
  const HDEVINFO list = calls.GetClassDevs(nullptr, nullptr, nullptr, kPresentInterfacesOfAllClasses);
  if (list == INVALID_HANDLE_VALUE) return LastErrorStatus();
  SP_DEVICE_INTERFACE_DATA opened{};
  opened.cbSize = sizeof(opened);
  // An interface that did not open has no detail to ask for: asking with an
  // unfilled record would hand the system garbage.
  if (calls.OpenDeviceInterface(list, devicePath.c_str(), 0, &opened)) *devInst = DevInstOf(calls, list, &opened);
  calls.DestroyDeviceInfoList(list);
  return kOk;
}

}  // namespace platform::win32
