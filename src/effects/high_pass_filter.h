#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "effects/effect_descriptor.h"
#include "effects/effect_filter.h"

namespace quillon {

// A second-order high-pass (the usual biquad with Q 0.707) in 8.24 fixed point: every product
// is a split multiply of a coefficient and a sample, and nothing per sample uses floating point.
// The truncations of the split multiplies all lean the same way, and the recursion raises them
// by its gain at 0 Hz, 1 / (1 + a1 + a2): once the input is constant or silent the output keeps
// a small offset instead of reaching 0 (after a burst, about +16 at 2,000 Hz, +1,022 at 250 Hz,
// +49,000 at 50 Hz and +307,000 at 20 Hz).
class HighPassFilter : public EffectFilter {
 public:
  static constexpr int32_t kPeakBound = 0x3FFFFF;

  // In 2^24 units; b2 equals b0.
  struct Coefficients {
    int32_t a1, a2, b0, b1;
  };
  // A cutoff below 1 Hz becomes 10 Hz, a rate below 1 Hz 44,100 Hz.
  static Coefficients coefficients(int32_t cutoffHz, int32_t sampleRate);

  HighPassFilter(Ref<SampleSource> inner, int32_t cutoffHz);

  const Coefficients& coefficients() const { return k_; }

  int32_t read(Sample* buffer, int32_t frames) override;
  // Forwards and starts again with empty histories.
  void seek(int32_t frame) override;

 private:
  struct History {
    Sample x1 = 0, x2 = 0, y1 = 0, y2 = 0;
  };

  Coefficients k_;
  std::vector<History> histories_;  // one per channel
};

// "Low Frequency Cut": the high-pass filter at a cutoff in Hz.
class HighPassDescriptor : public EffectDescriptor {
 public:
  explicit HighPassDescriptor(int32_t cutoffHz) : cutoffHz_(cutoffHz) {}

  std::string name() const override { return "Low Frequency Cut"; }
  Ref<EffectFilter> makeFilter(Ref<SampleSource> source) const override;

  int32_t cutoffHz() const { return cutoffHz_; }

 private:
  int32_t cutoffHz_;
};

}  // namespace quillon
