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
  BOOL GetDeviceRegistryProperty(HDEVINFO list, SP_DEVINFO_DATA* device, DWORD property, DWORD* type, BYTE* buffer,
                                 DWORD size, DWORD* requiredSize) override {
    return ::SetupDiGetDeviceRegistryPropertyW(list, device, property, type, buffer, size, requiredSize);
  }
  BOOL DestroyDeviceInfoList(HDEVINFO list) override { return ::SetupDiDestroyDeviceInfoList(list); }
};

Status LastErrorStatus() {
  const HRESULT hr = HRESULT_FROM_WIN32(::GetLastError());
  return FAILED(hr) ? static_cast<Status>(hr) : kFail;
}

// The device's record of the interface opened in `list`: the detail is asked
// for twice, its size first, then the detail with the record; false when the
// second call fails.
bool DeviceRecordOf(IDeviceSetupCalls& calls, HDEVINFO list, SP_DEVICE_INTERFACE_DATA* opened,
                    SP_DEVINFO_DATA* device) {
  DWORD required = 0;
  calls.GetDeviceInterfaceDetail(list, opened, nullptr, 0, &required, nullptr);
  // The record's fixed part at least, however small a size the system names.
  const DWORD size = std::max<DWORD>(required, sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W));
  std::vector<uint8_t> storage(size);
  auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(storage.data());
  detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
  *device = SP_DEVINFO_DATA{};
  device->cbSize = sizeof(*device);
  return calls.GetDeviceInterfaceDetail(list, opened, detail, size, nullptr, device) != FALSE;
}

// Calls `use` with the device's record behind `devicePath` in a list of the
// present interfaces, when the interface opens and has one. False only when
// the list can't be had.
template <typename Use>
bool WithDeviceRecord(IDeviceSetupCalls& calls, const std::wstring& devicePath, Use use) {
  const HDEVINFO list = calls.GetClassDevs(nullptr, nullptr, nullptr, kPresentInterfacesOfAllClasses);
  if (list == INVALID_HANDLE_VALUE) return false;
  SP_DEVICE_INTERFACE_DATA opened{};
  opened.cbSize = sizeof(opened);
  SP_DEVINFO_DATA device{};
  // An interface that did not open has no detail to ask for: asking with an
  // unfilled record would hand the system garbage.
  if (calls.OpenDeviceInterface(list, devicePath.c_str(), 0, &opened) && DeviceRecordOf(calls, list, &opened, &device))
    use(list, device);
  calls.DestroyDeviceInfoList(list);
  return true;
}

// The first string of a REG_MULTI_SZ value, however the value ends.
std::wstring FirstString(const std::vector<BYTE>& value) {
  const auto* text = reinterpret_cast<const wchar_t*>(value.data());
  const size_t length = value.size() / sizeof(wchar_t);
  return std::wstring(text, std::find(text, text + length, L'\0'));
}

}  // namespace

IDeviceSetupCalls& SystemDeviceSetup() {
  static SystemCalls calls;
  return calls;
}

Status LookUpDeviceInstance(IDeviceSetupCalls& calls, const std::wstring& devicePath, uint32_t* devInst) {
  *devInst = 0;
  const bool listed =
      WithDeviceRecord(calls, devicePath, [&](HDEVINFO, const SP_DEVINFO_DATA& device) { *devInst = device.DevInst; });
  return listed ? kOk : LastErrorStatus();
}

std::wstring LookUpLocationPath(IDeviceSetupCalls& calls, const std::wstring& devicePath) {
  std::wstring location;
  WithDeviceRecord(calls, devicePath, [&](HDEVINFO list, SP_DEVINFO_DATA device) {
    DWORD type = 0, required = 0;
    calls.GetDeviceRegistryProperty(list, &device, SPDRP_LOCATION_PATHS, &type, nullptr, 0, &required);
    if (required == 0) return;
    std::vector<BYTE> value(required + sizeof(wchar_t), 0);
    if (calls.GetDeviceRegistryProperty(list, &device, SPDRP_LOCATION_PATHS, &type, value.data(), required,
                                        &required) &&
        type == REG_MULTI_SZ)
      location = FirstString(value);
  });
  return location;
}

}  // namespace platform::win32
