#pragma once
// The window system's own message numbers and control ids that the dialog
// and its views use. They carry names of their own, in a namespace, so that
// no macro of the Windows headers rewrites them where both are included.

#include <cstdint>

namespace platform::msg {

constexpr uint32_t kDestroy = 0x0002;
constexpr uint32_t kClose = 0x0010;
constexpr uint32_t kQuit = 0x0012;
constexpr uint32_t kCommand = 0x0111;
constexpr uint32_t kSysCommand = 0x0112;
constexpr uint32_t kDeviceChange = 0x0219;
// The first number free for a program's own messages.
constexpr uint32_t kUser = 0x0400;

// The progress bar's own messages, sent straight to the bar.
constexpr uint32_t kProgressSetPos = kUser + 2;      // wParam = position
constexpr uint32_t kProgressSetRange32 = kUser + 6;  // wParam = low, lParam = high

// A command's notification code (high word of wParam): a button was clicked.
constexpr uint32_t kButtonClicked = 0;
// The command ids of a dialog's default and cancel buttons.
constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;

}  // namespace platform::msg
