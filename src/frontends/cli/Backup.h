#pragma once
// Saving what a camera's memory holds into a file: `read`, and `flash
// --backup` before the memory is erased.

#include <cstdint>
#include <optional>
#include <string>

#include "download/MemoryBackup.h"

class Session;

// Reads `length` bytes (or the whole part) of the session's camera's memory
// with status lines and progress; the failure says so in a whole sentence.
MemoryRead ReadMemoryShown(Session& session, int memoryClass, std::optional<uint32_t> length);

// Reads as ReadMemoryShown does and saves the bytes at `path`. Empty on success, else why
// not; the file is then left as it was.
std::string BackUpMemory(Session& session, int memoryClass, std::optional<uint32_t> length, const std::string& path);
