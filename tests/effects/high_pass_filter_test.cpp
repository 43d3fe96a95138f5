#include "effects/high_pass_filter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "support/memory_source.h"
#include "support/peer_tools.h"
#include "support/temp_environment.h"

namespace quillon {
namespace {

using testing::memorySource;
using testing::readFrames;

TEST(HighPassFilterTest, CoefficientsAtTwoHundredFiftyHertz) {
  const HighPassFilter::Coefficients k = HighPassFilter::coefficients(250, 44100);
  // w = 2π × 250 / 44100, α = sin w × 0.70721…, k = 1 / (1 + α), in 2^24 units.
  EXPECT_EQ(k.a1, -32709367);
  EXPECT_EQ(k.a2, 15952911);
  EXPECT_EQ(k.b0, 16359873);
  EXPECT_EQ(k.b1, -2 * k.b0);  // trunc(−(1 + c) k 2^24) would be −32719747, a unit away
  // A cutoff of 0 is 10 Hz, a rate of 0 is 44,100 Hz.
  const HighPassFilter::Coefficients ten = HighPassFilter::coefficients(10, 44100);
  const HighPassFilter::Coefficients zero = HighPassFilter::coefficients(0, 0);
  EXPECT_EQ(zero.a1, ten.a1);
  EXPECT_EQ(zero.a2, ten.a2);
  EXPECT_EQ(zero.b0, ten.b0);
  EXPECT_EQ(zero.b1, ten.b1);
  EXPECT_EQ(HighPassDescriptor(0).makeFilter(memorySource({}))->peakBound(), 0x3FFFFF);
}

// A constant input, and silence after noise, decay to exactly 0 at every cutoff: the numerator
// has an exact zero at 0 Hz and no rounding bias is left for the recursion to raise.
TEST(HighPassFilterTest, ConstantInputAndSilenceDecayToZero) {
  for (int32_t cutoff : {20, 250, 2000}) {
    for (Sample level : {100000, -300000, 524272, 1000}) {
      HighPassDescriptor descriptor(cutoff);
      EXPECT_EQ(descriptor.name(), "Low Frequency Cut");
      Ref<EffectFilter> filter =
          descriptor.makeFilter(memorySource(std::vector<Sample>(2 * 88200, level), 2));
      const std::vector<Sample> out = readFrames(*filter, 88200);
      EXPECT_EQ(out[0], out[1]);  // both channels alike
      EXPECT_EQ(out[out.size() - 1], 0) << cutoff << " Hz, level " << level;
      filter->seek(0);  // empty histories again
      EXPECT_EQ(readFrames(*filter, 1)[0], out[0]);
    }
    std::vector<Sample> burst = testing::noise(20000, 400000, cutoff);
    burst.resize(burst.size() + 88200, 0);
    Ref<EffectFilter> after = HighPassDescriptor(cutoff).makeFilter(memorySource(burst, 1));
    const std::vector<Sample> out = readFrames(*after, int32_t(burst.size()));
    EXPECT_LE(std::abs(out.back()), 1) << cutoff << " Hz after noise";
  }
}

// Our filter and sox's `highpass f 0.707q` are the same textbook biquad (the audio-EQ cookbook
// high-pass with Q 0.707), ours in 8.24 fixed point. For sines at several frequencies the gain
// after settling, measured over the last half second (a whole number of periods), must agree
// within 0.5 dB, in the pass band, at the cutoff and down the stop band to −40 dB (250 Hz
// through the 250 Hz filter agrees within 0.08 dB at −28 dB). Deeper down, the truncations of
// the split multiplies (about a unit per product, raised by the recursion's gain at low
// frequencies) are no longer small beside the output: 50 Hz through a 1000 Hz filter comes out
// at −53.0 dB where sox and the exact response give −52.1 dB.
TEST(HighPassFilterTest, MagnitudeResponseMatchesSox) {
  if (!testing::haveTool("sox")) GTEST_SKIP() << "sox is not installed";
  testing::TempEnvironment env;
  const int32_t rate = 44100, frames = 2 * rate, window = rate / 2;
  struct Case {
    int cutoff, frequency;
  };
  for (Case c :
       {Case{250, 50}, Case{250, 100}, Case{250, 250}, Case{250, 500}, Case{250, 1000},
        Case{250, 5000}, Case{1000, 100}, Case{1000, 250}, Case{1000, 1000}, Case{1000, 5000}}) {
    const double step = 2 * std::numbers::pi * c.frequency / rate;
    std::vector<Sample> input(frames);
    std::vector<int32_t> scaled(frames);  // for sox: the same samples at 32-bit full scale
    for (int32_t i = 0; i < frames; ++i) {
      input[size_t(i)] = Sample(std::lround(0x40000 * std::sin(step * i)));
      scaled[size_t(i)] = input[size_t(i)] * 4096;
    }
    const std::vector<Sample> ours =
        readFrames(*HighPassDescriptor(c.cutoff).makeFilter(memorySource(input)), frames);
    testing::writeRaw32(env.path("in.raw"), scaled);
    ASSERT_EQ(testing::runCommand("sox -D -t s32 -r 44100 -c 1 " + env.path("in.raw") + " -t s32 " +
                                  env.path("out.raw") + " highpass " + std::to_string(c.cutoff) +
                                  " 0.707q"),
              0);
    const std::vector<int32_t> sox = testing::readRaw32(env.path("out.raw"));
    ASSERT_EQ(sox.size(), input.size());

    // The sine's amplitude by correlation with the sine and cosine at its frequency, which
    // leaves out the small offset that the fixed-point recursion keeps (see the DC test).
    auto amplitude = [&](const std::vector<int32_t>& signal, double scale) {
      double re = 0, im = 0;
      for (int32_t i = frames - window; i < frames; ++i) {
        re += signal[size_t(i)] * scale * std::cos(step * i);
        im += signal[size_t(i)] * scale * std::sin(step * i);
      }
      return 2 * std::hypot(re, im) / window;
    };
    const double in = amplitude(input, 1.0);
    EXPECT_NEAR(20 * std::log10(amplitude(ours, 1.0) / in),
                20 * std::log10(amplitude(sox, 1.0 / 4096) / in), 0.5)
        << c.cutoff << " Hz filter, " << c.frequency << " Hz sine";
  }
}

}  // namespace
}  // namespace quillon
