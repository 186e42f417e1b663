// Writing any memory class over the extension unit alone: protection off,
// erase, blank check, write, verify, protection back, reset and reopen.

#include <vector>

#include "device/Device.h"
#include "download/DownloadFunc.h"
#include "download/DownloadMessages.h"
#include "download/TransferLength.h"
#include "platform/Platform.h"
#include "ui/ZarnetDlg.h"

namespace {

constexpr uint8_t kPowerUpTransfer = kDefaultDataControlLength;

bool SkipsBlankCheck(int memClass) { return memClass == 5 || memClass == 6; }

}  // namespace

void CDownloadFunc::DownloadMemory() {
  CZarnetDlg& dlg = *m_pDlg;
  const uint32_t key = dlg.m_cameraKey;
  const int memClass = dlg.m_memClass;
  const uint32_t length = dlg.m_firmwareLength;

  SetStatus("Erase Chip ...");
  m_protectionLifted = false;
  if (!DisableWriteProtect(key, memClass)) {
    m_strReason = "disable write protect failed\r\n";
    return FinishMemory(false);
  }
  m_protectionLifted = true;
  // A failed erase shows in the blank check (classes 5 and 6 have none).
  EraseMemory(key, memClass, static_cast<uint16_t>(length));

  // Forced to 8 bytes, the passes keep the length in force: 8, unless the
  // driver holds the camera at a longer one, which then is the only one.
  if (!EightByteTransfersForced()) {
    uint8_t transfer = PassTransferLength(key, memClass);
    SetDataLength(&transfer, key);
  }
  dlg.m_passIndex = 0;

  if (!SkipsBlankCheck(memClass)) {
    SetStatus("Check empty ...");
    const std::vector<uint8_t> blank(length, 0xFF);
    if (!VerifyMemoryImage(key, memClass, blank.data(), length)) {
      m_strReason = "verify empty failed\r\n";
      return FinishMemory(false);
    }
    dlg.m_passIndex += 1;
  }
  SetStatus("Writing ...");
  if (!WriteMemoryImage(key, memClass, dlg.m_pFirmware.get(), length)) {
    m_strReason = "write firmware failed\r\n";
    return FinishMemory(false);
  }
  dlg.m_passIndex += 1;
  SetStatus("Verifying ...");
  if (!VerifyMemoryImage(key, memClass, dlg.m_pFirmware.get(), length)) {
    m_strReason = "verify firmware failed\r\n";
    return FinishMemory(false);
  }
  dlg.m_passIndex += 1;
  // A driver that holds the data control at the longer length would refuse
  // the camera's 8 bytes until the reset below brings both back there: the
  // protection is written at the length in force.
  if (!LengthHeldUntilRestart(key)) {
    uint8_t powerUp = kPowerUpTransfer;
    SetDataLength(&powerUp, key);
  }
  if (!RestoreWriteProtect(key, memClass)) return FinishMemory(false);
  FinishMemory(ResetAndReopenMemory());
}

bool CDownloadFunc::ResetAndReopenMemory() {
  CZarnetDlg& dlg = *m_pDlg;
  SetStatus("Reset to updated code ...");
  if (!ResetDevice(dlg.m_cameraKey)) {
    m_strReason = "reset to rom failed\r\n";
    return false;
  }
  CloseDialogCamera();
  platform::Sleep(kReopenWaitMs);
  if (!ReopenIdentifiedCamera()) {
    SetStatus("Reopen Camera Failed");
    m_strReason = kReasonReopen;
    return false;
  }
  m_bSuccess = 1;
  SetStatus("Firmware update finished");
  return true;
}

void CDownloadFunc::FinishMemory(bool passed) {
  CZarnetDlg& dlg = *m_pDlg;
  if (passed) {
    m_bSuccess = 1;
    SetStatus("PASS");
  } else {
    // The memory stays as far as the procedure got, but protected again and
    // with the transfers back at their power-up length.
    SerialFlashProtect(dlg.m_cameraKey);
    // The EEPROMs' protection lies in registers of their own, which the
    // flash's protection does not put back: an EEPROM camera refuses the
    // flash's status write before it gets to them, and where it takes it,
    // it leaves the EEPROMs' register cleared. Their values from before the
    // download go back.
    if (m_protectionLifted && dlg.m_memClass != 7 && dlg.m_memClass != 8)
      RestoreWriteProtect(dlg.m_cameraKey, dlg.m_memClass);
    uint8_t powerUp = kPowerUpTransfer;
    // A camera that left the bus comes back at its power-up length, and the
    // host must follow it; one that stayed and refused the change keeps its
    // length, and so must the host, or every later transfer would fail.
    if (!SetDataLength(&powerUp, dlg.m_cameraKey) && !IsSameCameraPresent(dlg.m_cameraKey)) CameraRestarted();
    CloseDialogCamera();
    m_bSuccess = 0;
    SetStatus("FAIL");
  }
  dlg.m_bBusy = 0;
  Send(WM_DL_FINISHED);
}
