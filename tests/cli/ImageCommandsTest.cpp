// zarnet-cli inspect and make-sample, run as a user runs them.

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <set>

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
};

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

TEST_F(Cli, RejectedImagesCarryTheExactTextAndNullsWhereAcceptanceStopped) {
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
  EXPECT_EQ(v["error"].text, "FW Data Error\n");
  EXPECT_EQ(v["memoryClass"].Int(), 6);

  const std::string noTable = dir.Write("blank.bin", std::vector<uint8_t>(100, 0xFF));
  v = InspectJson(noTable, 1);
  EXPECT_EQ(v["error"].text, "FW Data Error\n");
  for (const char* key : {"tableOffset", "fwType", "memoryKind", "memorySize", "memoryClass", "header", "records"})
    EXPECT_TRUE(v.Has(key) && v[key].IsNull()) << key;
}

TEST_F(Cli, UnreadableFilesAndUsageErrorsExitWithTwo) {
  const std::string missing = PathOf("missing.bin");
  const JsonValue v = InspectJson(missing, 2);
  EXPECT_EQ(v["error"].text, missing + " does not exist");
  EXPECT_EQ(v["path"].text, missing);

  EXPECT_EQ(Run("inspect").status, 2);
  EXPECT_EQ(Run("inspect --bogus x.bin").status, 2);
  EXPECT_EQ(Run("inspect a.bin b.bin").status, 2);
  EXPECT_EQ(Run("frobnicate").status, 2);
  EXPECT_EQ(Run("make-sample --memory-class 9 x.bin").status, 2);
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

  const std::string bad = dir.Write("bad.bin", std::vector<uint8_t>(10, 0));
  const ProcessResult rejected = Run("inspect " + ShellQuote(bad));
  EXPECT_EQ(rejected.status, 1);
  EXPECT_NE(rejected.out.find("Verdict:  rejected: \"FW Data Error\\n\""), std::string::npos) << rejected.out;
}

}  // namespace
