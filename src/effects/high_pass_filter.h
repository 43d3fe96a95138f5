#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "effects/effect_descriptor.h"
#include "effects/effect_filter.h"

namespace quillon {

// A second-order high-pass (the usual biquad with Q 0.707) in 8.24 fixed point, with integer
// arithmetic only per sample. The four products are summed in 64 bits and the fraction that the
// shift back to a sample drops is carried into the next sample, and b1 is exactly −2 × b0: so
// the filter has an exact zero at 0 Hz and a constant or silent input decays to 0. (Products
// truncated one by one would lean the same way, and the recursion would raise that by its gain
// at 0 Hz, 1 / (1 + a1 + a2): an offset of about 1,000 at 250 Hz and 60 % of full scale at 20 Hz.)
class HighPassFilter : public EffectFilter {
 public:
  static constexpr int32_t kPeakBound = 0x3FFFFF;

  // In 2^24 units; b2 equals b0 and b1 is −2 × b0.
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
    int64_t residue = 0;  // the fraction below one sample left from the last output
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
