#pragma once

#include <cstdint>

#include "document/sample_stream.h"
#include "platform/ref_counted.h"

namespace quillon {

// The chain that brings `source` to `rate` and `channels`: the source itself when nothing
// differs; otherwise the channel reduction first (stereo to mono, so the rate stages have less to
// do), then the rate stage or stages, then the channel expansion (mono to stereo). Channel pairs
// other than mono and stereo are left as they are. A rate ≤ 0 builds a stage to 44,100 Hz that
// reports status Corrupt.
Ref<SampleSource> convertFormat(Ref<SampleSource> source, int32_t rate, int channels);

// Only the rate: one stage, or two when the target is below a quarter of the source rate.
Ref<SampleSource> convertRate(Ref<SampleSource> source, int32_t rate);

}  // namespace quillon
