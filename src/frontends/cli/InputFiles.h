#pragma once
// Input files the commands can't read are told in the operating system's
// own words.

#include <optional>
#include <string>

// Why `path` can't be opened and read, or nothing when it can.
std::optional<std::string> UnreadableCause(const std::string& path);
