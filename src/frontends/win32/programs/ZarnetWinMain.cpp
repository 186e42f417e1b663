// zarnet.exe: the Zarnet dialog as a Windows program, over the host's
// platform. The dialog ends the program when it ends.

#include <windows.h>

#include "frontends/win32/programs/DialogProgram.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) { return RunZarnetDialog(instance); }
