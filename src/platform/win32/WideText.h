#pragma once
// Texts are UTF-8 in the logic and UTF-16 at the system's calls.

#include <string>

namespace platform::win32 {

std::wstring Wide(const std::string& text);
std::string Narrow(const std::wstring& wide);
std::string Narrow(const wchar_t* wide, size_t length);

}  // namespace platform::win32
