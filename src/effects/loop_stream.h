#pragma once

#include <cstdint>

#include "effects/effect_filter.h"

namespace quillon {

// Plays the range [a, b) of its inner source over and over (loop play). Position and length are
// the inner source's. A range that comes out empty is refused (status Corrupt) and reads as
// silence, so that nothing ever spins on it.
class LoopStream : public EffectFilter {
 public:
  LoopStream(Ref<SampleSource> inner, int32_t a, int32_t b);

  int32_t read(Sample* buffer, int32_t frames) override;
  void seek(int32_t frame) override;

  int32_t loopStart() const { return start_; }
  int32_t loopEnd() const { return end_; }

 private:
  int32_t start_;
  int32_t end_;
};

}  // namespace quillon
