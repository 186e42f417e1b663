#pragma once
// The seams a replay puts in force: capture objects and device files over
// the replayed camera, its facts, its virtual clock, and device notifications
// that never come (the recording has none to give).

#include <string>
#include <utility>

#include "platform/Platform.h"
#include "platform/adapters/CaptureSystemAdapter.h"
#include "platform/adapters/DeviceFilesAdapter.h"
#include "platform/adapters/HostWithoutCameras.h"
#include "platform/replay/RecordedTrace.h"
#include "platform/replay/ReplayBackend.h"

namespace platform {

class ReplayPlatform {
 public:
  explicit ReplayPlatform(RecordedTrace trace)
      : backend_(std::move(trace)), capture_(backend_, CameraExtensionUnitAddress()), deviceFiles_(backend_) {}
  ReplayPlatform(const ReplayPlatform&) = delete;
  ReplayPlatform& operator=(const ReplayPlatform&) = delete;

  // Capture, device files, device facts, clock and notifications; the file
  // system and the rest stay the host's.
  Platform Seams() {
    Platform seams;
    seams.capture = &capture_;
    seams.deviceFiles = &deviceFiles_;
    seams.deviceFacts = &backend_;
    seams.clock = &backend_.Clock();
    seams.notifications = &notifications_;
    return seams;
  }

  // See ReplayBackend::Verdict.
  std::string Verdict() { return backend_.Verdict(); }

 private:
  ReplayBackend backend_;
  CaptureSystemAdapter capture_;
  DeviceFilesAdapter deviceFiles_;
  NoNotifications notifications_;
};

}  // namespace platform
