#pragma once

#include <array>
#include <cstdint>

#include "document/sample_types.h"

namespace quillon {

inline constexpr int kSilentLevel = -127;

// The level of each channel of a buffer, as meters show it: a channel count and one decibel
// value per channel.
struct LevelRecord {
  uint8_t channels = 0;
  std::array<int8_t, 256> decibels{};
  friend bool operator==(const LevelRecord&, const LevelRecord&) = default;
};

// round(20 × log10(peak × 2^-17)) in −127 … 127, −127 for silence: full scale (2^19) is about
// +12 dB. Rounding adds −0.5 below 2^17 and +0.5 from there on, then truncates.
int peakDecibels(int64_t peak);

// The level of each channel over `frames` interleaved frames.
void measureLevels(const Sample* words, int32_t frames, int channels, LevelRecord& levels);

// One level for a record: −127 without channels, the channel's for mono, else the louder of the
// first two channels.
int overallLevel(const LevelRecord& levels);

}  // namespace quillon
