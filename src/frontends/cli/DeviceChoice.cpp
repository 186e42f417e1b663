#include "DeviceChoice.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <set>
#include <utility>
#include <vector>

namespace {

bool IsPosition(const std::string& text) {
  return !text.empty() && text.size() < 6 &&
         std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); });
}

// "vvvv:pppp" in hexadecimal, as lsusb shows a USB id.
std::optional<std::pair<uint16_t, uint16_t>> UsbIdIn(const std::string& text) {
  if (text.size() != 9 || text[4] != ':') return std::nullopt;
  const std::string digits = text.substr(0, 4) + text.substr(5);
  if (!std::all_of(digits.begin(), digits.end(), [](unsigned char c) { return std::isxdigit(c); })) return std::nullopt;
  return std::make_pair(static_cast<uint16_t>(std::stoul(text.substr(0, 4), nullptr, 16)),
                        static_cast<uint16_t>(std::stoul(text.substr(5), nullptr, 16)));
}

// A device path names the video node first, then the USB device
// ("/dev/video0@/dev/bus/usb/001/003"), so a node alone picks its device.
bool Names(const std::string& choice, const std::string& path) {
  return !path.empty() && (path == choice || path.rfind(choice + "@", 0) == 0);
}

// The USB id, serial number or port the platform tells for the device.
bool Identifies(const std::string& choice, const std::string& path) {
  platform::IDeviceFacts* described = platform::Current().deviceFacts;
  if (!described || path.empty()) return false;
  const platform::DeviceFacts facts = described->Describe(path);
  if (const auto id = UsbIdIn(choice)) return facts.usbVendorId == id->first && facts.usbProductId == id->second;
  return facts.serialNumber == choice || facts.port == choice;
}

// The positions of the listed devices that `choice` names.
std::vector<size_t> Matching(const std::string& choice, const std::vector<std::string>& paths) {
  std::vector<size_t> found;
  for (size_t i = 0; i < paths.size(); ++i)
    if (IsPosition(choice) ? std::stoul(choice) == i : Names(choice, paths[i])) return {i};
  if (IsPosition(choice)) return found;
  for (size_t i = 0; i < paths.size(); ++i)
    if (Identifies(choice, paths[i])) found.push_back(i);
  return found;
}

}  // namespace

bool DeviceChoice::Make(const std::string& choice, std::string* error) {
  if (choice.empty()) return true;
  platform::ICaptureSystem& capture = *platform::Current().capture;
  const std::vector<std::string> paths = platform::ListedDevicePaths(capture);
  const std::vector<size_t> found = Matching(choice, paths);
  if (found.empty()) {
    *error = "no device " + choice + " (zarnet-cli list shows the devices present)";
    return false;
  }
  // Two cameras of one model share their USB id: acting on either could be
  // the wrong one.
  if (found.size() > 1) {
    *error = std::to_string(found.size()) + " devices are " + choice +
             "; name one by its node, position or serial number (zarnet-cli list --json shows them)";
    return false;
  }
  std::set<std::string> leftOut(paths.begin(), paths.end());
  const std::string& chosen = paths[found.front()];
  leftOut.erase(chosen);
  // After a reset the camera is looked for where it is plugged in: another
  // camera that comes back at the same moment is not this one.
  platform::IDeviceFacts* facts = platform::Current().deviceFacts;
  std::optional<platform::DeviceIdentity> identity;
  if (facts && !chosen.empty()) identity = platform::DeviceIdentity::Of(facts->Describe(chosen));
  capture_.emplace(capture, std::move(leftOut), std::move(identity), facts);
  platform::Platform narrowed;
  narrowed.capture = &*capture_;
  inForce_.emplace(narrowed);
  return true;
}
