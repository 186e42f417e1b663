// Writing a 64 KiB serial flash over the download-mode path: erase, chunked
// write, read-back compare, reset into the new code, and wait for the camera.

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "device/Device.h"
#include "download/DownloadFunc.h"
#include "download/DownloadMessages.h"
#include "download/DownloadMode.h"
#include "platform/Platform.h"
#include "ui/ZarnetDlg.h"

namespace {

std::string Format(const char* pattern, uint32_t a, uint32_t b = 0) {
  char text[96];
  std::snprintf(text, sizeof text, pattern, a, b);
  return text;
}

// Firmware type 4 writes the image a second time, all but its first 32 bytes.
constexpr uint32_t kSecondPassSkip = 32;

}  // namespace

// Writes image bytes [start, L) in chunks at the same flash addresses, then
// the remainder, which may be empty.
bool CDownloadFunc::WritePass(platform::Handle handle, uint32_t start, uint32_t chunk, uint32_t* progress) {
  const uint8_t* image = m_pDlg->m_pFirmware.get();
  const uint32_t length = m_pDlg->m_firmwareLength - start;
  const uint32_t whole = length / chunk;
  for (uint32_t i = 0; i <= whole; ++i) {
    const uint32_t offset = start + i * chunk;
    const uint32_t count = i < whole ? chunk : length - whole * chunk;
    SetStatus(Format("Writing firmware ... 0x%0X", offset));
    const uint32_t result = WriteFlash(handle, static_cast<uint16_t>(offset), count, image + offset);
    if (result != 0) {
      m_strReason = Format("SetData error[0x%X] : %x", offset, result);
      return false;
    }
    *progress += count;
    Send(WM_DL_PROGRESS, *progress);
  }
  return true;
}

bool CDownloadFunc::VerifyPass(platform::Handle handle, uint32_t chunk, uint8_t* readBack, uint32_t* progress) {
  const uint8_t* image = m_pDlg->m_pFirmware.get();
  const uint32_t length = m_pDlg->m_firmwareLength;
  const uint32_t whole = length / chunk;
  for (uint32_t i = 0; i <= whole; ++i) {
    const uint32_t offset = i * chunk;
    const uint32_t count = i < whole ? chunk : length - whole * chunk;
    SetStatus(Format("Verify firmware ... 0x%0X", offset));
    const uint32_t result = ReadFlash(handle, static_cast<uint16_t>(offset), count, readBack);
    if (result != 0) {
      m_strReason = Format("GetData error[0x%X] : %x", offset, result);
      return false;
    }
    if (std::memcmp(readBack, image + offset, count) != 0) {
      m_strReason = "Failed to downlaod flash , verify failed!";
      return false;
    }
    *progress += count;
    Send(WM_DL_PROGRESS, *progress);
  }
  return true;
}

void CDownloadFunc::DownloadSerialFlash(uint32_t chunkSize) {
  CZarnetDlg& dlg = *m_pDlg;
  std::vector<uint8_t> readBack(chunkSize);
  platform::Handle handle = platform::kInvalidHandle;
  uint32_t progress = 0;
  const bool secondPass = dlg.m_fwType == 4 && dlg.m_firmwareLength >= kSecondPassSkip;

  bool ok = dlg.m_cameraKey != 0 && GetDeviceHandle(dlg.m_cameraKey, &handle) && SerialFlashUnprotect(dlg.m_cameraKey);
  if (ok && EraseFlash(handle) != 0) {
    m_strReason = "Failed to erase serial flash : ";
    ok = false;
  }
  ok = ok && WritePass(handle, 0, chunkSize, &progress);
  ok = ok && (!secondPass || WritePass(handle, kSecondPassSkip, chunkSize, &progress));
  ok = ok && VerifyPass(handle, chunkSize, readBack.data(), &progress);
  FinishSerialFlash(&handle, ok);
}

void CDownloadFunc::FinishSerialFlash(platform::Handle* handle, bool passed) {
  CZarnetDlg& dlg = *m_pDlg;
  if (passed) {
    SerialFlashProtect(dlg.m_cameraKey);
    SetStatus("Reset to updated code ...");
    if (ResetToUpdatedCode(*handle) != 0) {
      m_strReason = "Failed to reset : ";
      passed = false;
    } else {
      CameraRestarted();
    }
  }
  if (passed) {
    ReleaseDeviceHandle(handle, dlg.m_cameraKey);
    *handle = platform::kInvalidHandle;
    CloseDialogCamera();
    platform::Sleep(kReopenWaitMs);
    Send(WM_DL_PROGRESS, uintptr_t{dlg.m_firmwareLength} * (dlg.m_fwType == 4 ? 3u : 2u));
    if (ReopenIdentifiedCamera()) {
      m_bSuccess = 1;
      SetStatus("Firmware update finished");
      m_bSuccess = 1;
      SetStatus("PASS");
      dlg.m_bBusy = 0;
      Send(WM_DL_FINISHED);
      return;
    }
    m_bSuccess = 0;
    SetStatus("Reopen Camera Failed");
    m_strReason = kReasonReopen;
  }
  // Every failure ends here: the flash is protected again and the camera closed.
  SerialFlashProtect(dlg.m_cameraKey);
  m_bSuccess = 0;
  if (*handle != platform::kInvalidHandle) ReleaseDeviceHandle(handle, dlg.m_cameraKey);
  CloseDialogCamera();
  SetStatus("FAIL");
  dlg.m_bBusy = 0;
  Send(WM_DL_FINISHED);
}
