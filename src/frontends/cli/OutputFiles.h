#pragma once
// Files the commands write (a sample image, a backup, a memory read, the
// simulation's memory file): checked before the camera is touched, and
// written so that the old file stays whole until the new one is complete.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Why `path` can't be taken as an output, on one line ("cannot write PATH:
// CAUSE", or "PATH exists; add --force to replace it"), or nothing when it
// can: a folder or another file that is not a regular one, an existing file
// without `overwrite`, a missing folder or one that can't be written.
std::optional<std::string> OutputRefusal(const std::string& path, bool overwrite);

// Writes `bytes` to a new file beside `path`, makes it durable and renames it
// over `path`. Empty on success, else the operating system's cause; the file
// at `path` is then left as it was and no temporary file remains.
std::string WriteFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes);
