#pragma once

#include <cstddef>
#include <cstdint>

#include "document/sample_types.h"

namespace quillon {

// Adding scaled copies of a signal into a mix, the inner loops of the reverb. The plain forms
// saturate every sum as 32-bit arithmetic would if it could not overflow; the unchecked forms
// are the same loops in 32-bit lanes for callers that have bounded every value first
// (`scaledBound`, `scalesIn32Bits`), and give the same results then.

// mix[i] = mix[i] + splitMultiply(gain, source[i]) for i < count, saturating.
void mixScaled(Sample* mix, const Sample* source, size_t count, int32_t gain);

// As mixScaled; the caller guarantees that |source| ≤ peak, that scalesIn32Bits(gain, peak) holds
// and that no sum leaves 32 bits.
void mixScaledUnchecked(Sample* mix, const Sample* source, size_t count, int32_t gain,
                        int64_t peak);
// mix[i] = mix[i] + source[i]; the caller guarantees that no sum leaves 32 bits.
void mixAddedUnchecked(Sample* mix, const Sample* source, size_t count);

// The largest magnitude among `count` words (0 for none).
int64_t peakMagnitude(const Sample* samples, size_t count);
// An upper bound of |splitMultiply(gain, v)| over |v| ≤ peak.
inline int64_t scaledBound(int32_t gain, int64_t peak) {
  const int64_t g = gain < 0 ? -int64_t{gain} : gain;
  return ((g * peak) >> 24) + 4;
}
// True when the three partial products of splitMultiply(gain, v) and their sum fit 32 bits for
// every |v| ≤ peak (gain ≥ 0).
inline bool scalesIn32Bits(int32_t gain, int64_t peak) {
  return gain >= 0 && int64_t{gain >> 12} * ((peak >> 12) + 1) <= (int64_t{1} << 30);
}

}  // namespace quillon
