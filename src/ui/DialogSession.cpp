#include "ui/DialogSession.h"

#include "device/Device.h"
#include "ui/ZarnetDlg.h"

DialogSession::DialogSession(CZarnetDlg& dlg, bool takeDefaultFirmware) : m_dlg(dlg) {
  g_pMainDlg = &m_dlg;
  SetProgressFunction(ProgressCallback);
  m_dlg.OnInitDialog(takeDefaultFirmware);
}

DialogSession::~DialogSession() {
  m_dlg.OnDestroy();
  SetProgressFunction(nullptr);
  g_pMainDlg = nullptr;
}
