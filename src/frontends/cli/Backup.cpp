#include "Backup.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "Session.h"
#include "download/MemoryBackup.h"

namespace {

std::string Hex(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%X", value);
  return text;
}

// Written beside the target and renamed over it, so that a failure never
// leaves a truncated backup under the name asked for.
std::string SaveFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  const std::string partial = path + ".part";
  std::FILE* file = std::fopen(partial.c_str(), "wb");
  if (!file) return "cannot write " + path + ": " + std::strerror(errno);
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  const int writeError = errno;
  if (std::fclose(file) != 0 || !written) {
    const int error = written ? errno : writeError;
    std::remove(partial.c_str());
    return "cannot write " + path + ": " + std::strerror(error);
  }
  // Over an existing file too, which std::rename refuses on Windows.
  std::error_code error;
  std::filesystem::rename(partial, path, error);
  if (error) {
    std::remove(partial.c_str());
    return "cannot write " + path + ": " + error.message();
  }
  return {};
}

}  // namespace

MemoryRead ReadMemoryShown(Session& session, int memoryClass, std::optional<uint32_t> length) {
  const uint32_t key = session.Dlg().m_cameraKey;
  session.ShowStatus("Reading memory ...");
  uint32_t shownAt = 0;
  const MemoryReadProgress progress = [&](uint32_t done, uint32_t total) {
    if (done < shownAt || done - shownAt >= 0x1000 || done == total) {
      shownAt = done;
      session.ShowStatus("Reading memory ... " + Hex(done));
    }
    session.ShowProgress(done, total);
  };
  MemoryRead read = length ? ReadCameraMemory(key, memoryClass, *length, progress)
                           : ReadWholeCameraMemory(key, memoryClass, progress);
  if (!read.Ok()) read.failure = "cannot read the camera's memory: " + read.failure;
  if (read.Ok() && !read.note.empty())
    session.ShowStatus("Read " + std::to_string(read.bytes.size()) + " bytes: " + read.note);
  return read;
}

std::string BackUpMemory(Session& session, int memoryClass, std::optional<uint32_t> length, const std::string& path) {
  if (session.Dlg().m_cameraKey == 0) return session.Dlg().m_strStatus;
  const MemoryRead read = ReadMemoryShown(session, memoryClass, length);
  if (!read.Ok()) return read.failure;
  if (std::string failure = SaveFile(path, read.bytes); !failure.empty()) return failure;
  session.ShowStatus("Saved " + std::to_string(read.bytes.size()) + " bytes to " + path);
  return {};
}
