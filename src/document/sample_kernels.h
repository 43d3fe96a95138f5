#pragma once

#include <cstddef>
#include <cstdint>

#include "document/sample_types.h"

namespace quillon {

// The loops that run over every sample read from or written to a block. They use AVX2 when the
// processor has it and plain loops otherwise, with identical results.

// sample × coarse >> 9 for every sample, saturating (see applyCoarseGain in sample_types.h).
void applyCoarseGain(Sample* samples, size_t count, int32_t coarse);

// Running extremes of interleaved samples in eight lanes: lane k takes the samples whose index
// is k modulo 8, so for 1, 2, 4 or 8 channels lane k belongs to channel k modulo channels.
void accumulateExtremes(const Sample* samples, size_t count, int32_t maxima[8], int32_t minima[8]);

}  // namespace quillon
