#pragma once
// One full flash of a procedure with each device access failing in turn, on
// whatever backend the harness's seams reach the camera through: the
// procedures swept, the camera each is run on, and the checks after every
// failed run. The faults are the world's own, or those of decorators stacked
// over a backend from outside (FaultsOverBackend), as over a host's.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "platform/adapters/CaptureSystemAdapter.h"
#include "platform/adapters/DeviceFilesAdapter.h"
#include "platform/adapters/HostWithoutCameras.h"
#include "platform/decorators/DecoratedBackend.h"
#include "support/DialogHarness.h"

struct Sweep {
  const char* name;
  int memClass;
  bool probe;
  uint32_t imageSize;
};

inline auto SweptProcedures() {
  return ::testing::Values(Sweep{"serial flash", 8, true, 5000}, Sweep{"flash over the unit", 8, false, 300},
                           Sweep{"small eeprom", 1, true, 128}, Sweep{"eeprom variant A", 6, true, 512},
                           Sweep{"flash of class 7", 7, true, 300});
}

inline std::string SweepName(const ::testing::TestParamInfo<Sweep>& param) {
  return "class" + std::to_string(param.param.memClass) + (param.param.probe ? "" : "_unit");
}

inline substitute::SubstituteCameraConfig SweptCamera(const Sweep& s) {
  auto camera = substitute::CameraOfClass(static_cast<uint8_t>(s.memClass));
  if (!s.probe) camera.driverPath = substitute::DriverPathService::kRefused;
  return camera;
}

// Where a sweep's faults go, and how many accesses they have counted.
struct SweepFaults {
  std::function<uint64_t()> accessCount;
  std::function<void(const substitute::FaultRule&)> add;
  std::function<void()> clear;

  static SweepFaults Of(substitute::SubstituteWorld& world, substitute::DeviceId cam) {
    return {[&world, cam] { return world.AccessCount(cam); },
            [&world, cam](const substitute::FaultRule& rule) { world.AddFault(cam, rule); },
            [&world, cam] { world.ClearFaults(cam); }};
  }
  static SweepFaults Of(platform::FaultState& state) {
    return {[&state] { return state.Accesses(); }, [&state](const substitute::FaultRule& rule) { state.Add(rule); },
            [&state] { state.Clear(); }};
  }
};

// The seams of `backend` with a fault state of their own stacked over every
// channel it opens, acting on the world's camera `cam` (the world's only
// device).
struct FaultsOverBackend {
  FaultsOverBackend(platform::ICameraBackend& backend, substitute::SubstituteWorld& world, substitute::DeviceId cam)
      : decorated(backend,
                  [this, &world, cam](const std::string&) {
                    platform::ChannelDecorations d;
                    d.faults = faults;
                    d.hooks = world.FaultHooks(cam);
                    d.incarnation = world.DevInst(cam);
                    return d;
                  }),
        capture(decorated, platform::CameraExtensionUnitAddress()),
        files(decorated) {}

  // `seams` with capture and device files replaced by these.
  platform::Platform Over(platform::Platform seams) {
    seams.capture = &capture;
    seams.deviceFiles = &files;
    return seams;
  }

  std::shared_ptr<platform::FaultState> faults = std::make_shared<platform::FaultState>();
  platform::DecoratedCameraBackend decorated;
  platform::CaptureSystemAdapter capture;
  platform::DeviceFilesAdapter files;
};

// Flashes the image once to count the accesses, then once more for each
// access with that one failing, and after each failure once on the healthy
// camera.
inline void RunFaultSweep(DialogHarness& h, substitute::DeviceId cam, const Sweep& s, const SweepFaults& faults) {
  const auto image = SampleFor(s.memClass, 3, s.imageSize);
  h.WriteImage("fw.bin", image);
  h.Open();

  uint64_t before = faults.accessCount();
  h.ClickStart();
  ASSERT_EQ(h.Text(IDC_RESULT), "Pass");
  const uint64_t accesses = faults.accessCount() - before;
  ASSERT_GT(accesses, 10u);

  for (uint64_t n = 1; n <= accesses; ++n) {
    SCOPED_TRACE(std::string(s.name) + ": access " + std::to_string(n) + " of " + std::to_string(accesses));
    substitute::FaultRule fault;
    fault.accessNumber = faults.accessCount() + n;
    faults.add(fault);
    h.ClickStart();
    const bool passed = h.Text(IDC_RESULT) == "Pass";
    EXPECT_EQ(h.dlg->m_bBusy, 0);
    EXPECT_TRUE(h.dlg->m_pThread->IsIdle());
    EXPECT_EQ(DataControlLength(), 8u);
    EXPECT_EQ(h.world.DataLength(cam), 8u);
    EXPECT_LE(h.world.OpenHandleCount(), h.dlg->m_cameraKey ? 1u : 0u);
    if (passed) {
      const auto memory = h.world.Memory(cam);
      EXPECT_EQ(std::vector<uint8_t>(memory.begin(), memory.begin() + static_cast<std::ptrdiff_t>(image.size())),
                image);
    }
    faults.clear();
    h.dlg->IdentifyCamera();
    EXPECT_TRUE(h.Enabled(IDC_BTN_START)) << "identification gives the buttons back";
    h.ClickStart();
    EXPECT_EQ(h.Text(IDC_RESULT), "Pass") << "the next Start on a healthy camera";
  }
}
