#include "Backup.h"

#include "Json.h"
#include "OutputFiles.h"
#include "Session.h"
#include "download/MemoryBackup.h"

MemoryRead ReadMemoryShown(Session& session, int memoryClass, std::optional<uint32_t> length) {
  const uint32_t key = session.Dlg().m_cameraKey;
  session.BeginJob("Reading memory ...");
  uint32_t shownAt = 0;
  const MemoryReadProgress progress = [&](uint32_t done, uint32_t total) {
    if (done < shownAt || done - shownAt >= 0x1000 || done == total) {
      shownAt = done;
      session.ShowStatus("Reading memory ... " + HexNumber(done));
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
  if (std::string cause = WriteFileAtomically(path, read.bytes); !cause.empty())
    return "cannot write " + path + ": " + cause;
  session.ShowStatus("Saved " + std::to_string(read.bytes.size()) + " bytes to " + path);
  return {};
}
