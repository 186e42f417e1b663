#include "InputFiles.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace {

// What a path that is not a regular file is, in a user's words.
std::string KindOf(const std::filesystem::file_status& status) {
  using std::filesystem::file_type;
  switch (status.type()) {
    case file_type::directory: return std::strerror(EISDIR);
    case file_type::fifo: return "it is a FIFO, not a regular file";
    case file_type::socket: return "it is a socket, not a regular file";
    case file_type::character:
    case file_type::block: return "it is a device, not a regular file";
    default: return "not a regular file";
  }
}

}  // namespace

std::optional<std::string> UnreadableCause(const std::string& path) {
  std::error_code ec;
  const auto status = std::filesystem::status(path, ec);
  if (ec) return ec.message();
  // Checked before the open: opening a FIFO blocks until a writer comes, and
  // a device such as /dev/zero never ends.
  if (!std::filesystem::is_regular_file(status)) return KindOf(status);
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
