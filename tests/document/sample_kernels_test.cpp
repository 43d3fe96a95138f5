#include "document/sample_kernels.h"

#include <gtest/gtest.h>

#include <limits>
#include <random>
#include <vector>

namespace quillon {
namespace {

constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
constexpr int32_t kMax = std::numeric_limits<int32_t>::max();

// Every sample, whatever its size, must come out as the formula gives it, also at the edges
// where the product leaves 32 bits.
TEST(SampleKernelsTest, GainMatchesTheFormulaForAnySampleAndGain) {
  std::mt19937 random(5);
  std::uniform_int_distribution<int32_t> anySample(kMin, kMax);
  std::uniform_int_distribution<int32_t> wordSample(-(1 << 20), 1 << 20);
  const int32_t gains[] = {0, 1, 511, 513, 768, 1024, 65535, -1, -512, -65536, 4096};
  for (int32_t coarse : gains) {
    for (size_t count : {size_t(0), size_t(7), size_t(8), size_t(1001)}) {
      std::vector<Sample> samples(count);
      for (size_t i = 0; i < count; ++i)
        samples[i] = i % 3 ? wordSample(random) : anySample(random);
      if (count >= 8) {
        samples[0] = kMin;
        samples[1] = kMax;
        samples[2] = -1;
        samples[3] = 1;
      }
      std::vector<Sample> expected(count);
      for (size_t i = 0; i < count; ++i) {
        const int64_t exact = (int64_t{samples[i]} * coarse) >> 9;
        expected[i] = static_cast<Sample>(std::clamp<int64_t>(exact, kMin, kMax));
      }
      applyCoarseGain(samples.data(), count, coarse);
      EXPECT_EQ(samples, expected) << "gain " << coarse << ", " << count << " samples";
    }
  }
}

TEST(SampleKernelsTest, ExtremesAreKeptPerLane) {
  std::mt19937 random(6);
  std::uniform_int_distribution<int32_t> anySample(kMin, kMax);
  for (size_t count : {size_t(3), size_t(8), size_t(515)}) {
    std::vector<Sample> samples(count);
    for (Sample& s : samples)
      s = anySample(random);
    int32_t hi[8] = {}, lo[8] = {}, expectedHi[8] = {}, expectedLo[8] = {};
    for (size_t i = 0; i < count; ++i) {
      expectedHi[i % 8] = std::max(expectedHi[i % 8], samples[i]);
      expectedLo[i % 8] = std::min(expectedLo[i % 8], samples[i]);
    }
    accumulateExtremes(samples.data(), count, hi, lo);
    EXPECT_EQ(std::vector<int32_t>(hi, hi + 8), std::vector<int32_t>(expectedHi, expectedHi + 8));
    EXPECT_EQ(std::vector<int32_t>(lo, lo + 8), std::vector<int32_t>(expectedLo, expectedLo + 8));
  }
}

}  // namespace
}  // namespace quillon
