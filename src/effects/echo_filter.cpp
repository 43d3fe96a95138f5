#include "effects/echo_filter.h"

#include <algorithm>
#include <limits>
#include <new>

#include "effects/frame_time.h"
#include "platform/saturate.h"

namespace quillon {

EchoFilter::EchoFilter(Ref<SampleSource> inner, int32_t delayMilliseconds, int32_t gainPercent)
    : EffectFilter(std::move(inner)),
      feedback_(static_cast<int32_t>(int64_t{gainPercent} * 512 / 100)) {
  const int64_t ch = channels();
  const int64_t lineWords = std::max<int64_t>(int64_t{sampleRate()} * ch * 4, kMinimumDelayWords);
  const int64_t delay = std::max<int64_t>(
      ch * millisecondsToFrames(sampleRate(), delayMilliseconds), kMinimumDelayWords);
  // Delays longer than the four-second line use all of it.
  delayWords_ = static_cast<int32_t>(std::min(delay, lineWords));
  if (lineWords <= std::numeric_limits<int32_t>::max()) {
    line_.reset(new (std::nothrow) Sample[size_t(lineWords)]());
  }
  if (!line_) setStatus(SourceStatus::InnerFailed);
}

int32_t EchoFilter::read(Sample* buffer, int32_t frames) {
  if (frames <= 0) return 0;
  const int32_t got = inner_->read(buffer, frames);
  if (!line_) return got;
  const int64_t g = feedback_;
  Sample* line = line_.get();
  size_t left = size_t(frames) * channels();
  Sample* out = buffer;
  while (left > 0) {
    // A run that does not wrap around the end of the line.
    const size_t run = std::min(left, size_t(delayWords_ - writePosition_));
    Sample* at = line + writePosition_;
    for (size_t i = 0; i < run; ++i) {
      // g × line may leave 32 bits and the sum may overflow: formed in 64 bits, saturated.
      const int64_t y = out[i] + ((g * at[i]) >> 9);
      out[i] = at[i] = saturate32(y);
    }
    out += run;
    left -= run;
    writePosition_ += static_cast<int32_t>(run);
    if (writePosition_ == delayWords_) writePosition_ = 0;
  }
  return got < 0 ? -1 : frames;
}

void EchoFilter::seek(int32_t frame) {
  if (line_) std::fill_n(line_.get(), delayWords_, 0);
  inner_->seek(frame);
}

Ref<EffectFilter> EchoDescriptor::makeFilter(Ref<SampleSource> source) const {
  return makeRef<EchoFilter>(std::move(source), timeMs_, gainPercent_);
}

}  // namespace quillon
