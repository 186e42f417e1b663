#include "frontends/qt/programs/WindowProgram.h"

#include "frontends/qt/QtDialogView.h"
#include "frontends/qt/QtWindow.h"
#include "ui/ZarnetApp.h"
#include "ui/ZarnetDlg.h"

int RunZarnetWindow() {
  platform::QtWindow window;
  platform::QtDialogView view(window);
  CZarnetApp app;
  return app.InitInstance(view, window, [&view](CZarnetDlg&) { view.RunModal(); });
}
