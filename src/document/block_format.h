#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

#include "document/sample_types.h"

namespace quillon {

// Layout of block files. A sample file is headerless: frames × channels signed 32-bit
// little-endian words, interleaved. A peak file holds one entry per group of 256 frames (a final
// partial group too); an entry is, per channel in order, the maximum byte
// min(255, max(0, largest) >> 11) and then the minimum byte min(255, −min(0, smallest) >> 11).
inline constexpr int32_t kPeakGroupFrames = 256;
inline constexpr int kPeakShift = 11;
inline constexpr int kBytesPerSample = 4;

inline constexpr int64_t peakEntryOffset(int32_t frame, int channels) {
  return int64_t{channels} * (frame / kPeakGroupFrames) * 2;
}

inline uint8_t peakByte(int32_t magnitude) {
  int32_t v = magnitude >> kPeakShift;
  return static_cast<uint8_t>(v > 255 ? 255 : v);
}

// Converts sample words between the file's little-endian order and the machine's, in place.
inline void swapSampleBytesIfBigEndian(Sample* samples, size_t count) {
  if constexpr (std::endian::native == std::endian::big) {
    for (size_t i = 0; i < count; ++i) {
      auto v = static_cast<uint32_t>(samples[i]);
      samples[i] =
          static_cast<Sample>((v >> 24) | ((v >> 8) & 0xFF00) | ((v << 8) & 0xFF0000) | (v << 24));
    }
  } else {
    (void)samples;
    (void)count;
  }
}

}  // namespace quillon
