// The host backend on Linux and other POSIX systems: real files, real time.
// Cameras are listed through udev when the build has libudev; without it the
// capture category is empty and no device file opens, so every caller then
// reports that no camera is there.

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <climits>
#include <thread>

#include "platform/CameraBackend.h"
#include "platform/Platform.h"
#include "platform/adapters/CaptureSystemAdapter.h"
#include "platform/adapters/DeviceFilesAdapter.h"
#include "platform/adapters/HostWithoutCameras.h"
#include "platform/linux/ListingOrder.h"
#ifdef ZARNET_HAVE_UDEV
#include "platform/linux/LinuxCameraBackend.h"
#endif

namespace platform {
namespace {

class PosixReadFile final : public IReadFile {
 public:
  explicit PosixReadFile(int fd) : fd_(fd) {}
  ~PosixReadFile() override { ::close(fd_); }
  PosixReadFile(const PosixReadFile&) = delete;
  PosixReadFile& operator=(const PosixReadFile&) = delete;

  size_t Read(void* buffer, size_t length) override {
    size_t done = 0;
    auto* out = static_cast<char*>(buffer);
    while (done < length) {
      const ssize_t n = ::read(fd_, out + done, length - done);
      if (n <= 0) break;
      done += static_cast<size_t>(n);
    }
    return done;
  }

 private:
  int fd_;
};

bool MatchesPattern(const std::string& name, const std::string& pattern) {
  // Only "*" followed by a literal tail is needed ("*.bin"); the match is
  // case-insensitive, as the original platform's directory search is.
  if (pattern.empty() || pattern[0] != '*') return name == pattern;
  const std::string tail = pattern.substr(1);
  if (name.size() < tail.size()) return false;
  for (size_t i = 0; i < tail.size(); ++i) {
    const char a = name[name.size() - tail.size() + i];
    const char b = tail[i];
    if (std::tolower(static_cast<unsigned char>(a)) != std::tolower(static_cast<unsigned char>(b))) return false;
  }
  return true;
}

class PosixFileSystem final : public IFileSystem {
 public:
  bool GetStatus(const std::string& path) override {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0;
  }

  std::unique_ptr<IReadFile> OpenRead(const std::string& path, bool exclusive) override {
    // Without blocking: a FIFO chosen as an image would otherwise hold the
    // open until a writer comes, and the window would never show.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return nullptr;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || (exclusive && ::flock(fd, LOCK_EX | LOCK_NB) != 0) ||
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
      ::close(fd);
      return nullptr;
    }
    return std::make_unique<PosixReadFile>(fd);
  }

  std::string CurrentDirectory() override {
    char buffer[PATH_MAX];
    return ::getcwd(buffer, sizeof buffer) ? std::string(buffer) : std::string();
  }

  std::vector<std::string> FindFiles(const std::string& directory, const std::string& pattern) override {
    std::vector<std::string> names;
    DIR* dir = ::opendir(directory.empty() ? "." : directory.c_str());
    if (!dir) return names;
    while (const dirent* entry = ::readdir(dir)) {
      const std::string name = entry->d_name;
      if (MatchesPattern(name, pattern)) names.push_back(name);
    }
    ::closedir(dir);
    // The raw order of a POSIX directory is the file system's accident; the
    // names come in the order a Windows listing gives them instead.
    linux::SortAsListed(names);
    return names;
  }

  char PathSeparator() const override { return '/'; }
};

class SteadyClock final : public IClock {
 public:
  void Sleep(uint32_t milliseconds) override { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }
  uint64_t NowMilliseconds() override {
    return static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count());
  }
};

// Diagnostic lines are composed for developers only; the host keeps none.
class SilentDebugOutput final : public IDebugOutput {
 public:
  void Write(const std::string&) override {}
};

class NoComRuntime final : public IComRuntime {
 public:
  bool Initialize() override { return true; }
  void Uninitialize() override {}
};

#ifdef ZARNET_HAVE_UDEV
linux::LinuxCameraBackend& HostCameras() {
  static linux::LinuxCameraBackend cameras;
  return cameras;
}
#else
NoCameraBackend& HostCameras() {
  static NoCameraBackend cameras("nowhere: this build has no libudev to list cameras with");
  return cameras;
}
#endif

}  // namespace

ICameraBackend* HostCameraBackend() { return &HostCameras(); }

const Platform& Host() {
  static PosixFileSystem files;
  static SteadyClock clock;
  static SilentDebugOutput debug;
  static NoComRuntime com;
  // The capture objects and device files the device layer sees are the
  // common adapters over the camera backend, as they are over every backend.
  auto& cameras = HostCameras();
  static CaptureSystemAdapter capture(cameras, CameraExtensionUnitAddress());
  static DeviceFilesAdapter deviceFiles(cameras);
  static NoNotifications notifications;
  static const Platform host{&capture, &deviceFiles, &files, &clock, &debug, &com, &notifications, &cameras};
  return host;
}

}  // namespace platform
