#include "document/clip_reader.h"

#include <algorithm>
#include <limits>

#include "document/block_format.h"
#include "document/sample_kernels.h"

namespace quillon {

ClipReader::ClipReader(const Clip& clip)
    : SampleSource(clip.sampleRate, clip.channels), clip_(clip), length_(clip.length()) {}

bool ClipReader::openSegment(const Segment& segment, int64_t intoSegment) {
  if (!file_.open(BlockStore::instance().samplePath(segment.block()), platform::File::Mode::Read)) {
    return false;
  }
  const int64_t frame = intoSegment + segment.offset;
  if (frame > 0) file_.seek(frame * channels() * kBytesPerSample);
  coarseGain_ = coarseGainOf(segment.gain);
  return true;
}

int32_t ClipReader::read(Sample* buffer, int32_t frames) {
  if (frames <= 0) return 0;
  const int ch = channels();
  Sample* out = buffer;
  int32_t n = frames;
  auto silence = [&out, ch](int32_t count) {
    std::fill_n(out, size_t(count) * ch, 0);
    out += size_t(count) * ch;
  };

  if (position_ < 0) {
    int32_t lead = static_cast<int32_t>(std::min<int64_t>(n, -int64_t{position_}));
    silence(lead);
    position_ += lead;
    n -= lead;
  }
  position_ = static_cast<int32_t>(
      std::min<int64_t>(int64_t{position_} + n, std::numeric_limits<int32_t>::max()));

  while (n > 0) {
    if (framesLeft_ > 0) {
      const int32_t c = std::min(n, framesLeft_);
      const size_t count = size_t(c) * ch;
      if (!file_.isOpen()) {
        std::fill_n(out, count, 0);
      } else {
        const int64_t bytes = int64_t(count) * kBytesPerSample;
        if (file_.read(out, size_t(bytes)) != bytes) {
          silence(n);  // a missing or short sample file: fail, but leave no garbage behind
          return -1;
        }
        swapSampleBytesIfBigEndian(out, count);
        if (coarseGain_ != kUnityCoarseGain) applyCoarseGain(out, count, coarseGain_);
      }
      framesLeft_ -= c;
      n -= c;
      out += count;
      continue;
    }
    file_.close();
    if (next_ >= clip_.segments.size()) break;
    const Segment& segment = clip_.segments[next_];
    framesLeft_ = segment.length;
    if (!segment.isSilence() && !openSegment(segment, 0)) {
      silence(n);
      return -1;
    }
    ++next_;
  }
  silence(n);  // past the end
  return frames;
}

void ClipReader::seek(int32_t frame) {
  file_.close();
  framesLeft_ = 0;
  position_ = frame;
  next_ = 0;
  if (frame <= 0) return;
  int64_t into = frame;
  size_t i = 0;
  while (i < clip_.segments.size() && into >= clip_.segments[i].length) {
    into -= clip_.segments[i].length;
    ++i;
  }
  next_ = i;
  if (i == clip_.segments.size()) return;  // past the end: silence
  const Segment& segment = clip_.segments[i];
  framesLeft_ = static_cast<int32_t>(segment.length - into);
  // A file that cannot be opened leaves the rest of this Segment reading as silence.
  if (!segment.isSilence()) openSegment(segment, into);
  next_ = i + 1;
}

}  // namespace quillon
