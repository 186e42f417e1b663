// zarnet.exe: the Zarnet dialog as a Windows program. The dialog ends the
// program when it ends.

#include <windows.h>

#include <commctrl.h>

#include "frontends/win32/Win32DeviceNotifications.h"
#include "frontends/win32/Win32DialogView.h"
#include "frontends/win32/Win32Window.h"
#include "platform/Platform.h"
#include "ui/ZarnetApp.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  // Every common control class, the progress bar among them.
  INITCOMMONCONTROLSEX controls{};
  controls.dwSize = sizeof controls;
  controls.dwICC = 0xFF;
  ::InitCommonControlsEx(&controls);

  platform::win32::Win32Window window;
  platform::win32::Win32DialogView view(window, instance, platform::win32::ProgramApplicationName());
  // Capture devices that come and go are announced to the dialog's window;
  // every other seam stays the host's.
  platform::win32::Win32DeviceNotifications notifications(view.Handle());
  platform::Platform host;
  host.notifications = &notifications;
  platform::ScopedPlatform inForce(host);

  CZarnetApp app;
  return app.InitInstance(view, window, [&view](CZarnetDlg&) { view.RunModal(); });
}
