#include "audio_io/test_sound.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace quillon {
namespace {

constexpr double kHertz[TestSoundSource::kTones] = {523.25, 659.26, 783.99, 1046.50};
constexpr int32_t kEdgeMilliseconds = 15;

}  // namespace

TestSoundSource::TestSoundSource(int32_t sampleRate, int channels)
    : SampleSource(sampleRate, channels),
      toneFrames_(int32_t(int64_t{this->sampleRate()} * kToneMilliseconds / 1000)),
      gapFrames_(int32_t(int64_t{this->sampleRate()} * kGapMilliseconds / 1000)),
      length_(kTones * (toneFrames_ + gapFrames_)) {
  setPeakBound(kAmplitude);
}

Sample TestSoundSource::sampleAt(int32_t frame) const {
  if (frame < 0 || frame >= length_) return 0;
  const int32_t period = toneFrames_ + gapFrames_;
  const int tone = frame / period;
  const int32_t at = frame % period;
  if (at >= toneFrames_) return 0;
  const double edge = std::max(1.0, double(sampleRate()) * kEdgeMilliseconds / 1000);
  const double envelope = std::min({1.0, at / edge, (toneFrames_ - at) / edge});
  const double phase = 2 * std::numbers::pi * kHertz[tone] * at / sampleRate();
  return Sample(std::lround(kAmplitude * envelope * std::sin(phase)));
}

int32_t TestSoundSource::read(Sample* buffer, int32_t frames) {
  const int ch = channels();
  for (int32_t f = 0; f < frames; ++f) {
    const Sample v = sampleAt(position_ + f);
    std::fill_n(buffer + size_t(f) * ch, ch, v);
  }
  position_ = int32_t(std::min<int64_t>(int64_t{position_} + frames, length_));
  return frames;
}

void TestSoundSource::seek(int32_t frame) {
  position_ = std::clamp(frame, 0, length_);
}

}  // namespace quillon
