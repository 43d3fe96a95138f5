#include "document/clip_editing.h"

#include <algorithm>
#include <iterator>
#include <limits>

namespace quillon {
namespace {

constexpr int64_t kMaxFrames = std::numeric_limits<int32_t>::max();

int32_t toFrames(int64_t value) {
  return static_cast<int32_t>(std::clamp<int64_t>(value, -kMaxFrames, kMaxFrames));
}

// Walks whole Segments off `position` while it reaches past them: answers the index of the
// Segment that `position` then falls into (or the chain's size) and leaves the offset into it.
size_t locate(const std::vector<Segment>& segments, int64_t& position) {
  size_t i = 0;
  while (i < segments.size() && position >= segments[i].length) {
    position -= segments[i].length;
    ++i;
  }
  return i;
}

// Inserts `pieces` so that they start `into` frames into Segment i (0 < into < its length),
// splitting that Segment around them.
void spliceInto(std::vector<Segment>& segments, size_t i, int64_t into,
                std::vector<Segment> pieces) {
  Segment tail = segments[i];
  tail.offset = toFrames(tail.offset + into);
  tail.length = toFrames(tail.length - into);
  segments[i].length = toFrames(into);
  pieces.push_back(std::move(tail));
  segments.insert(segments.begin() + static_cast<ptrdiff_t>(i) + 1,
                  std::make_move_iterator(pieces.begin()), std::make_move_iterator(pieces.end()));
}

}  // namespace

void deleteRange(Clip& clip, int32_t a, int32_t b) {
  if (b < a || b < 0) return;
  const int64_t start = std::max(a, 0);
  int64_t end = b;  // shrinks as frames disappear, so it stays in the chain's coordinates
  if (start >= end) return;

  std::vector<Segment>& segments = clip.segments;
  std::vector<Segment> kept;
  kept.reserve(segments.size() + 1);
  int64_t c = 0;  // where the current Segment starts
  size_t i = 0;
  for (; i < segments.size(); ++i) {
    Segment& segment = segments[i];
    const int64_t segmentEnd = c + segment.length;
    if (segmentEnd <= start) {
      kept.push_back(std::move(segment));
      c = segmentEnd;
      continue;
    }
    if (end < segmentEnd) {
      if (c < start) {  // the range lies strictly inside: split around it
        Segment tail = segment;
        tail.offset = toFrames(segment.offset + (end - c));
        tail.length = toFrames(segmentEnd - end);
        segment.length = toFrames(start - c);
        kept.push_back(std::move(segment));
        kept.push_back(std::move(tail));
      } else {  // the range ends inside: cut the head
        segment.offset = toFrames(segment.offset + (end - c));
        segment.length = toFrames(segmentEnd - end);
        kept.push_back(std::move(segment));
      }
      ++i;
      break;
    }
    // The range covers this Segment's tail.
    end -= segmentEnd - start;
    if (start > c) {
      segment.length = toFrames(start - c);
      kept.push_back(std::move(segment));
      c = start;
    }
    // Otherwise the whole Segment goes; it is released with the old chain.
  }
  for (; i < segments.size(); ++i)
    kept.push_back(std::move(segments[i]));
  segments = std::move(kept);
}

void keepRange(Clip& clip, int32_t a, int32_t b) {
  const int32_t start = std::max(a, 0);
  deleteBefore(clip, start);
  deleteFrom(clip, toFrames(int64_t{b} - start));
}

void deleteBefore(Clip& clip, int32_t a) {
  if (a > 0) deleteRange(clip, 0, a);
}

void deleteFrom(Clip& clip, int32_t a) {
  deleteRange(clip, a, clip.length());
}

void insertClip(Clip& clip, int32_t at, const Clip& other) {
  std::vector<Segment> pieces = other.segments;  // copied first: other may be clip itself
  std::vector<Segment>& segments = clip.segments;
  int64_t position = at;
  const size_t i = locate(segments, position);
  if (position > 0 && i < segments.size()) {
    spliceInto(segments, i, position, std::move(pieces));
    return;
  }
  if (i == segments.size() && position > 0) {
    pieces.insert(pieces.begin(), Segment::silence(toFrames(position)));
  }
  if (at < 0) pieces.push_back(Segment::silence(toFrames(-int64_t{at})));
  segments.insert(segments.begin() + static_cast<ptrdiff_t>(i),
                  std::make_move_iterator(pieces.begin()), std::make_move_iterator(pieces.end()));
}

void insertSilence(Clip& clip, int32_t at, int32_t frames) {
  int64_t length = frames;
  int64_t position = at;
  if (position < 0) {
    length += position;
    position = 0;
  }
  if (length <= 0) return;
  std::vector<Segment>& segments = clip.segments;
  const size_t i = locate(segments, position);
  if (i == segments.size()) {
    segments.push_back(Segment::silence(toFrames(length + position)));
  } else if (position > 0) {
    std::vector<Segment> pieces;
    pieces.push_back(Segment::silence(toFrames(length)));
    spliceInto(segments, i, position, std::move(pieces));
  } else {
    segments.insert(segments.begin() + static_cast<ptrdiff_t>(i),
                    Segment::silence(toFrames(length)));
  }
}

void copyRange(const Clip& source, int32_t a, int32_t b, Clip& out) {
  if (b < a) return;
  Clip result = source;
  if (a > 0) {
    deleteRange(result, 0, a);
  } else if (a < 0) {
    insertSilence(result, 0, toFrames(-int64_t{a}));
  }
  const int32_t have = result.length();
  const int32_t want = toFrames(int64_t{b} - a);
  if (want < have) deleteRange(result, want, have);
  if (have < want) insertSilence(result, have, want - have);
  out = std::move(result);
}

void cutRange(Clip& source, int32_t a, int32_t b, Clip& out) {
  copyRange(source, a, b, out);
  deleteRange(source, a, b);
}

void replaceRange(Clip& clip, int32_t a, int32_t b, const Clip& other) {
  deleteRange(clip, a, b);
  insertClip(clip, a, other);
}

void silenceRange(Clip& clip, int32_t a, int32_t b) {
  deleteRange(clip, a, b);
  insertSilence(clip, a, toFrames(int64_t{b} - a));
}

int32_t scaledGain(int32_t gain, int32_t percent) {
  // Only a gain that would pass the largest one saturates; lowering always lowers, also a gain
  // that earlier scaling left at the largest.
  if (percent > 100 && gain >= (kMaxGain / percent) * 100) return kMaxGain;
  return static_cast<int32_t>(std::clamp<int64_t>(int64_t{percent} * (gain / 100),
                                                  std::numeric_limits<int32_t>::min(), kMaxGain));
}

void scaleRange(Clip& clip, int32_t a, int32_t b, int32_t percent) {
  if (b < a || percent == 100) return;
  const int32_t length = clip.length();
  a = std::clamp(a, 0, length);
  b = std::clamp(b, 0, length);
  if (a == b) return;
  Clip scaled;
  copyRange(clip, a, b, scaled);
  deleteRange(clip, a, b);
  for (Segment& segment : scaled.segments)
    segment.gain = scaledGain(segment.gain, percent);
  insertClip(clip, a, scaled);
}

}  // namespace quillon
