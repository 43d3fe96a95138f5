#pragma once

#include <cstdint>
#include <vector>

#include "effects/effect_filter.h"

namespace quillon {

// A look-ahead limiter that keeps a stream within a peak bound P (normally 0x7FFF0, the 16-bit
// full scale). It holds three windows of W frames (W = rate / 35, or rate / 70 for a live source,
// 16 … 8192), gives each the gain that brings its peak down to P, and ramps the gain across
// each window toward the average of the gains around it, never above the gains of the window
// playing and the next: no output sample exceeds P. It delays nothing. A failed read of the inner
// source fails the limiter's reads from then on (until a seek), so no consumer takes the silence
// it left for audio.
class PeakLimiter : public EffectFilter {
 public:
  PeakLimiter(Ref<SampleSource> inner, int32_t limit = kFullScale16);

  int32_t read(Sample* buffer, int32_t frames) override;
  int32_t position() override;
  void seek(int32_t frame) override;

  int32_t windowFrames() const { return window_; }
  // The gain (8.24) that brings a window whose peak is `peak` down to `limit`.
  static int32_t windowGain(int64_t peak, int32_t limit);

 private:
  void start();
  bool fillWindow(int slot);
  void rampGain();

  int32_t limit_;
  int32_t window_;
  std::vector<Sample> windows_[3];  // current, next, after next, by `order_`
  int32_t gains_[3] = {};
  int order_[3] = {0, 1, 2};
  int32_t previousGain_ = 0;
  int32_t gain_ = 0;
  int32_t increment_ = 0;
  int32_t readIndex_ = 0;
  bool started_ = false;
  bool innerFailed_ = false;
};

// The stream itself when its peak bound is within `limit`, else a PeakLimiter over it.
Ref<SampleSource> limitTo(Ref<SampleSource> source, int32_t limit = kFullScale16);

}  // namespace quillon
