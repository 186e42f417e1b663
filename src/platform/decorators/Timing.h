#pragma once
// The time USB traffic takes, for a camera that must behave like hardware in
// real time: every transfer pauses the caller through the clock seam.

#include <cstdint>
#include <memory>
#include <mutex>
#include <utility>

#include "platform/Clock.h"
#include "platform/ExtensionUnitChannel.h"
#include "platform/VendorRequestChannel.h"

namespace platform {

struct TransferTiming {
  uint32_t controlTransferMicros = 1000;
  uint32_t vendorRequestMicros = 1000;
  uint32_t vendorRequestNanosPerByte = 1000;  // setup and data stage bytes
};

// Pauses on the clock in whole milliseconds and carries what is left over to
// the next pause, so that many short transfers add up to the right time.
class TransferPause {
 public:
  explicit TransferPause(std::shared_ptr<IClock> clock) : clock_(std::move(clock)) {}
  void Pause(uint64_t micros);

 private:
  std::shared_ptr<IClock> clock_;
  std::mutex mutex_;
  uint64_t owedMicros_ = 0;
};

class TimedExtensionUnit final : public IExtensionUnitChannel {
 public:
  TimedExtensionUnit(std::shared_ptr<IExtensionUnitChannel> inner, std::shared_ptr<TransferPause> pause,
                     TransferTiming timing);
  Status GetLength(uint32_t selector, uint16_t* length) override;
  Status Get(uint32_t selector, uint8_t* data, uint32_t length, uint32_t* returned) override;
  Status Set(uint32_t selector, const uint8_t* data, uint32_t length) override;
  bool FixesSizeAtFirstUse() const override { return inner_->FixesSizeAtFirstUse(); }

 private:
  std::shared_ptr<IExtensionUnitChannel> inner_;
  std::shared_ptr<TransferPause> pause_;
  TransferTiming timing_;
};

class TimedVendorRequests final : public IVendorRequestChannel {
 public:
  TimedVendorRequests(std::shared_ptr<IVendorRequestChannel> inner, std::shared_ptr<TransferPause> pause,
                      TransferTiming timing);
  uint32_t Send(const VendorRequestSetup& setup, uint8_t* data, uint32_t* transferred) override;

 private:
  std::shared_ptr<IVendorRequestChannel> inner_;
  std::shared_ptr<TransferPause> pause_;
  TransferTiming timing_;
};

}  // namespace platform
