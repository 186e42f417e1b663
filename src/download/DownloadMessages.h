#pragma once
// The messages between the dialog and the download thread.

#include <cstdint>

constexpr uint32_t WM_USER = 0x0400;

// Thread messages to the download thread; wParam carries the dialog.
constexpr uint32_t WM_DL_DOWNLOAD = WM_USER + 16;      // 1040
constexpr uint32_t WM_DL_ERASE_CHIP = WM_USER + 17;    // 1041
constexpr uint32_t WM_DL_RESET_CAMERA = WM_USER + 18;  // 1042
constexpr uint32_t WM_DL_SET_DIALOG = WM_USER + 19;    // 1043

// Window messages the download thread sends to the dialog, synchronously.
constexpr uint32_t WM_DL_STATUS = WM_USER + 32;    // 1056: the status text changed
constexpr uint32_t WM_DL_PASS = WM_USER + 33;      // 1057
constexpr uint32_t WM_DL_FAIL = WM_USER + 34;      // 1058
constexpr uint32_t WM_DL_PROGRESS = WM_USER + 35;  // 1059: wParam = position in bytes
constexpr uint32_t WM_DL_RANGE = WM_USER + 36;     // 1060: wParam = range in bytes
constexpr uint32_t WM_DL_FINISHED = WM_USER + 37;  // 1061: identify the camera again

// The progress bar's own messages, sent straight to the bar.
constexpr uint32_t PBM_SETPOS = WM_USER + 2;       // 1026
constexpr uint32_t PBM_SETRANGE32 = WM_USER + 6;   // 1030

// Window messages of the dialog itself.
constexpr uint32_t WM_DESTROY = 0x0002;
constexpr uint32_t WM_CLOSE = 0x0010;
constexpr uint32_t WM_COMMAND = 0x0111;
constexpr uint32_t WM_SYSCOMMAND = 0x0112;
constexpr uint32_t WM_DEVICECHANGE = 0x0219;
constexpr uint32_t BN_CLICKED = 0;
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
