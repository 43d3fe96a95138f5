#include "effects/gain_math.h"

#include <cmath>

namespace quillon {

int blockLevel(const Sample* samples, size_t count, size_t stride) {
  if (count == 0) return -127;
  // The squares are summed as a high part (v >> 13) and a low part (v & 0x1FFF), so that long
  // blocks never overflow.
  uint64_t high = 0, low = 0;
  for (size_t i = 0; i < count; ++i) {
    const int64_t s = samples[i * stride] >> 5;
    const uint64_t square = uint64_t(s * s);
    high += square >> 13;
    low += square & 0x1FFF;
  }
  const double mean = (double(high) + double(low) / 8192.0) * 8192.0 / double(count);
  if (mean <= 0) return -127;
  const double level = 10.0 * std::log10(mean * 1.1920903375594525e-7);
  const double rounded = mean < 8388626.0 ? level - 0.5 : level + 0.5;
  return clampDecibels(static_cast<int64_t>(rounded));
}

}  // namespace quillon
