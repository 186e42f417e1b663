#include "ui/ZarnetApp.h"

#include "device/Device.h"
#include "ui/ZarnetDlg.h"

int CZarnetApp::InitInstance(platform::IDialogView& view, platform::IWindow& window,
                             const std::function<void(CZarnetDlg&)>& runModal) {
  // The window system's common controls and the settings key need nothing
  // here: no setting is ever stored.
  CZarnetDlg dlg(view, window);
  g_pMainDlg = &dlg;
  SetProgressFunction(ProgressCallback);
  dlg.OnInitDialog();
  runModal(dlg);
  dlg.OnDestroy();
  SetProgressFunction(nullptr);
  g_pMainDlg = nullptr;
  return 0;
}
