#include "effects/gain_math.h"

#include <gtest/gtest.h>

#include <cmath>

#include "effects/decibel_table.h"

namespace quillon {
namespace {

TEST(DecibelTableTest, EntriesAreRoundedPowersOfTen) {
  const DecibelTable& table = DecibelTable::instance();
  EXPECT_EQ(table.amplitude(0), 16777216);
  EXPECT_EQ(table.power(0), 16777216);
  EXPECT_EQ(table.amplitude(-6), int32_t(std::pow(10.0, -0.3) * 16777216.0 + 0.5));  // 8408526
  EXPECT_EQ(table.amplitude(-6), 8408526);
  EXPECT_EQ(table.amplitude(20), 167772160);
  EXPECT_EQ(table.amplitude(-127), 0);
  EXPECT_EQ(table.amplitude(-128), 0);
  EXPECT_EQ(table.amplitude(-126), int32_t(std::pow(10.0, -6.3) * 16777216.0 + 0.5));
  EXPECT_EQ(table.amplitude(43), 0x7FFFFFFF);  // 10^2.15 × 2^24 passes 2^31
  EXPECT_EQ(table.amplitude(42), 2112126356);  // 10^2.1 × 2^24
  EXPECT_EQ(table.power(22), 0x7FFFFFFF);
  EXPECT_EQ(table.amplitude(500), table.amplitude(127));  // clamped, never wrapped
  EXPECT_EQ(table.amplitude(-500), 0);
}

TEST(GainMathTest, SplitMultiplyIsTheProductWithoutTheLowTerm) {
  EXPECT_EQ(splitMultiply(0x1000000, 524287), 524287);  // unity
  EXPECT_EQ(splitMultiply(0x800000, 1000), 500);
  EXPECT_EQ(splitMultiply(0x800000, -1000), -500);
  EXPECT_EQ(splitMultiply(0, 123456), 0);
  // g = 0x1000FFF, v = 0xFFF: the low-times-low term (0xFFF × 0xFFF) is left out.
  EXPECT_EQ(splitMultiply(0x1000FFF, 0xFFF), 0xFFF);
  EXPECT_EQ(splitMultiply(0x7FFFFFFF, 0x7FFFFFFF), 0x7FFFFFFF);  // saturates
  EXPECT_EQ(splitMultiply(0x7FFFFFFF, -0x7FFFFFFF), -0x7FFFFFFF - 1);
}

TEST(GainMathTest, BlockLevelIsTheMeanSquareInDecibels) {
  std::vector<Sample> silence(100, 0);
  EXPECT_EQ(blockLevel(silence.data(), silence.size()), -127);
  // (sample >> 5)² = 2^23 gives 0 dB; ten times the power gives 10 dB.
  std::vector<Sample> reference(64, 2896 << 5);  // 2896² = 8386816, just under 2^23
  EXPECT_EQ(blockLevel(reference.data(), reference.size()), 0);
  std::vector<Sample> loud(64, 9159 << 5);  // 9159² ≈ 10 × 2^23
  EXPECT_EQ(blockLevel(loud.data(), loud.size()), 10);
  std::vector<Sample> quiet(64, 1 << 5);  // 1 ≈ −69 dB
  EXPECT_EQ(blockLevel(quiet.data(), quiet.size()), -69);
  // Every second word of interleaved stereo.
  std::vector<Sample> stereo = {9159 << 5, 0, 9159 << 5, 0};
  EXPECT_EQ(blockLevel(stereo.data(), 2, 2), 10);
  EXPECT_EQ(blockLevel(stereo.data() + 1, 2, 2), -127);
}

}  // namespace
}  // namespace quillon
