#include "ui/ZarnetApp.h"

#include "ui/DialogSession.h"
#include "ui/ZarnetDlg.h"

int CZarnetApp::InitInstance(platform::IDialogView& view, platform::IWindow& window,
                             const std::function<void(CZarnetDlg&)>& runModal, bool takeDefaultFirmware) {
  // The window system's common controls and the settings key need nothing
  // here: no setting is ever stored.
  CZarnetDlg dlg(view, window);
  DialogSession session(dlg, takeDefaultFirmware);
  runModal(dlg);
  return 0;
}
