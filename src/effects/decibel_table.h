#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace quillon {

// Gains for decibel values −128 … 127 in 8.24 form: amplitude[d] = round(10^(d/20) × 2^24),
// power[d] = round(10^(d/10) × 2^24), saturating at 0x7FFFFFFF; −128 and −127 are 0 (off).
// Built once on first use.
class DecibelTable {
 public:
  static const DecibelTable& instance();
  // The decibel value is clamped to −128 … 127 first.
  int32_t amplitude(int decibels) const { return amplitude_[index(decibels)]; }
  int32_t power(int decibels) const { return power_[index(decibels)]; }

 private:
  DecibelTable();
  static size_t index(int decibels) {
    return static_cast<size_t>((decibels < -128 ? -128 : decibels > 127 ? 127 : decibels) + 128);
  }
  std::array<int32_t, 256> amplitude_{};
  std::array<int32_t, 256> power_{};
};

}  // namespace quillon
