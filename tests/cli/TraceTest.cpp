// A device command's trace, recorded on the substitute camera and replayed
// from the file, as a user sends it with a bug report and a developer plays
// it back.

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "Version.h"
#include "support/MiniJson.h"
#include "support/RunProcess.h"
#include "support/TempDir.h"

namespace {

class Traces : public ::testing::Test {
 protected:
  TempDir dir;
  const std::string image = (dir.Path() / "fw.bin").string();
  const std::string trace = (dir.Path() / "flash.jsonl").string();

  ProcessResult Run(const std::string& args) {
    return RunProcess(ShellQuote(ZARNET_CLI_PATH) + " " + args, (dir.Path() / "stderr.txt").string());
  }
  // A class-8 flash of the substitute camera, with its reset, traced.
  void RecordFlash() {
    ASSERT_EQ(Run("make-sample --memory-class 8 " + ShellQuote(image)).status, 0);
    const ProcessResult r = Run("--trace " + ShellQuote(trace) + " flash -y --simulate --fast " + ShellQuote(image));
    ASSERT_EQ(r.out, "Pass\n") << r.err;
  }
  ProcessResult Replay(const std::string& file) {
    return Run("replay " + ShellQuote(file) + " -- flash -y " + ShellQuote(image));
  }
  std::vector<std::string> Lines(const std::string& file) {
    std::ifstream in(file);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
  static JsonValue Parsed(const std::string& line) {
    bool ok = false;
    JsonValue value = JsonReader::Parse(line, &ok);
    EXPECT_TRUE(ok) << line;
    return value;
  }
  std::string Write(const std::string& name, const std::vector<std::string>& lines) {
    std::ofstream out(dir.Path() / name);
    for (const std::string& line : lines) out << line << "\n";
    return (dir.Path() / name).string();
  }
};

// The trace names the program and the camera and numbers the transfers. The
// reset sends the camera away; it is listed again under a new path, later by
// the time the command waited, and the replay waits with it to Pass.
TEST_F(Traces, AFlashReplaysFromItsTraceThroughTheResetToPass) {
  RecordFlash();
  const std::vector<std::string> lines = Lines(trace);
  ASSERT_GT(lines.size(), 100u);
  const JsonValue header = Parsed(lines.front());
  EXPECT_EQ(header["format"].text, "zarnet-trace");
  EXPECT_EQ(header["version"].text, ZARNET_VERSION);
  EXPECT_EQ(header["backend"].text, "substitute");
  const JsonValue device = Parsed(lines[2]);
  EXPECT_EQ(device["op"].text, "device");
  EXPECT_EQ(device["usbId"].text, "1b3f:2202");
  int64_t transfers = 0;
  int64_t resetTime = -1;
  std::vector<JsonValue> listings;
  for (const std::string& line : lines) {
    const JsonValue record = Parsed(line);
    if (record.Has("n")) {
      EXPECT_EQ(record["n"].Int(), ++transfers) << line;
    }
    if (record["op"].text == "request" && record["bRequest"].Int() == 1) resetTime = record["t"].Int();
    if (record["op"].text == "list" && resetTime < 0) listings.clear();
    if (record["op"].text == "list") listings.push_back(record);
  }
  ASSERT_GE(resetTime, 0);
  ASSERT_GE(listings.size(), 2u);
  EXPECT_GE(listings.back()["t"].Int(), resetTime + 3500);
  EXPECT_NE(listings.front()["inputs"].items.at(0)["path"].text, listings.back()["inputs"].items.at(0)["path"].text);

  const ProcessResult replay = Replay(trace);
  EXPECT_EQ(replay.status, 0) << replay.err;
  EXPECT_EQ(replay.out, "Pass\n");
  EXPECT_NE(replay.err.find("Reset to updated code ...\nFirmware update finished\nCorvex Camera Connected\n"),
            std::string::npos)
      << replay.err;
}

TEST_F(Traces, AChangedByteStopsTheReplayAtItsTransfer) {
  RecordFlash();
  std::vector<std::string> lines = Lines(trace);
  size_t at = 0;
  while (at < lines.size() && lines[at].find("\"op\":\"set\",\"chan\":3,\"sel\":11") == std::string::npos) ++at;
  ASSERT_LT(at, lines.size());
  const JsonValue recorded = Parsed(lines[at]);
  std::string changed = recorded["sent"].text;
  changed[5] = changed[5] == '7' ? '8' : '7';
  lines[at].replace(lines[at].find(recorded["sent"].text), changed.size(), changed);

  const ProcessResult replay = Replay(Write("changed.jsonl", lines));
  EXPECT_EQ(replay.status, 1);
  EXPECT_EQ(replay.out, "FAIL\n");
  const std::string stop = "the replay stopped at transfer " + std::to_string(recorded["n"].Int()) + " (line " +
                           std::to_string(at + 1) + " of " + (dir.Path() / "changed.jsonl").string() + ")";
  EXPECT_NE(replay.err.find(stop), std::string::npos) << replay.err;
  EXPECT_NE(replay.err.find("recorded: xu set, selector 11, 8 bytes: " + changed), std::string::npos) << replay.err;
  EXPECT_NE(replay.err.find("command:  xu set, selector 11, 8 bytes: " + recorded["sent"].text), std::string::npos);
  EXPECT_NE(replay.err.find("the bytes sent differ first at byte 2"), std::string::npos);
}

TEST_F(Traces, WhatIsNoTraceIsAUsageError) {
  RecordFlash();
  std::vector<std::string> lines = Lines(trace);
  const std::string cut = Write("cut.jsonl", {lines.begin(), lines.begin() + 40});
  lines[7] = "{\"t\":0,";
  const std::pair<std::string, std::string> cases[] = {
      {(dir.Path() / "none.jsonl").string(), "cannot read " + (dir.Path() / "none.jsonl").string()},
      {image, "is not a Zarnet trace: its first line does not say \"format\":\"zarnet-trace\""},
      {Write("broken.jsonl", lines), "broken.jsonl line 8: not a JSON object"},
  };
  for (const auto& [file, message] : cases) {
    const ProcessResult r = Replay(file);
    EXPECT_EQ(r.status, 2) << file;
    EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
  }
  // Beyond its end the recording has no answer.
  const ProcessResult beyond = Replay(cut);
  EXPECT_EQ(beyond.status, 1);
  EXPECT_NE(beyond.err.find(": the recording ends after transfer"), std::string::npos) << beyond.err;

  const ProcessResult uncreatable =
      Run("--trace " + ShellQuote((dir.Path() / "no" / "t.jsonl").string()) + " info --simulate --fast");
  EXPECT_EQ(uncreatable.status, 2);
  EXPECT_NE(uncreatable.err.find("cannot create the trace"), std::string::npos) << uncreatable.err;
}

}  // namespace
