#include "view/time_texts.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>

namespace quillon::view {
namespace {

template <typename... Args>
std::string format(const char* pattern, Args... args) {
  char text[96];
  std::snprintf(text, sizeof text, pattern, args...);
  return text;
}

// Magnitudes beyond what any document reaches; keeps the negation below defined.
int64_t magnitude(int64_t value) {
  return value == INT64_MIN ? INT64_MAX : std::llabs(value);
}

}  // namespace

int64_t framesToMilliseconds(int64_t frames, int32_t rate) {
  if (rate <= 0) return frames;
  return (frames / rate) * 1000 + ((frames % rate) * 1000) / rate;
}

std::string formatA(int64_t milliseconds) {
  const int64_t v = magnitude(milliseconds);
  return format("%s%" PRId64 ":%.2d:%.2d.%.3d", milliseconds < 0 ? "-" : "", v / 3600000,
                int(v / 60000 % 60), int(v / 1000 % 60), int(v % 1000));
}

std::string formatB(int64_t milliseconds) {
  const int64_t v = magnitude(milliseconds) + 5;
  return format("%s%" PRId64 ":%.2d:%.2d.%.2d", milliseconds < 0 ? "-" : "", v / 3600000,
                int(v / 60000 % 60), int(v / 1000 % 60), int(v % 1000 / 10));
}

std::string millisecondLabel(int64_t value) {
  const int64_t d = value / 86400000;
  const int h = int(value / 3600000 % 24), m = int(value / 60000 % 60), s = int(value / 1000 % 60);
  const int ms = int(value % 1000);
  const int dd = int(d);
  if (d > 0) {
    if (ms > 0) return format("%dd,%d:%02d:%02d.%03d", dd, h, m, s, ms);
    if (s > 0) return format("%dd,%d:%02d:%02d", dd, h, m, s);
    if (m > 0) return format("%dd,%dh:%02dm", dd, h, m);
    if (h > 0) return format("%dd,%dh", dd, h);
    return format("%dd", dd);
  }
  if (h > 0) {
    if (ms > 0) return format("%d:%02d:%02d.%03d", h, m, s, ms);
    if (s > 0) return format("%d:%02d:%02d", h, m, s);
    if (m > 0) return format("%dh:%02dm", h, m);
    return format("%dh", h);
  }
  if (m > 0) {
    if (ms > 0) return format("%2dm:%02ds.%03d", m, s, ms);
    if (s > 0) return format("%dm:%02ds", m, s);
    return format("%dm", m);
  }
  if (s > 0) {
    if (ms > 0 && ms % 100 == 0) return format("%d.%ds", s, ms / 100);
    if (ms % 10 != 0) return format("%d.%03ds", s, ms);
    if (ms > 0) return format("%d.%02ds", s, ms / 10);
    return format("%ds", s);
  }
  if (ms > 0 && ms % 100 == 0) return format("%0.1lfs", ms * 0.001);
  if (ms > 0) return format("%dms", ms);
  return "0";
}

std::string rulerLabel(int64_t frame, TimeUnit unit, int32_t rate, int64_t visibleLength) {
  switch (unit) {
    case TimeUnit::Frames:
      return format("%" PRId64, frame);
    case TimeUnit::Time:
      if (rate <= 0 || double(visibleLength) < 0.02 * rate) return format("%" PRId64, frame);
      return millisecondLabel(int64_t(double(frame) / rate * 1000));
    case TimeUnit::Milliseconds:
      return millisecondLabel(frame);
  }
  return {};
}

TickSteps tickSteps(int64_t visibleLength, TimeUnit unit, int32_t rate) {
  if (unit == TimeUnit::Milliseconds) {
    struct Row {
      int64_t below, major, minor;
    };
    static constexpr Row kRows[] = {
        {20, 1, 1},
        {200, 10, 1},
        {2000, 100, 10},
        {20000, 1000, 100},
        {200000, 10000, 1000},
        {1200000, 60000, 10000},
        {7200000, 600000, 60000},
        {43200000, 3600000, 600000},
        {86400000, 21600000, 3600000},
        {172800000, 43200000, 21600000},
    };
    for (const Row& row : kRows) {
      if (visibleLength < row.below) return {row.major, row.minor};
    }
    return {86400000, 43200000};
  }
  if (unit != TimeUnit::Time || rate <= 0) return {};
  const int64_t d = int64_t(double(visibleLength) / rate * 1000);
  const double r = rate;
  // Products are truncated to whole frames, and a step is never below one frame.
  auto steps = [](double major, double minor) {
    return TickSteps{std::max<int64_t>(int64_t(major), 1), std::max<int64_t>(int64_t(minor), 1)};
  };
  if (d < 5) return {1, 1};
  if (d < 10) return {5, 1};
  if (d < 20) return {10, 5};
  if (d < 100) return steps(r * 0.01, r * 0.01);
  if (d < 500) return steps(r * 0.05, r * 0.01);
  if (d < 2000) return steps(r * 0.2, r * 0.05);
  if (d < 10000) return steps(r, r * 0.2);
  if (d < 60000) return steps(r * 5, r);
  if (d < 120000) return steps(r * 15, r * 5);
  if (d < 300000) return steps(r * 30, r * 5);
  if (d < 1200000) return steps(r * 60, r * 10);
  return steps(r * 600, r * 120);
}

StatusTexts emptyStatusTexts() {
  return {{{"Start:", kNoStatusValue},
           {"End:", kNoStatusValue},
           {"Sel:", kNoStatusValue},
           {"File:", kNoStatusValue},
           {"Curr:", kNoStatusValue},
           {"Left:", kNoStatusValue}}};
}

StatusTexts statusTexts(int64_t selectionStart, int64_t selectionEnd, int64_t length,
                        int64_t cursor, int32_t rate) {
  StatusTexts texts = emptyStatusTexts();
  const int64_t values[6] = {selectionStart, selectionEnd, selectionEnd - selectionStart,
                             length,         cursor,       length - cursor};
  for (int i = 0; i < 6; ++i)
    texts[size_t(i)].value = formatA(framesToMilliseconds(values[i], rate));
  return texts;
}

}  // namespace quillon::view
