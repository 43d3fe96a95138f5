#include "effects/high_pass_filter.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "platform/saturate.h"

namespace quillon {
namespace {}  // namespace

HighPassFilter::Coefficients HighPassFilter::coefficients(int32_t cutoffHz, int32_t sampleRate) {
  const double f = cutoffHz < 1 ? 10 : cutoffHz;
  const double r = sampleRate < 1 ? 44100 : sampleRate;
  const double w = 6.283185307179586 * f / r;
  const double s = std::sin(w), c = std::cos(w);
  const double alpha = s * 0.7072135785007072;  // sin w / (2Q), Q = 0.707
  const double k = 1 / (1 + alpha);
  // |α| ≤ 0.7072, so every coefficient stays below 2^27 in magnitude.
  return {static_cast<int32_t>(-2 * c * k * 16777216.0),
          static_cast<int32_t>((1 - alpha) * k * 16777216.0),
          static_cast<int32_t>((1 + c) * 0.5 * k * 16777216.0),
          -2 * static_cast<int32_t>((1 + c) * 0.5 * k * 16777216.0)};
}

HighPassFilter::HighPassFilter(Ref<SampleSource> inner, int32_t cutoffHz)
    : EffectFilter(std::move(inner)),
      k_(coefficients(cutoffHz, sampleRate())),
      histories_(channels()) {
  setPeakBound(kPeakBound);
}

int32_t HighPassFilter::read(Sample* buffer, int32_t frames) {
  if (frames <= 0) return 0;
  const int32_t got = inner_->read(buffer, frames);
  const int ch = channels();
  const Coefficients k = k_;
  for (int c = 0; c < ch; ++c) {
    History h = histories_[size_t(c)];
    Sample* p = buffer + c;
    for (int32_t f = 0; f < frames; ++f, p += ch) {
      const Sample x = *p;
      // Coefficients stay below 2^27 and samples within 2^31: the sum fits 64 bits.
      const int64_t sum = int64_t{k.b1} * h.x1 + int64_t{k.b0} * (int64_t{x} + h.x2) -
                          int64_t{k.a2} * h.y2 - int64_t{k.a1} * h.y1 + h.residue;
      const int64_t whole = sum >> 24;
      h.residue = sum - (whole << 24);
      const Sample y = saturate32(whole);
      h.x2 = h.x1;
      h.x1 = x;
      h.y2 = h.y1;
      h.y1 = y;
      *p = y;
    }
    histories_[size_t(c)] = h;
  }
  return got < 0 ? -1 : frames;
}

void HighPassFilter::seek(int32_t frame) {
  inner_->seek(frame);
  std::fill(histories_.begin(), histories_.end(), History{});
}

Ref<EffectFilter> HighPassDescriptor::makeFilter(Ref<SampleSource> source) const {
  return makeRef<HighPassFilter>(std::move(source), cutoffHz_);
}

}  // namespace quillon
