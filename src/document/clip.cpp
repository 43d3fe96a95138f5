#include "document/clip.h"

#include <algorithm>
#include <limits>
#include <utility>

namespace quillon {

Segment Segment::adopt(BlockId block, int32_t length, int32_t gain, int32_t offset) {
  Segment segment;
  segment.block_ = block;
  segment.length = length;
  segment.gain = gain;
  segment.offset = offset;
  return segment;
}

Segment::Segment(const Segment& other)
    : length(other.length), gain(other.gain), offset(other.offset), block_(other.block_) {
  BlockStore::instance().addRef(block_);
}

Segment::Segment(Segment&& other) noexcept
    : length(other.length),
      gain(other.gain),
      offset(other.offset),
      block_(std::exchange(other.block_, NoBlock)) {}

Segment& Segment::operator=(const Segment& other) {
  if (this != &other) *this = Segment(other);
  return *this;
}

Segment& Segment::operator=(Segment&& other) noexcept {
  if (this != &other) {
    BlockStore::instance().release(block_);
    block_ = std::exchange(other.block_, NoBlock);
    length = other.length;
    gain = other.gain;
    offset = other.offset;
  }
  return *this;
}

Segment::~Segment() {
  BlockStore::instance().release(block_);
}

int32_t Clip::length() const {
  int64_t total = 0;
  for (const Segment& segment : segments)
    total += segment.length;
  return static_cast<int32_t>(std::min<int64_t>(total, std::numeric_limits<int32_t>::max()));
}

}  // namespace quillon
