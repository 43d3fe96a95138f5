#include "effects/level_tracker.h"

#include <algorithm>

namespace quillon {

LevelTracker::LevelTracker(int window, int lowerBound, int upperBound)
    : window_(std::max(window, 1)),
      ring_(size_t(window_), 0),
      atOrAbove_(window_),
      k_(window_ >> 2),
      lower_(lowerBound),
      upper_(upperBound) {
  bin(0) = window_;
}

void LevelTracker::insert(int level) {
  level = std::clamp(level, -127, 127);
  int8_t& slot = ring_[size_t(index_)];
  --bin(slot);
  if (slot >= q_) --atOrAbove_;
  slot = int8_t(level);
  ++bin(level);
  if (level >= q_) ++atOrAbove_;
  index_ = (index_ + 1) % window_;

  while (atOrAbove_ <= k_ && q_ > -127) {
    --q_;
    atOrAbove_ += bin(q_);
  }
  while (atOrAbove_ - bin(q_) > k_ && q_ < 127) {
    atOrAbove_ -= bin(q_);
    ++q_;
  }
  follow();
}

void LevelTracker::advance() {
  index_ = (index_ + 1) % window_;
  follow();
}

void LevelTracker::follow() {
  const int r = current();
  if (s_ < r && s_ < q_ && s_ < upper_) {
    smooth_ += (q_ - smooth_) / k_;
    s_ = int(smooth_);
  }
  if (r < s_ && q_ < s_ && lower_ < s_) {
    smooth_ += (q_ - smooth_) / window_;
    s_ = int(smooth_);
  }
}

}  // namespace quillon
