#include "effects/effect_filter.h"

namespace quillon {

EffectFilter::EffectFilter(Ref<SampleSource> inner)
    : EffectFilter(inner, inner->sampleRate(), inner->channels()) {}

EffectFilter::EffectFilter(Ref<SampleSource> inner, int32_t sampleRate, int channels)
    : SampleSource(sampleRate, channels), inner_(std::move(inner)) {
  setPeakBound(inner_->peakBound());
  if (inner_->status() != SourceStatus::Ok) setStatus(SourceStatus::InnerFailed);
}

}  // namespace quillon
