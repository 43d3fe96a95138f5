#pragma once

#include <cstdint>
#include <string>

#include "document/sample_stream.h"
#include "platform/ref_counted.h"

namespace quillon {

// Dialogic VOX ADPCM: 4 bits per sample, two samples per byte, high nibble first, mono.
class VoxCodec {
 public:
  Sample decode(int nibble);
  int encode(Sample word);

 private:
  int stepIndex_ = 0;
  int32_t predictor_ = 0;
};

// Mono whatever else is asked; length = file size × 2. A seek keeps the codec state.
Ref<SampleSource> OpenVoxSource(const std::string& path, int32_t sampleRate);
// Mono; an odd final sample is not written.
Ref<SampleSink> CreateVoxSink(const std::string& path, int32_t sampleRate);

}  // namespace quillon
