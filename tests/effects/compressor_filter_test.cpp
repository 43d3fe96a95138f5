#include "effects/compressor_filter.h"

#include <gtest/gtest.h>

#include <cmath>

#include "effects/gain_math.h"
#include "support/memory_source.h"

namespace quillon {
namespace {

using testing::memorySource;
using testing::MemorySource;
using testing::noise;
using testing::readFrames;

int32_t curveAt(const CompressorFilter::GainCurve& curve, int level) {
  return curve[size_t(level + 128)];
}

TEST(CompressorFilterTest, BlockIsFortyFiveMillisecondsWithinLimits) {
  struct Case {
    int32_t rate, frames;
  };
  for (Case c : {Case{44100, 1984}, Case{8000, 360}, Case{2000, 128}, Case{192000, 8192}}) {
    EXPECT_EQ(CompressorFilter::blockFramesFor(c.rate), c.frames) << c.rate;
    CompressorFilter filter(memorySource({}, 1, c.rate), 0, 1.0);
    EXPECT_EQ(filter.blockFrames(), c.frames) << c.rate;
  }
}

TEST(CompressorFilterTest, CurveAtMinusTenTwoToOne) {
  const double r = kCompressorRatios[2].factor;
  EXPECT_STREQ(kCompressorRatios[2].name, "2:1");
  const CompressorFilter::GainCurve curve = CompressorFilter::gainCurve(-10, r);
  const int32_t makeUp = int32_t(16777216.0 / std::pow(r, 10));  // 10^(10/40) ≈ 1.778
  EXPECT_EQ(makeUp, 29834577);
  for (int level = -128; level <= -10; ++level)
    EXPECT_EQ(curveAt(curve, level), makeUp) << level;
  EXPECT_NEAR(curveAt(curve, 0), 16777216, 1);                   // unity at 0 dB
  EXPECT_NEAR(curveAt(curve, 6) / 16777216.0, 0.70795, 0.0001);  // R^6
  EXPECT_EQ(curveAt(curve, -9), int32_t(16777216.0 / std::pow(r, 10) * r));
  // Above the knee (127) one decibel down per decibel.
  const CompressorFilter::GainCurve knee = CompressorFilter::gainCurve(0, 1.0, 100);
  EXPECT_EQ(curveAt(knee, 100), 16777216);
  EXPECT_EQ(curveAt(knee, 101), int32_t(16777216 * 0.8913));
}

TEST(CompressorFilterTest, ThresholdZeroOneToOneChangesNothing) {
  const CompressorDescriptor descriptor(0, 0, 4);
  EXPECT_EQ(descriptor.name(), "Dynamic Range Compressor");
  EXPECT_EQ(descriptor.limitDb(), 4);
  const std::vector<Sample> input = noise(2 * 10000, 300000);
  Ref<EffectFilter> filter = descriptor.makeFilter(memorySource(input, 2));
  EXPECT_EQ(filter->peakBound(), 0x3FFFFF);
  EXPECT_EQ(readFrames(*filter, 3000), std::vector<Sample>(input.begin(), input.begin() + 6000));
  // Two blocks are held: the current one (read up to 3000 − 1984) and the look-ahead.
  EXPECT_EQ(filter->position(), 3000);
  EXPECT_EQ(filter->inner()->position(), 3 * 1984);
  EXPECT_EQ(readFrames(*filter, 7000), std::vector<Sample>(input.begin() + 6000, input.end()));
  filter->seek(1000);
  EXPECT_EQ(filter->position(), 1000);
  EXPECT_EQ(readFrames(*filter, 10)[0], input[2000]);
}

TEST(CompressorFilterTest, LoudBlockAfterQuietIsBroughtDownAheadOfTime) {
  // −10 dB "2:1": a quiet stretch is raised by 1.778, then a loud one (about +6 dB) arrives.
  const int32_t w = 1984;
  std::vector<Sample> input(size_t(8) * w, 1000);
  for (size_t i = 3 * w; i < input.size(); ++i)
    input[i] = (i % 2 ? 1 : -1) * (2 * 2896 << 5);  // 6 dB over the 0 dB reference
  CompressorFilter filter(memorySource(input), -10, kCompressorRatios[2].factor);
  const std::vector<Sample> out = readFrames(filter, 6 * w);
  EXPECT_EQ(out[0], splitMultiply(29834577, 1000));
  // The ramp starts one block early and reaches the loud block's gain within 1.25 blocks.
  EXPECT_LT(out[3 * w - 1], out[0]);
  const double settled = std::abs(out[5 * w + 600]) / double(2 * 2896 << 5);
  EXPECT_NEAR(settled, 0.708, 0.01);
}

TEST(CompressorFilterTest, GrowingSourceAndFailedSource) {
  CompressorFilter growing(makeRef<MemorySource>(std::vector<Sample>(10000), 1, 44100, true), 0,
                           1.0);
  EXPECT_EQ(growing.length(), 10000 - 2 * 1984);
  CompressorFilter failed(makeRef<NullSource>(), 0, 1.0);
  EXPECT_EQ(failed.status(), SourceStatus::InnerFailed);
  std::vector<Sample> out(100, 7);
  failed.read(out.data(), 100);
  EXPECT_EQ(out, std::vector<Sample>(100, 0));
}

}  // namespace
}  // namespace quillon
