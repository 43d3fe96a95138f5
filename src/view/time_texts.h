#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace quillon::view {

// Frames as milliseconds: (frames / rate) × 1000 + ((frames mod rate) × 1000) / rate, in integers
// so that long documents neither overflow nor lose the last millisecond. A rate of 0 or less
// leaves the value as it is.
int64_t framesToMilliseconds(int64_t frames, int32_t rate);

// "H:MM:SS.mmm", hours not limited; a negative value gets a leading "-".
std::string formatA(int64_t milliseconds);
// "H:MM:SS.hh" after adding 5 ms for rounding; a negative value gets a leading "-".
std::string formatB(int64_t milliseconds);

// What the time ruler counts in.
enum class TimeUnit {
  Milliseconds = 0,  // the values are milliseconds
  Frames = 2,        // frame numbers
  Time = 3,          // times computed from frames (the document window's unit)
};

// The label of a ruler tick at `frame`: frame numbers for Frames, and for Time while less than
// 20 ms are visible; otherwise the shortest of the time forms ("1h", "1:01:01.001", "1.5s",
// "20ms", …).
std::string rulerLabel(int64_t frame, TimeUnit unit, int32_t rate, int64_t visibleLength);
// The time form of a number of milliseconds, as the ruler writes it.
std::string millisecondLabel(int64_t milliseconds);

// The distance in frames (or milliseconds, for TimeUnit::Milliseconds) between the ruler's major
// ticks, which carry labels, and its minor ticks; zero for a unit without ticks.
struct TickSteps {
  int64_t major = 0;
  int64_t minor = 0;
};
TickSteps tickSteps(int64_t visibleLength, TimeUnit unit, int32_t rate);

// The six status fields: selection start, end and length, file length, cursor, time left.
struct StatusField {
  const char* label;
  std::string value;
};
inline constexpr char kNoStatusValue[] = "-.--:--:---";
using StatusTexts = std::array<StatusField, 6>;
// The fields before the first update.
StatusTexts emptyStatusTexts();
// The fields of a document, each converted to milliseconds and written by formatA.
StatusTexts statusTexts(int64_t selectionStart, int64_t selectionEnd, int64_t length,
                        int64_t cursor, int32_t rate);

}  // namespace quillon::view
