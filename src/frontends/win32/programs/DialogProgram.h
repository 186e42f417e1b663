#pragma once
// The Windows program's whole run, apart from its entry point, so that a
// test can run it over a platform of its own.

#include <windows.h>

// Initialises the common controls, makes the dialog's window from the
// resources of `module`, puts device notifications for that window in force
// over the platform in force, and runs the dialog until it has ended.
// Returns the program's exit code: 0, or kExitNoWindow when the dialog's
// window can't be made; a window closed on a download stuck in its driver
// ends the process at once with kExitAbandoned.
int RunZarnetDialog(HINSTANCE module);

constexpr int kExitNoWindow = 1;
// The window closed on a download stuck in its driver.
constexpr int kExitAbandoned = 1;
