#pragma once
// Files of the host: the firmware images the operator chooses.

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace platform {

class IReadFile {
 public:
  virtual ~IReadFile() = default;
  // Reads up to `length` bytes; returns the count read (0 at the end or on error).
  virtual size_t Read(void* buffer, size_t length) = 0;
};

class IFileSystem {
 public:
  virtual ~IFileSystem() = default;
  // True when the status of the path can be read (it exists, file or folder).
  virtual bool GetStatus(const std::string& path) = 0;
  // Opens a regular file for reading in binary mode; `exclusive` refuses the
  // open while another program holds the file. Null on failure.
  virtual std::unique_ptr<IReadFile> OpenRead(const std::string& path, bool exclusive) = 0;
  virtual std::string CurrentDirectory() = 0;
  // Names in `directory` that match the pattern (only "*.ext" patterns are
  // needed), in the order the host's directory search delivers them. On a
  // host whose directories have no order of their own, that is the order a
  // Windows (NTFS) listing gives: names compared case-insensitively, as
  // upper case.
  virtual std::vector<std::string> FindFiles(const std::string& directory, const std::string& pattern) = 0;
  virtual char PathSeparator() const = 0;
};

}  // namespace platform
