#include "platform/decorators/TracedPlatform.h"

#include <cstdlib>
#include <utility>

#include "platform/adapters/HostWithoutCameras.h"

namespace platform {
namespace {

constexpr char kUntraceableHost[] = "this build reaches its cameras in a way that can't be traced";

const char* HostBackendName() {
#ifdef _WIN32
  return "win32";
#else
  return "linux";
#endif
}

}  // namespace

TracedPlatform::TracedPlatform(ICameraBackend& backend, IDeviceFacts* facts, IClock& clock,
                               std::shared_ptr<ITraceSink> sink, const TraceOrigin& origin)
    : traced_(backend, facts, clock, std::move(sink), origin),
      hasFacts_(facts != nullptr),
      capture_(traced_, CameraExtensionUnitAddress()),
      deviceFiles_(traced_) {}

Platform TracedPlatform::Seams() {
  Platform seams;
  seams.capture = &capture_;
  seams.deviceFiles = &deviceFiles_;
  if (hasFacts_) seams.deviceFacts = &traced_;
  return seams;
}

std::unique_ptr<TracedPlatform> TraceHost(std::shared_ptr<ITraceSink> sink, const std::string& program,
                                          std::string* error) {
  ICameraBackend* cameras = HostCameraBackend();
  if (!cameras) {
    *error = kUntraceableHost;
    return nullptr;
  }
  const Platform& host = Host();
  return std::make_unique<TracedPlatform>(*cameras, host.deviceFacts, *host.clock, std::move(sink),
                                          TraceOrigin{program, HostBackendName()});
}

std::unique_ptr<TracedPlatform> TraceHostIfAsked(const std::string& program, std::string* error) {
  const char* path = std::getenv(kTraceEnvironmentVariable);
  if (!path || !*path) return nullptr;
  const std::string asked = std::string(kTraceEnvironmentVariable) + "=" + path + ": ";
  // Asked first, so that a host that can't be traced leaves no file behind.
  if (!HostCameraBackend()) {
    *error = asked + kUntraceableHost;
    return nullptr;
  }
  std::string why;
  std::shared_ptr<FileTraceSink> sink = FileTraceSink::Create(path, &why);
  if (!sink) {
    *error = asked + "cannot create the trace: " + why;
    return nullptr;
  }
  return TraceHost(std::move(sink), program, error);
}

ScopedHostTrace::ScopedHostTrace(const std::string& program) : traced_(TraceHostIfAsked(program, &error_)) {
  if (traced_) inForce_.emplace(traced_->Seams());
}

}  // namespace platform
