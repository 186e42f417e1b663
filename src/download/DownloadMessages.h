#pragma once
// The messages between the dialog and the download thread.

#include <cstdint>

#include "platform/WindowMessages.h"

// Thread messages to the download thread; wParam carries the dialog.
constexpr uint32_t WM_DL_DOWNLOAD = platform::msg::kUser + 16;      // 1040
constexpr uint32_t WM_DL_ERASE_CHIP = platform::msg::kUser + 17;    // 1041
constexpr uint32_t WM_DL_RESET_CAMERA = platform::msg::kUser + 18;  // 1042
constexpr uint32_t WM_DL_SET_DIALOG = platform::msg::kUser + 19;    // 1043

// Window messages the download thread sends to the dialog, synchronously.
// 1056, the status text changed: lParam is the new text, which the dialog
// stores, or 0 when the dialog's field already holds it.
constexpr uint32_t WM_DL_STATUS = platform::msg::kUser + 32;
constexpr uint32_t WM_DL_PASS = platform::msg::kUser + 33;      // 1057
constexpr uint32_t WM_DL_FAIL = platform::msg::kUser + 34;      // 1058
constexpr uint32_t WM_DL_PROGRESS = platform::msg::kUser + 35;  // 1059: wParam = position in bytes
constexpr uint32_t WM_DL_RANGE = platform::msg::kUser + 36;     // 1060: wParam = range in bytes
constexpr uint32_t WM_DL_FINISHED = platform::msg::kUser + 37;  // 1061: identify the camera again
