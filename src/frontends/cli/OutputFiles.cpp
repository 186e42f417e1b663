#include "OutputFiles.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

std::string Cause(int error) { return error != 0 ? std::strerror(error) : "the write did not complete"; }

fs::path FolderOf(const std::string& path) {
  const fs::path folder = fs::path(path).parent_path();
  return folder.empty() ? fs::path(".") : folder;
}

#ifdef _WIN32

std::string WindowsCause(DWORD error) {
  char text[512] = {};
  const DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, text,
                                 sizeof text, nullptr);
  std::string cause(text, n);
  while (!cause.empty() && (cause.back() == '\n' || cause.back() == '\r' || cause.back() == '.')) cause.pop_back();
  return cause.empty() ? "error " + std::to_string(error) : cause;
}

// A new file of a name no other file has, beside `path`.
int CreateTemporary(const std::string& path, std::string* name) {
  static unsigned counter = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    *name = path + ".tmp-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter) + "-" +
            std::to_string(static_cast<unsigned long long>(now.QuadPart) % 1000000);
    const int fd = _open(name->c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

std::string WriteAll(int fd, const std::vector<uint8_t>& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const unsigned chunk = static_cast<unsigned>(std::min<size_t>(bytes.size() - done, 1u << 20));
    errno = 0;
    const int n = _write(fd, bytes.data() + done, chunk);
    if (n <= 0) return Cause(errno);
    done += static_cast<size_t>(n);
  }
  return _commit(fd) == 0 ? std::string() : Cause(errno);
}

std::string Replace(const std::string& temporary, const std::string& path) {
  if (MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return {};
  return WindowsCause(GetLastError());
}

#else

int CreateTemporary(const std::string& path, std::string* name) {
  std::string pattern = path + ".tmp-XXXXXX";
  const int fd = ::mkstemp(pattern.data());
  if (fd < 0) return fd;
  *name = pattern;
  // mkstemp makes the file private; it gets the mode of the file it replaces,
  // or that of a new file.
  struct stat old {};
  mode_t mode = 0;
  if (::stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
    mode = old.st_mode & 07777;
  } else {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }
  ::fchmod(fd, mode);
  return fd;
}

std::string WriteAll(int fd, const std::vector<uint8_t>& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    errno = 0;
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return Cause(errno);
    done += static_cast<size_t>(n);
  }
  return ::fsync(fd) == 0 ? std::string() : Cause(errno);
}

std::string Replace(const std::string& temporary, const std::string& path) {
  if (::rename(temporary.c_str(), path.c_str()) != 0) return Cause(errno);
  // The rename itself lasts only once the folder's entries are on the disk
  // (some file systems can't sync a folder and say so with EINVAL).
  const int folder = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY);
  if (folder < 0) return {};
  const bool synced = ::fsync(folder) == 0 || errno == EINVAL;
  const int error = errno;
  ::close(folder);
  return synced ? std::string() : Cause(error) + " (while making the replaced file durable)";
}

#endif

#ifdef _WIN32
int CloseFile(int fd) { return _close(fd); }
int RemoveFile(const std::string& name) { return _unlink(name.c_str()); }
#else
int CloseFile(int fd) { return ::close(fd); }
int RemoveFile(const std::string& name) { return ::unlink(name.c_str()); }
#endif

}  // namespace

std::optional<std::string> OutputRefusal(const std::string& path, bool overwrite) {
  const std::string cannot = "cannot write " + path + ": ";
  std::error_code error;
  const fs::file_status status = fs::status(path, error);
  if (fs::exists(status)) {
    if (fs::is_directory(status)) return cannot + std::strerror(EISDIR);
    if (!fs::is_regular_file(status)) return cannot + "not a regular file";
    if (!overwrite) return path + " exists; add --force to replace it";
  } else if (error && error != std::errc::no_such_file_or_directory) {
    return cannot + error.message();
  }
  const fs::path folder = FolderOf(path);
  const fs::file_status folderStatus = fs::status(folder, error);
  if (!fs::exists(folderStatus)) return cannot + std::strerror(ENOENT);
  if (!fs::is_directory(folderStatus)) return cannot + std::strerror(ENOTDIR);
#ifndef _WIN32
  // Windows tells no more than whether the folder is read-only, which a
  // folder's files do not heed.
  if (::access(folder.c_str(), W_OK | X_OK) != 0) return cannot + std::strerror(errno);
#endif
  return std::nullopt;
}

std::string WriteFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::string temporary;
  errno = 0;
  const int fd = CreateTemporary(path, &temporary);
  if (fd < 0) return Cause(errno);
  std::string cause = WriteAll(fd, bytes);
  if (CloseFile(fd) != 0 && cause.empty()) cause = Cause(errno);
  if (cause.empty()) cause = Replace(temporary, path);
  // Gone after a rename; after a failure, removed.
  if (!cause.empty()) RemoveFile(temporary);
  return cause;
}
