#pragma once

#include <vector>

#include "audio_io/decibel_slider_model.h"
#include "audio_io/levels.h"

namespace quillon {

// The level meter without a window: one bar per channel, each level kept to −36 … +12 dB. A
// bar is green from the left edge up to the level (at most 0 dB), red from 0 dB up to a level
// above it, and black to the right edge.
class LevelMeterModel {
 public:
  static constexpr int kLowest = -36;
  static constexpr int kHighest = 12;

  // Takes a level record; answers the bars whose level changed (every bar when the channel
  // count changed).
  std::vector<int> setLevels(const LevelRecord& levels);
  int channels() const { return int(levels_.size()); }
  int level(int bar) const { return levels_[size_t(bar)]; }

  // x(dB) = width × (dB + 36) / 48.
  static int xOf(int decibels, int width);

  struct Bar {
    ControlBox box;    // the rows and the whole width
    int greenEnd = 0;  // [0, greenEnd) green
    int redStart = 0;  // [redStart, redEnd) red, empty at or below 0 dB
    int redEnd = 0;    // [redEnd or greenEnd, width) black
    int blackStart() const { return redEnd > redStart ? redEnd : greenEnd; }
  };
  // Bar i occupies rows [height × i / n, height × (i + 1) / n).
  Bar bar(int index, int width, int height) const;

 private:
  std::vector<int> levels_;
};

}  // namespace quillon
