#include "Terminal.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <sys/ioctl.h>
#include <unistd.h>
#endif

#ifdef _WIN32
namespace {

HANDLE HandleOf(int fd) { return reinterpret_cast<HANDLE>(::_get_osfhandle(fd)); }

}  // namespace

bool IsTerminal(int fd) {
  const HANDLE handle = HandleOf(fd);
  DWORD mode = 0;
  return handle != INVALID_HANDLE_VALUE && handle != nullptr && ::GetConsoleMode(handle, &mode);
}

void AllowTerminalSequences(int fd) {
  constexpr DWORD kVirtualTerminalProcessing = 0x0004;  // ENABLE_VIRTUAL_TERMINAL_PROCESSING
  const HANDLE handle = HandleOf(fd);
  DWORD mode = 0;
  if (::GetConsoleMode(handle, &mode)) ::SetConsoleMode(handle, mode | kVirtualTerminalProcessing);
}

int TerminalColumns(int fd) {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (!::GetConsoleScreenBufferInfo(HandleOf(fd), &info)) return 0;
  return info.srWindow.Right - info.srWindow.Left + 1;
}
#else
bool IsTerminal(int fd) { return ::isatty(fd) == 1; }

void AllowTerminalSequences(int) {}

int TerminalColumns(int fd) {
  winsize size{};
  if (::ioctl(fd, TIOCGWINSZ, &size) != 0) return 0;
  return size.ws_col;
}
#endif
