#include "DeviceChoice.h"

#include <algorithm>
#include <cctype>
#include <set>
#include <vector>

namespace {

bool IsPosition(const std::string& text) {
  return !text.empty() && text.size() < 6 &&
         std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); });
}

// A device path names the video node first, then the USB device
// ("/dev/video0@/dev/bus/usb/001/003"), so a node alone picks its device.
bool Names(const std::string& choice, const std::string& path) {
  return !path.empty() && (path == choice || path.rfind(choice + "@", 0) == 0);
}

}  // namespace

bool DeviceChoice::Make(const std::string& choice, std::string* error) {
  if (choice.empty()) return true;
  platform::ICaptureSystem& capture = *platform::Current().capture;
  const std::vector<std::string> paths = platform::ListedDevicePaths(capture);
  std::optional<size_t> chosen;
  for (size_t i = 0; i < paths.size() && !chosen; ++i)
    if (IsPosition(choice) ? std::stoul(choice) == i : Names(choice, paths[i])) chosen = i;
  if (!chosen) {
    *error = "no device " + choice + " (zarnet-cli list shows the devices present)";
    return false;
  }
  std::set<std::string> leftOut(paths.begin(), paths.end());
  leftOut.erase(paths[*chosen]);
  capture_.emplace(capture, std::move(leftOut));
  platform::Platform narrowed;
  narrowed.capture = &*capture_;
  inForce_.emplace(narrowed);
  return true;
}
