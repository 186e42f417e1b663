#include "InputFiles.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

std::optional<std::string> UnreadableCause(const std::string& path) {
  std::error_code ec;
  const auto status = std::filesystem::status(path, ec);
  if (ec) return ec.message();
  // A directory opens for reading on some systems; only reading it fails.
  if (std::filesystem::is_directory(status)) return std::strerror(EISDIR);
  errno = 0;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return std::string(errno != 0 ? std::strerror(errno) : "it could not be opened");
  char byte = 0;
  const bool failed = std::fread(&byte, 1, 1, file) == 0 && std::ferror(file);
  const int error = errno;
  std::fclose(file);
  if (failed) return std::string(std::strerror(error));
  return std::nullopt;
}
