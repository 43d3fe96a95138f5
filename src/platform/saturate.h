#pragma once

#include <algorithm>
#include <cstdint>
#include <limits>

namespace quillon {

// A 64-bit value kept within the signed 32-bit range: a sum or product that would overflow
// saturates instead of wrapping to the opposite sign.
inline constexpr int32_t saturate32(int64_t value) {
  return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

}  // namespace quillon
