#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace quillon {

// Follows the loudness of the last W block levels (decibels, −127 … 127): q is the highest level
// that more than W/4 of them reach, and a smoothed level S moves toward q quickly when the level
// rises (attack, by 1/(W/4) of the distance) and slowly when it falls (release, by 1/W), within
// a lower and an upper bound.
class LevelTracker {
 public:
  LevelTracker(int window, int lowerBound, int upperBound);

  void insert(int level);
  // Steps on without a new level.
  void advance();

  // The entry at the current index, the tracked level q and the smoothed level (truncated).
  int current() const { return ring_[size_t(index_)]; }
  int quantile() const { return q_; }
  int smoothed() const { return s_; }
  double smoothedExact() const { return smooth_; }

 private:
  int& bin(int level) { return histogram_[size_t(level + 128)]; }
  void follow();

  int window_;
  std::vector<int8_t> ring_;
  int index_ = 0;
  std::array<int, 256> histogram_{};
  int q_ = 0;
  int atOrAbove_;  // entries at or above q
  int k_;
  double smooth_ = -2.0;
  int s_ = 0;
  int lower_;
  int upper_;
};

}  // namespace quillon
