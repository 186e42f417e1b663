#include "frontends/win32/Win32DeviceNotifications.h"

#include <dbt.h>

#include <cstddef>

#include "platform/win32/SystemGuid.h"

namespace frontends::win32 {

using platform::win32::FromSystemGuid;
using platform::win32::ToSystemGuid;

// The filter the dialog registers with is 32 bytes long.
static_assert(sizeof(DEV_BROADCAST_DEVICEINTERFACE_W) == 32);

uintptr_t Win32DeviceNotifications::Register(const platform::Guid& interfaceClass, platform::DeviceEventSink) {
  DEV_BROADCAST_DEVICEINTERFACE_W filter{};
  filter.dbcc_size = sizeof filter;
  filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
  filter.dbcc_classguid = ToSystemGuid(interfaceClass);
  return reinterpret_cast<uintptr_t>(::RegisterDeviceNotificationW(recipient_, &filter, DEVICE_NOTIFY_WINDOW_HANDLE));
}

void Win32DeviceNotifications::Unregister(uintptr_t registration) {
  if (registration) ::UnregisterDeviceNotification(reinterpret_cast<HDEVNOTIFY>(registration));
}

std::optional<platform::DeviceBroadcast> BroadcastFromMessage(LPARAM lParam) {
  if (lParam == 0) return std::nullopt;
  const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(lParam);
  platform::DeviceBroadcast device;
  device.deviceType = header->dbch_devicetype;
  // The class is read only when the record says it is long enough to hold it.
  constexpr size_t kClassEnd = offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_classguid) + sizeof(GUID);
  if (device.deviceType == DBT_DEVTYP_DEVICEINTERFACE && header->dbch_size >= kClassEnd)
    device.classGuid = FromSystemGuid(reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_W*>(lParam)->dbcc_classguid);
  return device;
}

}  // namespace frontends::win32
