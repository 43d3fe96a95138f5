#pragma once

#include <algorithm>
#include <cstdint>
#include <limits>

#include "document/sample_types.h"
#include "platform/saturate.h"

namespace quillon {

// The fine way of applying an 8.24 gain g to a sample v (the "split multiply"):
// ((g >> 12) × (v & 0xFFF) >> 12) + ((g & 0xFFF) × (v >> 12) >> 12) + (g >> 12) × (v >> 12),
// which is g × v / 2^24 without the low-times-low term. Results that do not fit 32 bits
// saturate instead of wrapping.
inline Sample splitMultiply(int32_t gain, Sample v) {
  const int64_t high = gain >> 12, low = gain & 0xFFF;
  const int64_t sum = ((high * (v & 0xFFF)) >> 12) + ((low * (v >> 12)) >> 12) + high * (v >> 12);
  return saturate32(sum);
}

// A decibel value: signed, clamped to −127 … 127, where −127 means off.
inline int clampDecibels(int64_t decibels) {
  return static_cast<int>(std::clamp<int64_t>(decibels, -127, 127));
}

// The level of a block of samples in decibels: the mean square M of (sample >> 5) over `count`
// samples taken every `stride` words, as 10 × log10(M × 1.1920903375594525e-7) rounded half away
// from zero and clamped (0 dB is an RMS of about 2^11.5 after the shift); silence gives −127.
int blockLevel(const Sample* samples, size_t count, size_t stride = 1);

}  // namespace quillon
