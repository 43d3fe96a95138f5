#include "document/block_writer.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <limits>

#include "document/block_format.h"
#include "document/sample_kernels.h"

namespace quillon {

BlockWriter::BlockWriter(Clip& target, int32_t sampleRate, int channels)
    : SampleSink(sampleRate, channels),
      target_(target),
      maxima_(this->channels(), 0),
      minima_(this->channels(), 0) {
  BlockStore& store = BlockStore::instance();
  const BlockId id = store.allocate();
  if (id == NoBlock) {
    failWith(ENOSPC);
    return;
  }
  segment_ = Segment::adopt(id, 0);
  if (!samples_.open(store.samplePath(id), platform::File::Mode::Create)) {
    failWith(samples_.error());
  } else if (!peaks_.open(store.peakPath(id), platform::File::Mode::Create)) {
    failWith(peaks_.error());
  }
}

void BlockWriter::failWith(int error) {
  fail(error);
  samples_.close();
  peaks_.close();
}

bool BlockWriter::write(const Sample* buffer, int32_t frames) {
  if (finished_) return false;
  if (frames <= 0) return !failed();
  addFramesWritten(frames);
  if (failed()) {
    samples_.close();
    peaks_.close();
    return false;
  }

  const size_t count = size_t(frames) * channels();
  const size_t bytes = count * kBytesPerSample;
  bool written;
  if constexpr (std::endian::native == std::endian::little) {
    written = samples_.writeAt(buffer, bytes, sampleOffset_);
  } else {
    std::vector<Sample> swapped(buffer, buffer + count);
    swapSampleBytesIfBigEndian(swapped.data(), count);
    written = samples_.writeAt(swapped.data(), bytes, sampleOffset_);
  }
  if (!written) {
    failWith(samples_.error());
    return false;
  }
  sampleOffset_ += int64_t(bytes);

  summarise(buffer, frames);
  writePendingPeaks();
  return !failed();
}

// Running maxima and minima per channel, a group of 256 frames at a time. For 1, 2, 4 and 8
// channels the scan runs over eight interleaved lanes that map onto channels without a stride.
void BlockWriter::summarise(const Sample* samples, int32_t frames) {
  const int ch = channels();
  const bool lanesFitChannels = 8 % ch == 0;
  while (frames > 0) {
    const int32_t d = std::min(frames, kPeakGroupFrames - groupFill_);
    const size_t count = size_t(d) * ch;
    if (lanesFitChannels) {
      int32_t hi[8] = {}, lo[8] = {};
      accumulateExtremes(samples, count, hi, lo);
      for (int k = 0; k < 8; ++k) {
        maxima_[k % ch] = std::max(maxima_[k % ch], hi[k]);
        minima_[k % ch] = std::min(minima_[k % ch], lo[k]);
      }
    } else {
      for (int c = 0; c < ch; ++c) {
        int32_t hi = maxima_[c], lo = minima_[c];
        for (size_t i = size_t(c); i < count; i += size_t(ch)) {
          hi = std::max(hi, samples[i]);
          lo = std::min(lo, samples[i]);
        }
        maxima_[c] = hi;
        minima_[c] = lo;
      }
    }
    groupFill_ += d;
    groupTouched_ = true;
    if (groupFill_ == kPeakGroupFrames) flushGroup();
    samples += count;
    frames -= d;
  }
}

void BlockWriter::flushGroup() {
  for (size_t c = 0; c < maxima_.size(); ++c) {
    pendingPeaks_.push_back(peakByte(maxima_[c]));
    // The minimum is never positive; its magnitude, computed without overflowing at INT32_MIN.
    pendingPeaks_.push_back(peakByte(static_cast<int32_t>(
        std::min<int64_t>(-int64_t{minima_[c]}, std::numeric_limits<int32_t>::max()))));
    maxima_[c] = 0;
    minima_[c] = 0;
  }
  groupFill_ = 0;
  groupTouched_ = false;
}

void BlockWriter::writePendingPeaks() {
  if (pendingPeaks_.empty()) return;
  if (!failed()) {
    if (peaks_.writeAt(pendingPeaks_.data(), pendingPeaks_.size(), peakOffset_)) {
      peakOffset_ += int64_t(pendingPeaks_.size());
    } else {
      failWith(peaks_.error());
    }
  }
  pendingPeaks_.clear();
}

void BlockWriter::seek(int32_t frame) {
  if (finished_) return;
  if (groupTouched_) {  // summarise what the group received before moving away
    flushGroup();
    writePendingPeaks();
  }
  frame = std::max(frame, 0);
  sampleOffset_ = int64_t{frame} * channels() * kBytesPerSample;
  setFramesWritten(frame);
  peakOffset_ = peakEntryOffset(frame, channels());
  std::fill(maxima_.begin(), maxima_.end(), 0);
  std::fill(minima_.begin(), minima_.end(), 0);
  groupFill_ = frame % kPeakGroupFrames;
}

bool BlockWriter::finish() {
  if (finished_) return !failed();
  finished_ = true;
  if (groupTouched_) {
    flushGroup();
    writePendingPeaks();
  }
  target_.clear();
  target_.sampleRate = sampleRate();
  target_.channels = channels();
  if (failed()) {
    // Hand over no broken block: the producer sees the status, and the disk space comes back.
    target_.segments.push_back(Segment::silence(framesWritten()));
  } else {
    segment_.length = framesWritten();
    target_.segments.push_back(segment_);
  }
  samples_.close();
  peaks_.close();
  segment_ = Segment();  // the writer's own reference goes; the target's copy keeps the block
  return !failed();
}

BlockWriter::~BlockWriter() {
  finish();
}

}  // namespace quillon
