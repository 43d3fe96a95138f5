#include "effects/rate_converter.h"

#include <gtest/gtest.h>

#include <random>

#include "effects/format_conversion.h"
#include "support/peer_tools.h"
#include "support/temp_environment.h"
#include "test_signals.h"

namespace quillon {
namespace {

using namespace testing;

TEST(RatePlanTest, StagesAndFiltersAreTheHandWorkedOnes) {
  struct Case {
    int32_t from, to, inputRate, phases, step;
    double cutoff, beta;
    bool first;
  };
  // 44,100 → 8,000 is two stages (8,000 < 11,025): first to 16,000, then halved.
  const std::vector<std::vector<Case>> cases = {
      {{44100, 22050, 44100, 1, 2, 0.453125, 4.538, false}},
      {{44100, 8000, 44100, 160, 441, 16000.0 / 44100 - 0.09375, 4.538, true},
       {44100, 8000, 16000, 1, 2, 0.453125, 4.538, false}},
      {{8000, 44100, 8000, 441, 80, 0.975, 2.12, false}},
      {{44100, 48000, 44100, 160, 147, 0.975, 2.12, false}},
      {{44100, 11025, 44100, 1, 4, 0.25 - 0.046875, 4.538, false}},  // not below a / 4
  };
  for (const std::vector<Case>& stages : cases) {
    const std::vector<RateStagePlan> plan = planRateConversion(stages[0].from, stages[0].to);
    ASSERT_EQ(plan.size(), stages.size()) << stages[0].to;
    for (size_t i = 0; i < plan.size(); ++i) {
      EXPECT_EQ(plan[i].inputRate, stages[i].inputRate);
      EXPECT_EQ(plan[i].phases, stages[i].phases);
      EXPECT_EQ(plan[i].inputStep, stages[i].step);
      EXPECT_DOUBLE_EQ(plan[i].cutoff, stages[i].cutoff);
      EXPECT_DOUBLE_EQ(plan[i].beta, stages[i].beta);
      EXPECT_EQ(plan[i].firstOfTwo, stages[i].first);
    }
  }
  EXPECT_EQ(planRateConversion(44100, 11024).size(), 2u);
  EXPECT_NEAR(besselI0SixTerms(1), 1.2660658777520082, 1e-9);

  // The centre tap is trunc(0.975 × 65536 + 0.5); phase 0 is symmetric; every phase passes DC
  // at close to unity (2^16).
  RateConverter up(sineSource(1000, 8000, 10, 1), 44100);
  EXPECT_EQ(up.coefficient(0, 31), 63898);
  EXPECT_EQ(up.coefficient(0, 20), up.coefficient(0, 42));
  for (int32_t p = 0; p < 441; p += 11) {
    int64_t sum = 0;
    for (int j = 0; j < RateConverter::kTaps; ++j)
      sum += up.coefficient(p, j);
    EXPECT_NEAR(double(sum) / 65536, 1.0, 0.01) << p;
  }
}

// Through 48 kHz and back, a 1 kHz sine keeps its level within 0.1 dB, and its values are the
// input's at the positions the chain reports. Timing is within 0.02 frames: the window, cut at 63
// taps, leaves each fractional phase a small delay error of its own (up to 0.023 frames upwards,
// 0.012 measured over the round trip).
TEST(RateConverterTest, RoundTripKeepsLevelAndTiming) {
  const double amplitude = 300000;
  Ref<SampleSource> back = convertFormat(
      convertFormat(sineSource(1000, 44100, 88200, amplitude, 2), 48000, 2), 44100, 2);
  back->seek(4410);
  const ToneFit fit = fitTone(readChannel(back, 44100), 1000, 44100, 4410);
  EXPECT_NEAR(20 * std::log10(fit.amplitude / amplitude), 0, 0.1);
  EXPECT_NEAR(fit.timingFrames, 0, 0.02);
  EXPECT_EQ(back->position(), 4410 + 44100);
}

// 10 kHz cannot exist at 8 kHz: the two stages remove it rather than fold it to 2 kHz. Measured:
// 72 dB down; the test asks for 50 dB.
TEST(RateConverterTest, StopbandRemovesToneAboveTheNewNyquist) {
  Ref<SampleSource> down = convertFormat(sineSource(10000, 44100, 44100, 400000), 8000, 1);
  const std::vector<double> out = readChannel(down, 8000);
  const double attenuation = rmsDecibels({out.begin() + 500, out.end() - 500}, 400000);
  RecordProperty("attenuation_db", std::to_string(attenuation));
  EXPECT_LT(attenuation, -50);
}

// After a seek the stage reads back the 31 input frames before the target, so every tap sees
// what it sees in a continuous read. The rule tested: the outputs are equal, word for word, when
// the history's normalisation shift is the same in both reads (a steady level, as here); with a
// changing level they may differ by the rounding of that shift.
TEST(RateConverterTest, SeekThenReadEqualsContinuousRead) {
  for (const int32_t target : {48000, 22050, 8000}) {
    Ref<SampleSource> continuous =
        convertFormat(sineSource(1500, 44100, 132300, 3e5, 2), target, 2);
    const int32_t total = continuous->length();
    const std::vector<Sample> whole = readWords(continuous, total);
    for (const int32_t at : {1, 777, total / 2 + 13, total - 3000}) {
      Ref<SampleSource> seeked = convertFormat(sineSource(1500, 44100, 132300, 3e5, 2), target, 2);
      seeked->seek(at);
      EXPECT_EQ(seeked->position(), at);
      const std::vector<Sample> afterSeek = readWords(seeked, 2000);
      EXPECT_TRUE(std::equal(afterSeek.begin(), afterSeek.end(), whole.begin() + 2 * at))
          << target << at;
    }
  }
}

// Lengths map by L / M, less 33 input frames while the inner length can still grow; such a
// source is read no further than it reports (at least 64 frames at a time), and once it has
// grown the output goes on as over the finished source.
TEST(RateConverterTest, LengthMappingAndGrowingSources) {
  EXPECT_EQ(convertFormat(sineSource(440, 44100, 44100, 1), 48000, 1)->length(), 48000);
  EXPECT_EQ(convertFormat(sineSource(440, 44100, 1000, 1), 48000, 1)->length(), 1088);
  EXPECT_EQ(convertFormat(sineSource(440, 8000, 8000, 1), 44100, 1)->length(), 44100);
  EXPECT_EQ(convertFormat(sineSource(440, 44100, 44100, 1), 8000, 1)->length(), 8000);

  auto growing = sineSource(1000, 44100, 44100, 300000);
  growing->shown = 5000;
  Ref<SampleSource> live = convertFormat(growing, 48000, 1);
  EXPECT_EQ(live->length(), (5000 - 33) * 160 / 147);
  std::vector<Sample> got = readWords(live, live->length());
  EXPECT_LE(growing->furthest, 5000 + 64);
  growing->shown = -1;
  const std::vector<Sample> rest = readWords(live, 48000 - int32_t(got.size()));
  got.insert(got.end(), rest.begin(), rest.end());
  EXPECT_EQ(got, readWords(convertFormat(sineSource(1000, 44100, 44100, 300000), 48000, 1), 48000));
}

TEST(RateConverterTest, StatusAndPeakBound) {
  auto input = sineSource(440, 44100, 100, 1000);
  input->markPeakBound(0x80000);
  EXPECT_EQ(RateConverter(input, 48000).peakBound(), 0x100000);  // twice the inner bound
  input->markPeakBound(0x200000);
  EXPECT_EQ(RateConverter(input, 48000).peakBound(), 0x200000);  // above 0x100000: kept
  EXPECT_EQ(RateConverter(input, 48000).status(), SourceStatus::Ok);
  // A non-positive target converts to 44,100 and marks the stage invalid (one or two stages).
  for (const int32_t from : {22050, 192000}) {
    Ref<SampleSource> zero = convertFormat(sineSource(440, from, 100, 1000), 0, 1);
    EXPECT_EQ(zero->status(), SourceStatus::Corrupt);
    EXPECT_EQ(zero->sampleRate(), 44100);
  }
  input->markStatus(SourceStatus::CannotOpen);
  EXPECT_EQ(convertFormat(input, 48000, 1)->status(), SourceStatus::InnerFailed);
  EXPECT_EQ(convertFormat(input, 8000, 2)->status(), SourceStatus::InnerFailed);
}

// Samples anywhere in the 32-bit range: the history is shifted by up to 17 bits, the output
// shift becomes a left shift and results saturate; the AVX2 and plain loops agree throughout.
TEST(RateConverterTest, ExtremeSamplesSaturateAndBothLoopsAgree) {
  std::vector<Sample> words(60000);
  std::mt19937 random(5);
  for (size_t i = 0; i < words.size(); ++i)  // full-range noise, then a full-scale square wave
    words[i] = i < 30000 ? Sample(random()) : ((i / 40) % 2 ? INT32_MAX : INT32_MIN);
  for (const int32_t target : {48000, 8000}) {
    std::vector<Sample> results[2];
    for (const bool plain : {false, true}) {
      RateConverter::forcePlainKernel(plain);
      results[plain] = readWords(convertFormat(makeRef<MemorySource>(words, 2, 44100), target, 2),
                                 target * 30000 / 44100);
    }
    RateConverter::forcePlainKernel(false);
    EXPECT_EQ(results[0], results[1]) << target;
    EXPECT_EQ(*std::max_element(results[0].begin(), results[0].end()), INT32_MAX) << target;
  }
}

// sox's `rate` is a different, longer filter, so only what a listener would measure is
// compared: level and timing of a 1 kHz sine taken from 44.1 kHz to 48 kHz agree with sox's
// within 0.1 dB and 0.05 frames (measured: 0.002 dB, 0.016 frames).
TEST(RateConverterTest, SineMatchesSoxLevelAndTiming) {
  if (!haveTool("sox")) GTEST_SKIP() << "sox not installed";
  TempEnvironment env;
  std::vector<Sample> words = sineWords(1000, 44100, 44100, 300000);
  std::vector<int32_t> scaled;
  for (Sample w : words)
    scaled.push_back(w * 4096);  // sample words to 32-bit full scale
  writeRaw32(env.path("in.raw"), scaled);
  const std::string raw = " -t raw -e signed -b 32 -L -c 1 ";
  ASSERT_EQ(runCommand("sox -r 44100" + raw + quoted(env.path("in.raw")) + raw +
                       quoted(env.path("out.raw")) + " rate 48000"),
            0);
  const std::vector<int32_t> soxWords = readRaw32(env.path("out.raw"));
  ASSERT_GE(soxWords.size(), 43200u);
  std::vector<double> theirs(soxWords.begin() + 4800, soxWords.begin() + 43200);
  for (double& v : theirs)
    v /= 4096;
  Ref<SampleSource> ours = convertFormat(makeRef<MemorySource>(words, 1, 44100), 48000, 1);
  ours->seek(4800);
  const ToneFit soxFit = fitTone(theirs, 1000, 48000, 4800);
  const ToneFit ourFit = fitTone(readChannel(ours, 38400), 1000, 48000, 4800);
  EXPECT_NEAR(20 * std::log10(ourFit.amplitude / soxFit.amplitude), 0, 0.1);
  EXPECT_NEAR(ourFit.timingFrames - soxFit.timingFrames, 0, 0.05);
}

}  // namespace
}  // namespace quillon
