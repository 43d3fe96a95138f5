#include "document/clip_peak_reader.h"

#include <algorithm>
#include <cstring>

#include "document/block_format.h"

namespace quillon {

ClipPeakReader::ClipPeakReader(const Clip& clip) : clip_(clip), channels_(clip.channels) {
  starts_.reserve(clip.segments.size());
  for (const Segment& segment : clip.segments) {
    starts_.push_back(length_);
    length_ += segment.length;
  }
}

bool ClipPeakReader::openBlock(BlockId block) {
  if (block == openBlock_ && file_.isOpen()) return true;
  openBlock_ = block;
  return file_.open(BlockStore::instance().peakPath(block), platform::File::Mode::Read);
}

int64_t ClipPeakReader::readGroups(int64_t firstGroup, int64_t groups) {
  const size_t entryBytes = size_t(channels_) * 2;
  const size_t bytes = size_t(groups) * entryBytes;
  if (buffer_.size() < bytes) buffer_.resize(bytes);
  int64_t got =
      file_.isOpen() ? file_.readAt(buffer_.data(), bytes, firstGroup * int64_t(entryBytes)) : 0;
  got = std::max<int64_t>(got, 0) / int64_t(entryBytes);
  std::memset(buffer_.data() + got * int64_t(entryBytes), 0, bytes - size_t(got) * entryBytes);
  return got;
}

bool ClipPeakReader::forEachSpan(int64_t from, int64_t to,
                                 const std::function<bool(const PeakSpan&)>& visit) {
  from = std::max<int64_t>(from, 0);
  to = std::min(to, length_);
  if (from >= to) return true;
  // The Segment that holds `from`: the last one starting at or before it.
  size_t index = size_t(std::upper_bound(starts_.begin(), starts_.end(), from) - starts_.begin());
  index = index > 0 ? index - 1 : 0;
  for (; index < clip_.segments.size() && starts_[index] < to; ++index) {
    const Segment& segment = clip_.segments[index];
    const int64_t segmentStart = starts_[index];
    int64_t start = std::max(from, segmentStart);
    const int64_t end = std::min(to, segmentStart + segment.length);
    if (start >= end) continue;
    PeakSpan span;
    span.gain = segment.gain;
    if (segment.isSilence()) {
      span.start = span.groupStart = start;
      span.end = end;
      if (!visit(span)) return false;
      continue;
    }
    const bool readable = openBlock(segment.block());
    while (start < end) {
      // Block frames of this stretch, and the groups that hold them.
      const int64_t blockFrame = int64_t(segment.offset) + (start - segmentStart);
      const int64_t firstGroup = blockFrame / kPeakGroupFrames;
      const int64_t lastGroup = (blockFrame + (end - start) - 1) / kPeakGroupFrames;
      const int64_t groups = std::min(lastGroup - firstGroup + 1, kBatchGroups);
      span.start = start;
      span.groupStart = start - (blockFrame - firstGroup * kPeakGroupFrames);
      span.end = std::min(end, span.groupStart + groups * kPeakGroupFrames);
      span.groups = groups;
      if (readable) {
        readGroups(firstGroup, groups);
        span.entries = buffer_.data();
      } else {
        span.entries = nullptr;
      }
      if (!visit(span)) return false;
      start = span.end;
    }
  }
  return true;
}

int64_t ClipPeakReader::readSegmentPeaks(size_t index, int64_t groups, uint8_t* out) {
  const size_t bytes = size_t(std::max<int64_t>(groups, 0)) * size_t(channels_) * 2;
  std::memset(out, 0, bytes);
  if (index >= clip_.segments.size() || groups <= 0) return 0;
  const Segment& segment = clip_.segments[index];
  if (segment.isSilence() || !openBlock(segment.block())) return 0;
  const int64_t got = readGroups(segment.offset / kPeakGroupFrames, groups);
  const int32_t factor = segment.gain >> 16;
  for (size_t i = 0; i < bytes; ++i)
    out[i] = peakThroughGain(buffer_[i], factor);
  return got;
}

}  // namespace quillon
