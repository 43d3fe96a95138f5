#pragma once

#include <cstddef>
#include <cstdint>

#include "document/sample_types.h"

namespace quillon {

// How one sample is stored in a file, and its exact conversion to and from the sample word w.
enum class SampleEncoding {
  Unsigned8,    // (b − 128) × 4096      | ((w + 2048) >> 12) + 128
  Signed8,      // b × 4096              | (w + 2048) >> 12        (raw, AU)
  Signed8Aiff,  // b × 4096              | (w + 8) >> 12           (AIFF)
  Pcm16Le,      // s × 16                | (w + 8) >> 4
  Pcm16Be,
  Pcm24Le,    // s >> 4                | w × 16                  (WAV)
  Pcm24Be,    // s >> 4                | (not written)           (AIFF)
  Pcm32Le,    // (s + 2048) >> 12      | w × 4096                (WAV)
  Pcm32Be,    // (s + 2048) >> 12      | (not written)           (AIFF)
  Float32Le,  // f × 524288, truncated | w × 2^-19
  Float32Be,  // f × 524272, truncated | w × 2^-19
  MuLaw,      // G.711 tables of g711.h
  ALaw,
};

int bytesPerSample(SampleEncoding encoding);
// The largest magnitude a reader of this encoding delivers.
int32_t peakBoundOf(SampleEncoding encoding);

// Converts `count` samples (not frames). Writing saturates at the encoding's range, so a word
// beyond full scale never wraps to the opposite sign; within range the conversions are exact.
void decodeSamples(SampleEncoding encoding, const uint8_t* in, size_t count, Sample* out);
void encodeSamples(SampleEncoding encoding, const Sample* in, size_t count, uint8_t* out);

}  // namespace quillon
