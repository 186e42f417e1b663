// The dialog in its native window over the real Windows backend: the test
// camera registered as a video-input device, found through DirectShow and
// written through IKsControl, ends in a green Pass.

#include <windows.h>

#include <gtest/gtest.h>

#include "Pictures.h"
#include "Win32DialogHarness.h"
#include "win32/RegisteredCamera.h"

namespace {

// The registration ends after the dialog and the device state it left.
struct DialogOverDirectShow {
  DialogOverDirectShow() : cam(h.world.AddCamera()), camera(h.world, cam) {
    platform::Platform p = camera.Platform();
    p.files = &h.files;
    h.inForce.reset();
    h.inForce.emplace(p);
  }
  ~DialogOverDirectShow() {
    h.Close();
    ResetDeviceState();
  }

  Win32DialogHarness h;
  substitute::DeviceId cam;
  RegisteredCamera camera;
};

TEST(DirectShowDialog, ShowsTheRegisteredCameraAndADownloadPassesInGreen) {
  DialogOverDirectShow s;
  ASSERT_TRUE(s.camera.Registered());
  const auto image = SampleFor(8, 3, 10000);
  s.h.WriteImage("fw.bin", image);
  s.h.Open();
  ASSERT_EQ(s.h.Text(IDC_STATUS), "Corvex Camera Connected");
  ASSERT_TRUE(s.h.Enabled(IDC_BTN_START));

  s.h.Click(IDC_BTN_START);
  ASSERT_TRUE(s.h.WaitForWorker());
  EXPECT_EQ(s.h.Text(IDC_RESULT), "Pass");
  EXPECT_EQ(s.h.AnsweredTextColour(IDC_RESULT), RGB(0, 255, 0));
  EXPECT_EQ(s.h.Text(IDC_STATUS), "Corvex Camera Connected");
  const auto memory = s.h.world.Memory(s.cam);
  EXPECT_TRUE(std::equal(image.begin(), image.end(), memory.begin()));
  EXPECT_TRUE(SaveScreenshot(Capture(s.h.Dialog()), "passed-directshow"));
}

}  // namespace
