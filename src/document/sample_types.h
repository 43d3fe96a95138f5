#pragma once

#include <algorithm>
#include <cstdint>
#include <limits>

#include "platform/saturate.h"

namespace quillon {

// A sample word: signed 32-bit, full scale ±2^19, frames interleaved by channel.
// 16-bit PCM enters as v << 4; 8-bit unsigned enters as (v − 128) × 4096.
using Sample = int32_t;

inline constexpr int32_t kFullScale = 524288;           // 2^19
inline constexpr int32_t kFullScale16 = 0x7FFF0;        // 32767 << 4, the 16-bit full scale
inline constexpr int32_t kDefaultPeakBound = 0x200000;  // what plain sources may deliver
inline constexpr int32_t kDefaultSampleRate = 44100;

// Gains are 8.24 fixed point: 0x1000000 is 1.0, 0x7FFFFFFF the largest.
inline constexpr int32_t kUnityGain = 0x1000000;
inline constexpr int32_t kMaxGain = 0x7FFFFFFF;

// The coarse gain form: a gain reduced to 1/512 steps (gain >> 15; 512 is unity).
inline constexpr int32_t kUnityCoarseGain = 512;
inline constexpr int32_t coarseGainOf(int32_t gain) {
  return gain >> 15;
}

// sample × coarse >> 9. Values in range match 32-bit arithmetic exactly; a product that would
// overflow saturates instead of wrapping a loud sample to the opposite sign.
inline constexpr Sample applyCoarseGain(Sample sample, int32_t coarse) {
  return saturate32((int64_t{sample} * coarse) >> 9);
}

}  // namespace quillon
