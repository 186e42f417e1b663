#pragma once
// Texts are UTF-8 in the dialog's logic and UTF-16 at the window system's
// calls.

#include <string>

namespace platform::win32 {

std::wstring Wide(const std::string& text);
std::string Narrow(const std::wstring& wide);

}  // namespace platform::win32
