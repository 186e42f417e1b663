// zarnet.exe: the Zarnet dialog as a Windows program, over the host's
// platform. The dialog ends the program when it ends.

#include <windows.h>

#include "frontends/win32/programs/DialogProgram.h"
#include "platform/decorators/TracedPlatform.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  const platform::ScopedHostTrace trace("zarnet");  // ZARNET_TRACE: the camera's traffic, for a bug report
  if (!trace.Error().empty()) {
    ::MessageBoxA(nullptr, trace.Error().c_str(), "Zarnet", MB_OK | MB_ICONERROR);
    return 2;
  }
  return RunZarnetDialog(instance);
}
