#include "effects/speed_stream.h"

#include <gtest/gtest.h>

#include "test_signals.h"

namespace quillon {
namespace {

using namespace testing;

// The frequency of a tone from its zero crossings, interpolated between frames.
double crossingFrequency(const std::vector<double>& x, int32_t rate) {
  double first = -1, last = 0;
  int crossings = 0;
  for (size_t i = 1; i < x.size(); ++i) {
    if ((x[i - 1] < 0) == (x[i] < 0)) continue;
    last = double(i - 1) + x[i - 1] / (x[i - 1] - x[i]);
    first = first < 0 ? last : first;
    ++crossings;
  }
  return (crossings - 1) / 2.0 / (last - first) * rate;
}

TEST(SpeedChangeStreamTest, PitchFollowsSpeed) {
  for (const double factor : {1.5, 0.5, 1.25}) {
    auto fast = makeRef<SpeedChangeStream>(sineSource(1000, 44100, 132300, 3e5, 2), factor);
    const std::vector<double> out = readChannel(fast, 44100);
    EXPECT_EQ(fast->position(), int32_t(44100 * factor));  // counted in inner frames
    EXPECT_EQ(fast->length(), 132300);
    EXPECT_NEAR(crossingFrequency({out.begin() + 100, out.end()}, 44100), 1000 * factor, 0.5);
    EXPECT_NEAR(rmsDecibels({out.begin() + 100, out.end()}, 3e5), 0, 0.05) << factor;
  }
  // At 1 the stream is the inner source, bit for bit.
  const std::vector<Sample> words = sineWords(12345, 44100, 5000, 5e5, 2);
  auto same = makeRef<SpeedChangeStream>(makeRef<MemorySource>(words, 2, 44100), 1.0);
  EXPECT_EQ(readWords(same, 5000), words);
}

// A swell over three tones, so that forwards and backwards differ.
std::vector<Sample> phrase(int32_t frames) {
  std::vector<Sample> words;
  for (int32_t n = 0; n < frames; ++n) {
    const double t = 2 * std::numbers::pi * n / 44100;
    words.push_back(
        Sample(1e5 * (1 + 0.8 * std::sin(0.7 * t)) *
               (std::sin(220 * t) + 0.5 * std::sin(1234 * t) + 0.3 * std::sin(3100 * t))));
  }
  return words;
}

// From 1 to −1 over R frames the stream travels R − 2/R × R(R − 1)/2 = 1 frame, turning at R/2;
// then output frame R + k is the input at start + 1 − k (within 2e-4 of full scale, the
// interpolator's passband ripple). Backwards play seeks back one block at a time and stops, in
// silence, at frame 0.
TEST(SpeedRampStreamTest, TurnsRoundAndPlaysBackwards) {
  const std::vector<Sample> words = phrase(88200);
  auto input = makeRef<MemorySource>(words, 1, 44100);
  input->seek(60000);
  auto scan = makeRef<SpeedRampStream>(input, 1.0, -1.0, 8000);
  readChannel(scan, 4000);
  EXPECT_EQ(scan->position(), 62000);
  EXPECT_NEAR(scan->currentSpeed(), 0, 1e-12);
  readChannel(scan, 4000);
  EXPECT_EQ(scan->position(), 60001);
  const int seeks = input->seeks;
  const std::vector<double> back = readChannel(scan, 40000);
  for (int32_t k = 0; k < 40000; ++k)
    ASSERT_NEAR(back[size_t(k)], words[size_t(60001 - k)], 524288 * 2e-4) << k;
  EXPECT_EQ(input->seeks - seeks, 40000 / VariableSpeedStream::kBlockFrames + 1);
  const std::vector<double> tail = readChannel(scan, 21000);
  EXPECT_EQ(scan->position(), 0);
  EXPECT_TRUE(std::all_of(tail.end() - 500, tail.end(), [](double v) { return v == 0; }));
}

// Speeding a 15 kHz tone up by 1.5 gives 22.5 kHz, above the 22.05 kHz Nyquist frequency;
// sampled naively it would fold back to 21.6 kHz. The interpolator's cutoff drops with the
// speed, so what comes out stays below −70 dB (measured −82 dB). The same at scanning speed 7:
// 2 kHz becomes 14 kHz at its level, 5 kHz (35 kHz) is removed (measured −97 dB).
TEST(SpeedRampStreamTest, SpeedingUpDoesNotFoldHighFrequenciesBack) {
  auto high = makeRef<SpeedChangeStream>(sineSource(15000, 44100, 132300, 4e5), 1.5);
  const std::vector<double> out = readChannel(high, 44100);
  const double folded = rmsDecibels({out.begin() + 100, out.end()}, 4e5);
  RecordProperty("folded_db", std::to_string(folded));
  EXPECT_LT(folded, -70);

  for (const double tone : {2000.0, 5000.0}) {
    auto scan = makeRef<SpeedRampStream>(sineSource(tone, 44100, 441000, 4e5), 1.5, 7.0, 8000);
    readChannel(scan, 8000);
    const std::vector<double> atSeven = readChannel(scan, 44100);
    if (tone == 2000) {
      EXPECT_NEAR(rmsDecibels(atSeven, 4e5), 0, 0.1);
      EXPECT_NEAR(crossingFrequency(atSeven, 44100), 14000, 1);
    } else {
      EXPECT_LT(rmsDecibels(atSeven, 4e5), -70);
    }
  }
  // A seek moves the play point and keeps the speed.
  auto scan = makeRef<SpeedRampStream>(sineSource(1000, 44100, 44100, 1), 1.0, 3.0, 1000);
  readChannel(scan, 2000);
  scan->seek(10000);
  readChannel(scan, 100);
  EXPECT_EQ(scan->position(), 10300);
}

}  // namespace
}  // namespace quillon
