#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "effects/effect_descriptor.h"
#include "effects/effect_filter.h"

namespace quillon {

// One entry of the compressor's ratio list: the name the dialog shows and the gain factor per
// decibel above the threshold, R = 10^(−(1 − 1/ratio) / 20).
struct CompressorRatio {
  const char* name;
  double factor;
};

inline constexpr std::array<CompressorRatio, 7> kCompressorRatios = {{
    {"1:1", 1.0},
    {"3:2", 0.9623506263981255},
    {"2:1", 0.9440608762859234},
    {"3:1", 0.9261187281287935},
    {"4:1", 0.9172759353897796},
    {"5:1", 0.9120108393559098},
    {"Limit", 0.8912509382363546},
}};

// The dynamic range compressor: each block of W frames (45 ms) gets the gain that the gain curve
// gives its level, and the gain moves toward the next block's gain in a ramp, so the filter
// looks one block ahead. Attack reaches a lower gain within 1.25 blocks; release goes halfway
// toward a higher one over two blocks.
class CompressorFilter : public EffectFilter {
 public:
  static constexpr int kBlockMilliseconds = 45;
  static constexpr int kKneeDb = 127;
  static constexpr int32_t kPeakBound = 0x3FFFFF;

  // A gain (2^24 = unity) for every block level from −128 to 127 dB, at index level + 128.
  using GainCurve = std::array<int32_t, 256>;

  // Levels below the threshold get the make-up gain R^threshold, levels from the threshold to
  // the knee fall by R per decibel (unity at 0 dB), levels above the knee by 0.8913 per decibel.
  static GainCurve gainCurve(int thresholdDb, double ratioFactor, int kneeDb = kKneeDb);
  // W: the block time in frames, clamped to 128 … 8192.
  static int32_t blockFramesFor(int32_t sampleRate, int blockMilliseconds = kBlockMilliseconds);

  CompressorFilter(Ref<SampleSource> inner, int thresholdDb, double ratioFactor,
                   int blockMilliseconds = kBlockMilliseconds, int kneeDb = kKneeDb);

  int32_t blockFrames() const { return blockFrames_; }

  int32_t read(Sample* buffer, int32_t frames) override;
  // The inner position less the two blocks held (the current one and the look-ahead).
  int32_t position() override;
  // While the inner length is still growing, the frames that can be delivered now.
  int32_t length() override;
  void seek(int32_t frame) override;

 private:
  // Moves to the next block: loads the first two blocks on the first call, otherwise makes the
  // look-ahead block current and reads a new one; sets the ramp toward the look-ahead's gain.
  // False when an inner read failed.
  bool nextBlock();
  bool readBlock(std::vector<Sample>& block);
  int32_t gainOf(const std::vector<Sample>& block) const;

  GainCurve curve_;
  int32_t blockFrames_;
  std::vector<Sample> current_;
  std::vector<Sample> lookAhead_;
  int32_t readIndex_;
  int32_t previousTarget_ = 0;
  int32_t lookAheadTarget_ = 0;
  int32_t gain_ = 0;
  int32_t increment_ = 0;
  bool firstBlock_ = true;
};

// "Dynamic Range Compressor": threshold in dB, an index into kCompressorRatios and the limit in
// dB. The limit is kept with the parameters, but the filter is always built with the knee at
// 127 dB (no limiting above it), for processing and preview alike.
class CompressorDescriptor : public EffectDescriptor {
 public:
  CompressorDescriptor(int thresholdDb, int ratioIndex, int limitDb);

  std::string name() const override { return "Dynamic Range Compressor"; }
  Ref<EffectFilter> makeFilter(Ref<SampleSource> source) const override;

  int thresholdDb() const { return thresholdDb_; }
  double ratioFactor() const { return ratioFactor_; }
  int limitDb() const { return limitDb_; }

 private:
  int thresholdDb_;
  double ratioFactor_;
  int limitDb_;
};

}  // namespace quillon
