#include "download/TransferLength.h"

#include "device/Device.h"
#include "download/DownloadMode.h"

namespace {

constexpr uint8_t kPowerUpTransfer = 8;
constexpr uint8_t kFastTransfer = 64;
constexpr uint8_t kSmallFlashTransfer = 32;

// A restart costs the reopen's 3.5 s pause and the camera's return: about
// as long as 8,192 transfers of 8 bytes, at 0.5 to 1 ms each on a USB 2.0
// host. Only a full serial flash spares clearly more (some 21,500).
constexpr uint64_t kTransfersARestartCosts = 8192;

bool forcedEightBytes = false;

uint64_t TransfersSpared(int memClass, uint32_t length, uint8_t transfer) {
  // Classes 5 and 6 are written and verified; the others are checked blank first.
  const uint64_t passes = memClass == 5 || memClass == 6 ? 2 : 3;
  const uint64_t bytes = passes * length;
  return bytes / kPowerUpTransfer - bytes / transfer;
}

}  // namespace

void ForceEightByteTransfers(bool forced) { forcedEightBytes = forced; }

bool EightByteTransfersForced() { return forcedEightBytes; }

uint8_t PassTransferLength(uint32_t key, int memClass) {
  if (forcedEightBytes) return kPowerUpTransfer;
  return memClass == 8 && HasSmallTransferFlash(key) ? kSmallFlashTransfer : kFastTransfer;
}

uint8_t TransferLengthWorthARestart(uint32_t key, int memClass, uint32_t length) {
  if (forcedEightBytes || !DriverFixesControlSizes(key)) return 0;
  // The cheap test first: what 64 bytes would not spare, 32 does not either,
  // and only then is the flash asked what it takes.
  if (TransfersSpared(memClass, length, kFastTransfer) <= kTransfersARestartCosts) return 0;
  const uint8_t transfer = PassTransferLength(key, memClass);
  const bool worth =
      DataControlLength() != transfer && TransfersSpared(memClass, length, transfer) > kTransfersARestartCosts;
  return worth ? transfer : 0;
}

bool LengthHeldUntilRestart(uint32_t key) {
  return DataControlLength() != kPowerUpTransfer && DriverFixesControlSizes(key);
}
