// The host backend on Windows: the system's files, tick count and debug
// output, the COM runtime, and the cameras through DirectShow and their
// device files. Paths and names are UTF-8 in the logic and UTF-16 at the
// system's calls.

#include <windows.h>

#include <objbase.h>

#include "platform/CameraBackend.h"
#include "platform/Platform.h"
#include "platform/adapters/CaptureSystemAdapter.h"
#include "platform/adapters/DeviceFilesAdapter.h"
#include "platform/adapters/HostWithoutCameras.h"
#include "platform/win32/WideText.h"
#include "platform/win32/Win32CameraBackend.h"

namespace platform {
namespace {

using win32::Narrow;
using win32::Wide;

class Win32ReadFile final : public IReadFile {
 public:
  explicit Win32ReadFile(HANDLE file) : file_(file) {}
  ~Win32ReadFile() override { ::CloseHandle(file_); }
  Win32ReadFile(const Win32ReadFile&) = delete;
  Win32ReadFile& operator=(const Win32ReadFile&) = delete;

  size_t Read(void* buffer, size_t length) override {
    size_t done = 0;
    auto* out = static_cast<char*>(buffer);
    while (done < length) {
      DWORD n = 0;
      const auto want = static_cast<DWORD>(length - done > 0x10000000 ? 0x10000000 : length - done);
      if (!::ReadFile(file_, out + done, want, &n, nullptr) || n == 0) break;
      done += n;
    }
    return done;
  }

 private:
  HANDLE file_;
};

class Win32FileSystem final : public IFileSystem {
 public:
  bool GetStatus(const std::string& path) override {
    return !path.empty() && ::GetFileAttributesW(Wide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
  }

  // Without sharing when `exclusive`: an open handle of another program
  // makes the open fail.
  std::unique_ptr<IReadFile> OpenRead(const std::string& path, bool exclusive) override {
    const HANDLE file = ::CreateFileW(Wide(path).c_str(), GENERIC_READ, exclusive ? 0 : FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return nullptr;
    // Only a file on a disk: a pipe or a device (CON, NUL) would block the
    // read or feed it endless bytes.
    if (::GetFileType(file) != FILE_TYPE_DISK) {
      ::CloseHandle(file);
      return nullptr;
    }
    return std::make_unique<Win32ReadFile>(file);
  }

  // Of any length: asked for its size first, then again should another
  // thread have changed it in between. Empty only when the system cannot tell.
  std::string CurrentDirectory() override {
    for (int attempt = 0; attempt < 3; ++attempt) {
      const DWORD size = ::GetCurrentDirectoryW(0, nullptr);
      if (size == 0) return {};
      std::wstring buffer(size, L'\0');
      const DWORD n = ::GetCurrentDirectoryW(size, buffer.data());
      if (n == 0) return {};
      if (n < size) return Narrow(buffer.data(), n);
    }
    return {};
  }

  // In the order the system lists them, folders included: a folder named
  // like an image is found, and refused when it is opened.
  std::vector<std::string> FindFiles(const std::string& directory, const std::string& pattern) override {
    std::vector<std::string> names;
    const std::string query = directory.empty() ? pattern : directory + "\\" + pattern;
    WIN32_FIND_DATAW found{};
    const HANDLE search = ::FindFirstFileW(Wide(query).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
      names.push_back(Narrow(found.cFileName));
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
    return names;
  }

  char PathSeparator() const override { return '\\'; }
};

class TickClock final : public IClock {
 public:
  void Sleep(uint32_t milliseconds) override { ::Sleep(milliseconds); }
  uint64_t NowMilliseconds() override { return ::GetTickCount64(); }
};

class SystemDebugOutput final : public IDebugOutput {
 public:
  void Write(const std::string& line) override { ::OutputDebugStringW(Wide(line).c_str()); }
};

class ThreadComRuntime final : public IComRuntime {
 public:
  // S_FALSE (already entered) counts too and is left again like S_OK.
  bool Initialize() override { return SUCCEEDED(::CoInitialize(nullptr)); }
  void Uninitialize() override { ::CoUninitialize(); }
};

win32::Win32CameraBackend& Cameras() {
  static win32::Win32CameraBackend cameras(win32::SystemDeviceSetup());
  return cameras;
}

}  // namespace

ICameraBackend* HostCameraBackend() { return &Cameras(); }

const Platform& Host() {
  static Win32FileSystem files;
  static TickClock clock;
  static SystemDebugOutput debug;
  static ThreadComRuntime com;
  // The capture objects and device files the device layer sees are the
  // common adapters over the camera backend, as they are over every backend.
  static CaptureSystemAdapter capture(Cameras(), CameraExtensionUnitAddress());
  static DeviceFilesAdapter deviceFiles(Cameras());
  static NoNotifications notifications;
  static const Platform host{&capture, &deviceFiles, &files, &clock, &debug, &com, &notifications, &Cameras()};
  return host;
}

}  // namespace platform
