#pragma once
// The host's files, seen from a current directory of the caller's choosing:
// demonstrations and tests give the window a folder of their own to take
// its default image from.

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/Platform.h"

namespace platform {

class FilesInFolder final : public IFileSystem {
 public:
  explicit FilesInFolder(std::string folder) : folder_(std::move(folder)) {}
  bool GetStatus(const std::string& path) override { return Host().GetStatus(path); }
  std::unique_ptr<IReadFile> OpenRead(const std::string& path, bool exclusive) override {
    return Host().OpenRead(path, exclusive);
  }
  std::string CurrentDirectory() override { return folder_; }
  std::vector<std::string> FindFiles(const std::string& directory, const std::string& pattern) override {
    return Host().FindFiles(directory, pattern);
  }
  char PathSeparator() const override { return Host().PathSeparator(); }

 private:
  static IFileSystem& Host() { return *platform::Host().files; }
  std::string folder_;
};

}  // namespace platform
