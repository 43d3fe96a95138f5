#pragma once

#include <cstdint>
#include <vector>

#include "effects/effect_filter.h"

namespace quillon {

// A constant gain in 1/512 steps: sample × (gain >> 15) >> 9 (Amplify's preview). A gain above
// unity raises the peak bound to 0x200000.
class GainFilter : public EffectFilter {
 public:
  GainFilter(Ref<SampleSource> inner, int32_t gain);
  // The gain of an amplification in percent: ((percent << 9) / 100) << 15.
  static int32_t gainForPercent(int32_t percent);

  int32_t read(Sample* buffer, int32_t frames) override;

 private:
  int32_t gain_;
};

// A point of a gain envelope: an absolute frame of the document and the gain there (8.24).
struct EnvelopePoint {
  int32_t position;
  int32_t gain;
};

// Applies a piecewise-linear gain envelope (fades). Each read starts from the gain the slope
// gives at the inner position, exactly, and steps by the truncated slope per frame; positions
// before the first point and after the last read with unity gain.
class EnvelopeFilter : public EffectFilter {
 public:
  EnvelopeFilter(Ref<SampleSource> inner, std::vector<EnvelopePoint> points);

  int32_t read(Sample* buffer, int32_t frames) override;

 private:
  std::vector<EnvelopePoint> points_;  // in increasing position
};

}  // namespace quillon
