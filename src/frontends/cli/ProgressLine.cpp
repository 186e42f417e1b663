#include "ProgressLine.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kFullBar = 30;
constexpr int kShortestBar = 10;
// The status keeps this many characters before the bar gives up any.
constexpr size_t kShortestStatus = 12;

// Characters, not bytes: a UTF-8 continuation byte starts none.
size_t Characters(const std::string& text) {
  return static_cast<size_t>(
      std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

std::string FirstCharacters(const std::string& text, size_t count) {
  size_t seen = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) continue;
    if (seen++ == count) return text.substr(0, i);
  }
  return text;
}

std::string Bar(int width, int percent) {
  if (width <= 0) return {};
  const int filled = std::clamp(percent, 0, 100) * width / 100;
  return "[" + std::string(static_cast<size_t>(filled), '#') + std::string(static_cast<size_t>(width - filled), '.') +
         "]";
}

std::string Percent(int percent) {
  char text[8];
  std::snprintf(text, sizeof text, "%3d%%", std::clamp(percent, 0, 100));
  return text;
}

}  // namespace

std::string Clock(std::optional<int64_t> ms) {
  if (!ms || *ms < 0) return "--:--";
  const int64_t seconds = *ms / 1000;
  char text[32];
  if (seconds >= 3600)
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                  static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
  else
    std::snprintf(text, sizeof text, "%02lld:%02lld", static_cast<long long>(seconds / 60),
                  static_cast<long long>(seconds % 60));
  return text;
}

std::string ProgressLine(int columns, int percent, const std::optional<ProgressTimes>& times,
                         const std::string& status) {
  const size_t room = static_cast<size_t>(std::max(columns > 0 ? columns : 80, 1) - 1);
  const std::string timeText =
      times ? "  " + Clock(times->elapsedMs) + ", " + Clock(times->remainingMs) + " left" : std::string();
  const size_t statusLength = Characters(status);
  // Each layout in the order preferred: with the times, the bar shrinking
  // only once the status is down to its shortest; then without the times,
  // which leaves their room to the status, and the bar shrinking to nothing.
  for (const bool withTimes : {true, false}) {
    if (withTimes && !times) continue;
    const int widest = withTimes || !times ? kFullBar : kShortestBar;
    for (int bar = widest; bar >= (withTimes ? kShortestBar : 0); --bar) {
      std::string head = Bar(bar, percent) + (bar > 0 ? " " : "") + Percent(percent) + (withTimes ? timeText : "");
      if (head.size() > room) continue;
      if (statusLength == 0) return head;
      const size_t left = room - head.size();
      const bool lastChance = !withTimes && bar == 0;
      if (left < 2 + std::min(statusLength, kShortestStatus) && !lastChance) continue;
      return left <= 2 ? head : head + "  " + FirstCharacters(status, left - 2);
    }
  }
  return FirstCharacters(Percent(percent), room);
}

ProgressTimes ProgressEstimate::Update(int64_t nowMs, int64_t position, int64_t range) {
  if (range != range_ || position < lastPosition_) {
    range_ = range;
    startMs_ = nowMs;
    startPosition_ = position;
  }
  lastPosition_ = position;
  ProgressTimes times;
  times.elapsedMs = std::max<int64_t>(nowMs - startMs_, 0);
  const int64_t done = position - startPosition_;
  if (times.elapsedMs >= kSettleMs && done > 0 && range > position)
    times.remainingMs = (range - position) * times.elapsedMs / done;
  else if (range > 0 && position >= range)
    times.remainingMs = 0;
  return times;
}
