#include "effects/peak_limiter.h"

#include <algorithm>
#include <cstdlib>

#include "effects/gain_math.h"

namespace quillon {

PeakLimiter::PeakLimiter(Ref<SampleSource> inner, int32_t limit)
    : EffectFilter(std::move(inner)), limit_(limit) {
  setPeakBound(std::min(limit, 0x3FFFFF));
  const int32_t divisor = inner_->lengthUnknown() ? 70 : 35;
  window_ = std::clamp(sampleRate() / divisor, 16, 8192);
  for (auto& w : windows_)
    w.resize(size_t(window_) * channels());
}

int32_t PeakLimiter::windowGain(int64_t peak, int32_t limit) {
  if (peak <= limit) return kUnityGain;
  const int64_t gain = ((int64_t{limit} << 9) / ((peak + 64) >> 6)) << 9;
  return static_cast<int32_t>(std::min<int64_t>(gain, kUnityGain));
}

bool PeakLimiter::fillWindow(int slot) {
  std::vector<Sample>& w = windows_[slot];
  const bool ok = inner_->read(w.data(), window_) >= 0;
  // The largest magnitude, from the highest and the lowest word (a loop that vectorises).
  Sample high = 0, low = 0;
  for (Sample s : w) {
    high = std::max(high, s);
    low = std::min(low, s);
  }
  gains_[slot] = windowGain(std::max<int64_t>(high, -int64_t{low}), limit_);
  return ok;
}

// Moves the gain over the coming window toward the average of the four gains around it, never
// above the gains of this window and the next; the remainder of the division is taken at once so
// that the gain lands exactly on its target.
void PeakLimiter::rampGain() {
  const int32_t current = gains_[order_[0]], next = gains_[order_[1]];
  const int64_t average = (int64_t{previousGain_} + current + next + gains_[order_[2]]) >> 2;
  int64_t target = average - gain_;
  target = std::min<int64_t>(target, int64_t{std::min(current, next)} - gain_);
  increment_ = int32_t(target / window_);
  gain_ += int32_t(target % window_);
}

void PeakLimiter::start() {
  order_[0] = 0, order_[1] = 1, order_[2] = 2;
  innerFailed_ = false;
  for (int slot = 0; slot < 3; ++slot) {
    if (!fillWindow(slot)) innerFailed_ = true;
  }
  previousGain_ = gains_[order_[0]];
  gain_ = gains_[order_[0]];
  rampGain();
  readIndex_ = 0;
  started_ = true;
}

int32_t PeakLimiter::read(Sample* buffer, int32_t frames) {
  if (frames <= 0) return 0;
  if (!started_) start();
  const int ch = channels();
  int32_t produced = 0;
  while (produced < frames) {
    if (readIndex_ >= window_) {
      // Next becomes current, after-next becomes next, the old current is refilled.
      previousGain_ = gains_[order_[0]];
      std::rotate(order_, order_ + 1, order_ + 3);
      if (!fillWindow(order_[2])) innerFailed_ = true;
      rampGain();
      readIndex_ = 0;
    }
    const int32_t n = std::min(frames - produced, window_ - readIndex_);
    const Sample* from = windows_[order_[0]].data() + size_t(readIndex_) * ch;
    Sample* to = buffer + size_t(produced) * ch;
    if (gain_ >= kUnityGain && increment_ == 0) {
      std::copy_n(from, size_t(n) * ch, to);
    } else {
      for (int32_t f = 0; f < n; ++f) {
        for (int c = 0; c < ch; ++c)
          to[f * ch + c] = splitMultiply(gain_, from[f * ch + c]);
        gain_ += increment_;
      }
    }
    readIndex_ += n;
    produced += n;
  }
  // The windows look ahead: a failed inner read fails this read and every one until a seek.
  return innerFailed_ ? -1 : frames;
}

int32_t PeakLimiter::position() {
  if (!started_) return inner_->position();
  return inner_->position() + readIndex_ - 3 * window_;
}

void PeakLimiter::seek(int32_t frame) {
  inner_->seek(frame);
  started_ = false;
}

Ref<SampleSource> limitTo(Ref<SampleSource> source, int32_t limit) {
  if (source->peakBound() <= limit) return source;
  return makeRef<PeakLimiter>(std::move(source), limit);
}

}  // namespace quillon
