#include "platform/Platform.h"

namespace platform {

namespace {
Platform& InForce() {
  static Platform current = Host();
  return current;
}
}  // namespace

Platform& Current() { return InForce(); }

void Install(const Platform& platform) {
  const Platform& host = Host();
  Platform& p = InForce();
  p.capture = platform.capture ? platform.capture : host.capture;
  p.deviceFiles = platform.deviceFiles ? platform.deviceFiles : host.deviceFiles;
  p.files = platform.files ? platform.files : host.files;
  p.clock = platform.clock ? platform.clock : host.clock;
  p.debug = platform.debug ? platform.debug : host.debug;
  p.com = platform.com ? platform.com : host.com;
  p.notifications = platform.notifications ? platform.notifications : host.notifications;
}

void InstallHost() { InForce() = Host(); }

}  // namespace platform
