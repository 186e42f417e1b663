#include "frontends/win32/Win32DeviceNotifications.h"

#include <dbt.h>

#include <cstddef>
#include <cstring>

namespace platform::win32 {
namespace {

// The filter the dialog registers with is 32 bytes long.
static_assert(sizeof(DEV_BROADCAST_DEVICEINTERFACE_W) == 32);

GUID ToGuid(const Guid& guid) {
  GUID g{};
  g.Data1 = guid.data1;
  g.Data2 = guid.data2;
  g.Data3 = guid.data3;
  std::memcpy(g.Data4, guid.data4.data(), sizeof g.Data4);
  return g;
}

Guid FromGuid(const GUID& g) {
  Guid guid;
  guid.data1 = g.Data1;
  guid.data2 = g.Data2;
  guid.data3 = g.Data3;
  std::memcpy(guid.data4.data(), g.Data4, sizeof g.Data4);
  return guid;
}

}  // namespace

uintptr_t Win32DeviceNotifications::Register(const Guid& interfaceClass, DeviceEventSink) {
  DEV_BROADCAST_DEVICEINTERFACE_W filter{};
  filter.dbcc_size = sizeof filter;
  filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
  filter.dbcc_classguid = ToGuid(interfaceClass);
  return reinterpret_cast<uintptr_t>(::RegisterDeviceNotificationW(recipient_, &filter, DEVICE_NOTIFY_WINDOW_HANDLE));
}

void Win32DeviceNotifications::Unregister(uintptr_t registration) {
  if (registration) ::UnregisterDeviceNotification(reinterpret_cast<HDEVNOTIFY>(registration));
}

std::optional<DeviceBroadcast> BroadcastFromMessage(LPARAM lParam) {
  if (lParam == 0) return std::nullopt;
  const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(lParam);
  DeviceBroadcast device;
  device.deviceType = header->dbch_devicetype;
  // The class is read only when the record says it is long enough to hold it.
  constexpr size_t kClassEnd = offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_classguid) + sizeof(GUID);
  if (device.deviceType == DBT_DEVTYP_DEVICEINTERFACE && header->dbch_size >= kClassEnd)
    device.classGuid = FromGuid(reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_W*>(lParam)->dbcc_classguid);
  return device;
}

}  // namespace platform::win32
