// When the camera comes back after a reset, and what it holds when it goes:
// each reopen finds a camera that returns anywhere up to its last attempt
// (3,500 ms, then 60 attempts 500 ms apart) and gives up on one a
// millisecond later; and at the reset the memory is protected again and
// byte A7 is set where the image asks for it.

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/decorators/ChosenDevice.h"
#include "support/DialogHarness.h"

using substitute::CameraOfClass;
using substitute::DriverPathService;

namespace {

constexpr uint32_t kLastAttemptMs = 3500 + 60 * 500;

struct Reopen {
  const char* what;
  int memClass;
  bool downloadMode;  // the reset into download mode rather than the final one
};

TEST(CameraReturn, FoundAnywhereInTheReopenWindowAndNotAfterIt) {
  const Reopen reopens[] = {{"serial flash", 8, false}, {"memory class", 6, false}, {"download mode", 6, true}};
  const uint32_t delays[] = {100, 3499, 3500, 3501, 3750, kLastAttemptMs - 1, kLastAttemptMs, kLastAttemptMs + 1};
  for (const Reopen& r : reopens) {
    for (uint32_t delay : delays) {
      SCOPED_TRACE(testing::Message() << r.what << ", back after " << delay << " ms");
      DialogHarness h;
      auto camera = CameraOfClass(static_cast<uint8_t>(r.memClass));
      camera.needsDownloadMode = r.downloadMode;
      const auto cam = h.world.AddCamera(camera);
      h.WriteImage("fw.bin", SampleFor(r.memClass, 3, r.memClass == 8 ? 4096 : 0));
      h.Open();
      h.world.ConfigureCamera(cam, [&](auto& config) { config.rebootDelayMs = delay; });
      h.ClickStart();
      const bool inTime = delay <= kLastAttemptMs;
      EXPECT_EQ(h.Text(IDC_RESULT), inTime ? "Pass" : "FAIL");
      EXPECT_EQ(h.dlg->m_pThread->m_strReason, inTime ? "" : "reopen camera failed\r\n");
    }
  }
}

// The probe's answer byte plays no part; only its result chooses the path.
TEST(CameraReturn, TheProbesAnswerByteDoesNotChooseTheProcedure) {
  for (uint8_t answer : {0x00, 0x01, 0xFF}) {
    DialogHarness h;
    auto camera = CameraOfClass(8);
    camera.probeAnswer = answer;
    const auto cam = h.world.AddCamera(camera);
    h.WriteImage("fw.bin", SampleFor(8, 3, 4096));
    h.Open();
    h.ClickStart();
    EXPECT_EQ(h.Text(IDC_RESULT), "Pass") << int(answer);
    EXPECT_TRUE(h.world.CommandBlocks(cam).size() < 40u) << int(answer) << ": the image went over the driver";
  }
}

struct AtReset {
  int memClass;
  uint8_t fwType;
  bool probe;
};

// What the camera holds at the moment the final reset command takes it off
// the bus: nothing a host does afterwards can mend it.
TEST(CameraReturn, AtTheResetTheMemoryIsProtectedAndByteA7IsSetWhereAsked) {
  const AtReset cases[] = {{5, 3, true}, {5, 4, true}, {6, 3, true},  {6, 4, true},
                           {7, 3, true}, {8, 3, true}, {8, 3, false}, {1, 4, true}};
  for (const AtReset& c : cases) {
    SCOPED_TRACE(testing::Message() << "class " << c.memClass << ", type " << int(c.fwType)
                                    << (c.probe ? "" : ", probe refused"));
    DialogHarness h;
    auto camera = CameraOfClass(static_cast<uint8_t>(c.memClass));
    if (!c.probe) camera.driverPath = DriverPathService::kRefused;
    const auto cam = h.world.AddCamera(camera);
    h.WriteImage("fw.bin", SampleFor(c.memClass, c.fwType, c.memClass == 8 ? 4096 : 0));
    h.Open();
    std::optional<bool> writable;
    std::optional<uint8_t> byteA7;
    h.world.SetPresenceListener([&](const substitute::PresenceEvent& event) {
      if (event.arrived || writable) return;
      writable = h.world.MemoryWritable(cam);
      byteA7 = h.world.ByteA7(cam);
    });
    h.ClickStart();
    h.world.SetPresenceListener({});
    EXPECT_EQ(h.Text(IDC_RESULT), "Pass");
    ASSERT_TRUE(writable.has_value()) << "the camera left at its reset";
    if (c.memClass >= 5) {
      EXPECT_FALSE(*writable);
    }
    const bool asked = c.fwType == 4 && (c.memClass == 5 || c.memClass == 6);
    EXPECT_EQ(byteA7, asked ? std::optional<uint8_t>(1) : std::nullopt);
  }
}

}  // namespace

// Two cameras of one model on a line, flashed at once: when the chosen one
// resets, the other resets too and comes back first, under a new path as
// Linux gives it. The run must wait for its own port and leave the other
// camera as it was: a camera switched into download mode is written after
// that reset, any camera is identified after the last.
TEST(CameraReturn, AChosenCameraIsReFoundAtItsPortWhenAnotherComesBackFirst) {
  for (const bool downloadMode : {false, true}) {
    SCOPED_TRACE(downloadMode ? "switched into download mode first" : "reset once, at the end");
    DialogHarness h;
    std::vector<substitute::DeviceId> cams;
    for (const char* port : {"1-1", "1-2"}) {
      auto camera = CameraOfClass(8);
      camera.needsDownloadMode = downloadMode;
      substitute::SubstituteDeviceConfig device = substitute::CameraDevice(camera);
      device.port = port;
      device.serialNumber = std::string("SN") + port;
      device.newPathEachArrival = true;
      cams.push_back(h.world.AddDevice(device));
    }
    // The other camera is listed first, before and after the resets.
    const auto other = cams[0], chosen = cams[1];
    h.world.SetPresenceListener([&](const substitute::PresenceEvent& event) {
      if (event.device == chosen && !event.arrived && h.world.IsPresent(other)) h.world.Unplug(other, 500);
    });
    const std::vector<uint8_t> otherMemory = h.world.Memory(other);
    const std::string chosenPath = h.world.DevicePath(chosen);
    platform::ChosenDeviceCapture narrowed(
        h.world.CaptureSystem(), {h.world.DevicePath(other)},
        platform::DeviceIdentity::Of(platform::Current().deviceFacts->Describe(chosenPath)),
        platform::Current().deviceFacts);
    platform::Platform seams;
    seams.capture = &narrowed;
    platform::ScopedPlatform inForce(seams);
    const std::vector<uint8_t> image = SampleFor(8, 3, 4096);
    h.WriteImage("fw.bin", image);
    h.Open();
    h.ClickStart();
    EXPECT_EQ(h.Text(IDC_RESULT), "Pass");
    EXPECT_GE(h.world.Departures(other), 1u) << "the other camera never reset with the chosen one";
    EXPECT_NE(h.world.DevicePath(other), chosenPath);
    EXPECT_TRUE(h.world.CommandBlocks(other).empty()) << "the run spoke to the other camera";
    EXPECT_EQ(h.world.Memory(other), otherMemory);
    const std::vector<uint8_t> written = h.world.Memory(chosen);
    EXPECT_TRUE(std::equal(image.begin(), image.end(), written.begin())) << "the chosen camera does not hold the image";
    h.Close();
  }
}

TEST(CameraReturn, ACameraIsKnownByItsPortAndNeverByAnotherSerialUnderItsUsbId) {
  const platform::DeviceIdentity identity{"1-1.2", std::string("A1"), 0x1B3F, 0x2202};
  struct Case {
    std::optional<std::string> port, serial;
    std::optional<uint16_t> product;
    bool matches;
  } cases[] = {
      {"1-1.2", "A1", 0x2202, true},        {"1-1.2", std::nullopt, 0x2202, true},
      {"1-1.3", "A1", 0x2202, false},       {"1-1.2", "B7", 0x2202, false},
      {"1-1.2", "B7", std::nullopt, false}, {"1-1.2", "B7", 0x2203, true},  // in download mode, under another id
      {std::nullopt, "A1", 0x2202, false}};
  for (const Case& c : cases) {
    platform::DeviceFacts facts;
    facts.port = c.port;
    facts.serialNumber = c.serial;
    facts.usbVendorId = 0x1B3F;
    facts.usbProductId = c.product;
    EXPECT_EQ(identity.Matches(facts), c.matches) << c.port.value_or("-") << " " << c.serial.value_or("-");
  }
  EXPECT_FALSE(platform::DeviceIdentity::Of({}));
}
