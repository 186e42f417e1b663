// zarnet-cli's device commands on the substitute camera, run as a script
// would run them.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>

#include "Version.h"
#include "support/MiniJson.h"
#include "support/RunInTerminal.h"
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
    EXPECT_EQ(Run("make-sample --force " + options + " " + ShellQuote(path)).status, 0);
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
  // The recorded reason: one line on a terminal, trimmed in JSON.
  EXPECT_NE(Run("flash --simulate --fast --fault write " + ShellQuote(image))
                .err.find("\nzarnet-cli: SetData error[0x1000] : 1f\n"),
            std::string::npos);
  const auto events = Lines(Run("flash --json --simulate --fast --fault no-return " + ShellQuote(image)).out);
  EXPECT_EQ(events.back()["reason"].text, "reopen camera failed");
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

  // Input the program can't read is told with the system's cause.
  const ProcessResult missing = Run("flash --simulate --fast " + ShellQuote((dir.Path() / "none.bin").string()));
  EXPECT_EQ(missing.status, 2);
  EXPECT_NE(missing.err.find("none.bin: No such file or directory\n"), std::string::npos) << missing.err;
  const ProcessResult folder = Run("flash --simulate --fast " + ShellQuote(dir.Path().string()));
  EXPECT_EQ(folder.status, 2);
  EXPECT_NE(folder.err.find(": Is a directory\n"), std::string::npos) << folder.err;
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
  const ProcessResult text = Run("list --simulate --fast --extra-webcam");
  EXPECT_EQ(text.out.substr(0, 9), "POS  NODE");
  EXPECT_NE(text.out.find("  USB2.0 HD UVC WebCam  no\n"), std::string::npos) << text.out;
  EXPECT_NE(text.out.find("  Corvex USB Camera     yes     21-0615-0042\n"), std::string::npos) << text.out;

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
  EXPECT_EQ(Run("read --simulate out.bin").status, 2);
  EXPECT_EQ(Run("read --memory-class 1 --length 129 out.bin").status, 2);
  EXPECT_EQ(Run("read --memory-class 1 --length 0 out.bin").status, 2);
  // The substitute camera's options without it are no silent no-ops.
  for (const char* option : {"--fast", "--fault write", "--memory-file m.bin", "--interrupt 1", "--extra-webcam"}) {
    const std::string name = std::string(option).substr(0, std::string(option).find(' '));
    for (const char* command : {"info", "flash x.bin"}) {
      const ProcessResult r = Run(std::string(command) + " " + option);
      EXPECT_EQ(r.status, 2) << command << option;
      EXPECT_EQ(r.err.substr(0, r.err.find('\n')), "zarnet-cli " + std::string(command).substr(0, 5) + ": " + name +
                                                       " describes the substitute camera: add --simulate");
    }
  }
  for (const char* command : {"list", "info", "flash", "read", "erase-chip", "reset"}) {
    const ProcessResult help = Run(std::string("help ") + command);
    EXPECT_EQ(help.status, 0) << command;
    EXPECT_NE(help.out.find("--simulate"), std::string::npos) << command;
  }
  // One line and where to read more, not the whole help.
  const ProcessResult unknown = Run("flash --bogus x.bin");
  EXPECT_EQ(unknown.err, "zarnet-cli flash: unknown option --bogus\nsee zarnet-cli flash --help\n");
  EXPECT_EQ(Run("frobnicate").err, "zarnet-cli: unknown command frobnicate\nsee zarnet-cli --help\n");
  EXPECT_EQ(Run("--version").out, std::string("zarnet-cli ") + ZARNET_VERSION + "\n");
}

std::string Contents(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

TEST_F(DeviceCommands, ATailTheDownloadLeavesUnwrittenIsTold) {
  const std::string image = Sample("");
  EXPECT_EQ(Run("flash --simulate --fast " + ShellQuote(image)).err.find("warning"), std::string::npos);
  std::fstream(image, std::ios::in | std::ios::out | std::ios::binary).seekp(0xFFFE).put('\x5A');
  const ProcessResult r = Run("flash --simulate --fast " + ShellQuote(image));
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.err.find("warning: a download writes only the first 65534 bytes of "), std::string::npos) << r.err;
}

// A camera holding image A is flashed with B after a backup; flashing the
// backup puts back exactly what the memory held.
TEST_F(DeviceCommands, ABackupFlashedBackRestoresEveryClass) {
  const auto memory = dir.Path() / "memory";
  const std::string backup = (dir.Path() / "backup.bin").string();
  for (int memClass = 1; memClass <= 8; ++memClass) {
    const std::string c = " --memory-class " + std::to_string(memClass) + " ";
    const std::string camera = "--simulate --fast --memory-file " + ShellQuote(memory.string()) + c;
    std::filesystem::remove(memory);
    const std::string a = Sample(c + "--seed 1", "a.bin"), b = Sample(c + "--seed 2", "b.bin");
    ASSERT_EQ(Run("flash " + camera + ShellQuote(a)).status, 0) << memClass;
    const std::string holding = Contents(memory);
    const ProcessResult flash = Run("flash --force --backup " + ShellQuote(backup) + " " + camera + ShellQuote(b));
    ASSERT_EQ(flash.status, 0) << memClass << flash.err;
    const std::string saved = Contents(backup);
    EXPECT_TRUE(saved == holding.substr(0, saved.size()) && saved.size() == Contents(a).size()) << memClass;
    const std::string read = (dir.Path() / "read.bin").string();
    const std::string length = " --length " + std::to_string(saved.size()) + " ";
    EXPECT_EQ(Run("read --force " + camera + length + ShellQuote(read)).status, 0) << memClass;
    EXPECT_TRUE(Contents(read) == Contents(memory).substr(0, saved.size())) << memClass;
    EXPECT_EQ(Contents(read).substr(0, 0x100), Contents(b).substr(0, 0x100)) << memClass;
    ASSERT_EQ(Run("flash " + camera + ShellQuote(backup)).status, 0) << memClass;
    EXPECT_TRUE(Contents(memory) == holding) << memClass;
  }
  // The flash that takes 32-byte transfers is read in them.
  const std::string image = ShellQuote(Sample(""));
  EXPECT_EQ(
      Run("flash --simulate --fast --small-page-flash --force --backup " + ShellQuote(backup) + " " + image).status, 0);
}

std::set<std::string> FilesIn(const std::filesystem::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    if (entry.path().filename() != "stderr.txt") names.insert(entry.path().filename().string());
  return names;
}

// The commands that write a file the user names: each takes OUT last.
std::vector<std::pair<std::string, std::string>> Writers(const std::string& image) {
  const std::string sim = "--simulate --fast --memory-class 8 ";
  return {{"make-sample", "make-sample "},
          {"read", "read " + sim},
          {"flash", "flash " + sim + ShellQuote(image) + " --backup "},
          {"flash", "flash --simulate --fast " + ShellQuote(image) + " --memory-file "}};
}

// An existing file is replaced only with --force: a second backup keeps the
// first, and the camera is not even read. (Not the memory file: it is the
// camera's memory, kept to be changed.)
TEST_F(DeviceCommands, AnExistingOutputIsReplacedOnlyWithForce) {
  const std::string image = Sample("");
  const auto out = dir.Path() / "precious.bin";
  for (const auto& [command, line] : Writers(image)) {
    if (line.find("--memory-file") != std::string::npos) continue;
    std::ofstream(out, std::ios::binary) << "the only copy";
    const ProcessResult kept = Run(line + ShellQuote(out.string()));
    EXPECT_EQ(kept.status, 2) << line;
    EXPECT_EQ(kept.err, "zarnet-cli " + command + ": " + out.string() + " exists; add --force to replace it\n");
    EXPECT_EQ(Contents(out), "the only copy") << line;
    const ProcessResult replaced = Run(line + ShellQuote(out.string()) + " --force");
    EXPECT_EQ(replaced.status, 0) << line << replaced.err;
    EXPECT_EQ(Contents(out).size(), 65536u) << line;
  }
  // Not even --force saves the backup over the image it is to make way for.
  const std::string before = Contents(image);
  EXPECT_EQ(Run("flash --simulate --fast --force --backup " + ShellQuote(image) + " " + ShellQuote(image)).status, 2);
  EXPECT_EQ(Contents(image), before);
}

// A missing folder, a folder, a FIFO or a read-only folder is refused before
// the camera is touched, with status 2 in every command.
TEST_F(DeviceCommands, AnOutputThatCannotBeWrittenIsRefusedBeforeTheCamera) {
  const std::string image = Sample("");
  const auto folder = dir.Path() / "folder", locked = dir.Path() / "locked", fifo = dir.Path() / "fifo";
  std::filesystem::create_directory(folder);
  std::filesystem::create_directory(locked);
  std::filesystem::permissions(locked, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::pair<std::string, std::string> outputs[] = {{(dir.Path() / "none" / "out.bin").string(), "No such file"},
                                                         {folder.string(), ""},
                                                         {fifo.string(), "not a regular file"},
                                                         {(locked / "out.bin").string(), "Permission denied"}};
  for (const auto& [command, line] : Writers(image)) {
    for (const auto& [path, cause] : outputs) {
      if (cause == "Permission denied" && ::geteuid() == 0) continue;  // root writes anywhere
      const ProcessResult r =
          RunProcess("timeout 60 " + ShellQuote(ZARNET_CLI_PATH) + " " + line + ShellQuote(path) + " --force",
                     (dir.Path() / "stderr.txt").string());
      EXPECT_EQ(r.status, 2) << line << path;
      EXPECT_EQ(r.err.rfind("zarnet-cli " + command + ": ", 0), 0u) << r.err;
      EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << "one line: " << r.err;
      EXPECT_NE(r.err.find(path), std::string::npos) << r.err;
      EXPECT_NE(r.err.find(cause), std::string::npos) << r.err;
      EXPECT_EQ(r.err.find("Connected"), std::string::npos) << "the camera was touched: " << r.err;
    }
  }
  EXPECT_EQ(FilesIn(locked).size(), 0u);
  EXPECT_EQ(FilesIn(folder).size(), 0u);
}

// A write cut short (here by the file-size limit, as by a full disk) leaves
// the old file whole and no temporary beside it, and fails the command.
TEST_F(DeviceCommands, AWriteCutShortLeavesTheOldFileWhole) {
  const std::string image = Sample("");
  const auto out = dir.Path() / "old.bin";
  for (const auto& [command, line] : Writers(image)) {
    std::filesystem::copy_file(image, out, std::filesystem::copy_options::overwrite_existing);
    std::fstream(out, std::ios::in | std::ios::out | std::ios::binary).put('\x42');
    const std::string before = Contents(out);
    const std::set<std::string> files = FilesIn(dir.Path());
    const ProcessResult r = RunProcess("(ulimit -f 8; trap '' XFSZ; exec " + ShellQuote(ZARNET_CLI_PATH) + " " + line +
                                           ShellQuote(out.string()) + " --force)",
                                       (dir.Path() / "stderr.txt").string());
    EXPECT_NE(r.status, 0) << line;
    EXPECT_NE(r.err.find(out.string() + ": File too large"), std::string::npos) << line << r.err;
    EXPECT_TRUE(Contents(out) == before) << line;
    EXPECT_EQ(FilesIn(dir.Path()), files) << line;
  }
}

// Only flash, erase-chip and reset keep the substitute camera's memory.
TEST_F(DeviceCommands, TheMemoryFileIsSavedOnlyByCommandsThatChangeTheMemory) {
  const auto memory = dir.Path() / "memory";
  const std::pair<std::string, bool> commands[] = {
      {"list", false},
      {"info", false},
      {"read --memory-class 8 " + ShellQuote((dir.Path() / "r").string()), false},
      {"reset", true},
      {"erase-chip", true},
      {"flash " + ShellQuote(Sample("")), true}};
  for (const auto& [command, saves] : commands) {
    std::filesystem::remove(memory);
    const ProcessResult r = Run(command + " --simulate --fast --memory-file " + ShellQuote(memory.string()));
    EXPECT_EQ(r.status, 0) << command << r.err;
    EXPECT_EQ(std::filesystem::exists(memory), saves) << command;
  }
}

// What is not a memory of the camera's size is refused, and left as it was.
TEST_F(DeviceCommands, AMemoryFileThatIsNoMemoryIsRefused) {
  const auto memory = dir.Path() / "memory";
  const std::string image = ShellQuote(Sample(""));
  const std::string small = Sample("--memory-class 6", "small.bin");
  struct Case {
    std::string make, command, line;
  } cases[] = {
      {"touch", "info", "it holds 0 bytes, not the 65536 of a class-8 memory"},
      {"small", "info", "it holds 8192 bytes, not the 65536 of a class-8 memory"},
      {"small", "flash " + image, "it holds 8192 bytes, not the 65536 of a class-8 memory"},
      {"small", "read --memory-class 1 " + ShellQuote((dir.Path() / "r").string()),
       "it holds 8192 bytes, not the 128 of a class-1 memory"},
      {"folder", "info", "it is a folder"},
      {"fifo", "info", "not a regular file"},
  };
  for (const Case& c : cases) {
    std::filesystem::remove_all(memory);
    if (c.make == "touch") std::ofstream{memory};
    if (c.make == "small") std::filesystem::copy_file(small, memory);
    if (c.make == "folder") std::filesystem::create_directory(memory);
    if (c.make == "fifo") {
      ASSERT_EQ(::mkfifo(memory.c_str(), 0600), 0);
    }
    const ProcessResult r = RunProcess("timeout 60 " + ShellQuote(ZARNET_CLI_PATH) + " " + c.command +
                                           " --simulate --fast --memory-file " + ShellQuote(memory.string()),
                                       (dir.Path() / "stderr.txt").string());
    EXPECT_EQ(r.status, 2) << c.command << c.make;
    const std::string name = c.command.substr(0, c.command.find(' '));
    EXPECT_EQ(r.err,
              "zarnet-cli " + name + ": cannot use " + memory.string() + " as the camera's memory: " + c.line + "\n");
    if (c.make == "small") {
      EXPECT_EQ(Contents(memory), Contents(small));
    }
  }
}

TEST_F(DeviceCommands, DeviceChoosesWhichDeviceIsActedOn) {
  const std::string image = ShellQuote(Sample(""));
  EXPECT_EQ(Run("flash --simulate --fast --extra-webcam --device 1 " + image).out, "Pass\n");
  const ProcessResult webcam = Run("flash --simulate --fast --extra-webcam --device 0 " + image);
  EXPECT_EQ(webcam.status, 1);
  EXPECT_NE(webcam.err.find("zarnet-cli: No Corvex Camera\n"), std::string::npos) << webcam.err;
  bool ok = false;
  const JsonValue list = JsonReader::Parse(Run("list --json --simulate --fast --extra-webcam").out, &ok);
  const std::string path = list["devices"].items.at(1)["devicePath"].text;
  EXPECT_EQ(Run("info --simulate --fast --extra-webcam --device " + ShellQuote(path)).status, 0);
  // A path is matched whole: its beginning names no device.
  EXPECT_EQ(Run("info --simulate --fast --extra-webcam --device " + ShellQuote(path.substr(0, 10))).status, 2);
  const ProcessResult none = Run("info --simulate --fast --device 2");
  EXPECT_EQ(none.status, 2);
  EXPECT_EQ(none.err.substr(0, 30), "zarnet-cli info: no device 2 (");
}

// Asked only on a terminal; a "no" leaves the camera as it was.
TEST_F(DeviceCommands, FlashAsksOnATerminal) {
  const std::string memory = ShellQuote((dir.Path() / "memory").string());
  const std::string flash =
      ShellQuote(ZARNET_CLI_PATH) + " flash --simulate --fast --memory-file " + memory + " " + ShellQuote(Sample(""));
  const ProcessResult no = RunInTerminal(flash, "n\n");
  EXPECT_EQ(no.status, 1);
  // The bar's line is cleared, not left above the question.
  EXPECT_NE(no.out.find("\r\033[KWrite "), std::string::npos) << "the question has a line of its own";
  EXPECT_EQ(no.out.find("Connected\r\n"), std::string::npos) << no.out;
  EXPECT_NE(no.out.find("? What its memory holds now is erased. [y/N] "), std::string::npos) << no.out;
  EXPECT_NE(no.out.find("zarnet-cli: not confirmed; nothing was written"), std::string::npos) << no.out;
  const std::string untouched = Contents(dir.Path() / "memory");
  EXPECT_EQ(RunInTerminal(flash, "y\n").status, 0);
  EXPECT_NE(Contents(dir.Path() / "memory"), untouched);
  const ProcessResult yes = RunInTerminal(flash + " -y", "");
  EXPECT_EQ(yes.status, 0);
  EXPECT_EQ(yes.out.find("[y/N]"), std::string::npos);
  EXPECT_EQ(RunInTerminal(ShellQuote(ZARNET_CLI_PATH) + " erase-chip --simulate --fast", "\n").status, 1);
  // A backup that replaces a file says so.
  const std::string backup = Sample("", "old.bin");
  const ProcessResult replacing = RunInTerminal(flash + " --force --backup " + ShellQuote(backup), "n\n");
  EXPECT_NE(replacing.out.find("(after a backup into " + backup + ", which replaces that file). [y/N] "),
            std::string::npos)
      << replacing.out;
}

// Interrupts are real signals, sent while the image is written.
TEST_F(DeviceCommands, AnInterruptLetsTheDownloadFinishASecondAbandonsIt) {
  const std::string image = ShellQuote(Sample(""));
  const ProcessResult once = Run("flash --simulate --fast --interrupt 1 " + image);
  EXPECT_EQ(once.status, 0);
  EXPECT_EQ(once.out, "Pass\n");
  EXPECT_NE(once.err.find("zarnet-cli: the download will finish first"), std::string::npos) << once.err;
  // A SIGTERM, as a service manager stops the program, is taken the same way.
  const ProcessResult terminated = Run("flash --simulate --fast --interrupt term " + image);
  EXPECT_EQ(terminated.status, 0);
  EXPECT_NE(terminated.err.find("zarnet-cli: the download will finish first"), std::string::npos) << terminated.err;
  // A second ends the program as an interrupt does, with the shells' 130.
  const ProcessResult twice = Run("flash --simulate --fast --no-probe --interrupt 2 " + image);
  EXPECT_EQ(twice.status, 130);
  EXPECT_EQ(twice.out, "");
  EXPECT_NE(twice.err.find("zarnet-cli: abandoned: the download was stopped midway"), std::string::npos) << twice.err;
  // A script still gets its result, last.
  const ProcessResult json = Run("flash --json --simulate --fast --interrupt 2 " + image);
  EXPECT_EQ(json.status, 130);
  const auto events = Lines(json.out);
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.back()["event"].text, "result");
  EXPECT_EQ(events.back()["result"].text, "FAIL");
  EXPECT_EQ(events.back()["exitStatus"].Int(), 130);
  EXPECT_EQ(events.back()["reason"].text.rfind("abandoned: the download was stopped midway", 0), 0u) << json.out;
}

// Ctrl-C at the question: nothing was written, and the status says interrupted.
TEST_F(DeviceCommands, AnInterruptAtTheQuestionEndsWithNothingWritten) {
  const std::string memory = ShellQuote((dir.Path() / "memory").string());
  const std::string flash =
      ShellQuote(ZARNET_CLI_PATH) + " flash --simulate --fast --memory-file " + memory + " " + ShellQuote(Sample(""));
  ASSERT_EQ(RunInTerminal(flash + " -y", "").status, 0);
  const std::string before = Contents(dir.Path() / "memory");
  const ProcessResult r = RunInTerminal("exec " + flash, "\x03", 0, "[y/N] ");
  EXPECT_EQ(r.status, 130) << r.out;
  EXPECT_NE(r.out.find("zarnet-cli: interrupted; nothing was written to the camera"), std::string::npos) << r.out;
  EXPECT_EQ(Contents(dir.Path() / "memory"), before);
}

// The result once on standard output, its reason once on standard error, and
// after a FAIL that may have left the memory half written, what to do.
TEST_F(DeviceCommands, TheOutcomeIsToldOnce) {
  const std::string image = ShellQuote(Sample("")), eeprom = ShellQuote(Sample("--memory-class 3", "eeprom.bin"));
  struct Row {
    std::string args, out, reason;
    bool flashAgain;
  };
  const Row rows[] = {
      {"flash " + image, "Pass\n", "", false},
      {"flash --fault write " + image, "FAIL\n", "SetData error[0x1000] : 1f", true},
      {"flash --fault verify " + image, "FAIL\n", "GetData error[0x0] : 1f", true},
      {"flash --fault reset " + image, "FAIL\n", "Failed to reset", true},
      {"flash --fault write " + eeprom, "FAIL\n", "verify empty failed", true},
      {"erase-chip --memory-class 1", "FAIL\n", "Erase Chip Failed", true},
      {"flash --generation 0 " + image, "", "Firmware file is not for this Camera Device", false},
      {"erase-chip", "Pass\n", "", false},
      {"reset", "Pass\n", "", false},
  };
  auto count = [](const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
  };
  for (const Row& row : rows) {
    const ProcessResult r = Run(row.args + " --simulate --fast");
    EXPECT_EQ(r.out, row.out) << row.args;
    const std::string all = r.out + r.err;
    EXPECT_EQ(count(all, "FAIL"), row.out == "FAIL\n" ? 1u : 0u) << row.args << "\n" << r.err;
    EXPECT_EQ(count(all, "PASS") + count(all, "Pass"), row.out == "Pass\n" ? 1u : 0u) << row.args << "\n" << r.err;
    if (!row.reason.empty()) {
      EXPECT_EQ(count(r.err, "zarnet-cli: " + row.reason + "\n"), 1u) << row.args << r.err;
    }
    EXPECT_EQ(count(r.err, "flash it again before unplugging the camera"), row.flashAgain ? 1u : 0u) << row.args;
  }
}

// The bar never reaches the terminal's last column, so it never wraps and
// never scrolls; it stays on its line until the result.
TEST_F(DeviceCommands, TheBarFitsTheTerminal) {
  const std::string flash = ShellQuote(ZARNET_CLI_PATH) + " flash -y --simulate --fast " + ShellQuote(Sample(""));
  for (const int columns : {40, 25, 100}) {
    const ProcessResult r = RunInTerminal(flash, "", columns);
    EXPECT_EQ(r.status, 0) << columns;
    size_t bars = 0;
    std::istringstream lines(r.out);
    for (std::string line; std::getline(lines, line, '\n');) {
      // What a line shows last, after its last carriage return, is no bar.
      if (!line.empty() && line.back() == '\r') line.pop_back();
      const std::string last = line.substr(line.rfind('\r') == std::string::npos ? 0 : line.rfind('\r') + 1);
      EXPECT_EQ(last.find('%'), std::string::npos) << columns << ": a bar ended in a new line: " << last;
      for (size_t start = 0; start <= line.size();) {
        size_t end = line.find('\r', start);
        if (end == std::string::npos) end = line.size();
        std::string shown = line.substr(start, end - start);
        if (shown.rfind("\033[K", 0) == 0) shown.erase(0, 3);
        EXPECT_LT(shown.size(), static_cast<size_t>(columns)) << shown;
        bars += shown.find('%') != std::string::npos;
        start = end + 1;
      }
    }
    EXPECT_GT(bars, 10u) << columns;
    EXPECT_NE(r.out.find("\r\033[KPass\r\n"), std::string::npos) << columns;
  }
}

// Nothing that is not a regular file is opened: a FIFO would block, a device
// would never end. The refusal comes before any camera traffic, in JSON too.
TEST_F(DeviceCommands, OddInputsAreRefusedWithoutBlocking) {
  const std::string fifo = (dir.Path() / "fifo.bin").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const struct {
    std::string command, path, cause;
  } cases[] = {
      {"inspect", fifo, "it is a FIFO, not a regular file"},
      {"flash", fifo, "it is a FIFO, not a regular file"},
      {"flash", "/dev/zero", "it is a device, not a regular file"},
      {"verify", dir.Path().string(), "Is a directory"},
  };
  for (const auto& c : cases) {
    const std::string args = c.command + (c.command == "inspect" ? " " : " --simulate --fast ") + ShellQuote(c.path);
    const ProcessResult r = Run(args);
    EXPECT_EQ(r.status, 2) << args;
    EXPECT_EQ(r.err, "zarnet-cli " + c.command + ": cannot read " + c.path + ": " + c.cause + "\n") << args;
    if (c.command == "inspect") continue;
    const auto events = Lines(Run(args + " --json").out);
    ASSERT_EQ(events.size(), 1u) << args;
    EXPECT_TRUE(events[0]["result"].IsNull());
    EXPECT_EQ(events[0]["exitStatus"].number, 2);
  }
}

TEST_F(DeviceCommands, OptionsAsScriptsWriteThem) {
  const std::string image = ShellQuote(Sample(""));
  const struct {
    std::string args;
    int status;
    std::string err;  // the first line on standard error, when it matters
  } cases[] = {
      {"flash --simulate --fast --fault=write " + image, 1, ""},
      {"flash --simulate --fast --json=yes " + image, 2, "zarnet-cli flash: --json takes no value"},
      {"flash --simulate --fast " + image + " --device", 2, "zarnet-cli flash: --device needs a value"},
      {"flash --simulate --fast --device= " + image, 2, "zarnet-cli flash: --device needs a value"},
      {"make-sample --seed", 2, "zarnet-cli make-sample: --seed needs a value"},
      {"make-sample -- -dash.bin", 0, ""},
      {"inspect --summary -- -dash.bin", 0, ""},
  };
  for (const auto& c : cases) {
    const ProcessResult r =
        RunProcess("cd " + ShellQuote(dir.Path().string()) + " && " + ShellQuote(ZARNET_CLI_PATH) + " " + c.args,
                   (dir.Path() / "stderr.txt").string());
    EXPECT_EQ(r.status, c.status) << c.args << r.err;
    if (!c.err.empty()) {
      EXPECT_EQ(r.err.substr(0, r.err.find('\n')), c.err) << c.args;
    }
  }
  // read takes the memory class as its own option, told once.
  const std::string help = Run("read --help").out;
  EXPECT_EQ(help.find("\n  --memory-class"), help.rfind("\n  --memory-class")) << help;
}

TEST_F(DeviceCommands, JsonAlwaysEndsInOneResult) {
  for (const std::string args : {"flash --json --simulate --fast missing.bin", "flash --simulate --bogus --json x.bin",
                                 "read --json --simulate --fast out.bin"}) {
    const auto events = Lines(Run(args).out);
    ASSERT_EQ(events.size(), 1u) << args;
    EXPECT_EQ(events[0]["event"].text, "result") << args;
    EXPECT_EQ(events[0]["exitStatus"].number, 2) << args;
    EXPECT_FALSE(events[0]["reason"].text.empty()) << args;
  }
  // A file name that is not UTF-8 stays JSON, and its bytes come back.
  const std::string odd = Sample("", "caf\xE9\xFF.bin");
  bool ok = false;
  const std::string json = Run("inspect --json " + ShellQuote(odd)).out;
  EXPECT_NE(json.find("caf\\udce9\\udcff.bin"), std::string::npos) << json;
  const JsonValue v = JsonReader::Parse(json, &ok);
  EXPECT_TRUE(ok);
  EXPECT_EQ(v["path"].text, odd);
}

// read needs no length: the camera's answers tell its part's size. verify
// compares without writing.
TEST_F(DeviceCommands, ReadFindsThePartsSizeAndVerifyNamesTheFirstDifference) {
  const std::string out = (dir.Path() / "out.bin").string();
  const ProcessResult read = Run("read --simulate --fast --memory-class 6 " + ShellQuote(out));
  EXPECT_EQ(read.status, 0) << read.err;
  EXPECT_EQ(std::filesystem::file_size(out), 8192u);
  EXPECT_NE(read.err.find("refused a read of 0x4000 bytes, so its part holds 0x2000"), std::string::npos);

  const std::string memory = " --simulate --fast --memory-file " + ShellQuote((dir.Path() / "memory").string()) + " ";
  const std::string a = ShellQuote(Sample("--memory-class 6", "a.bin"));
  const std::string b = ShellQuote(Sample("--memory-class 6 --seed 2", "b.bin"));
  ASSERT_EQ(Run("flash" + memory + a).status, 0);
  const ProcessResult same = Run("verify" + memory + a);
  EXPECT_EQ(same.status, 0);
  EXPECT_EQ(same.out, "Pass\n");
  const ProcessResult differs = Run("verify" + memory + b);
  EXPECT_EQ(differs.status, 1);
  EXPECT_NE(differs.err.find("zarnet-cli: the memory differs from the image first at 0x"), std::string::npos);
  EXPECT_EQ(Run("verify" + memory + a).status, 0) << "verify wrote nothing";
  // The device by its USB id or serial number, past a webcam listed first.
  for (const char* device : {"1b3f:2202", "SIM0001"})
    EXPECT_EQ(Run(std::string("verify --extra-webcam --device ") + device + memory + a).status, 0) << device;
  EXPECT_EQ(Run("verify --device dead:beef" + memory + a).status, 2);
}

// flash --all: a copy of the program per camera of the simulated line, each
// pinned to its port while the others' resets overlap its own.
TEST_F(DeviceCommands, FlashAllFlashesEveryCameraOfTheLine) {
  const std::string all = "flash --all --simulate --fast --cameras 3 -y " + ShellQuote(Sample(""));
  const ProcessResult text = Run(all);
  EXPECT_EQ(text.status, 0) << text.err;
  std::istringstream rows(text.out);
  std::string row;
  std::getline(rows, row);
  EXPECT_EQ(row, "PORT  SERIAL   BEFORE        AFTER         RESULT  REASON  SECONDS");
  for (const char* port : {"1-1", "1-2", "1-3"}) {
    std::getline(rows, row);
    EXPECT_EQ(row.substr(0, 52), std::string(port) + "   SIM000" + port[2] + "  21-0615-0042  21-0615-0042  Pass    -")
        << row;
  }
  EXPECT_FALSE(std::getline(rows, row)) << row;
  EXPECT_NE(text.err.find("\n1-3: Firmware update finished\n"), std::string::npos) << text.err;

  const ProcessResult json = Run(all + " --json");
  const auto events = Lines(json.out);
  ASSERT_EQ(events.size(), 4u) << json.out;
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(events[i]["event"].text, "camera");
    EXPECT_EQ(events[i]["port"].text, "1-" + std::to_string(i + 1));
    EXPECT_EQ(events[i]["serialNumber"].text, "SIM000" + std::to_string(i + 1));
    EXPECT_EQ(events[i]["versionAfter"].text, "Ver: 21-0615-0042");
    EXPECT_EQ(events[i]["result"].text, "Pass");
    EXPECT_EQ(events[i]["exitStatus"].Int(), 0);
  }
  EXPECT_EQ(events[3]["event"].text, "result");
  EXPECT_EQ(events[3]["exitStatus"].Int(), 0);
  EXPECT_EQ(events[3]["passed"].Int(), 3);
  EXPECT_EQ(events[3]["failed"].Int(), 0);
}

// The fault is the first camera's: its row fails, the others still pass.
TEST_F(DeviceCommands, FlashAllNamesTheCameraThatFailed) {
  const std::string all = "flash --all --simulate --fast --cameras 3 --fault write -y " + ShellQuote(Sample(""));
  const ProcessResult text = Run(all);
  EXPECT_EQ(text.status, 1);
  EXPECT_NE(text.out.find("\n1-1   SIM0001  21-0615-0042  21-0615-0042  FAIL    SetData error[0x1000] : 1f  "),
            std::string::npos)
      << text.out;
  for (const char* port : {"\n1-2 ", "\n1-3 "})
    EXPECT_NE(text.out.find(std::string(port) + "  SIM000" + port[3] + "  21-0615-0042  21-0615-0042  Pass "),
              std::string::npos)
        << text.out;
  EXPECT_NE(text.err.find("\nzarnet-cli: 1 of 3 cameras failed: 1-1\n"), std::string::npos) << text.err;
  const auto events = Lines(Run(all + " --json").out);
  ASSERT_EQ(events.size(), 4u);
  EXPECT_EQ(events[0]["result"].text, "FAIL");
  EXPECT_EQ(events[0]["exitStatus"].Int(), 1);
  EXPECT_EQ(events[3]["result"].text, "FAIL");
  EXPECT_EQ(events[3]["exitStatus"].Int(), 1);
  EXPECT_EQ(events[3]["failed"].Int(), 1);
}

TEST_F(DeviceCommands, FlashAllRefusesWhatItCannotDo) {
  const std::string image = ShellQuote(Sample(""));
  const std::pair<std::string, std::string> usage[] = {
      {"--all --device 1-1", "--device chooses one camera: not with --all, which flashes every camera"},
      {"--all --backup b.bin", "--backup keeps one camera's memory: not with --all, which flashes every camera"},
      {"--all --memory-file m.bin --cameras 1",
       "--memory-file keeps one camera's memory: not with --all, which flashes every camera"},
      {"--cameras 2 --memory-file m.bin", "--memory-file keeps one camera's memory: not with --cameras above 1"},
      {"--cameras 9", "--cameras takes 1 to 8"},
  };
  for (const auto& [options, why] : usage) {
    const ProcessResult r = Run("flash --simulate --fast " + options + " -y " + image);
    EXPECT_EQ(r.status, 2) << options;
    EXPECT_EQ(r.err.substr(0, r.err.find('\n')), "zarnet-cli flash: " + why) << options;
  }
  EXPECT_EQ(Run("flash --all --cameras 2 " + image).status, 2) << "--cameras needs --simulate";
  // An image flash would refuse is refused before any camera is asked.
  const ProcessResult refused =
      Run("flash --all --json --simulate --fast --cameras 2 -y " + ShellQuote(Sample("--eeprom-id 0x99", "bad.bin")));
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(refused.err, "zarnet-cli flash: FW Data Error -- Error EEPROMID\n");
  ASSERT_EQ(Lines(refused.out).size(), 1u);
  // No camera: as flash without one.
  const ProcessResult none = Run("flash --all --json -y " + image);
  EXPECT_EQ(none.status, 1);
  EXPECT_EQ(Lines(none.out).back()["reason"].text, "No Corvex Camera");
}

// The other camera's reset comes back first under a new path: the chosen one
// is still found at its port, and the result tells its version after.
TEST_F(DeviceCommands, AChosenPortIsFoundAgainWhileTheLineResets) {
  const std::string image = ShellQuote(Sample(""));
  EXPECT_EQ(Run("flash --simulate --fast --cameras 2 --device 1-2 -y " + image).out, "Pass\n");
  const auto events = Lines(Run("flash --json --simulate --fast --cameras 3 --device 1-3 -y " + image).out);
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.back()["result"].text, "Pass");
  EXPECT_EQ(events.back()["version"].text, "Ver: 21-0615-0042");
  bool ok = false;
  const JsonValue list = JsonReader::Parse(Run("list --json --simulate --fast --cameras 2").out, &ok);
  ASSERT_EQ(list["devices"].items.size(), 2u);
  EXPECT_EQ(list["devices"].items[1]["port"].text, "1-2");
  EXPECT_EQ(list["devices"].items[1]["serialNumber"].text, "SIM0002");
}

// Ctrl-C at the one question: no camera was written.
TEST_F(DeviceCommands, FlashAllAsksOnceOnATerminal) {
  const std::string all =
      ShellQuote(ZARNET_CLI_PATH) + " flash --all --simulate --fast --cameras 2 " + ShellQuote(Sample(""));
  const ProcessResult no = RunInTerminal(all, "n\n");
  EXPECT_EQ(no.status, 1);
  EXPECT_NE(no.out.find(" into 2 cameras (at 1-1, 1-2)? What their memories hold now is erased. [y/N] "),
            std::string::npos)
      << no.out;
  const ProcessResult stopped = RunInTerminal("exec " + all, "\x03", 0, "[y/N] ");
  EXPECT_EQ(stopped.status, 130) << stopped.out;
  const ProcessResult yes = RunInTerminal(all, "y\n");
  EXPECT_EQ(yes.status, 0) << yes.out;
  EXPECT_NE(yes.out.find("\033[2A\r\033[K1-1  "), std::string::npos) << "the lines are drawn in place";
}

}  // namespace

// A reader that goes away mid-download (a `| head`, a parent that died) does
// not end the program with the camera half written: the download finishes
// and its memory is kept.
TEST_F(DeviceCommands, AReaderThatGoesAwayDoesNotStopTheDownload) {
  const std::string image = Sample("");
  const std::filesystem::path memory = dir.Path() / "memory";
  const std::string status = (dir.Path() / "status").string();
  RunProcess("{ " + ShellQuote(ZARNET_CLI_PATH) + " flash --json -y --simulate --fast --memory-file " +
                 ShellQuote(memory.string()) + " " + ShellQuote(image) + " 2>/dev/null; echo $? >" +
                 ShellQuote(status) + "; } | true",
             (dir.Path() / "stderr.txt").string());
  EXPECT_EQ(Contents(status), "0\n");
  const std::string bytes = Contents(image);
  EXPECT_TRUE(Contents(memory).substr(0, bytes.size()) == bytes) << "the camera does not hold the image";
}
