// zarnet-cli's device commands on the substitute camera, run as a script
// would run them.

#include <gtest/gtest.h>

#include <sstream>

#include "support/MiniJson.h"
#include "support/RunProcess.h"
#include "support/TempDir.h"

namespace {

class DeviceCommands : public ::testing::Test {
 protected:
  TempDir dir;
  ProcessResult Run(const std::string& args) {
    return RunProcess(ShellQuote(ZARNET_CLI_PATH) + " " + args, (dir.Path() / "stderr.txt").string());
  }
  std::string Sample(const std::string& options, const std::string& name = "fw.bin") {
    const std::string path = (dir.Path() / name).string();
    EXPECT_EQ(Run("make-sample " + options + " " + ShellQuote(path)).status, 0);
    return path;
  }
  static std::vector<JsonValue> Lines(const std::string& out) {
    std::vector<JsonValue> events;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
      bool ok = false;
      events.push_back(JsonReader::Parse(line, &ok));
      EXPECT_TRUE(ok) << line;
    }
    return events;
  }
};

TEST_F(DeviceCommands, FlashPassesForEveryMemoryClass) {
  for (int memClass = 1; memClass <= 8; ++memClass) {
    const std::string image = Sample("--memory-class " + std::to_string(memClass));
    const ProcessResult r = Run("flash --simulate --fast " + ShellQuote(image));
    EXPECT_EQ(r.status, 0) << memClass << r.err;
    EXPECT_EQ(r.out, "Pass\n") << memClass;
    EXPECT_NE(r.err.find("Corvex Camera Connected"), std::string::npos);
    EXPECT_NE(r.err.find("Firmware update finished"), std::string::npos) << memClass;
  }
}

TEST_F(DeviceCommands, InjectedFaultsEndInFail) {
  const std::string image = Sample("");
  for (const char* fault : {"write", "verify", "reset", "unplug", "no-return"}) {
    const ProcessResult r = Run(std::string("flash --simulate --fast --fault ") + fault + " " + ShellQuote(image));
    EXPECT_EQ(r.status, 1) << fault;
    EXPECT_EQ(r.out, "FAIL\n") << fault << r.err;
  }
  const ProcessResult unit = Run("flash --simulate --fast --no-probe --fault verify " + ShellQuote(image));
  EXPECT_EQ(unit.status, 1);
  EXPECT_NE(unit.err.find("Verifying ..."), std::string::npos) << unit.err;
}

TEST_F(DeviceCommands, RefusedAndIncompatibleImagesSayWhy) {
  const ProcessResult refused = Run("flash --simulate --fast " + ShellQuote(Sample("--eeprom-id 0x99", "bad.bin")));
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(refused.out, "");
  EXPECT_NE(refused.err.find("zarnet-cli: FW Data Error -- Error EEPROMID\n"), std::string::npos) << refused.err;

  const ProcessResult incompatible = Run("flash --simulate --fast --generation 0 " + ShellQuote(Sample("")));
  EXPECT_EQ(incompatible.status, 1);
  EXPECT_NE(incompatible.err.find("zarnet-cli: Firmware file is not for this Camera Device\n"), std::string::npos);

  const ProcessResult json = Run("flash --json --simulate --fast --generation 0 " + ShellQuote(Sample("")));
  const auto events = Lines(json.out);
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.back()["event"].text, "result");
  EXPECT_TRUE(events.back()["result"].IsNull());
  EXPECT_EQ(events.back()["reason"].text, "Firmware file is not for this Camera Device");
  EXPECT_EQ(events[events.size() - 2]["event"].text, "message");

  const ProcessResult missing = Run("flash --simulate --fast " + ShellQuote((dir.Path() / "none.bin").string()));
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("none.bin does not exist"), std::string::npos);
}

TEST_F(DeviceCommands, FlashJsonIsOneObjectPerLine) {
  const ProcessResult r = Run("flash --json --simulate --fast " + ShellQuote(Sample("--size 10000")));
  EXPECT_EQ(r.status, 0);
  const auto events = Lines(r.out);
  std::vector<std::string> statuses;
  int64_t lastPosition = 0;
  for (const auto& e : events) {
    if (e["event"].text == "status") statuses.push_back(e["text"].text);
    if (e["event"].text == "progress") {
      EXPECT_GT(e["position"].Int(), lastPosition);
      EXPECT_LE(e["position"].Int(), e["range"].Int());
      lastPosition = e["position"].Int();
    }
  }
  EXPECT_EQ(statuses, (std::vector<std::string>{"Corvex Camera Connected", "Writing firmware ... 0x0",
                                                "Writing firmware ... 0x1000", "Writing firmware ... 0x2000",
                                                "Verify firmware ... 0x0", "Verify firmware ... 0x1000",
                                                "Verify firmware ... 0x2000", "Reset to updated code ...",
                                                "Firmware update finished", "PASS", "Corvex Camera Connected"}));
  EXPECT_EQ(lastPosition, 20000);
  EXPECT_EQ(events.back()["event"].text, "result");
  EXPECT_EQ(events.back()["result"].text, "Pass");
  EXPECT_EQ(events.back()["exitStatus"].Int(), 0);
}

TEST_F(DeviceCommands, ListAndInfoWithAWebcamThatDoesNotIdentify) {
  const ProcessResult list = Run("list --json --simulate --fast --extra-webcam");
  EXPECT_EQ(list.status, 0);
  bool ok = false;
  const JsonValue v = JsonReader::Parse(list.out, &ok);
  ASSERT_TRUE(ok) << list.out;
  const auto& devices = v["devices"].items;
  ASSERT_EQ(devices.size(), 2u);
  EXPECT_EQ(devices[0]["position"].Int(), 0);
  EXPECT_FALSE(devices[0]["identified"].boolean);
  EXPECT_TRUE(devices[0]["version"].IsNull());
  EXPECT_TRUE(devices[1]["identified"].boolean);
  EXPECT_EQ(devices[1]["friendlyName"].text, "Corvex USB Camera");
  EXPECT_EQ(devices[1]["version"].text, "Ver: 21-0615-0042");
  EXPECT_EQ(devices[1]["generation"].Int(), 3);
  EXPECT_FALSE(devices[1]["devicePath"].text.empty());
  EXPECT_EQ(v["lookedIn"].text, "the substitute camera");
  // The webcam's driver refuses the download-mode path; the camera's serves it.
  const std::pair<const char*, bool> paths[] = {{"1b3f:2206", false}, {"1b3f:2202", true}};
  for (size_t i = 0; i < devices.size(); ++i) {
    for (const char* key : {"usbId", "extensionUnit", "extensionUnitId", "downloadPath", "permissionHint"})
      EXPECT_TRUE(devices[i].Has(key)) << key;
    EXPECT_EQ(devices[i]["usbId"].text, paths[i].first);
    EXPECT_TRUE(devices[i]["extensionUnit"].boolean);
    EXPECT_EQ(devices[i]["extensionUnitId"].Int(), 3);
    EXPECT_EQ(devices[i]["downloadPath"].boolean, paths[i].second);
    EXPECT_TRUE(devices[i]["permissionHint"].IsNull());
  }
  const ProcessResult text = Run("list --simulate --fast --no-probe");
  EXPECT_NE(text.out.find("\n   usb 1b3f:2202, extension unit 3, download-mode path does not open\n"),
            std::string::npos)
      << text.out;

  const ProcessResult info = Run("info --json --simulate --fast --extra-webcam --generation 1");
  EXPECT_EQ(info.status, 0);
  const JsonValue i = JsonReader::Parse(info.out, &ok);
  ASSERT_TRUE(ok) << info.out;
  EXPECT_EQ(i["status"].text, "Corvex Camera Connected");
  EXPECT_EQ(i["version"].text, "Ver: 21-0615-0042");
  EXPECT_EQ(i["generation"].Int(), 1);
  EXPECT_EQ(i["firmwareInfo"].text.size(), 48u);
  EXPECT_EQ(i["firmwareInfo"].text.substr(0, 16), "0200002106150042");
  EXPECT_EQ(i["flashInfo"].text, "30ef140000000100");
}

TEST_F(DeviceCommands, WithoutSimulationThereIsNoCamera) {
  const ProcessResult info = Run("info");
  EXPECT_EQ(info.status, 1);
  EXPECT_NE(info.out.find("No Corvex Camera"), std::string::npos);
  const ProcessResult flash = Run("flash --json " + ShellQuote(Sample("")));
  EXPECT_EQ(flash.status, 1);
  const auto events = Lines(flash.out);
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.back()["reason"].text, "No Corvex Camera");
  const std::string none = Run("list").out;
  EXPECT_EQ(none.rfind("No video-input device; looked in ", 0), 0u) << none;
  bool ok = false;
  const JsonValue json = JsonReader::Parse(Run("list --json").out, &ok);
  ASSERT_TRUE(ok);
  EXPECT_TRUE(json["devices"].items.empty());
  EXPECT_NE(none.find(json["lookedIn"].text + "\n"), std::string::npos) << none;
}

TEST_F(DeviceCommands, EraseChipAndReset) {
  const ProcessResult erase = Run("erase-chip --json --simulate --fast");
  EXPECT_EQ(erase.status, 0) << erase.out;
  const auto events = Lines(erase.out);
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.back()["result"].text, "Pass");
  EXPECT_NE(erase.out.find("\"Erase Chip Finished\\n\""), std::string::npos);
  EXPECT_EQ(Run("reset --simulate --fast").out, "Pass\n");
  // The job erases a serial flash; a camera with a small EEPROM refuses the chip erase.
  const ProcessResult eeprom = Run("erase-chip --simulate --fast --memory-class 1");
  EXPECT_EQ(eeprom.status, 1);
  EXPECT_EQ(eeprom.out, "FAIL\n");
  EXPECT_NE(eeprom.err.find("Erase Chip Failed"), std::string::npos);
}

TEST_F(DeviceCommands, UsageErrorsExitWithTwo) {
  EXPECT_EQ(Run("flash --simulate").status, 2);
  EXPECT_EQ(Run("flash --simulate --fault boom x.bin").status, 2);
  EXPECT_EQ(Run("flash --memory-class 3 x.bin").status, 2);
  EXPECT_EQ(Run("list --bogus").status, 2);
  EXPECT_EQ(Run("info extra").status, 2);
  for (const char* command : {"list", "info", "flash", "erase-chip", "reset"}) {
    const ProcessResult help = Run(std::string(command) + " --help");
    EXPECT_EQ(help.status, 0) << command;
    EXPECT_NE(help.out.find("--simulate"), std::string::npos) << command;
  }
}

}  // namespace
