#include "frontends/win32/programs/DialogProgram.h"

#include <commctrl.h>

#include "frontends/win32/Win32DeviceNotifications.h"
#include "frontends/win32/Win32DialogView.h"
#include "frontends/win32/Win32Window.h"
#include "platform/Platform.h"
#include "ui/ZarnetApp.h"
#include "ui/ZarnetDlg.h"

int RunZarnetDialog(HINSTANCE module) {
  // Every common control class, the progress bar among them.
  INITCOMMONCONTROLSEX controls{};
  controls.dwSize = sizeof controls;
  controls.dwICC = 0xFF;
  ::InitCommonControlsEx(&controls);

  frontends::win32::Win32Window window;
  frontends::win32::Win32DialogView view(window, module, frontends::win32::ProgramApplicationName());
  // Without its window (resources missing, no desktop) nothing could end
  // the dialog's loop.
  if (!view.Handle()) return kExitNoWindow;
  // Capture devices that come and go are announced to the dialog's window;
  // every other seam stays as it is.
  frontends::win32::Win32DeviceNotifications notifications(view.Handle());
  platform::Platform seams;
  seams.notifications = &notifications;
  platform::ScopedPlatform inForce(seams);

  CZarnetApp app;
  return app.InitInstance(view, window, [&view](CZarnetDlg& dlg) {
    view.RunModal();
    // The download thread is stuck in its driver and still uses the dialog:
    // nothing of the program may be torn down under it, nor may the system
    // wait on that thread while the process unloads.
    if (dlg.Abandoned()) ::TerminateProcess(::GetCurrentProcess(), kExitAbandoned);
  });
}
