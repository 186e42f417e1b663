// The progress bar's line: its layout at each width, and its times on a
// virtual clock.

#include "frontends/cli/ProgressLine.h"

#include <gtest/gtest.h>

#include <string>

namespace {

size_t Characters(const std::string& text) {
  size_t n = 0;
  for (const char c : text) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return n;
}

const ProgressTimes kTimes{12000, 30000};
const char kWriting[] = "Writing firmware ... 0x1000";

// The status is cut first, down to 12 characters; then the bar shrinks to
// 10; then the times go, their room going to the status; then the bar.
TEST(ProgressLine, NarrowsStatusThenBarThenTimes) {
  const std::pair<int, std::string> rows[] = {
      {120, "[############..................]  42%  00:12, 00:30 left  Writing firmware ... 0x1000"},
      {80, "[############..................]  42%  00:12, 00:30 left  Writing firmware ... "},
      {0, "[############..................]  42%  00:12, 00:30 left  Writing firmware ... "},  // unknown: 80
      {60, "[#######............]  42%  00:12, 00:30 left  Writing firm"},
      {50, "[####......]  42%  Writing firmware ... 0x1000"},
      {40, "[####......]  42%  Writing firmware ..."},
      {30, "[###.....]  42%  Writing firm"},
      {20, " 42%  Writing firmw"},
      {8, " 42%  W"},
      {4, " 42"},
      {1, ""},
  };
  for (const auto& [columns, expected] : rows) EXPECT_EQ(ProgressLine(columns, 42, kTimes, kWriting), expected);
}

TEST(ProgressLine, NeverReachesTheLastColumnNorCutsACharacter) {
  const std::string statuses[] = {"", kWriting, "Schreibe Firmware … 0x1000 – äöü", "更新固件中，请勿拔出摄像头"};
  for (const std::string& status : statuses) {
    for (int columns = 1; columns <= 130; ++columns) {
      for (const auto& times : {std::optional<ProgressTimes>(), std::optional<ProgressTimes>(kTimes)}) {
        const std::string line = ProgressLine(columns, 100, times, status);
        EXPECT_LE(Characters(line), static_cast<size_t>(columns - 1)) << columns << " " << status;
        // What is left of the status is a whole-character prefix of it.
        const size_t afterTimes = line.find(" left  "), afterPercent = line.find("%  ");
        const size_t at = afterTimes != std::string::npos     ? afterTimes + 7
                          : afterPercent != std::string::npos ? afterPercent + 3
                                                              : std::string::npos;
        if (!status.empty() && at != std::string::npos) {
          EXPECT_EQ(status.rfind(line.substr(at), 0), 0u) << line;
        }
      }
    }
  }
}

TEST(ProgressLine, ClockShowsMinutesHoursAndUnknown) {
  const std::pair<std::optional<int64_t>, std::string> rows[] = {
      {0, "00:00"}, {59999, "00:59"}, {754000, "12:34"}, {3723000, "1:02:03"}, {std::nullopt, "--:--"}};
  for (const auto& [ms, expected] : rows) EXPECT_EQ(Clock(ms), expected);
}

// Remaining time from the rate of the run so far, on a virtual clock.
TEST(ProgressEstimate, RemainingFollowsTheRunsRate) {
  struct Step {
    int64_t nowMs, position, range;
    int64_t elapsedMs;
    std::optional<int64_t> remainingMs;
  };
  const Step steps[] = {
      {5000, 0, 1000, 0, std::nullopt},      // the run starts
      {5400, 100, 1000, 400, std::nullopt},  // too soon to tell
      {7000, 200, 1000, 2000, 8000},         // 100 per second
      {9000, 600, 1000, 4000, 2666},         // faster now
      {9500, 1000, 1000, 4500, 0},           // done
      {20000, 50, 4000, 0, std::nullopt},    // a new range: a new run
      {22000, 450, 4000, 2000, 17750},       // 200 per second
      {23000, 10, 4000, 0, std::nullopt},    // the position went back
  };
  ProgressEstimate estimate;
  for (const Step& s : steps) {
    const ProgressTimes t = estimate.Update(s.nowMs, s.position, s.range);
    EXPECT_EQ(t.elapsedMs, s.elapsedMs) << s.nowMs;
    EXPECT_EQ(t.remainingMs, s.remainingMs) << s.nowMs;
  }
}

}  // namespace
