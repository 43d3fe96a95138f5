#include "effects/delay_tap_mixer.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <limits>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace quillon {

// How a tap is added in the pass of 32-bit lanes.
enum class TapKind : uint8_t {
  kUpper,   // (high × v) >> 12; its low product goes through the 16-bit pass
  kNarrow,  // (high × v) >> 12 and the low product
  kWide,    // high × v may leave 32 bits: the three products
};

struct DelayTapMixer::PreparedTap {
  const Sample* source;
  const int16_t* doubledHighs;  // of the 16-bit pass
  size_t offset, end;
  int32_t high, low;
  int32_t lowBound;  // of |the low product|
  TapKind kind;
};

// A source as 2 × (v >> 12) in 16 bits, with zeros around it.
struct DelayTapMixer::HalvedSource {
  const Sample* source;
  size_t count;
  std::vector<int16_t> storage;
};

namespace {

using PreparedTap = DelayTapMixer::PreparedTap;

// The low product (low × (v >> 12)) >> 12 is the upper half of the 16-bit product
// (8 × low) × (2 × (v >> 12)): 8 × low < 2^15, and 2 × (v >> 12) fits 16 bits while |v| < 2^26.
constexpr int64_t kLargestHalvedPeak = (int64_t{16384} << 12) - 1;
// 16-bit sums are widened before their bounds could pass this.
constexpr int32_t kLargestHalfSum = std::numeric_limits<int16_t>::max();
// The zeros around a halved source: the longest stretch of the 16-bit pass.
constexpr size_t kHalvedPadding = 512;

// The split multiply in 32-bit arithmetic, exact when scalesIn32Bits holds. When even high × v
// fits 32 bits ("narrow"), (high × v) >> 12 stands for the first and third products together.
inline int32_t upperProduct(int32_t high, int32_t v, bool narrow) {
  return narrow ? (high * v) >> 12 : ((high * (v & 0xFFF)) >> 12) + high * (v >> 12);
}
inline int32_t lowProduct(int32_t low, int32_t v) {
  return (low * (v >> 12)) >> 12;
}

bool isNarrow(int32_t gain, int64_t peak) {
  return int64_t{gain >> 12} * peak <= std::numeric_limits<int32_t>::max();
}

// Opens the taps whose stretch has begun and closes the ones that ended before `t`.
void moveWindow(const PreparedTap*& next, const PreparedTap* last, size_t t, size_t stretch,
                std::vector<const PreparedTap*>& active) {
  for (; next < last && next->offset < t + stretch; ++next)
    active.push_back(next);
  std::erase_if(active, [t](const PreparedTap* tap) { return tap->end <= t; });
}

size_t endOf(const PreparedTap* first, const PreparedTap* last) {
  size_t end = 0;
  for (const PreparedTap* tap = first; tap < last; ++tap)
    end = std::max(end, tap->end);
  return end;
}

#if defined(__x86_64__)

typedef int16_t NarrowWords8 __attribute__((vector_size(16)));
typedef int32_t Words8 __attribute__((vector_size(32)));
typedef int16_t Halves16 __attribute__((vector_size(32)));
typedef int16_t NarrowWords16 __attribute__((vector_size(32)));
typedef int32_t Words16 __attribute__((vector_size(64)));
typedef int16_t Halves32 __attribute__((vector_size(64)));

// The operations of the 16-bit pass in each instruction set. The passes below are templates of
// no instruction set; the functions that run them take everything into themselves ("flatten"), so
// that the sums of a stretch stay in registers.
struct Avx2Lanes {
  using Words = Words8;
  using NarrowWords = NarrowWords8;  // as many 16-bit lanes as Words has
  using Halves = Halves16;
  static constexpr size_t kUpperVectors = 4;  // 32 words a stretch
  static constexpr size_t kLowerVectors = 8;  // 128 words a stretch

  // sums += the upper halves of from[i] × factor.
  __attribute__((target("avx2"))) static void addUpperHalves(Halves& sums, const int16_t* from,
                                                             int16_t factor) {
    Halves h;
    std::memcpy(&h, from, sizeof h);
    sums += Halves(_mm256_mulhi_epi16(__m256i(h), _mm256_set1_epi16(factor)));
  }
  // Adds the 16-bit sums into the mix at `to` and clears them.
  __attribute__((target("avx2"))) static void addWidened(Sample* to, Halves& sums) {
    Words first, second;
    std::memcpy(&first, to, sizeof first);
    std::memcpy(&second, to + 8, sizeof second);
    first += Words(_mm256_cvtepi16_epi32(_mm256_castsi256_si128(__m256i(sums))));
    second += Words(_mm256_cvtepi16_epi32(_mm256_extracti128_si256(__m256i(sums), 1)));
    std::memcpy(to, &first, sizeof first);
    std::memcpy(to + 8, &second, sizeof second);
    sums = Halves{};
  }
};

struct Avx512Lanes {
  using Words = Words16;
  using NarrowWords = NarrowWords16;
  using Halves = Halves32;
  static constexpr size_t kUpperVectors = 8;   // 128 words a stretch
  static constexpr size_t kLowerVectors = 16;  // 512 words a stretch

  __attribute__((target("avx512f,avx512bw"))) static void addUpperHalves(Halves& sums,
                                                                         const int16_t* from,
                                                                         int16_t factor) {
    Halves h;
    std::memcpy(&h, from, sizeof h);
    sums += Halves(_mm512_mulhi_epi16(__m512i(h), _mm512_set1_epi16(factor)));
  }
  // (The zero-masking forms: the plain ones trip a false "uninitialized" warning of GCC 12.)
  __attribute__((target("avx512f,avx512bw"))) static void addWidened(Sample* to, Halves& sums) {
    Words first, second;
    std::memcpy(&first, to, sizeof first);
    std::memcpy(&second, to + 16, sizeof second);
    const __m512i all = __m512i(sums);
    first +=
        Words(_mm512_maskz_cvtepi16_epi32(0xFFFF, _mm512_maskz_extracti64x4_epi64(0xF, all, 0)));
    second +=
        Words(_mm512_maskz_cvtepi16_epi32(0xFFFF, _mm512_maskz_extracti64x4_epi64(0xF, all, 1)));
    std::memcpy(to, &first, sizeof first);
    std::memcpy(to + 16, &second, sizeof second);
    sums = Halves{};
  }
};

// The 32-bit pass: each stretch of the mix is loaded once, every tap covering it is added, and
// it is stored once. A tap that covers only part of a stretch reads the zeros around its source
// for the rest. The last, partial stretch goes word by word.
template <class Lanes>
void addUpperInStretches(Sample* mix, const PreparedTap* first, const PreparedTap* last,
                         std::vector<const PreparedTap*>& active) {
  using Words = typename Lanes::Words;
  constexpr size_t kVectors = Lanes::kUpperVectors, kLanes = sizeof(Words) / sizeof(Sample);
  constexpr size_t kStretch = kLanes * kVectors;
  static_assert(kStretch <= kDelayTapPadding);
  const size_t end = endOf(first, last);
  active.clear();
  const PreparedTap* next = first;
  size_t t = first < last ? first->offset : 0;
  for (; t + kStretch <= end; t += kStretch) {
    moveWindow(next, last, t, kStretch, active);
    Words sums[kVectors];
#pragma GCC unroll 16
    for (size_t k = 0; k < kVectors; ++k)
      std::memcpy(&sums[k], mix + t + k * kLanes, sizeof(Words));
    for (const PreparedTap* tap : active) {
      const Sample* source = tap->source + (ptrdiff_t(t) - ptrdiff_t(tap->offset));
      const int32_t high = tap->high, low = tap->low;
      if (tap->kind == TapKind::kUpper) {
#pragma GCC unroll 16
        for (size_t k = 0; k < kVectors; ++k) {
          Words v;
          std::memcpy(&v, source + k * kLanes, sizeof v);
          sums[k] += (high * v) >> 12;
        }
      } else if (tap->kind == TapKind::kNarrow) {
#pragma GCC unroll 16
        for (size_t k = 0; k < kVectors; ++k) {
          Words v;
          std::memcpy(&v, source + k * kLanes, sizeof v);
          sums[k] += ((high * v) >> 12) + ((low * (v >> 12)) >> 12);
        }
      } else {
#pragma GCC unroll 16
        for (size_t k = 0; k < kVectors; ++k) {
          Words v;
          std::memcpy(&v, source + k * kLanes, sizeof v);
          const Words vh = v >> 12;
          sums[k] += ((high * (v & 0xFFF)) >> 12) + high * vh + ((low * vh) >> 12);
        }
      }
    }
#pragma GCC unroll 16
    for (size_t k = 0; k < kVectors; ++k)
      std::memcpy(mix + t + k * kLanes, &sums[k], sizeof(Words));
  }
  for (const PreparedTap* tap = first; tap < last; ++tap) {
    const bool narrow = tap->kind != TapKind::kWide;
    for (size_t at = std::max(t, tap->offset); at < tap->end; ++at) {
      const Sample v = tap->source[at - tap->offset];
      mix[at] += upperProduct(tap->high, v, narrow);
      if (tap->kind != TapKind::kUpper) mix[at] += lowProduct(tap->low, v);
    }
  }
}

// The 16-bit pass, in the same stretches; the sums are widened into the mix whenever the bounds
// of the next tap's products could carry them beyond 16 bits, and at the end of the stretch.
template <class Lanes>
void addLowerInStretches(Sample* mix, const PreparedTap* first, const PreparedTap* last,
                         std::vector<const PreparedTap*>& active) {
  using Halves = typename Lanes::Halves;
  constexpr size_t kVectors = Lanes::kLowerVectors, kLanes = sizeof(Halves) / sizeof(int16_t);
  constexpr size_t kStretch = kLanes * kVectors;
  static_assert(kStretch <= kHalvedPadding);
  const size_t end = endOf(first, last);
  active.clear();
  const PreparedTap* next = first;
  size_t t = first < last ? first->offset : 0;
  for (; t + kStretch <= end; t += kStretch) {
    moveWindow(next, last, t, kStretch, active);
    Halves sums[kVectors];
#pragma GCC unroll 16
    for (size_t k = 0; k < kVectors; ++k)
      sums[k] = Halves{};
    int32_t bound = 0;
    for (const PreparedTap* tap : active) {
      if (bound + tap->lowBound > kLargestHalfSum) {
#pragma GCC unroll 16
        for (size_t k = 0; k < kVectors; ++k)
          Lanes::addWidened(mix + t + k * kLanes, sums[k]);
        bound = 0;
      }
      bound += tap->lowBound;
      const int16_t* from = tap->doubledHighs + (ptrdiff_t(t) - ptrdiff_t(tap->offset));
      const auto factor = int16_t(8 * tap->low);
#pragma GCC unroll 16
      for (size_t k = 0; k < kVectors; ++k)
        Lanes::addUpperHalves(sums[k], from + k * kLanes, factor);
    }
#pragma GCC unroll 16
    for (size_t k = 0; k < kVectors; ++k)
      Lanes::addWidened(mix + t + k * kLanes, sums[k]);
  }
  for (const PreparedTap* tap = first; tap < last; ++tap) {
    for (size_t at = std::max(t, tap->offset); at < tap->end; ++at)
      mix[at] += lowProduct(tap->low, tap->source[at - tap->offset]);
  }
}

// 2 × (v >> 12) of a source's words, as 16-bit words.
template <class Lanes>
void halve(const Sample* source, size_t count, int16_t* to) {
  using Words = typename Lanes::Words;
  using NarrowWords = typename Lanes::NarrowWords;
  constexpr size_t kLanes = sizeof(Words) / sizeof(Sample);
  size_t i = 0;
  for (; i + kLanes <= count; i += kLanes) {
    Words v;
    std::memcpy(&v, source + i, sizeof v);
    const NarrowWords h = __builtin_convertvector((v >> 12) * 2, NarrowWords);
    std::memcpy(to + i, &h, sizeof h);
  }
  for (; i < count; ++i)
    to[i] = int16_t(2 * (source[i] >> 12));
}

// Both passes, one source at a time: the taps of one source read overlapping parts of it, which
// then come from the nearest cache.
template <class Lanes>
void addInStretches(Sample* mix, const std::vector<PreparedTap>& upper,
                    const std::vector<PreparedTap>& lower, std::vector<const PreparedTap*>& active,
                    std::vector<DelayTapMixer::HalvedSource>& halved, size_t halvedCount) {
  for (size_t h = 0; h < halvedCount; ++h)
    halve<Lanes>(halved[h].source, halved[h].count, halved[h].storage.data() + kHalvedPadding);
  for (const PreparedTap* first = upper.data(); first < upper.data() + upper.size();) {
    const PreparedTap* last = first;
    while (last < upper.data() + upper.size() && last->source == first->source)
      ++last;
    addUpperInStretches<Lanes>(mix, first, last, active);
    first = last;
  }
  for (const PreparedTap* first = lower.data(); first < lower.data() + lower.size();) {
    const PreparedTap* last = first;
    while (last < lower.data() + lower.size() && last->doubledHighs == first->doubledHighs)
      ++last;
    addLowerInStretches<Lanes>(mix, first, last, active);
    first = last;
  }
}

__attribute__((target("avx2"), flatten)) void addInStretchesAvx2(
    Sample* mix, const std::vector<PreparedTap>& upper, const std::vector<PreparedTap>& lower,
    std::vector<const PreparedTap*>& active, std::vector<DelayTapMixer::HalvedSource>& halved,
    size_t halvedCount) {
  addInStretches<Avx2Lanes>(mix, upper, lower, active, halved, halvedCount);
}

__attribute__((target("avx512f,avx512bw"), flatten)) void addInStretchesAvx512(
    Sample* mix, const std::vector<PreparedTap>& upper, const std::vector<PreparedTap>& lower,
    std::vector<const PreparedTap*>& active, std::vector<DelayTapMixer::HalvedSource>& halved,
    size_t halvedCount) {
  addInStretches<Avx512Lanes>(mix, upper, lower, active, halved, halvedCount);
}

#endif

}  // namespace

MixLanes widestMixLanes() {
#if defined(__x86_64__)
  static const MixLanes widest =
      __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") ? MixLanes::kAvx512
      : __builtin_cpu_supports("avx2")                                        ? MixLanes::kAvx2
                                                                              : MixLanes::kScalar;
  return widest;
#else
  return MixLanes::kScalar;
#endif
}

DelayTapMixer::DelayTapMixer() = default;
DelayTapMixer::~DelayTapMixer() = default;

void DelayTapMixer::add(Sample* mix, const DelayTap* taps, size_t count, MixLanes lanes) {
#if defined(__x86_64__)
  if (lanes != MixLanes::kScalar) {
    prepare(taps, count);
    if (lanes == MixLanes::kAvx512) {
      addInStretchesAvx512(mix, upperTaps_, lowerTaps_, active_, halved_, halvedCount_);
    } else {
      addInStretchesAvx2(mix, upperTaps_, lowerTaps_, active_, halved_, halvedCount_);
    }
    return;
  }
#endif
  for (const DelayTap* tap = taps; tap < taps + count; ++tap) {
    const int32_t high = tap->gain >> 12, low = tap->gain & 0xFFF;
    const bool narrow = isNarrow(tap->gain, tap->peak);
    Sample* at = mix + tap->offset;
    for (size_t i = 0; i < tap->count; ++i)
      at[i] += upperProduct(high, tap->source[i], narrow) + lowProduct(low, tap->source[i]);
  }
}

// Sorts the taps into the two passes and halves the sources of the 16-bit pass.
void DelayTapMixer::prepare(const DelayTap* taps, size_t count) {
  upperTaps_.clear();
  lowerTaps_.clear();
  size_t& halvedCount = halvedCount_;
  halvedCount = 0;
  for (const DelayTap* tap = taps; tap < taps + count; ++tap) {
    const int32_t high = tap->gain >> 12, low = tap->gain & 0xFFF;
    const bool narrow = isNarrow(tap->gain, tap->peak);
    PreparedTap prepared{
        tap->source, nullptr, tap->offset, tap->offset + tap->count,
        high,        low,     0,           narrow ? TapKind::kNarrow : TapKind::kWide};
    if (narrow && tap->peak <= kLargestHalvedPeak) {
      size_t h = 0;
      while (h < halvedCount &&
             (halved_[h].source != tap->source || halved_[h].count != tap->count))
        ++h;
      if (h == halvedCount) {
        if (h == halved_.size()) halved_.emplace_back();
        HalvedSource& halved = halved_[h];
        halved.source = tap->source;
        halved.count = tap->count;
        halved.storage.resize(tap->count + 2 * kHalvedPadding);
        int16_t* words = halved.storage.data();
        std::fill_n(words, kHalvedPadding, 0);
        std::fill_n(words + kHalvedPadding + tap->count, kHalvedPadding, 0);
        ++halvedCount;
      }
      prepared.doubledHighs = halved_[h].storage.data() + kHalvedPadding;
      prepared.lowBound = int32_t((int64_t{low} * ((tap->peak >> 12) + 1) >> 12) + 1);
      prepared.kind = TapKind::kUpper;
      lowerTaps_.push_back(prepared);
    }
    if (high != 0 || prepared.kind != TapKind::kUpper) upperTaps_.push_back(prepared);
  }
  std::sort(upperTaps_.begin(), upperTaps_.end(), [](const PreparedTap& a, const PreparedTap& b) {
    if (a.source != b.source) return std::less<const Sample*>()(a.source, b.source);
    return a.offset < b.offset;
  });
  std::sort(lowerTaps_.begin(), lowerTaps_.end(), [](const PreparedTap& a, const PreparedTap& b) {
    if (a.doubledHighs != b.doubledHighs) {
      return std::less<const int16_t*>()(a.doubledHighs, b.doubledHighs);
    }
    return a.offset < b.offset;
  });
}

}  // namespace quillon
