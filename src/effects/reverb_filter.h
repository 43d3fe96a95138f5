#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "effects/delay_tap_mixer.h"
#include "effects/effect_descriptor.h"
#include "effects/effect_filter.h"

namespace quillon {

// A block-based room model: 41 early reflections whose level follows the level of the block
// that excites them, three five-tap diffusers that feed a thinning series of late echoes, and a
// wet/dry mix. What a block excites beyond itself waits in an accumulator that moves down by one
// block per read. With several channels every channel is reflected and diffused on its own (tap
// offsets and section lengths count frames), so stereo stays stereo.
class ReverbFilter : public EffectFilter {
 public:
  // The longest read handled in one piece; longer reads are split.
  static constexpr int32_t kBlockFrames = 8192;
  static constexpr int kReflectionCount = 41;
  // The largest diffuser tap: also the overlap of every late-echo section.
  static constexpr int32_t kDiffuserOverlap = 1359;

  struct Reflection {
    int32_t delay;    // frames
    int attenuation;  // dB, −127 … 127
    int order;        // 3, 4 or 5
  };
  struct Diffuser {
    std::array<int32_t, 5> taps;  // trunc(factor × 260) frames
    int32_t firstOffset, period, shrink;
  };
  static const std::array<Diffuser, 3> kDiffusers;

  ReverbFilter(Ref<SampleSource> inner, int32_t decayMs, int32_t predelayMs,
               int32_t diffusionPercent, int wetDb, int dryDb);

  int32_t decayFrames() const { return decayFrames_; }
  int32_t predelayFrames() const { return predelayFrames_; }
  // T = 2 × decay.
  int64_t tailFrames() const { return tailFrames_; }
  const std::array<Reflection, kReflectionCount>& reflections() const { return reflections_; }
  int32_t diffusionPercent() const { return diffusionPercent_; }

  int32_t read(Sample* buffer, int32_t frames) override;

  // The way reflections and late echoes are added: the widest this processor has unless told
  // otherwise; every way gives the same words. `lanes` must be one this processor has.
  void setMixLanes(MixLanes lanes) { mixLanes_ = lanes; }

 private:
  // One late echo: a copy of a diffuser's output at `offset` frames with `gain`.
  struct LateEcho {
    int64_t offset;
    int32_t gain;
  };

  void processBlock(Sample* out, int32_t frames);

  // Words with zeros before and after them, which the mixing of whole lines reads.
  struct PaddedWords {
    std::unique_ptr<Sample[]> storage;
    Sample* words = nullptr;
    bool allocate(size_t count);
  };

  int32_t decayFrames_ = 0;
  int32_t predelayFrames_ = 0;
  int64_t tailFrames_ = 1;
  int32_t diffusionPercent_;
  int32_t wetGain_;
  int32_t dryGain_;
  std::array<Reflection, kReflectionCount> reflections_{};
  // The accumulator is a window of accumulatorWords_ into storage twice as long, which slides
  // down by one block per read and is moved back to the start only when it reaches the end.
  size_t accumulatorWords_ = 0;
  size_t accumulatorStart_ = 0;
  // No word of the accumulator is larger in magnitude.
  int64_t accumulatorBound_ = 0;
  size_t diffuserWords_ = 0;
  std::unique_ptr<Sample[]> accumulator_;
  PaddedWords input_;
  std::array<PaddedWords, 3> diffused_;
  // This block's, kept for their capacity.
  std::array<std::vector<LateEcho>, 3> lateEchoes_;
  std::vector<DelayTap> taps_;
  DelayTapMixer tapMixer_;
  MixLanes mixLanes_ = widestMixLanes();
};

// "Reverb": decay and pre-delay in milliseconds, diffusion in percent, wet and dry levels in dB
// (−127 is off). Diffusion is kept with the parameters and handed to the filter, which does not
// use it.
class ReverbDescriptor : public EffectDescriptor {
 public:
  ReverbDescriptor(int32_t decayMs, int32_t predelayMs, int32_t diffusionPercent, int wetDb,
                   int dryDb);

  std::string name() const override { return "Reverb"; }
  Ref<EffectFilter> makeFilter(Ref<SampleSource> source) const override;

  int32_t decayMs() const { return decayMs_; }
  int32_t predelayMs() const { return predelayMs_; }
  int32_t diffusionPercent() const { return diffusionPercent_; }
  int wetDb() const { return wetDb_; }
  int dryDb() const { return dryDb_; }

 private:
  int32_t decayMs_, predelayMs_, diffusionPercent_;
  int wetDb_, dryDb_;
};

}  // namespace quillon
