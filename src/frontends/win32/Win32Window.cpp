#include "frontends/win32/Win32Window.h"

namespace frontends::win32 {

// Closed before the wake-up goes, so that no sender posts to a window that
// is being torn down.
Win32Window::~Win32Window() { Close(); }

uint32_t Win32Window::WakeMessage() { return WM_APP + 0x0A; }

void Win32Window::Attach(HWND dialog) {
  dialog_.store(dialog);
  if (dialog && QueuedCount() > 0) ::PostMessageW(dialog, WakeMessage(), 0, 0);
}

void Win32Window::WakeWindowThread() {
  // PostMessageW never waits for the window's thread, so it is safe under
  // the queue's lock. A post to a window destroyed meanwhile just fails.
  if (HWND dialog = dialog_.load()) ::PostMessageW(dialog, WakeMessage(), 0, 0);
}

}  // namespace frontends::win32
