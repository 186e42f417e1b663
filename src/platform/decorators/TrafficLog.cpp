#include "platform/decorators/TrafficLog.h"

#include <algorithm>
#include <utility>

namespace platform {
namespace {

uint32_t FiredSoFar(const TrafficRecorder& recorder) { return recorder.faults ? recorder.faults->Fired() : 0; }

TrafficEntry Stamped(const TrafficRecorder& recorder, TrafficKind kind, uint32_t firedBefore) {
  TrafficEntry entry;
  entry.kind = kind;
  entry.device = recorder.source.device;
  entry.devInst = recorder.source.devInst;
  entry.timeMs = recorder.clock ? recorder.clock->NowMilliseconds() : 0;
  entry.faultFired = FiredSoFar(recorder) != firedBefore;
  return entry;
}

}  // namespace

void TrafficLog::Add(TrafficEntry entry) {
  std::lock_guard<std::mutex> lock(mutex_);
  entries_.push_back(std::move(entry));
}

std::vector<TrafficEntry> TrafficLog::Entries() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return entries_;
}

void TrafficLog::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  entries_.clear();
}

LoggedExtensionUnit::LoggedExtensionUnit(std::shared_ptr<IExtensionUnitChannel> inner, TrafficRecorder recorder)
    : inner_(std::move(inner)), recorder_(std::move(recorder)) {}

Status LoggedExtensionUnit::GetLength(uint32_t selector, uint16_t* length) {
  const uint32_t fired = FiredSoFar(recorder_);
  uint16_t reported = 0;
  const Status status = inner_->GetLength(selector, &reported);
  if (length) *length = reported;
  TrafficEntry entry = Stamped(recorder_, TrafficKind::kGetLength, fired);
  entry.selector = selector;
  entry.length = reported;
  entry.status = status;
  recorder_.log->Add(std::move(entry));
  return status;
}

Status LoggedExtensionUnit::Get(uint32_t selector, uint8_t* data, uint32_t length, uint32_t* returned) {
  const uint32_t fired = FiredSoFar(recorder_);
  uint32_t received = 0;
  const Status status = inner_->Get(selector, data, length, &received);
  if (returned) *returned = received;
  TrafficEntry entry = Stamped(recorder_, TrafficKind::kGet, fired);
  entry.selector = selector;
  entry.length = length;
  entry.status = status;
  entry.returned = received;
  if (data) entry.out.assign(data, data + std::min(received, length));
  recorder_.log->Add(std::move(entry));
  return status;
}

Status LoggedExtensionUnit::Set(uint32_t selector, const uint8_t* data, uint32_t length) {
  const uint32_t fired = FiredSoFar(recorder_);
  // The caller's bytes as they went out, before anything could touch them.
  std::vector<uint8_t> sent;
  if (data) sent.assign(data, data + length);
  const Status status = inner_->Set(selector, data, length);
  TrafficEntry entry = Stamped(recorder_, TrafficKind::kSet, fired);
  entry.in = std::move(sent);
  entry.selector = selector;
  entry.length = length;
  entry.status = status;
  recorder_.log->Add(std::move(entry));
  return status;
}

LoggedVendorRequests::LoggedVendorRequests(std::shared_ptr<IVendorRequestChannel> inner, TrafficRecorder recorder)
    : inner_(std::move(inner)), recorder_(std::move(recorder)) {}

uint32_t LoggedVendorRequests::Send(const VendorRequestSetup& setup, uint8_t* data, uint32_t* transferred) {
  const uint32_t fired = FiredSoFar(recorder_);
  std::vector<uint8_t> sent;
  if (data && !setup.toHost) sent.assign(data, data + setup.wLength);
  uint32_t moved = 0;
  const uint32_t result = inner_->Send(setup, data, &moved);
  if (transferred) *transferred = moved;
  TrafficEntry entry = Stamped(recorder_, TrafficKind::kVendorRequest, fired);
  entry.setup = setup;
  entry.length = setup.wLength;
  entry.result = result;
  entry.returned = moved;
  entry.in = std::move(sent);
  if (data && setup.toHost) entry.out.assign(data, data + std::min<uint32_t>(moved, setup.wLength));
  recorder_.log->Add(std::move(entry));
  return result;
}

}  // namespace platform
