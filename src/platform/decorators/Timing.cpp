#include "platform/decorators/Timing.h"

#include <utility>

namespace platform {
namespace {

constexpr uint64_t kSetupStageBytes = 8;

}  // namespace

void TransferPause::Pause(uint64_t micros) {
  uint64_t milliseconds = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    owedMicros_ += micros;
    milliseconds = owedMicros_ / 1000;
    owedMicros_ %= 1000;
  }
  // The clock is called without the lock: a real clock really sleeps.
  if (milliseconds) clock_->Sleep(static_cast<uint32_t>(milliseconds));
}

TimedExtensionUnit::TimedExtensionUnit(std::shared_ptr<IExtensionUnitChannel> inner,
                                       std::shared_ptr<TransferPause> pause, TransferTiming timing)
    : inner_(std::move(inner)), pause_(std::move(pause)), timing_(timing) {}

Status TimedExtensionUnit::GetLength(uint32_t selector, uint16_t* length) {
  const Status status = inner_->GetLength(selector, length);
  pause_->Pause(timing_.controlTransferMicros);
  return status;
}

Status TimedExtensionUnit::Get(uint32_t selector, uint8_t* data, uint32_t length, uint32_t* returned) {
  const Status status = inner_->Get(selector, data, length, returned);
  pause_->Pause(timing_.controlTransferMicros);
  return status;
}

Status TimedExtensionUnit::Set(uint32_t selector, const uint8_t* data, uint32_t length) {
  const Status status = inner_->Set(selector, data, length);
  pause_->Pause(timing_.controlTransferMicros);
  return status;
}

TimedVendorRequests::TimedVendorRequests(std::shared_ptr<IVendorRequestChannel> inner,
                                         std::shared_ptr<TransferPause> pause, TransferTiming timing)
    : inner_(std::move(inner)), pause_(std::move(pause)), timing_(timing) {}

uint32_t TimedVendorRequests::Send(const VendorRequestSetup& setup, uint8_t* data, uint32_t* transferred) {
  const uint32_t result = inner_->Send(setup, data, transferred);
  const uint64_t bytes = kSetupStageBytes + setup.wLength;
  pause_->Pause(timing_.vendorRequestMicros + bytes * timing_.vendorRequestNanosPerByte / 1000);
  return result;
}

}  // namespace platform
