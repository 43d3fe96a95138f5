#pragma once

#include <vector>

#include "document/sample_stream.h"
#include "effects/effect_filter.h"
#include "platform/ref_counted.h"

namespace quillon {

// Changes the channel count between mono and stereo: stereo to mono gives (left + right) >> 1,
// mono to stereo puts each sample into both channels. Any other pair of counts is left as it is
// (the stage then reports the inner count and reads straight through). Position, length and seek
// are the inner source's.
class ChannelConverter : public EffectFilter {
 public:
  static constexpr int32_t kBufferFrames = 8192;

  ChannelConverter(Ref<SampleSource> inner, int targetChannels);

  // True when the pair of counts is one the converter changes (2 → 1 or 1 → 2).
  static bool converts(int fromChannels, int toChannels);

  int32_t read(Sample* buffer, int32_t frames) override;

 private:
  std::vector<Sample> buffer_;  // inner channels × kBufferFrames words, for the reduction
};

}  // namespace quillon
