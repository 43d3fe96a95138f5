#include "effects/speed_stream.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "effects/sinc_interpolator.h"

namespace quillon {
namespace {

double limitSpeed(double speed, double low, double high) {
  return std::isnan(speed) ? 1.0 : std::clamp(speed, low, high);
}

int32_t clampToInt32(double v) {
  return static_cast<int32_t>(std::clamp(v, double(std::numeric_limits<int32_t>::min()),
                                         double(std::numeric_limits<int32_t>::max())));
}

Sample toSample(float v) {
  // The largest float below 2^31 is 2^31 − 128.
  return static_cast<Sample>(std::lrint(std::clamp(v, -2147483648.0f, 2147483520.0f)));
}

}  // namespace

VariableSpeedStream::VariableSpeedStream(Ref<SampleSource> inner, double startSpeed,
                                         double endSpeed, int32_t rampFrames)
    : EffectFilter(std::move(inner)),
      startSpeed_(limitSpeed(startSpeed, -kMaxSpeed, kMaxSpeed)),
      endSpeed_(limitSpeed(endSpeed, -kMaxSpeed, kMaxSpeed)),
      rampFrames_(std::max(rampFrames, 0)) {
  // The interpolator overshoots a little on some signals; twice the inner bound covers it.
  setPeakBound(static_cast<int32_t>(
      std::min<int64_t>(int64_t{inner_->peakBound()} * 2, std::numeric_limits<int32_t>::max())));
  origin_ = inner_->position();
  innerNext_ = inner_->position();
  windowStart_ = innerNext_;
  planes_.assign(size_t(kWindowFrames) * channels(), 0.0f);
  scratch_.assign(size_t(kBlockFrames) * channels(), 0);
  weights_.assign(size_t(SincInterpolator::maxWeights(kMaxSpeed)), 0.0f);
}

double VariableSpeedStream::speedAt(int64_t frame) const {
  if (frame >= rampFrames_) return endSpeed_;
  return startSpeed_ + (endSpeed_ - startSpeed_) * double(frame) / double(rampFrames_);
}

double VariableSpeedStream::travelled(int64_t frame) const {
  const int64_t ramped = std::min<int64_t>(frame, rampFrames_);
  double distance = double(ramped) * startSpeed_;
  if (ramped > 0) {
    const double slope = (endSpeed_ - startSpeed_) / double(rampFrames_);
    distance += slope * (double(ramped) * double(ramped - 1) / 2);
  }
  return distance + double(frame - ramped) * endSpeed_;
}

int32_t VariableSpeedStream::read(Sample* buffer, int32_t frames) {
  if (frames <= 0) return 0;
  const int channelCount = channels();
  const SincInterpolator& interpolator = SincInterpolator::instance();
  bool failed = false;
  for (int32_t f = 0; f < frames; ++f, ++produced_) {
    Sample* out = buffer + size_t(f) * channelCount;
    const double time = timeOf(produced_);
    if (time < 0) {
      // Backwards play has reached the start: hold at frame 0 in silence.
      origin_ -= time;
      std::fill_n(out, channelCount, 0);
      continue;
    }
    int64_t first = 0;
    const int count = interpolator.weightsAt(time, speedAt(produced_), first, weights_.data());
    if (!cover(first, first + count)) failed = true;
    const size_t offset = size_t(first - windowStart_);
    for (int c = 0; c < channelCount; ++c) {
      const float* x = planes_.data() + size_t(c) * kWindowFrames + offset;
      float sum = 0;
      for (int k = 0; k < count; ++k)
        sum += weights_[size_t(k)] * x[k];
      out[c] = toSample(sum);
    }
  }
  return failed ? -1 : frames;
}

int32_t VariableSpeedStream::position() {
  // Just after backwards play has passed frame 0 the next time is below 0; it holds at 0.
  return clampToInt32(std::max(0.0, std::floor(timeOf(produced_))));
}

void VariableSpeedStream::seek(int32_t frame) {
  origin_ = double(frame) - travelled(produced_);
}

bool VariableSpeedStream::cover(int64_t first, int64_t end) {
  const int64_t windowEnd = windowStart_ + windowFrames_;
  if (first >= windowStart_ && end <= windowEnd) return true;
  const int channelCount = channels();
  if (first >= windowStart_ && first <= windowEnd) {
    // Forwards: let go of what lies too far behind, then read on a block.
    const int64_t newEnd = std::max(end, windowEnd + kBlockFrames);
    const int64_t keepFrom = std::max(windowStart_, newEnd - kWindowFrames);
    const int32_t drop = static_cast<int32_t>(keepFrom - windowStart_);
    if (drop > 0) {
      for (int c = 0; c < channelCount; ++c) {
        float* plane = planes_.data() + size_t(c) * kWindowFrames;
        std::copy(plane + drop, plane + windowFrames_, plane);
      }
      windowStart_ = keepFrom;
      windowFrames_ -= drop;
    }
    const int32_t count = static_cast<int32_t>(newEnd - windowEnd);
    const bool ok = fetch(windowEnd, count, windowFrames_);
    windowFrames_ += count;
    return ok;
  }
  if (end >= windowStart_ && end <= windowEnd) {
    // Backwards: read the block before the window and keep what still fits behind it.
    const int64_t newStart = std::min(first, windowStart_ - kBlockFrames);
    const int32_t count = static_cast<int32_t>(windowStart_ - newStart);
    const int32_t keep = std::min(windowFrames_, kWindowFrames - count);
    for (int c = 0; c < channelCount; ++c) {
      float* plane = planes_.data() + size_t(c) * kWindowFrames;
      std::copy_backward(plane, plane + keep, plane + count + keep);
    }
    windowStart_ = newStart;
    windowFrames_ = keep + count;
    return fetch(newStart, count, 0);
  }
  // A jump (the first read or a seek): a block from the wanted frames on or, when playing
  // backwards, a block that ends with them.
  windowStart_ = currentSpeed() < 0 ? end - kBlockFrames : first;
  windowFrames_ = kBlockFrames;
  return fetch(windowStart_, kBlockFrames, 0);
}

bool VariableSpeedStream::fetch(int64_t from, int32_t count, int32_t at) {
  const int channelCount = channels();
  int32_t done = 0;
  if (from < 0) {
    done = static_cast<int32_t>(std::min<int64_t>(-from, count));
    for (int c = 0; c < channelCount; ++c)
      std::fill_n(planes_.data() + size_t(c) * kWindowFrames + at, done, 0.0f);
  }
  bool ok = true;
  while (done < count) {
    const int64_t frame = from + done;
    if (frame != innerNext_) {
      inner_->seek(clampToInt32(double(frame)));
      innerNext_ = frame;
    }
    const int32_t n = std::min(count - done, kBlockFrames);
    if (inner_->read(scratch_.data(), n) < 0) ok = false;
    innerNext_ += n;
    for (int c = 0; c < channelCount; ++c) {
      float* plane = planes_.data() + size_t(c) * kWindowFrames + at + done;
      const Sample* from = scratch_.data() + c;
      for (int32_t i = 0; i < n; ++i)
        plane[i] = static_cast<float>(from[size_t(i) * channelCount]);
    }
    done += n;
  }
  return ok;
}

SpeedChangeStream::SpeedChangeStream(Ref<SampleSource> inner, double factor)
    : VariableSpeedStream(std::move(inner), limitSpeed(factor, kMinFactor, kMaxFactor),
                          limitSpeed(factor, kMinFactor, kMaxFactor), 0),
      identity_(limitSpeed(factor, kMinFactor, kMaxFactor) == 1.0) {
  if (identity_) setPeakBound(inner_->peakBound());
}

int32_t SpeedChangeStream::read(Sample* buffer, int32_t frames) {
  return identity_ ? inner_->read(buffer, frames) : VariableSpeedStream::read(buffer, frames);
}

int32_t SpeedChangeStream::position() {
  return identity_ ? inner_->position() : VariableSpeedStream::position();
}

void SpeedChangeStream::seek(int32_t frame) {
  if (identity_)
    inner_->seek(frame);
  else
    VariableSpeedStream::seek(frame);
}

SpeedRampStream::SpeedRampStream(Ref<SampleSource> inner, double startSpeed, double endSpeed,
                                 int32_t rampFrames)
    : VariableSpeedStream(std::move(inner), startSpeed, endSpeed, rampFrames) {}

namespace {

class FullScaleClamp final : public EffectFilter {
 public:
  explicit FullScaleClamp(Ref<SampleSource> inner) : EffectFilter(std::move(inner)) {
    setPeakBound(std::min(peakBound(), kFullScale16));
  }
  int32_t read(Sample* buffer, int32_t frames) override {
    const int32_t got = inner_->read(buffer, frames);
    const size_t count = size_t(std::max(got, 0)) * size_t(channels());
    for (size_t i = 0; i < count; ++i)
      buffer[i] = std::clamp(buffer[i], -kFullScale16, kFullScale16);
    return got;
  }
};

}  // namespace

Ref<SampleSource> atChangedSpeed(Ref<SampleSource> speedChanged) {
  return makeRef<FullScaleClamp>(std::move(speedChanged));
}

}  // namespace quillon
