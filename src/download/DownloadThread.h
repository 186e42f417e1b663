#pragma once
// The download thread: one worker with its own message queue that runs one
// job at a time for the dialog.

#include "download/DownloadFunc.h"
#include "platform/MessageThread.h"

class CDownloadThread final : public platform::MessageThread, public CDownloadFunc {
 public:
  CDownloadThread() = default;
  ~CDownloadThread() override;

 protected:
  bool InitInstance() override;
  int ExitInstance() override;
  void OnThreadMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override;

 private:
  bool m_comInitialised = false;
};
