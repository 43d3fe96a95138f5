#include "effects/gain_filter.h"

#include <algorithm>
#include <cmath>

#include "document/sample_kernels.h"
#include "effects/gain_math.h"
#include "platform/saturate.h"

namespace quillon {

GainFilter::GainFilter(Ref<SampleSource> inner, int32_t gain)
    : EffectFilter(std::move(inner)), gain_(gain) {
  if (gain_ > kUnityGain) setPeakBound(kDefaultPeakBound);
}

int32_t GainFilter::gainForPercent(int32_t percent) {
  const int64_t coarse = (int64_t{percent} << 9) / 100;
  return saturate32(coarse << 15);
}

int32_t GainFilter::read(Sample* buffer, int32_t frames) {
  const int32_t got = inner_->read(buffer, frames);
  if (got > 0) applyCoarseGain(buffer, size_t(frames) * channels(), coarseGainOf(gain_));
  return got;
}

EnvelopeFilter::EnvelopeFilter(Ref<SampleSource> inner, std::vector<EnvelopePoint> points)
    : EffectFilter(std::move(inner)), points_(std::move(points)) {}

int32_t EnvelopeFilter::read(Sample* buffer, int32_t frames) {
  const int64_t x = inner_->position();
  // The last point at or before x and the first after it; unity where there is none.
  int64_t c = 0, e = 0;
  int32_t d = kUnityGain, f = kUnityGain;
  for (const EnvelopePoint& point : points_) {
    if (point.position <= x) {
      c = point.position, d = point.gain;
    } else {
      e = point.position, f = point.gain;
      break;
    }
  }
  const int32_t got = inner_->read(buffer, frames);
  if (got <= 0 || e == c) return got;
  const double slope = double(int64_t{f} - d) / double(e - c);
  int64_t gain = d + int64_t(std::trunc(double(x - c) * slope));
  const int64_t step = int64_t(std::trunc(slope));
  const int ch = channels();
  for (int32_t i = 0; i < frames; ++i) {
    const int32_t g = saturate32(gain);
    for (int k = 0; k < ch; ++k)
      buffer[i * ch + k] = splitMultiply(g, buffer[i * ch + k]);
    gain += step;
  }
  return got;
}

}  // namespace quillon
