#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "effects/effect_descriptor.h"
#include "effects/effect_filter.h"

namespace quillon {

// A feedback comb: every output word goes into a delay line of L words and comes back L words
// later scaled by g / 512, so the repeats decay geometrically. L counts interleaved words
// (channels × delay frames), so each channel echoes only itself.
class EchoFilter : public EffectFilter {
 public:
  // L is at least this many words.
  static constexpr int32_t kMinimumDelayWords = 20;

  EchoFilter(Ref<SampleSource> inner, int32_t delayMilliseconds, int32_t gainPercent);

  int32_t delayWords() const { return delayWords_; }
  // g = gain × 512 / 100.
  int32_t feedback() const { return feedback_; }

  int32_t read(Sample* buffer, int32_t frames) override;
  // Clears the echoes still in the line, then forwards; the write position stays.
  void seek(int32_t frame) override;

 private:
  std::unique_ptr<Sample[]> line_;  // rate × channels × 4 words: four seconds
  int32_t delayWords_ = kMinimumDelayWords;
  int32_t feedback_;
  int32_t writePosition_ = 0;
};

// "Echo": delay in milliseconds and feedback gain in percent.
class EchoDescriptor : public EffectDescriptor {
 public:
  EchoDescriptor(int32_t timeMs, int32_t gainPercent)
      : timeMs_(timeMs), gainPercent_(gainPercent) {}

  std::string name() const override { return "Echo"; }
  Ref<EffectFilter> makeFilter(Ref<SampleSource> source) const override;

  int32_t timeMs() const { return timeMs_; }
  int32_t gainPercent() const { return gainPercent_; }

 private:
  int32_t timeMs_;
  int32_t gainPercent_;
};

}  // namespace quillon
