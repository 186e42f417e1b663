#pragma once
// The progress bar's line, laid out for a terminal of a given width, and the
// times it shows. Both are plain functions of their inputs, so that the
// layout and the estimate are tested without a terminal or a clock.

#include <cstdint>
#include <optional>
#include <string>

// Elapsed and remaining time of the progress run under way.
struct ProgressTimes {
  int64_t elapsedMs = 0;
  std::optional<int64_t> remainingMs;  // none until it can be estimated
};

// "[#####.....]  42%  00:12, 00:30 left  Writing firmware ... 0x1000": at most
// `columns` - 1 columns wide (the last column would wrap on some terminals).
// As the terminal narrows, the status is cut first (by characters, never
// inside one), then the bar shrinks, then the times go; without `times` none
// are shown. A `columns` of 0 (unknown) counts as 80.
std::string ProgressLine(int columns, int percent, const std::optional<ProgressTimes>& times,
                         const std::string& status);

// "mm:ss", or "h:mm:ss" from an hour on; "--:--" for none.
std::string Clock(std::optional<int64_t> ms);

// The times of a progress run: elapsed since the run began (its range was
// set, or its position went back), remaining from the rate of the run so far.
class ProgressEstimate {
 public:
  // Notes the position at `nowMs`; returns the times to show.
  ProgressTimes Update(int64_t nowMs, int64_t position, int64_t range);

  // An estimate needs this much time and some progress behind it.
  static constexpr int64_t kSettleMs = 1000;

 private:
  int64_t range_ = -1;
  int64_t startMs_ = 0;
  int64_t startPosition_ = 0;
  int64_t lastPosition_ = 0;
};
