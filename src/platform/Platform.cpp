#include "platform/Platform.h"

namespace platform {

namespace {
Platform& InForce() {
  static Platform current = Host();
  return current;
}
}  // namespace

Platform& Current() { return InForce(); }

namespace {
template <typename Seam>
void Keep(Seam*& inForce, Seam* given) {
  if (given) inForce = given;
}

template <typename Seam>
void Drop(Seam*& inForce, Seam* leaving, Seam* host) {
  if (leaving && inForce == leaving) inForce = host;
}
}  // namespace

ScopedPlatform::ScopedPlatform(const Platform& seams) : previous_(InForce()) {
  Platform& p = InForce();
  Keep(p.capture, seams.capture);
  Keep(p.deviceFiles, seams.deviceFiles);
  Keep(p.files, seams.files);
  Keep(p.clock, seams.clock);
  Keep(p.debug, seams.debug);
  Keep(p.com, seams.com);
  Keep(p.notifications, seams.notifications);
  Keep(p.deviceFacts, seams.deviceFacts);
}

ScopedPlatform::~ScopedPlatform() { InForce() = previous_; }

void Withdraw(const Platform& seams) {
  const Platform& host = Host();
  Platform& p = InForce();
  Drop(p.capture, seams.capture, host.capture);
  Drop(p.deviceFiles, seams.deviceFiles, host.deviceFiles);
  Drop(p.files, seams.files, host.files);
  Drop(p.clock, seams.clock, host.clock);
  Drop(p.debug, seams.debug, host.debug);
  Drop(p.com, seams.com, host.com);
  Drop(p.notifications, seams.notifications, host.notifications);
  Drop(p.deviceFacts, seams.deviceFacts, host.deviceFacts);
}

}  // namespace platform
