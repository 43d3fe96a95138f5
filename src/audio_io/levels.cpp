#include "audio_io/levels.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace quillon {

int peakDecibels(int64_t peak) {
  if (peak <= 0) return kSilentLevel;
  double level = 20.0 * std::log10(double(peak) / 131072.0);
  level += peak < 131072 ? -0.5 : 0.5;
  return int(std::clamp<double>(std::trunc(level), -127, 127));
}

void measureLevels(const Sample* words, int32_t frames, int channels, LevelRecord& levels) {
  channels = std::clamp(channels, 0, 255);
  levels.channels = uint8_t(channels);
  for (int c = 0; c < channels; ++c) {
    int64_t peak = 0;
    for (int32_t f = 0; f < frames; ++f)
      peak = std::max(peak, std::abs(int64_t{words[size_t(f) * channels + c]}));
    levels.decibels[size_t(c)] = int8_t(peakDecibels(peak));
  }
}

int overallLevel(const LevelRecord& levels) {
  if (levels.channels == 0) return kSilentLevel;
  if (levels.channels == 1) return levels.decibels[0];
  return std::max(levels.decibels[0], levels.decibels[1]);
}

}  // namespace quillon
