// The finer rules of a download run, on the substitute camera in virtual
// time: where the bar stands during the memory passes and which transfers
// move it, the erase parameter, the extra byte for firmware type 4 on the
// small EEPROMs, a read-back that differs in its last byte, and firmware
// type 4 with an image shorter than the part it writes twice.

#include <gtest/gtest.h>

#include <algorithm>

#include "support/DialogHarness.h"

using substitute::CameraOfClass;
using substitute::DriverPathService;
using substitute::TrafficKind;

namespace {

using Requests = std::vector<std::pair<uint32_t, uint32_t>>;  // (wIndex, wLength)

Requests DriverRequests(substitute::SubstituteWorld& world, uint8_t bRequest) {
  Requests requests;
  for (const auto& e : world.Traffic())
    if (e.kind == TrafficKind::kVendorRequest && e.setup.bRequest == bRequest)
      requests.emplace_back(e.setup.wIndex, e.setup.wLength);
  return requests;
}

size_t BlocksOf(substitute::SubstituteWorld& world, substitute::DeviceId cam, uint8_t commandClass, uint8_t opcode) {
  const auto blocks = world.CommandBlocks(cam);
  return static_cast<size_t>(std::count_if(blocks.begin(), blocks.end(),
                                           [&](const auto& b) { return b[0] == commandClass && b[1] == opcode; }));
}

// The values sent with the byte-A7 command: the data block that follows each
// of its command blocks.
std::vector<uint8_t> ByteA7Values(substitute::SubstituteWorld& world) {
  std::vector<uint8_t> values;
  bool expectData = false;
  for (const auto& e : world.Traffic()) {
    if (e.kind != TrafficKind::kSet || e.in.empty()) continue;
    if (e.selector == 10) {
      expectData = e.in.size() == 8 && e.in[0] == 0x00 && e.in[1] == 0xA7;
    } else if (e.selector == 11 && expectData) {
      values.push_back(e.in[0]);
      expectData = false;
    }
  }
  return values;
}

std::vector<int32_t> NonZero(std::vector<int32_t> positions) {
  positions.erase(std::remove(positions.begin(), positions.end(), 0), positions.end());
  return positions;
}

substitute::SubstituteCameraConfig Camera(int memClass, bool probe = true) {
  auto camera = CameraOfClass(static_cast<uint8_t>(memClass));
  if (!probe) camera.driverPath = DriverPathService::kRefused;
  return camera;
}

// The bar during the memory-class passes: pass index × L + bytes done, in
// 64-byte steps, and only from the transfers that carry the progress
// function. Register reads and writes, the EEPROM commands of classes 1-4
// and 7 and the class-5 write move nothing; the run ends the bar at R.
TEST(DownloadRules, MemoryPassesPlaceTheBarByPassIndexAndOnlyProgressTransfersMoveIt) {
  struct Case {
    int memClass;
    bool probe;
    uint32_t length;
    std::vector<int> passesWithProgress;
    uint32_t range;  // in units of L
  } cases[] = {
      {1, true, 100, {}, 3},  {5, true, 500, {1}, 2},         {6, true, 1000, {0, 1}, 2},
      {7, true, 1000, {}, 3}, {8, false, 1000, {0, 1, 2}, 3},
  };
  for (const Case& c : cases) {
    DialogHarness h;
    h.world.AddCamera(Camera(c.memClass, c.probe));
    h.WriteImage("fw.bin", SampleFor(c.memClass, 3, c.length));
    h.Open();
    ASSERT_EQ(h.dlg->m_bImageOk, 1) << c.memClass;
    h.view.ClearRecords();
    h.ClickStart();
    ASSERT_EQ(h.Text(IDC_RESULT), "Pass") << c.memClass;
    std::vector<int32_t> expected;
    for (int pass : c.passesWithProgress)
      for (uint32_t done = 64; done < c.length + 64; done += 64)
        expected.push_back(static_cast<int32_t>(pass * c.length + std::min(done, c.length)));
    expected.push_back(static_cast<int32_t>(c.range * c.length));
    EXPECT_EQ(NonZero(h.view.ProgressPositions()), expected) << "class " << c.memClass;
  }
}

// Classes 5, 6 and 7 erase with the image length as parameter.
TEST(DownloadRules, EraseParameterIsTheImageLength) {
  struct Case {
    int memClass;
    uint8_t opcode;
    uint32_t length;
  } cases[] = {{5, 0x0C, 500}, {6, 0x12, 1000}, {7, 0x0C, 1000}};
  for (const Case& c : cases) {
    DialogHarness h;
    const auto cam = h.world.AddCamera(Camera(c.memClass));
    h.WriteImage("fw.bin", SampleFor(c.memClass, 3, c.length));
    h.Open();
    h.ClickStart();
    ASSERT_EQ(h.Text(IDC_RESULT), "Pass") << c.memClass;
    const std::vector<uint8_t> erase = {
        0x02, c.opcode, 0, 0, static_cast<uint8_t>(c.length), static_cast<uint8_t>(c.length >> 8), 0, 0};
    const auto blocks = h.world.CommandBlocks(cam);
    EXPECT_EQ(std::count(blocks.begin(), blocks.end(), erase), 1) << "class " << c.memClass;
  }
}

// Firmware type 4 sends the byte A7 on classes 5 and 6 only, in the download
// run and in the chip erase alike.
TEST(DownloadRules, ByteA7ForFirmwareTypeFourOnClassesFiveAndSix) {
  struct Case {
    int memClass;
    uint8_t fwType;
    bool eraseJob;
    bool sent;
  } cases[] = {{5, 4, false, true},  {6, 4, false, true}, {6, 3, false, false}, {8, 4, false, false},
               {1, 4, false, false}, {6, 4, true, true},  {8, 4, true, false}};
  for (const Case& c : cases) {
    DialogHarness h;
    // The erase job works on a flash camera whatever the image's class.
    const auto cam = h.world.AddCamera(Camera(c.eraseJob ? 8 : c.memClass));
    h.WriteImage("fw.bin", SampleFor(c.memClass, c.fwType));
    h.Open();
    ASSERT_EQ(h.dlg->m_fwType, c.fwType);
    if (c.eraseJob) {
      EXPECT_TRUE(h.EraseChip());
    } else {
      h.ClickStart();
    }
    const std::string what = std::to_string(c.memClass) + "/" + std::to_string(c.fwType) + (c.eraseJob ? " erase" : "");
    EXPECT_EQ(h.Text(IDC_RESULT), "Pass") << what;
    EXPECT_EQ(BlocksOf(h.world, cam, 0x00, 0xA7), c.sent ? 1u : 0u) << what;
    EXPECT_EQ(ByteA7Values(h.world), c.sent ? std::vector<uint8_t>{1} : std::vector<uint8_t>{}) << what;
  }
}

// Memory changed behind the download's back, in its last byte only: the
// read-back comparison must notice, the run fails and the camera is not
// reset. The change is made while the worker waits on the status line
// that opens the pass.
TEST(DownloadRules, ReadBackDifferingInTheLastByteFails) {
  struct Case {
    const char* what;
    int memClass;
    bool probe;
    uint32_t length;
    const char* pass;  // the status line at which the byte changes
    std::string reason;
  } cases[] = {
      {"serial flash", 8, true, 8192, "Verify firmware ... 0x0", "Failed to downlaod flash , verify failed!"},
      {"flash over the unit", 8, false, 1000, "Verifying ...", "verify firmware failed\r\n"},
      {"eeprom without blank check", 6, true, 1000, "Verifying ...", "verify firmware failed\r\n"},
      {"blank check", 1, true, 100, "Check empty ...", "verify empty failed\r\n"},
  };
  for (const Case& c : cases) {
    DialogHarness h;
    const auto cam = h.world.AddCamera(Camera(c.memClass, c.probe));
    const auto image = SampleFor(c.memClass, 3, c.length);
    h.WriteImage("fw.bin", image);
    h.Open();
    const uint8_t wrong = static_cast<uint8_t>((std::string(c.pass) == "Check empty ..." ? 0xFF : image.back()) ^ 1);
    h.view.OnChange([&h, cam, wrong, pass = std::string(c.pass), at = c.length - 1](int id) {
      if (id == IDC_STATUS && h.view.GetText(id) == pass) h.world.SetMemory(cam, at, {wrong});
    });
    h.world.ClearTraffic();
    h.ClickStart();
    EXPECT_EQ(h.Text(IDC_RESULT), "FAIL") << c.what;
    EXPECT_EQ(h.dlg->m_pThread->m_strReason, c.reason) << c.what;
    EXPECT_EQ(BlocksOf(h.world, cam, 0x00, 0x09), 0u) << c.what << ": no reset into the new code";
    EXPECT_TRUE(DriverRequests(h.world, 1).empty()) << c.what;
    if (c.memClass == 8 && c.probe) {
      // The whole second chunk differs in its last byte; nothing is read after it.
      EXPECT_EQ(DriverRequests(h.world, 5), (Requests{{0, 1}, {0, 4096}, {0x1000, 4096}})) << c.what;
    }
  }
}

// Firmware type 4 writes everything from byte 32 a second time; an image of
// fewer than 32 bytes has nothing there and is written once, and one of
// exactly 32 bytes ends its second pass with an empty request at 32.
TEST(DownloadRules, FirmwareTypeFourWithAnImageOfAboutThirtyTwoBytes) {
  struct Case {
    uint32_t length;
    Requests writes;
    std::vector<int32_t> positions;
  } cases[] = {
      {20, {{0, 20}}, {20, 40, 60, 60}},
      {31, {{0, 31}}, {31, 62, 93, 93}},
      {32, {{0, 32}, {32, 0}}, {32, 32, 64, 96, 96}},
      {33, {{0, 33}, {32, 1}}, {33, 34, 67, 99, 99}},
  };
  for (const Case& c : cases) {
    DialogHarness h;
    const auto cam = h.world.AddCamera();
    h.WriteImage("fw.bin", SampleFor(8, 4, 4096));
    h.Open();
    ASSERT_EQ(h.dlg->m_fwType, 4);
    // Start reads the file again without judging it again.
    std::vector<uint8_t> image(c.length);
    for (uint32_t i = 0; i < c.length; ++i) image[i] = static_cast<uint8_t>(0xA0 + i);
    h.WriteImage("fw.bin", image);
    h.world.ClearTraffic();
    h.view.ClearRecords();
    h.ClickStart();
    EXPECT_EQ(h.Text(IDC_RESULT), "Pass") << c.length;
    EXPECT_EQ(DriverRequests(h.world, 4), c.writes) << c.length;
    EXPECT_EQ(DriverRequests(h.world, 5), (Requests{{0, 1}, {0, c.length}})) << c.length;
    EXPECT_EQ(NonZero(h.view.ProgressPositions()), c.positions) << c.length;
    const auto memory = h.world.Memory(cam);
    EXPECT_EQ(std::vector<uint8_t>(memory.begin(), memory.begin() + c.length), image) << c.length;
  }
}

}  // namespace
