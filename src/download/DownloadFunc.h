#pragma once
// The download jobs that run on the download thread: the download run with
// its two procedures, the chip erase and the camera reset. They read their
// inputs from the dialog, write its status and report with synchronous
// window messages.

#include <cstdint>
#include <string>

#include "platform/Types.h"

class CZarnetDlg;

class CDownloadFunc {
 public:
  static constexpr uint32_t kReopenWaitMs = 3500;
  static constexpr uint32_t kEraseChipReopenWaitMs = 2500;
  static constexpr uint32_t kReopenAttemptWaitMs = 500;
  static constexpr int kReopenAttempts = 60;

  // Reasons kept in m_strReason; the dialog does not show them.
  static constexpr char kReasonNoCamera[] = "Cannot find corvex camera\r\n";
  static constexpr char kReasonDownloadMode[] = "reset to download mode failed\r\n";
  static constexpr char kReasonReopen[] = "reopen camera failed\r\n";

  int m_bSuccess = 0;
  std::string m_strReason;
  CZarnetDlg* m_pDlg = nullptr;

  void Download();
  void EraseChip();
  void ResetCamera();
  void DownloadSerialFlash(uint32_t chunkSize);
  void DownloadMemory();

 private:
  // Reporting to the dialog.
  intptr_t Send(uint32_t message, uintptr_t wParam = 0, intptr_t lParam = 0);
  void SetStatus(const char* text);
  void SetStatus(const std::string& text) { SetStatus(text.c_str()); }

  // Camera handling shared by the jobs.
  void CloseDialogCamera();
  bool OpenFirstCamera();
  bool SwitchToDownloadModeIfAsked(uint16_t parameter, uint32_t pauseMs);
  // Where the driver holds the data control at its first size, restarts the
  // camera so that the passes get their longer transfers (TransferLength.h);
  // false only when the camera did not come back.
  bool RestartForTransferLength(platform::Handle* handle);
  // With `dataLength`, each camera is asked for that data-control length
  // before it is identified (OpenCamera).
  bool ReopenIdentifiedCamera(uint8_t dataLength = 0);
  bool ProbeDownloadPath(platform::Handle* handle);
  void SetByteA7IfNeeded();

  // The download run's ending after a failure.
  void FailRun(platform::Handle* handle);
  // The camera the run leaves to the dialog: none, unless it still answers.
  void LeaveCameraToDialog();

  // Serial-flash passes; false at the first failing request.
  bool WritePass(platform::Handle handle, uint32_t start, uint32_t chunk, uint32_t* progress);
  bool VerifyPass(platform::Handle handle, uint32_t chunk, uint8_t* readBack, uint32_t* progress);
  void FinishSerialFlash(platform::Handle* handle, bool passed);
  void FinishMemory(bool passed);
  bool ResetAndReopenMemory();

  // Set once a procedure has told the dialog it finished: the dialog has
  // identified the camera anew, and the key is the dialog's from then on.
  bool m_keyHandedToDialog = false;
  // Set when the run switched the camera to download mode: a restart then
  // puts it back there.
  bool m_inDownloadMode = false;
  // Set once the memory-class procedure has lifted the memory's protection.
  bool m_protectionLifted = false;
};
