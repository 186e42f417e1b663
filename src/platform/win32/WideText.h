#pragma once
// Texts are UTF-8 in the logic and UTF-16 at the system's calls. The two
// conversions are each other's inverse for every UTF-16 text, unpaired
// surrogates included (those travel as WTF-8), so a name the system lists
// opens again exactly.

#include <string>

namespace platform::win32 {

std::wstring Wide(const std::string& text);
std::string Narrow(const std::wstring& wide);
std::string Narrow(const wchar_t* wide, size_t length);

}  // namespace platform::win32
