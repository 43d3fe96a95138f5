#pragma once

#include "document/sample_stream.h"
#include "platform/ref_counted.h"

namespace quillon {

// The base of every processing stage: a SampleSource over one inner source. It takes the inner
// source's rate, channels and peak bound, reports status InnerFailed when the inner one is not
// usable, and forwards position, length, seek, lengthUnknown and pause; `read` is the stage's own.
class EffectFilter : public SampleSource {
 public:
  int32_t position() override { return inner_->position(); }
  int32_t length() override { return inner_->length(); }
  void seek(int32_t frame) override { inner_->seek(frame); }
  bool lengthUnknown() override { return inner_->lengthUnknown(); }
  void pause(int milliseconds) override { inner_->pause(milliseconds); }

  const Ref<SampleSource>& inner() const { return inner_; }

 protected:
  explicit EffectFilter(Ref<SampleSource> inner);
  // A stage whose output has another rate or channel count (converters).
  EffectFilter(Ref<SampleSource> inner, int32_t sampleRate, int channels);

  Ref<SampleSource> inner_;
};

}  // namespace quillon
