#pragma once
// The application object: runs the main dialog until it ends.

#include <functional>

#include "platform/DialogView.h"
#include "platform/Window.h"

class CZarnetDlg;

class CZarnetApp {
 public:
  // Builds the dialog on `view` and `window`, makes it the dialog that
  // progress reports go to, initialises it, lets `runModal` serve it until
  // it has ended, then destroys it. Returns 0 so that the program ends.
  // Without the default firmware, `runModal` chooses the image itself.
  int InitInstance(platform::IDialogView& view, platform::IWindow& window,
                   const std::function<void(CZarnetDlg&)>& runModal, bool takeDefaultFirmware = true);
};
