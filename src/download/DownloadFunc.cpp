// The download run, the chip erase and the camera reset, and what they share:
// opening the camera, switching it to download mode, probing the
// download-mode path and reopening the camera after a reset.

#include "download/DownloadFunc.h"

#include <algorithm>

#include "device/Device.h"
#include "download/DownloadMessages.h"
#include "download/DownloadMode.h"
#include "download/TransferLength.h"
#include "platform/Platform.h"
#include "ui/ZarnetDlg.h"

namespace {

const uint8_t kNeedsDownloadMode = 0x11;

}  // namespace

intptr_t CDownloadFunc::Send(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  if (message == WM_DL_FINISHED) m_keyHandedToDialog = true;
  return m_pDlg->m_hWnd->Send(message, wParam, lParam);
}

// The text travels with the message and the dialog stores it on its own
// thread: once a procedure has cleared the busy flag, a device change may
// have the dialog write the status itself while the run still reports.
void CDownloadFunc::SetStatus(const char* text) { Send(WM_DL_STATUS, 0, reinterpret_cast<intptr_t>(text)); }

void CDownloadFunc::CloseDialogCamera() {
  if (m_pDlg->m_cameraKey != 0) CloseCamera(m_pDlg->m_cameraKey);
  m_pDlg->m_cameraKey = 0;
}

bool CDownloadFunc::OpenFirstCamera() {
  int32_t index = 0;
  m_pDlg->m_cameraKey = OpenCamera(&index);
  return m_pDlg->m_cameraKey != 0;
}

// A camera whose firmware information starts with 0x11 runs code that must
// first be brought into download mode; it leaves the bus and comes back.
bool CDownloadFunc::SwitchToDownloadModeIfAsked(uint16_t parameter, uint32_t pauseMs) {
  FirmwareInfoRecord info{};
  // A failed read leaves the record zero: the camera is written without the switch.
  ReadFirmwareInfo(m_pDlg->m_cameraKey, &info);
  if (info[0] != kNeedsDownloadMode) return true;
  if (!ResetToDownloadMode(m_pDlg->m_cameraKey, parameter)) {
    m_strReason = kReasonDownloadMode;
    return false;
  }
  m_inDownloadMode = true;
  SetStatus("Wait device to reset");
  CloseDialogCamera();
  platform::Sleep(pauseMs);
  for (int attempt = 0; attempt < kReopenAttempts; ++attempt) {
    platform::Sleep(kReopenAttemptWaitMs);
    if (OpenFirstCamera()) return true;
  }
  m_strReason = kReasonReopen;
  return false;
}

bool CDownloadFunc::RestartForTransferLength(platform::Handle* handle) {
  CZarnetDlg& dlg = *m_pDlg;
  const uint8_t transfer = TransferLengthWorthARestart(dlg.m_cameraKey, dlg.m_memClass, dlg.m_firmwareLength);
  if (transfer == 0) return true;
  // The handle belongs to this appearance of the camera, which ends now.
  if (*handle != platform::kInvalidHandle) ReleaseDeviceHandle(handle, dlg.m_cameraKey);
  // The camera comes back in the mode it is in; one that refuses to restart
  // is written as it is, in 8-byte transfers.
  const int restarted = m_inDownloadMode ? ResetToDownloadMode(dlg.m_cameraKey, dlg.m_memClass == 8 ? 1 : 0)
                                         : ResetDevice(dlg.m_cameraKey);
  if (!restarted) return true;
  SetStatus("Wait device to reset");
  CloseDialogCamera();
  platform::Sleep(kReopenWaitMs);
  if (!ReopenIdentifiedCamera(transfer)) {
    m_strReason = kReasonReopen;
    return false;
  }
  // The byte does not outlive the restart.
  SetByteA7IfNeeded();
  return true;
}

void CDownloadFunc::SetByteA7IfNeeded() {
  const int memClass = m_pDlg->m_memClass;
  if (m_pDlg->m_fwType == 4 && (memClass == 5 || memClass == 6)) SetByteA7(m_pDlg->m_cameraKey, 1);
}

bool CDownloadFunc::ProbeDownloadPath(platform::Handle* handle) {
  if (!GetDeviceHandle(m_pDlg->m_cameraKey, handle)) return false;
  uint8_t answer = 0;
  return ProbeDevice(*handle, &answer) == 0;
}

// After a reset the camera comes back, possibly at another position: each
// attempt opens the positions one after another until one is identified or
// none opens.
bool CDownloadFunc::ReopenIdentifiedCamera(uint8_t dataLength) {
  for (int attempt = 0; attempt < kReopenAttempts; ++attempt) {
    platform::Sleep(kReopenAttemptWaitMs);
    int32_t position = 0;
    while (true) {
      CloseDialogCamera();
      m_pDlg->m_cameraKey = OpenCamera(&position, dataLength);
      if (m_pDlg->m_cameraKey == 0) break;
      if (IsIdentifiedCamera(m_pDlg->m_cameraKey)) return true;
      position += 1;
    }
  }
  return false;
}

void CDownloadFunc::FailRun(platform::Handle* handle) {
  m_bSuccess = 0;
  // Once the dialog holds the key, the handle is from a camera the procedure
  // has closed; its number may since belong to the dialog's camera.
  if (*handle != platform::kInvalidHandle && !m_keyHandedToDialog) ReleaseDeviceHandle(handle, m_pDlg->m_cameraKey);
  LeaveCameraToDialog();
  SetStatus("FAIL");
  m_pDlg->m_bBusy = 0;
  Send(WM_DL_FAIL);
}

void CDownloadFunc::Download() {
  CZarnetDlg& dlg = *m_pDlg;
  const uint32_t length = dlg.m_firmwareLength;
  platform::Handle handle = platform::kInvalidHandle;
  m_bSuccess = 0;
  m_keyHandedToDialog = false;
  m_inDownloadMode = false;
  CloseDialogCamera();
  if (!OpenFirstCamera()) {
    m_strReason = kReasonNoCamera;
    return FailRun(&handle);
  }
  if (!SwitchToDownloadModeIfAsked(dlg.m_memClass == 8 ? 1 : 0, kReopenWaitMs)) return FailRun(&handle);
  SetByteA7IfNeeded();

  uint32_t range = 0;
  if (ProbeDownloadPath(&handle) && dlg.m_memClass == 8) {
    range = (dlg.m_fwType == 4 ? length * 2 : length) + length;
    Send(WM_DL_RANGE, range);
    DownloadSerialFlash(HasSmallTransferFlash(dlg.m_cameraKey) ? 32 : 4096);
  } else {
    range = (dlg.m_memClass == 5 || dlg.m_memClass == 6 ? 0 : length) + length + length;
    Send(WM_DL_RANGE, range);
    if (!RestartForTransferLength(&handle)) return FailRun(&handle);
    DownloadMemory();
  }
  Send(WM_DL_PROGRESS, range);
  if (m_bSuccess != 1) return FailRun(&handle);
  Send(WM_DL_PASS);
  LeaveCameraToDialog();
}

// Closing the camera the dialog identified after the procedure, as the run
// once did, left Start and Get Version disabled with a working camera
// present until it was plugged in again. A camera the run still holds stays
// open only while it answers the identity check.
void CDownloadFunc::LeaveCameraToDialog() {
  if (m_keyHandedToDialog) return;
  if (m_pDlg->m_cameraKey != 0 && IsIdentifiedCamera(m_pDlg->m_cameraKey)) return;
  CloseDialogCamera();
}

void CDownloadFunc::EraseChip() {
  CZarnetDlg& dlg = *m_pDlg;
  platform::Handle handle = platform::kInvalidHandle;
  m_bSuccess = 0;
  CloseDialogCamera();
  bool erased = false;
  if (!OpenFirstCamera()) {
    m_strReason = kReasonNoCamera;
  } else if (SwitchToDownloadModeIfAsked(1, kEraseChipReopenWaitMs)) {
    SetByteA7IfNeeded();
    if (SerialFlashUnprotect(dlg.m_cameraKey)) {
      SetStatus("Erase Chip ...");
      if (ProbeDownloadPath(&handle) && dlg.m_memClass == 8) {
        erased = EraseFlash(handle) == 0;
      } else {
        FlashInfo info{};
        erased = ReadFlashInfo(dlg.m_cameraKey, &info) && SPI_SF_ChipErase(dlg.m_cameraKey);
      }
    }
  }
  m_bSuccess = erased ? 1 : 0;
  if (erased) {
    SerialFlashProtect(dlg.m_cameraKey);
    Send(WM_DL_PASS);
  }
  if (handle != platform::kInvalidHandle) ReleaseDeviceHandle(&handle, dlg.m_cameraKey);
  CloseDialogCamera();
  SetStatus(erased ? "Erase Chip Finished\n" : "Erase Chip Failed\n");
  dlg.m_bBusy = 0;
  Send(erased ? WM_DL_PASS : WM_DL_FAIL);
  Send(WM_DL_FINISHED);
}

void CDownloadFunc::ResetCamera() {
  CZarnetDlg& dlg = *m_pDlg;
  m_bSuccess = 0;
  CloseDialogCamera();
  if (!OpenFirstCamera()) {
    m_strReason = kReasonNoCamera;
    dlg.m_bBusy = 0;
    Send(WM_DL_FAIL);
    return;
  }
  const int reset = ResetDevice(dlg.m_cameraKey);
  CloseDialogCamera();
  dlg.m_bBusy = 0;
  Send(reset ? WM_DL_PASS : WM_DL_FAIL);
}
