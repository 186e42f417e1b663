#pragma once
// Device-interface notifications for the dialog's window. The system
// delivers them as WM_DEVICECHANGE to that window, and the window procedure
// hands each one straight to the dialog's handler, as the dialog's message
// map does; the sink given to Register is therefore never called, so every
// notification is handled exactly once.

#include <windows.h>

#include <cstdint>
#include <optional>

#include "platform/DeviceNotifications.h"

namespace frontends::win32 {

class Win32DeviceNotifications final : public platform::IDeviceNotifications {
 public:
  explicit Win32DeviceNotifications(HWND recipient) : recipient_(recipient) {}

  // RegisterDeviceNotificationW for the window, with a device-interface
  // filter of the class; 0 when the system refuses.
  uintptr_t Register(const platform::Guid& interfaceClass, platform::DeviceEventSink sink) override;
  void Unregister(uintptr_t registration) override;

 private:
  HWND recipient_;
};

// What a WM_DEVICECHANGE's lParam says about the device: nothing for a null
// lParam, the device type alone for a record of another type or one too
// short to hold an interface class, and the class of a device interface.
std::optional<platform::DeviceBroadcast> BroadcastFromMessage(LPARAM lParam);

}  // namespace frontends::win32
