#pragma once

#include <algorithm>
#include <cstdint>
#include <limits>

#include "platform/saturate.h"

namespace quillon {

// Milliseconds to frames as every effect counts them: r × (ms mod 1000) / 1000 + r × (ms / 1000)
// in integer arithmetic, which stays exact for long times. The products are formed in 64 bits
// and the result saturates, so no rate and time can overflow.
inline int32_t millisecondsToFrames(int32_t sampleRate, int32_t milliseconds) {
  const int64_t frames = int64_t{sampleRate} * (milliseconds % 1000) / 1000 +
                         int64_t{sampleRate} * (milliseconds / 1000);
  return saturate32(frames);
}

}  // namespace quillon
