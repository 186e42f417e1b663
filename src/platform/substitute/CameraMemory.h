#pragma once
// The memory part that holds the camera's program: an EEPROM (classes 1-6)
// that takes bytes as they come, or a serial flash (classes 7 and 8) that can
// only clear bits when programmed and has a status register with a busy bit.
// Whether a write is allowed, and how long the part stays busy, is the
// camera's business; the part only does what it is told.

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/substitute/SubstituteConfig.h"

namespace substitute {

class CameraMemory {
 public:
  explicit CameraMemory(const SubstituteCameraConfig& config);

  uint8_t Class() const { return class_; }
  uint32_t Size() const { return static_cast<uint32_t>(bytes_.size()); }
  bool IsSerialFlash() const { return class_ == 7 || class_ == 8; }
  bool Fits(uint64_t address, uint64_t length) const { return address + length <= bytes_.size(); }

  std::vector<uint8_t> Read(uint32_t address, uint32_t length) const;
  void Program(uint32_t address, const uint8_t* data, uint32_t length);
  // Erases `length` bytes from `address` to 0xFF; a flash erases whole sectors.
  void Erase(uint32_t address, uint32_t length);

  const std::vector<uint8_t>& Bytes() const { return bytes_; }
  void Overwrite(uint32_t address, const std::vector<uint8_t>& bytes);

  // Flash status register. A read shows the busy bit while a status write is
  // under way or busy reads are due, and counts one of those down.
  uint8_t ReadStatus();
  uint8_t StatusRegister() const { return status_; }
  bool Busy() const { return busyReads_ > 0 || pendingStatus_.has_value(); }
  // A status write takes effect at `doneAtMs`; until then the register keeps
  // its value and the part is busy.
  void WriteStatusAt(uint8_t value, uint64_t doneAtMs) { pendingStatus_ = PendingStatus{value, doneAtMs}; }
  // Lets a status write whose time is over take effect.
  void Settle(uint64_t nowMs);
  bool StatusWritePending() const { return pendingStatus_.has_value(); }
  // A reset, or a status write while busy, loses the write under way.
  void DropPendingStatus() { pendingStatus_.reset(); }
  uint32_t BusyReadsLeft() const { return busyReads_; }
  void WriteStatus(uint8_t value);
  bool ProtectBitsSet() const;
  bool StatusWriteLocked() const;
  void StartBusy(uint32_t reads) { busyReads_ = reads; }
  void ClearBusy() { busyReads_ = 0; }

 private:
  uint8_t class_;
  std::vector<uint8_t> bytes_;
  uint8_t status_;
  uint32_t busyReads_ = 0;
  struct PendingStatus {
    uint8_t value;
    uint64_t doneAtMs;
  };
  std::optional<PendingStatus> pendingStatus_;
};

}  // namespace substitute
