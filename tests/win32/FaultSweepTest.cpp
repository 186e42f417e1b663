// The fault sweep over the Windows camera backend: the decorators stacked
// over the channels DirectShow's filter and the device file give, each access
// failing in turn while the registered test camera is flashed. The file's
// driver knows no download-mode code, so every procedure goes over the
// extension unit.

#include <gtest/gtest.h>

#include "support/FaultSweep.h"
#include "win32/RegisteredCamera.h"

namespace {

// Torn down in the order the registration needs: the dialog and the device
// state before the camera's registration ends.
struct SweptWindowsCamera {
  explicit SweptWindowsCamera(const Sweep& s)
      : cam(h.world.AddCamera(SweptCamera(s))), camera(h.world, cam), over(camera.Backend(), h.world, cam) {
    platform::Platform p = over.Over(camera.Platform());
    p.files = &h.files;
    h.inForce.reset();
    h.inForce.emplace(p);
  }
  ~SweptWindowsCamera() {
    h.Close();
    ResetDeviceState();
    h.inForce.reset();
  }

  DialogHarness h;
  substitute::DeviceId cam;
  RegisteredCamera camera;
  FaultsOverBackend over;
};

class WindowsFaultSweep : public ::testing::TestWithParam<Sweep> {};

TEST_P(WindowsFaultSweep, EveryAccessFailingInTurnEndsCleanly) {
  SweptWindowsCamera c(GetParam());
  ASSERT_TRUE(c.camera.Registered());
  RunFaultSweep(c.h, c.cam, GetParam(), SweepFaults::Of(*c.over.faults));
}

INSTANTIATE_TEST_SUITE_P(Procedures, WindowsFaultSweep, SweptProcedures(), SweepName);

}  // namespace
