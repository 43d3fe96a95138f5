#include "effects/mix_kernels.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "effects/gain_math.h"
#include "platform/saturate.h"

namespace quillon {
namespace {

// The split multiply in 32-bit arithmetic; exact when scalesIn32Bits holds. When even high × v
// fits 32 bits ("narrow"), (high × v) >> 12 stands for the first and third products together.
inline int32_t splitMultiply32(int32_t high, int32_t low, int32_t v, bool narrow) {
  const int32_t upper = narrow ? (high * v) >> 12 : ((high * (v & 0xFFF)) >> 12) + high * (v >> 12);
  return upper + ((low * (v >> 12)) >> 12);
}

// The same loops over GCC vectors of 8 and 16 words, inlined into functions compiled for AVX2
// and AVX-512. Vectors never cross a call.
typedef int32_t Words8 __attribute__((vector_size(32)));
typedef int32_t Words16 __attribute__((vector_size(64)));

template <class V, bool narrow>
inline __attribute__((always_inline)) size_t mixScaledLanes(Sample* mix, const Sample* source,
                                                            size_t count, int32_t gain) {
  constexpr size_t lanes = sizeof(V) / sizeof(Sample);
  const int32_t high = gain >> 12, low = gain & 0xFFF;
  size_t i = 0;
  for (; i + lanes <= count; i += lanes) {
    V v, sum;
    std::memcpy(&v, source + i, sizeof v);
    std::memcpy(&sum, mix + i, sizeof sum);
    const V vh = v >> 12;
    if constexpr (narrow) {
      sum += (high * v) >> 12;
    } else {
      sum += ((high * (v & 0xFFF)) >> 12) + high * vh;
    }
    sum += (low * vh) >> 12;
    std::memcpy(mix + i, &sum, sizeof sum);
  }
  return i;
}

template <class V>
inline __attribute__((always_inline)) size_t mixAddedLanes(Sample* mix, const Sample* source,
                                                           size_t count) {
  constexpr size_t lanes = sizeof(V) / sizeof(Sample);
  size_t i = 0;
  for (; i + lanes <= count; i += lanes) {
    V v, sum;
    std::memcpy(&v, source + i, sizeof v);
    std::memcpy(&sum, mix + i, sizeof sum);
    sum += v;
    std::memcpy(mix + i, &sum, sizeof sum);
  }
  return i;
}

#if defined(__x86_64__)

bool hasAvx2() {
  static const bool avx2 = __builtin_cpu_supports("avx2");
  return avx2;
}

bool hasAvx512() {
  static const bool avx512 = __builtin_cpu_supports("avx512f");
  return avx512;
}

__attribute__((target("avx512f"))) size_t mixScaledAvx512(Sample* mix, const Sample* source,
                                                          size_t count, int32_t gain, bool narrow) {
  return narrow ? mixScaledLanes<Words16, true>(mix, source, count, gain)
                : mixScaledLanes<Words16, false>(mix, source, count, gain);
}

__attribute__((target("avx2"))) size_t mixScaledAvx2(Sample* mix, const Sample* source,
                                                     size_t count, int32_t gain, bool narrow) {
  return narrow ? mixScaledLanes<Words8, true>(mix, source, count, gain)
                : mixScaledLanes<Words8, false>(mix, source, count, gain);
}

__attribute__((target("avx2"))) size_t mixAddedAvx2(Sample* mix, const Sample* source,
                                                    size_t count) {
  return mixAddedLanes<Words8>(mix, source, count);
}

__attribute__((target("avx2"))) size_t extremesAvx2(const Sample* samples, size_t count,
                                                    int32_t& largest, int32_t& smallest) {
  Words8 hi = largest - Words8{}, lo = smallest - Words8{};
  size_t i = 0;
  for (; i + 8 <= count; i += 8) {
    Words8 v;
    std::memcpy(&v, samples + i, sizeof v);
    hi = v > hi ? v : hi;
    lo = v < lo ? v : lo;
  }
  for (int k = 0; k < 8; ++k) {
    largest = std::max(largest, hi[k]);
    smallest = std::min(smallest, lo[k]);
  }
  return i;
}

#endif

}  // namespace

void mixScaled(Sample* mix, const Sample* source, size_t count, int32_t gain) {
  for (size_t i = 0; i < count; ++i)
    mix[i] = saturate32(int64_t{mix[i]} + splitMultiply(gain, source[i]));
}

void mixScaledUnchecked(Sample* mix, const Sample* source, size_t count, int32_t gain,
                        int64_t peak) {
  const int32_t high = gain >> 12, low = gain & 0xFFF;
  const bool narrow = int64_t{high} * peak <= std::numeric_limits<int32_t>::max();
  size_t done = 0;
#if defined(__x86_64__)
  if (hasAvx512()) {
    done = mixScaledAvx512(mix, source, count, gain, narrow);
  } else if (hasAvx2()) {
    done = mixScaledAvx2(mix, source, count, gain, narrow);
  }
#endif
  for (size_t i = done; i < count; ++i)
    mix[i] += splitMultiply32(high, low, source[i], narrow);
}

void mixAddedUnchecked(Sample* mix, const Sample* source, size_t count) {
  size_t done = 0;
#if defined(__x86_64__)
  if (hasAvx2()) done = mixAddedAvx2(mix, source, count);
#endif
  for (size_t i = done; i < count; ++i)
    mix[i] += source[i];
}

int64_t peakMagnitude(const Sample* samples, size_t count) {
  int32_t largest = 0, smallest = 0;
  size_t done = 0;
#if defined(__x86_64__)
  if (hasAvx2()) done = extremesAvx2(samples, count, largest, smallest);
#endif
  for (size_t i = done; i < count; ++i) {
    largest = std::max(largest, samples[i]);
    smallest = std::min(smallest, samples[i]);
  }
  return std::max<int64_t>(largest, -int64_t{smallest});
}

}  // namespace quillon
