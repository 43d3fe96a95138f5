#include "document/sample_kernels.h"

#include <algorithm>
#include <cstdlib>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace quillon {
namespace {

void applyCoarseGainPlain(Sample* samples, size_t count, int32_t coarse) {
  for (size_t i = 0; i < count; ++i)
    samples[i] = applyCoarseGain(samples[i], coarse);
}

void accumulateExtremesPlain(const Sample* samples, size_t count, int32_t maxima[8],
                             int32_t minima[8]) {
  for (size_t i = 0; i < count; ++i) {
    maxima[i % 8] = std::max(maxima[i % 8], samples[i]);
    minima[i % 8] = std::min(minima[i % 8], samples[i]);
  }
}

#if defined(__x86_64__)

bool hasAvx2() {
  static const bool avx2 = __builtin_cpu_supports("avx2");
  return avx2;
}

// Eight samples at a time: the products are formed in 64 bits (even and odd lanes apart),
// clamped to the range whose quotient by 512 fits 32 bits, and divided by 512 with floor
// rounding by a logical shift of the product biased by 2^40 (the bias becomes 2^31, which
// flipping the sign bit takes off again).
__attribute__((target("avx2"))) inline __m256i clampAndDivide(__m256i product) {
  const __m256i low = _mm256_set1_epi64x(int64_t{INT32_MIN} * 512);
  const __m256i high = _mm256_set1_epi64x(int64_t{INT32_MAX} * 512 + 511);
  const __m256i bias = _mm256_set1_epi64x(int64_t{1} << 40);
  product = _mm256_blendv_epi8(product, low, _mm256_cmpgt_epi64(low, product));
  product = _mm256_blendv_epi8(product, high, _mm256_cmpgt_epi64(product, high));
  return _mm256_srli_epi64(_mm256_add_epi64(product, bias), 9);
}

__attribute__((target("avx2"))) size_t applyCoarseGainAvx2(Sample* samples, size_t count,
                                                           int32_t coarse) {
  const __m256i gain = _mm256_set1_epi64x(coarse);
  const __m256i gain32 = _mm256_set1_epi32(coarse);
  const __m256i sign = _mm256_set1_epi32(INT32_MIN);
  // Samples no larger than this cannot overflow a 32-bit product with the gain.
  const uint32_t safe = coarse == 0 ? UINT32_MAX : uint32_t(INT32_MAX / std::abs(int64_t{coarse}));
  const __m256i limit = _mm256_set1_epi32(int32_t(safe));
  size_t i = 0;
  for (; i + 8 <= count; i += 8) {
    auto* at = reinterpret_cast<__m256i*>(samples + i);
    const __m256i x = _mm256_loadu_si256(at);
    // |x| compared unsigned, so that |INT32_MIN| counts as large.
    const __m256i magnitude = _mm256_abs_epi32(x);
    if (_mm256_testc_si256(_mm256_cmpeq_epi32(_mm256_max_epu32(magnitude, limit), limit),
                           _mm256_set1_epi32(-1))) {
      _mm256_storeu_si256(at, _mm256_srai_epi32(_mm256_mullo_epi32(x, gain32), 9));
      continue;
    }
    const __m256i even = clampAndDivide(_mm256_mul_epi32(x, gain));
    const __m256i odd = clampAndDivide(_mm256_mul_epi32(_mm256_srli_epi64(x, 32), gain));
    const __m256i both = _mm256_blend_epi32(even, _mm256_slli_epi64(odd, 32), 0xAA);
    _mm256_storeu_si256(at, _mm256_xor_si256(both, sign));
  }
  return i;
}

__attribute__((target("avx2"))) size_t accumulateExtremesAvx2(const Sample* samples, size_t count,
                                                              int32_t maxima[8],
                                                              int32_t minima[8]) {
  __m256i hi = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(maxima));
  __m256i lo = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(minima));
  size_t i = 0;
  for (; i + 8 <= count; i += 8) {
    const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(samples + i));
    hi = _mm256_max_epi32(hi, x);
    lo = _mm256_min_epi32(lo, x);
  }
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(maxima), hi);
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(minima), lo);
  return i;
}

#endif

}  // namespace

void applyCoarseGain(Sample* samples, size_t count, int32_t coarse) {
  size_t done = 0;
#if defined(__x86_64__)
  if (hasAvx2()) done = applyCoarseGainAvx2(samples, count, coarse);
#endif
  applyCoarseGainPlain(samples + done, count - done, coarse);
}

void accumulateExtremes(const Sample* samples, size_t count, int32_t maxima[8], int32_t minima[8]) {
  size_t done = 0;
#if defined(__x86_64__)
  if (hasAvx2()) done = accumulateExtremesAvx2(samples, count, maxima, minima);
#endif
  // The tail starts at a multiple of 8, so lanes stay aligned with indexes.
  accumulateExtremesPlain(samples + done, count - done, maxima, minima);
}

}  // namespace quillon
