#include "platform/substitute/CameraMemory.h"

#include <algorithm>

#include "platform/substitute/CameraProtocol.h"

namespace substitute {
namespace {

constexpr uint32_t kFlashSectorSize = 4096;

// Stands for the image a camera leaves the factory with: anything but blank,
// so that a host that forgets to erase sees it.
std::vector<uint8_t> OldImage(uint32_t size) {
  std::vector<uint8_t> bytes(size);
  for (uint32_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>((i * 7 + 3) ^ (i >> 8));
  return bytes;
}

}  // namespace

CameraMemory::CameraMemory(const SubstituteCameraConfig& config)
    : class_(config.memoryClass), status_(config.flashStatus) {
  const uint32_t size = config.memorySize ? config.memorySize : DefaultMemorySize(config.memoryClass);
  bytes_ = OldImage(size);
  Overwrite(0, config.initialMemory);
}

std::vector<uint8_t> CameraMemory::Read(uint32_t address, uint32_t length) const {
  if (!Fits(address, length)) return {};
  return std::vector<uint8_t>(bytes_.begin() + address, bytes_.begin() + address + length);
}

void CameraMemory::Program(uint32_t address, const uint8_t* data, uint32_t length) {
  if (!Fits(address, length)) return;
  for (uint32_t i = 0; i < length; ++i) {
    uint8_t& cell = bytes_[address + i];
    cell = IsSerialFlash() ? static_cast<uint8_t>(cell & data[i]) : data[i];
  }
}

void CameraMemory::Erase(uint32_t address, uint32_t length) {
  uint64_t first = address;
  uint64_t end = static_cast<uint64_t>(address) + length;
  if (IsSerialFlash()) {
    first -= first % kFlashSectorSize;
    end = (end + kFlashSectorSize - 1) / kFlashSectorSize * kFlashSectorSize;
  }
  end = std::min<uint64_t>(end, bytes_.size());
  if (first >= end) return;
  std::fill(bytes_.begin() + static_cast<ptrdiff_t>(first), bytes_.begin() + static_cast<ptrdiff_t>(end), 0xFF);
}

void CameraMemory::Overwrite(uint32_t address, const std::vector<uint8_t>& bytes) {
  if (address >= bytes_.size()) return;
  const size_t count = std::min(bytes.size(), bytes_.size() - address);
  std::copy_n(bytes.begin(), count, bytes_.begin() + address);
}

uint8_t CameraMemory::ReadStatus() {
  if (pendingStatus_) return static_cast<uint8_t>(status_ | kFlashBusy);
  if (busyReads_ == 0) return status_;
  --busyReads_;
  return static_cast<uint8_t>(status_ | kFlashBusy);
}

void CameraMemory::Settle(uint64_t nowMs) {
  if (!pendingStatus_ || nowMs < pendingStatus_->doneAtMs) return;
  WriteStatus(pendingStatus_->value);
  pendingStatus_.reset();
}

void CameraMemory::WriteStatus(uint8_t value) {
  // Busy and the write-enable latch are the flash's own; only the rest is kept.
  status_ = static_cast<uint8_t>(value & ~(kFlashBusy | kFlashWriteEnableLatch));
}

bool CameraMemory::ProtectBitsSet() const { return (status_ & kFlashProtectBits) != 0; }

bool CameraMemory::StatusWriteLocked() const { return (status_ & kFlashStatusWriteDisable) != 0; }

}  // namespace substitute
