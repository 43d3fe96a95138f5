#pragma once

#include <cstdint>
#include <vector>

#include "document/block_store.h"
#include "document/sample_types.h"

namespace quillon {

// One link of a chain: `length` frames of a block from frame `offset` on, read with `gain`
// (8.24). A Segment of NoBlock is silence. Every Segment owns one reference to its block:
// copying adds one, destruction releases it.
class Segment {
 public:
  Segment() = default;
  // Takes over a reference that the caller holds.
  static Segment adopt(BlockId block, int32_t length, int32_t gain = kUnityGain,
                       int32_t offset = 0);
  // Silence: NoBlock, unity gain, offset 0.
  static Segment silence(int32_t length) { return adopt(NoBlock, length); }

  Segment(const Segment& other);
  Segment(Segment&& other) noexcept;
  Segment& operator=(const Segment& other);
  Segment& operator=(Segment&& other) noexcept;
  ~Segment();

  BlockId block() const { return block_; }
  bool isSilence() const { return block_ == NoBlock; }

  int32_t length = 0;
  int32_t gain = kUnityGain;
  int32_t offset = 0;

 private:
  BlockId block_ = NoBlock;
};

// A document's audio: a chain of Segments in playing order with the format they share.
// Copying a Clip copies its Segments (adding references); clearing releases them.
struct Clip {
  int32_t sampleRate = kDefaultSampleRate;
  uint8_t channels = 1;
  std::vector<Segment> segments;

  // The sum of the Segment lengths.
  int32_t length() const;
  void clear() { segments.clear(); }
  void copy(const Clip& other) { *this = other; }
};

}  // namespace quillon
