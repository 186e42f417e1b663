#include "Backup.h"

#include <cstdio>

#include "OutputFiles.h"
#include "Session.h"
#include "download/MemoryBackup.h"

namespace {

std::string Hex(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%X", value);
  return text;
}

}  // namespace

std::string BackUpMemory(Session& session, int memoryClass, uint32_t length, const std::string& path) {
  const uint32_t key = session.Dlg().m_cameraKey;
  if (key == 0) return session.Dlg().m_strStatus;
  session.ShowStatus("Reading memory ...");
  uint32_t shownAt = 0;
  const MemoryRead read = ReadCameraMemory(key, memoryClass, length, [&](uint32_t done, uint32_t total) {
    if (done - shownAt >= 0x1000 || done == total) {
      shownAt = done;
      session.ShowStatus("Reading memory ... " + Hex(done));
    }
    session.ShowProgress(done, total);
  });
  if (!read.Ok()) return "cannot read the camera's memory: " + read.failure;
  if (std::string cause = WriteFileAtomically(path, read.bytes); !cause.empty())
    return "cannot write " + path + ": " + cause;
  session.ShowStatus("Saved " + std::to_string(length) + " bytes to " + path);
  return {};
}
