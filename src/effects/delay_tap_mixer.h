#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "document/sample_types.h"

namespace quillon {

// One delay tap: `count` words of `source`, scaled by `gain` with the split multiply, added into
// a mix from word `offset` on. Every |source[i]| ≤ peak.
struct DelayTap {
  const Sample* source;
  size_t offset;
  size_t count;
  int32_t gain;
  int64_t peak;
};

// The words before and after every tap's source that the mixer may read: they must be readable
// and zero.
constexpr size_t kDelayTapPadding = 128;

// The ways of adding taps: one tap after the other, word by word; or a stretch of the mix at a
// time in AVX2 or AVX-512 (with its 16-bit operations) registers.
enum class MixLanes { kScalar, kAvx2, kAvx512 };
// The widest way this processor has.
MixLanes widestMixLanes();

// Adds many delayed, scaled copies of a few signals into one mix: the reflections and late echoes
// of the reverb. Where no sum can leave 32 bits the order of the sums does not matter, so the mix
// is taken a stretch at a time and every tap covering the stretch is added in registers before
// the stretch is stored. The split multiply of a tap whose gain keeps high × v within 32 bits is
// (high × v) >> 12 plus a low product (low × (v >> 12)) >> 12 that is small; the low products are
// added in 16-bit lanes (twice as many at once) in a pass of their own, and gains below 1/4096
// have nothing else. The mixer keeps its working buffers from one call to the next.
class DelayTapMixer {
 public:
  DelayTapMixer();
  ~DelayTapMixer();

  // mix[tap.offset + i] += splitMultiply(tap.gain, tap.source[i]) for every tap and i < count,
  // in 32-bit arithmetic. The caller guarantees that scalesIn32Bits(gain, peak) holds for every
  // tap, that no sum of the mix and any of the taps leaves 32 bits, and the zero padding around
  // every source; then every way gives the same words. `lanes` must be one this processor has.
  void add(Sample* mix, const DelayTap* taps, size_t count, MixLanes lanes = widestMixLanes());

  struct PreparedTap;
  struct HalvedSource;

 private:
  void prepare(const DelayTap* taps, size_t count);

  std::vector<PreparedTap> upperTaps_;  // in 32-bit lanes, by offset
  std::vector<PreparedTap> lowerTaps_;  // low products in 16-bit lanes, by offset
  std::vector<HalvedSource> halved_;
  size_t halvedCount_ = 0;  // of halved_ in use
  std::vector<const PreparedTap*> active_;
};

}  // namespace quillon
