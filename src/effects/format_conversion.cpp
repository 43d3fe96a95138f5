#include "effects/format_conversion.h"

#include "effects/channel_converter.h"
#include "effects/rate_converter.h"

namespace quillon {

Ref<SampleSource> convertRate(Ref<SampleSource> source, int32_t rate) {
  if (rate == source->sampleRate()) return source;
  const std::vector<RateStagePlan> stages = planRateConversion(source->sampleRate(), rate);
  for (size_t i = 0; i < stages.size(); ++i) {
    // The last stage gets the rate as asked, so that a non-positive one marks the chain.
    const int32_t target = i + 1 == stages.size() ? rate : stages[i].outputRate;
    source = makeRef<RateConverter>(source, target, stages[i].firstOfTwo);
  }
  return source;
}

Ref<SampleSource> convertFormat(Ref<SampleSource> source, int32_t rate, int channels) {
  const int from = source->channels();
  const bool changeChannels = ChannelConverter::converts(from, channels);
  if (changeChannels && channels < from) source = makeRef<ChannelConverter>(source, channels);
  source = convertRate(source, rate);
  if (changeChannels && channels > from) source = makeRef<ChannelConverter>(source, channels);
  return source;
}

}  // namespace quillon
