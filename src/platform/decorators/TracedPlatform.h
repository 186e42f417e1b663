#pragma once
// The seams a traced run puts in force: the capture objects, the device files
// and the device facts, composed over a traced camera backend exactly as the
// host composes them over its own. Everything else stays what it was.

#include <memory>
#include <optional>
#include <string>

#include "platform/CameraBackend.h"
#include "platform/Platform.h"
#include "platform/adapters/CaptureSystemAdapter.h"
#include "platform/adapters/DeviceFilesAdapter.h"
#include "platform/decorators/Trace.h"

namespace platform {

class TracedPlatform {
 public:
  // `backend`, `facts` (may be null) and `clock` must outlive this object.
  TracedPlatform(ICameraBackend& backend, IDeviceFacts* facts, IClock& clock, std::shared_ptr<ITraceSink> sink,
                 const TraceOrigin& origin);
  TracedPlatform(const TracedPlatform&) = delete;
  TracedPlatform& operator=(const TracedPlatform&) = delete;

  // Capture, device files and (where the backend has them) device facts;
  // the other seams are left null.
  Platform Seams();

 private:
  TracedBackend traced_;
  const bool hasFacts_;
  CaptureSystemAdapter capture_;
  DeviceFilesAdapter deviceFiles_;
};

// The host's cameras traced into `sink`; null with `error` set when the host
// has no camera backend to trace.
std::unique_ptr<TracedPlatform> TraceHost(std::shared_ptr<ITraceSink> sink, const std::string& program,
                                          std::string* error);

// The environment variable that asks a window program for a trace.
constexpr char kTraceEnvironmentVariable[] = "ZARNET_TRACE";

// The host's cameras traced into the file ZARNET_TRACE names, or null when
// it names none. Null with `error` set when the file can't be created or the
// host has no camera backend to trace.
std::unique_ptr<TracedPlatform> TraceHostIfAsked(const std::string& program, std::string* error);

// A window program's whole run traced when ZARNET_TRACE asks for it: the
// traced seams are in force for the object's life.
class ScopedHostTrace {
 public:
  explicit ScopedHostTrace(const std::string& program);
  ScopedHostTrace(const ScopedHostTrace&) = delete;
  ScopedHostTrace& operator=(const ScopedHostTrace&) = delete;

  // Why the trace asked for can't be made; empty when it is made or none
  // was asked for.
  const std::string& Error() const { return error_; }

 private:
  std::string error_;
  std::unique_ptr<TracedPlatform> traced_;
  std::optional<ScopedPlatform> inForce_;
};

}  // namespace platform
