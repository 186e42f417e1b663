// zarnet: the desktop window on the cameras of this machine. It takes no
// options of its own (the toolkit still reads its own, such as -platform).

#include <QApplication>
#include <memory>

#include "frontends/qt/programs/WindowProgram.h"
#include "platform/Platform.h"
#ifdef ZARNET_HAVE_UDEV
#include "platform/linux/UdevNotifications.h"
#endif

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
#ifdef ZARNET_HAVE_UDEV
  // Cameras that come and go are seen as they do; every other seam stays
  // the host's.
  std::unique_ptr<platform::IDeviceNotifications> notifications = platform::CreateUdevNotifications();
  platform::Platform host;
  host.notifications = notifications.get();
  platform::ScopedPlatform inForce(host);
  return RunZarnetWindow();
#else
  return RunZarnetWindow();
#endif
}
