#include "audio_io/level_meter_model.h"

#include <algorithm>

namespace quillon {

std::vector<int> LevelMeterModel::setLevels(const LevelRecord& levels) {
  std::vector<int> changed;
  const size_t n = levels.channels;
  const bool all = n != levels_.size();
  levels_.resize(n);
  for (size_t i = 0; i < n; ++i) {
    const int level = std::clamp<int>(levels.decibels[i], kLowest, kHighest);
    if (all || level != levels_[i]) changed.push_back(int(i));
    levels_[i] = level;
  }
  return changed;
}

int LevelMeterModel::xOf(int decibels, int width) {
  return width * (decibels - kLowest) / (kHighest - kLowest);
}

LevelMeterModel::Bar LevelMeterModel::bar(int index, int width, int height) const {
  const int n = std::max(channels(), 1);
  Bar b;
  b.box = {0, height * index / n, width, height * (index + 1) / n};
  const int level = index < channels() ? levels_[size_t(index)] : kLowest;
  b.greenEnd = xOf(std::min(level, 0), width);
  b.redStart = xOf(0, width);
  b.redEnd = level > 0 ? xOf(level, width) : b.redStart;
  return b;
}

}  // namespace quillon
