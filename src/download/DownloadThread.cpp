#include "download/DownloadThread.h"

#include "device/CameraRegistry.h"
#include "download/DownloadMessages.h"
#include "platform/Platform.h"

CDownloadThread::~CDownloadThread() {
  // The owner ends the thread first; this only covers an owner that did not.
  if (IsRunning()) {
    PostToThread(platform::msg::kQuit, 0, 0);
    Join();
  }
}

bool CDownloadThread::InitInstance() {
  // The camera's interfaces are used from this thread.
  m_comInitialised = platform::Current().com->Initialize();
  return true;
}

int CDownloadThread::ExitInstance() {
  ReleaseThisThreadsCameraObjects();
  if (m_comInitialised) platform::Current().com->Uninitialize();
  return MessageThread::ExitInstance();
}

void CDownloadThread::OnThreadMessage(uint32_t message, uintptr_t wParam, intptr_t) {
  // Every job reports to a dialog; a message without one has nothing to do.
  if (wParam == 0 && message != WM_DL_SET_DIALOG) return;
  switch (message) {
    case WM_DL_DOWNLOAD:
      m_pDlg = reinterpret_cast<CZarnetDlg*>(wParam);
      Download();
      break;
    case WM_DL_ERASE_CHIP:
      m_pDlg = reinterpret_cast<CZarnetDlg*>(wParam);
      EraseChip();
      break;
    case WM_DL_RESET_CAMERA:
      m_pDlg = reinterpret_cast<CZarnetDlg*>(wParam);
      ResetCamera();
      break;
    case WM_DL_SET_DIALOG: m_pDlg = reinterpret_cast<CZarnetDlg*>(wParam); break;
    default: break;
  }
  // The capture objects this thread bound are its own and go with the job:
  // the window's thread binds its own when it next works on the camera.
  ReleaseThisThreadsCameraObjects();
}
