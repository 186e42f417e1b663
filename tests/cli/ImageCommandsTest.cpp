// zarnet-cli inspect and make-sample, run as a user runs them.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>

#include "support/MiniJson.h"
#include "support/RunProcess.h"
#include "support/TempDir.h"

namespace {

class Cli : public ::testing::Test {
 protected:
  TempDir dir;

  ProcessResult Run(const std::string& args) {
    return RunProcess(ShellQuote(ZARNET_CLI_PATH) + " " + args, (dir.Path() / "stderr.txt").string());
  }
  std::string PathOf(const std::string& name) { return (dir.Path() / name).string(); }

  JsonValue InspectJson(const std::string& path, int expectedStatus) {
    const ProcessResult r = Run("inspect --json " + ShellQuote(path));
    EXPECT_EQ(r.status, expectedStatus) << r.out << r.err;
    bool ok = false;
    JsonValue v = JsonReader::Parse(r.out, &ok);
    EXPECT_TRUE(ok) << r.out;
    return v;
  }

  std::vector<uint8_t> Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  // A sample of the firmware type with `bytes` written over the first record
  // of `className`, from the record's byte `at`.
  std::string PatchedSample(int fwType, const std::string& className, size_t at, const std::vector<uint8_t>& bytes) {
    const std::string path = PathOf("patched" + std::to_string(fwType) + className + std::to_string(at) + ".bin");
    EXPECT_EQ(Run("make-sample --fw-type " + std::to_string(fwType) + " " + ShellQuote(path)).status, 0);
    std::vector<uint8_t> image = Read(path);
    const JsonValue v = InspectJson(path, 0);
    for (const auto& r : v["records"].items) {
      if (r["class"].text != className) continue;
      std::copy(bytes.begin(), bytes.end(), image.begin() + static_cast<std::ptrdiff_t>(r["offset"].Int() + at));
      return dir.Write(path.substr(path.rfind('/') + 1), image);
    }
    ADD_FAILURE() << "no " << className << " in the sample of firmware type " << fwType;
    return path;
  }
};

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The line of the first record of `className` in a listing that starts, after
// its indent, with `label`.
std::string FieldLine(const std::string& listing, const std::string& className, const std::string& label) {
  bool inRecord = false;
  for (const std::string& line : Lines(listing)) {
    if (line.rfind("  0x", 0) == 0) inRecord = line.find("  " + className + ": ") != std::string::npos;
    if (inRecord && line.rfind("      " + label + "  ", 0) == 0) return line;
  }
  return "(no line for " + label + " in " + className + ")";
}

bool EndsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

std::string Hex(const std::vector<uint8_t>& bytes, size_t from, size_t count) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (size_t i = from; i < from + count && i < bytes.size(); ++i) {
    out += digits[bytes[i] >> 4];
    out += digits[bytes[i] & 15];
  }
  return out;
}

TEST_F(Cli, SampleOfEveryMemoryClassIsAcceptedAndRebuildsByteForByte) {
  const int sizes[] = {0, 128, 256, 512, 2048, 512, 8192, 8192, 65536};
  for (int memClass = 1; memClass <= 8; ++memClass) {
    const std::string path = PathOf("class" + std::to_string(memClass) + ".bin");
    const ProcessResult made = Run("make-sample --memory-class " + std::to_string(memClass) + " " + ShellQuote(path));
    ASSERT_EQ(made.status, 0) << made.err;
    const std::vector<uint8_t> image = Read(path);
    EXPECT_EQ(image.size(), static_cast<size_t>(sizes[memClass]));

    const JsonValue v = InspectJson(path, 0);
    EXPECT_TRUE(v["accepted"].boolean) << memClass;
    EXPECT_TRUE(v["error"].IsNull());
    EXPECT_EQ(v["memoryClass"].Int(), memClass);
    EXPECT_EQ(v["memorySize"].Int(), sizes[memClass]);
    EXPECT_EQ(v["header"]["marker"].Int(), 0xA5);
    const auto& records = v["records"].items;
    EXPECT_GE(records.size(), 3u) << memClass;
    for (const auto& r : records) {
      const size_t at = static_cast<size_t>(r["offset"].Int());
      const size_t length = static_cast<size_t>(r["length"].Int());
      EXPECT_EQ(r["rebuilt"].text, Hex(image, at, length)) << r["class"].text << " in class " << memClass;
    }
  }
}

TEST_F(Cli, FamilySamplesListTheirFamilysClasses) {
  const struct {
    int fwType;
    const char* mustHave;
  } cases[] = {{0, "CDescCodeInfo"}, {1, "CDescVendorRegSetting_Cache_3301"}, {3, "CDescUvcControlAttribute_3303"}};
  for (const auto& c : cases) {
    const std::string path = PathOf("fw" + std::to_string(c.fwType) + ".bin");
    ASSERT_EQ(Run("make-sample --fw-type " + std::to_string(c.fwType) + " " + ShellQuote(path)).status, 0);
    const JsonValue v = InspectJson(path, 0);
    EXPECT_EQ(v["fwType"].Int(), c.fwType);
    EXPECT_EQ(v["tableOffset"].Int(), 0xF000);
    std::set<std::string> classes;
    for (const auto& r : v["records"].items) {
      classes.insert(r["class"].text);
      EXPECT_FALSE(r["rebuilt"].IsNull()) << r["class"].text;
    }
    EXPECT_TRUE(classes.count(c.mustHave)) << c.fwType;
    EXPECT_FALSE(classes.count("CDescDummy")) << c.fwType;
    EXPECT_EQ(v["walkEnd"]["reason"].text, "the table end given by the header was reached");
  }
}

// The JSON carries acceptance's own message without the line end it ends with.
TEST_F(Cli, RejectedImagesCarryTheTrimmedTextAndNullsWhereAcceptanceStopped) {
  const std::string badId = PathOf("bad-id.bin");
  ASSERT_EQ(Run("make-sample --eeprom-id 0x99 " + ShellQuote(badId)).status, 0);
  JsonValue v = InspectJson(badId, 1);
  EXPECT_FALSE(v["accepted"].boolean);
  EXPECT_EQ(v["error"].text, "FW Data Error -- Error EEPROMID");
  EXPECT_EQ(v["fwType"].Int(), 3);
  EXPECT_TRUE(v["memoryKind"].IsNull());
  EXPECT_TRUE(v["memoryClass"].IsNull());
  EXPECT_EQ(v["header"]["eepromId"].Int(), 0x99);
  EXPECT_FALSE(v["records"].items.empty()) << "the walk still runs on the table acceptance took";

  const std::string tooLong = PathOf("too-long.bin");
  ASSERT_EQ(Run("make-sample --eeprom-id 0x12 --mem-type 2 --size 8193 " + ShellQuote(tooLong)).status, 0);
  v = InspectJson(tooLong, 1);
  EXPECT_EQ(v["error"].text, "FW Data Error");
  EXPECT_EQ(v["memoryClass"].Int(), 6);

  const std::string noTable = dir.Write("blank.bin", std::vector<uint8_t>(100, 0xFF));
  v = InspectJson(noTable, 1);
  EXPECT_EQ(v["error"].text, "FW Data Error");
  for (const char* key :
       {"tableOffset", "fwType", "memoryKind", "memorySize", "memoryClass", "header", "recordGroups", "records"})
    EXPECT_TRUE(v.Has(key) && v[key].IsNull()) << key;
}

TEST_F(Cli, UnreadableFilesAndUsageErrorsExitWithTwo) {
  const std::string missing = PathOf("missing.bin");
  const JsonValue v = InspectJson(missing, 2);
  EXPECT_EQ(v["error"].text, missing + " does not exist");
  EXPECT_EQ(v["path"].text, missing);

  const struct {
    const char* args;
    const char* why;
  } usageErrors[] = {
      {"inspect", "zarnet-cli inspect: FILE is missing"},
      {"inspect --bogus x.bin", "zarnet-cli inspect: unknown option --bogus"},
      {"inspect a.bin b.bin", "zarnet-cli inspect: only one FILE may be given"},
      {"inspect --summary --json x.bin",
       "zarnet-cli inspect: --summary and --json do not go together: the JSON holds the summary already"},
      {"make-sample --memory-class 9 x.bin", "zarnet-cli make-sample: --memory-class takes 1 to 8"},
      {"make-sample --size 3 x.bin",
       "zarnet-cli make-sample: the image size must be 6 to 65536 bytes and leave room for the table"},
  };
  for (const auto& u : usageErrors) {
    const ProcessResult r = Run(u.args);
    EXPECT_EQ(r.status, 2) << u.args;
    const std::string command = std::string(u.args).substr(0, std::string(u.args).find(' '));
    EXPECT_EQ(r.err, std::string(u.why) + "\nsee zarnet-cli " + command + " --help\n") << u.args;
  }
  EXPECT_EQ(Run("frobnicate").status, 2);
  EXPECT_EQ(Run("make-sample --size 128 " + ShellQuote(PathOf("tiny.bin"))).status, 0)
      << "small images fall back to a few records";
  const ProcessResult help = Run("inspect --help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("usage: zarnet-cli inspect"), std::string::npos);
}

TEST_F(Cli, PlainOutputIsForPeople) {
  const std::string path = PathOf("sample.bin");
  ASSERT_EQ(Run("make-sample " + ShellQuote(path)).status, 0);
  const ProcessResult r = Run("inspect " + ShellQuote(path));
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("Verdict:  accepted\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Table at: 0xF000\n"), std::string::npos);
  EXPECT_NE(r.out.find("Memory:   kind 2, 65536 bytes, class 8\n"), std::string::npos);
  EXPECT_NE(r.out.find("CDescSysConfig"), std::string::npos);

  EXPECT_EQ(FieldLine(r.out, "CDescString", "text"), "      text               \"Zarnet\" (12 bytes)");
  EXPECT_TRUE(EndsWith(FieldLine(r.out, "CDescVIDPID", "written back"), "  the same 8 bytes"));

  // A class that does not keep every bit says where its bytes part from the file's.
  const std::string control = PatchedSample(0, "CDescIspControl", 2, {0xFF, 0xFF});
  EXPECT_TRUE(EndsWith(FieldLine(Run("inspect " + ShellQuote(control)).out, "CDescIspControl", "written back"),
                       "  unlike the file from record byte 2 (0xFF in the file, 0xF8 written)"));

  const std::string bad = dir.Write("bad.bin", std::vector<uint8_t>(10, 0));
  const ProcessResult rejected = Run("inspect " + ShellQuote(bad));
  EXPECT_EQ(rejected.status, 1);
  EXPECT_NE(rejected.out.find("Verdict:  rejected: \"FW Data Error\\n\""), std::string::npos) << rejected.out;
}

// An input or output the system refuses is named with the system's own cause,
// and a regular file that could not be read with its size.
TEST_F(Cli, UnreadableInputAndUnwritableOutputSayWhy) {
  const std::string file = PathOf("file.bin");
  ASSERT_EQ(Run("make-sample --size 128 " + ShellQuote(file)).status, 0);
  const std::string locked = PathOf("locked.bin");
  ASSERT_EQ(Run("make-sample --size 120 " + ShellQuote(locked)).status, 0);
  std::filesystem::permissions(locked, std::filesystem::perms::none);
  // Root reads a file whatever its permissions say; the case then proves nothing.
  const bool lockedRefuses = !std::ifstream(locked).is_open();

  const std::string missing = PathOf("missing.bin");
  const std::string inMissingDir = PathOf("no-such-dir/out.bin");
  const struct {
    std::string command;
    std::string path;
    std::string line;  // on standard error
    bool runs;
  } cases[] = {
      {"inspect", missing, "cannot read " + missing + ": No such file or directory", true},
      {"inspect", dir.Path().string(), "cannot read " + dir.Path().string() + ": Is a directory", true},
      {"inspect", file + "/x.bin", "cannot read " + file + "/x.bin: Not a directory", true},
      {"inspect", locked, "cannot read " + locked + ": Permission denied (the file holds 120 bytes)", lockedRefuses},
      {"make-sample", inMissingDir, "cannot write " + inMissingDir + ": No such file or directory", true},
      {"make-sample", dir.Path().string(), "cannot write " + dir.Path().string() + ": Is a directory", true},
  };
  for (const auto& c : cases) {
    if (!c.runs) continue;
    const ProcessResult r = Run(c.command + " " + ShellQuote(c.path));
    EXPECT_EQ(r.status, 2) << c.line;
    EXPECT_EQ(r.err, "zarnet-cli " + c.command + ": " + c.line + "\n");
    if (c.command != "inspect") continue;
    EXPECT_EQ(r.out, "") << c.line;
    const JsonValue v = InspectJson(c.path, 2);
    EXPECT_EQ(c.line, "cannot read " + c.path + ": " + v["cause"].text +
                          (v["fileSize"].IsNull() ? "" : " (the file holds 120 bytes)"));
    EXPECT_FALSE(v["error"].text.empty()) << "acceptance's own message stays";
  }
}

TEST_F(Cli, SummaryGivesTheKeyFactsInAFewLines) {
  const std::string sample = PathOf("sample.bin");
  ASSERT_EQ(Run("make-sample " + ShellQuote(sample)).status, 0);
  const std::string badId = PathOf("bad-id.bin");
  ASSERT_EQ(Run("make-sample --eeprom-id 0x99 " + ShellQuote(badId)).status, 0);
  const std::string tooLong = PathOf("too-long.bin");
  ASSERT_EQ(Run("make-sample --eeprom-id 0x12 --mem-type 2 --size 8193 " + ShellQuote(tooLong)).status, 0);
  const std::string noTable = dir.Write("blank.bin", std::vector<uint8_t>(100, 0xFF));
  const struct {
    std::string path;
    int status;
    std::vector<std::string> lines;  // in this order
  } cases[] = {
      {sample,
       0,
       {"Verdict:  accepted", "Table at: 0xF000 (firmware type 3, EEPROM id 0x30, memory type 0xC2)",
        "Memory:   kind 2, 65536 bytes, class 8", "Records:  30 (", "Walk end: 0xF2EA: the table end given by"}},
      {badId,
       1,
       {"Verdict:  rejected: FW Data Error -- Error EEPROMID", "Table at: 0xF000 (", "Memory:   not derived",
        "Records:  30 (", "Walk end: 0xF2EA: "}},
      {tooLong,
       1,
       {"Verdict:  rejected: FW Data Error", "Table at: 0x0000 (", "Memory:   kind 13, 8192 bytes, class 6"}},
      {noTable, 1, {"Verdict:  rejected: FW Data Error", "Table at: none", "Memory:   not derived"}},
  };
  for (const auto& c : cases) {
    const ProcessResult r = Run("inspect --summary " + ShellQuote(c.path));
    EXPECT_EQ(r.status, c.status) << r.out;
    const std::vector<std::string> lines = Lines(r.out);
    EXPECT_LT(lines.size(), 15u) << r.out;
    size_t next = 0;
    for (const std::string& expected : c.lines) {
      while (next < lines.size() && lines[next].rfind(expected, 0) != 0) ++next;
      EXPECT_LT(next, lines.size()) << "no line \"" << expected << "\" in order in\n" << r.out;
    }
    for (const std::string& line : lines) EXPECT_EQ(line.find("\\n"), std::string::npos) << "untrimmed: " << line;
  }

  // The record count by kind agrees with the records the JSON lists.
  const JsonValue v = InspectJson(sample, 0);
  const std::string summary = Run("inspect --summary " + ShellQuote(sample)).out;
  long long total = 0;
  for (const auto& [group, count] : v["recordGroups"].members) {
    total += count.Int();
    EXPECT_NE(summary.find(std::to_string(count.Int()) + " " + group), std::string::npos) << group;
  }
  EXPECT_EQ(total, static_cast<long long>(v["records"].items.size()));
  EXPECT_EQ(v["recordGroups"]["UVC control"].Int(), 1);
}

// Two's-complement fields show below zero, in decimal and in hexadecimal as
// wide as the field; an unsigned field with its top bit set stays positive.
TEST_F(Cli, SignedFieldsShowAsSigned) {
  const struct {
    int fwType;
    const char* className;
    size_t at;
    std::vector<uint8_t> bytes;
    const char* key;
    long long number;
    const char* label;
    const char* shown;
  } cases[] = {
      {3,
       "CDescUvcControlAttribute_3303",
       21,
       {0x80, 0xFF},
       "range19Min",
       -128,
       "bytes 19-24 minimum",
       "-128 (0xFF80)"},
      {3, "CDescUvcControlAttribute_3303", 69, {0xFE}, "range67Max", -2, "bytes 67-69 maximum", "-2 (0xFE)"},
      {0, "CDescIspLSC", 2, {0xF0}, "setting2", -16, "setting, byte 2", "-16 (0xF0)"},
      {3, "CDescFrameRate", 2, {0xFF, 0xFF}, "value2", 65535, "bytes 2-3", "65535 (0xFFFF)"},
  };
  for (const auto& c : cases) {
    const std::string path = PatchedSample(c.fwType, c.className, c.at, c.bytes);
    const JsonValue v = InspectJson(path, 0);
    for (const auto& r : v["records"].items) {
      if (r["class"].text == c.className) {
        EXPECT_EQ(r["fields"][c.key].Int(), c.number) << c.key;
      }
    }
    const std::string listing = Run("inspect " + ShellQuote(path)).out;
    const std::string line = FieldLine(listing, c.className, c.label);
    EXPECT_TRUE(EndsWith(line, std::string("  ") + c.shown)) << line;
  }
}

}  // namespace
