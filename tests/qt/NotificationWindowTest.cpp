// Cameras that come and go reach the window through the device-notification
// seam: the substitute world's sink posts to the Qt window, whose main
// thread identifies the camera again, unless a download runs.

#include <gtest/gtest.h>

#include <algorithm>

#include "QtDialogHarness.h"

namespace {

TEST(NotificationWindow, RemovalAndArrivalWhileIdleReidentify) {
  QtDialogHarness h;
  const auto cam = h.world.AddCamera();
  h.WriteImage("fw.bin", SampleFor(8));
  h.Open();
  ASSERT_TRUE(h.Enabled(IDC_BTN_START));

  h.world.Unplug(cam);
  h.ProcessPending();
  EXPECT_EQ(h.Text(IDC_STATUS), "No Corvex Camera");
  EXPECT_EQ(h.Text(IDC_VERSION), "Ver: N/A");
  EXPECT_FALSE(h.Enabled(IDC_BTN_START));
  EXPECT_FALSE(h.Enabled(IDC_VERSION));

  h.world.Plug(cam);
  h.ProcessPending();
  EXPECT_EQ(h.Text(IDC_STATUS), "Corvex Camera Connected");
  EXPECT_EQ(h.Text(IDC_VERSION), "Ver: 21-0615-0042");
  EXPECT_TRUE(h.Enabled(IDC_BTN_START));
}

TEST(NotificationWindow, GetVersionShowsTheCameraLeavingAndComingBack) {
  QtDialogHarness h;
  const auto cam = h.world.AddCamera();
  h.Open();
  h.statusLines.clear();
  h.Click(IDC_BTN_GET_VERSION);
  EXPECT_EQ(h.Text(IDC_STATUS), "Corvex Camera Connected") << "nothing changes at once";
  h.ProcessPending();
  EXPECT_EQ(h.Text(IDC_STATUS), "No Corvex Camera");
  h.world.Advance(5000);
  h.world.IsPresent(cam);
  h.ProcessPending();
  EXPECT_EQ(h.statusLines, (std::vector<std::string>{"No Corvex Camera", "Corvex Camera Connected"}));
  EXPECT_TRUE(h.Enabled(IDC_BTN_GET_VERSION));
}

TEST(NotificationWindow, ArrivalsAndRemovalsWhileADownloadRunsChangeNothing) {
  QtDialogHarness h;
  h.world.AddCamera();
  const auto webcam = h.world.AddDevice(substitute::PlainWebcam());
  h.WriteImage("fw.bin", SampleFor(8, 3, 10000));
  h.Open();
  bool toggled = false;
  h.onText = [&](int id, const std::string& text) {
    if (toggled || id != IDC_STATUS || text != "Writing firmware ... 0x1000") return;
    toggled = true;
    h.world.Unplug(webcam);
    h.world.Plug(webcam);
    h.ProcessPending();  // the notifications are handled now, while busy
  };
  h.statusLines.clear();
  h.ClickStartAndWait();
  ASSERT_TRUE(toggled);
  const auto connected = std::count(h.statusLines.begin(), h.statusLines.end(), "Corvex Camera Connected");
  EXPECT_EQ(connected, 1) << "only the identification the download asks for at its end";
  EXPECT_EQ(h.statusLines.back(), "Corvex Camera Connected");
  EXPECT_EQ(h.Text(IDC_RESULT), "Pass");
}

}  // namespace
