#include "effects/loop_stream.h"

#include <algorithm>

#include "platform/saturate.h"

namespace quillon {

LoopStream::LoopStream(Ref<SampleSource> inner, int32_t a, int32_t b)
    : EffectFilter(std::move(inner)) {
  setPeakBound(kDefaultPeakBound);
  const int32_t length = inner_->length();
  int64_t start = std::max(a, 0);
  if (a >= 0 && length < start) start = int64_t{length} - (int64_t{b} - a);
  const int64_t end = b < 0 ? 0 : std::min(b, length);
  start_ = saturate32(start);
  end_ = int32_t(end);
  if (end_ <= start_) setStatus(SourceStatus::Corrupt);
}

int32_t LoopStream::read(Sample* buffer, int32_t frames) {
  if (frames <= 0) return 0;
  const int ch = channels();
  if (end_ <= start_) {
    std::fill_n(buffer, size_t(frames) * ch, 0);
    return frames;
  }
  int32_t done = 0;
  while (done < frames) {
    const int64_t left = int64_t{end_} - inner_->position();
    if (left > 0) {
      const int32_t n = int32_t(std::min<int64_t>(left, frames - done));
      if (inner_->read(buffer + size_t(done) * ch, n) < 0) return -1;
      done += n;
    } else {
      inner_->seek(start_);
    }
  }
  return frames;
}

void LoopStream::seek(int32_t frame) {
  const int64_t length = int64_t{end_} - start_;
  int64_t f = frame;
  if (length > 0 && f < start_) f += ((start_ - f + length - 1) / length) * length;
  inner_->seek(int32_t(std::min<int64_t>(f, INT32_MAX)));
}

}  // namespace quillon
