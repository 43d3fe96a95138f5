#include "effects/channel_converter.h"

#include <algorithm>

namespace quillon {

bool ChannelConverter::converts(int fromChannels, int toChannels) {
  return (fromChannels == 2 && toChannels == 1) || (fromChannels == 1 && toChannels == 2);
}

ChannelConverter::ChannelConverter(Ref<SampleSource> inner, int targetChannels)
    : EffectFilter(
          inner, inner->sampleRate(),
          converts(inner->channels(), targetChannels) ? targetChannels : inner->channels()) {
  if (inner_->channels() == 2 && channels() == 1)
    buffer_.resize(size_t(inner_->channels()) * kBufferFrames);
}

int32_t ChannelConverter::read(Sample* buffer, int32_t frames) {
  if (frames <= 0) return 0;
  if (inner_->channels() == 1 && channels() == 2) {
    // Read mono into the front of the buffer and spread it from the back, in place.
    const int32_t result = inner_->read(buffer, frames);
    for (int32_t i = frames - 1; i >= 0; --i) {
      const Sample v = buffer[i];
      buffer[2 * size_t(i)] = v;
      buffer[2 * size_t(i) + 1] = v;
    }
    return result < 0 ? -1 : frames;
  }
  if (buffer_.empty()) return inner_->read(buffer, frames);

  bool failed = false;
  for (int32_t done = 0; done < frames;) {
    const int32_t count = std::min(frames - done, kBufferFrames);
    if (inner_->read(buffer_.data(), count) < 0) failed = true;
    Sample* out = buffer + done;
    for (int32_t i = 0; i < count; ++i) {
      // In 64 bits, so that two samples near the 32-bit limits cannot overflow.
      out[i] =
          static_cast<Sample>((int64_t{buffer_[2 * size_t(i)]} + buffer_[2 * size_t(i) + 1]) >> 1);
    }
    done += count;
  }
  return failed ? -1 : frames;
}

}  // namespace quillon
