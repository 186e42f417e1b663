#pragma once
// Saving what a camera's memory holds into a file: `read`, and `flash
// --backup` before the memory is erased.

#include <cstdint>
#include <optional>
#include <string>

class Session;

// Reads `length` bytes (or the whole memory, however long the camera's part) of the memory of `memoryClass` from the session's
// camera, with progress, and saves them at `path`. Empty on success, else why
// not; the file is then left as it was.
std::string BackUpMemory(Session& session, int memoryClass, std::optional<uint32_t> length, const std::string& path);
