#include <gtest/gtest.h>

#include <random>

#include <functional>

#include "effects/compressor_filter.h"
#include "effects/echo_filter.h"
#include "effects/format_conversion.h"
#include "effects/gain_filter.h"
#include "effects/gain_math.h"
#include "effects/high_pass_filter.h"
#include "effects/loop_stream.h"
#include "effects/peak_limiter.h"
#include "effects/reverb_filter.h"
#include "effects/speed_stream.h"
#include "support/memory_source.h"
#include "support/signals.h"

namespace quillon {
namespace {

using testing::memorySource;
using testing::readFrames;

// 0, 1, 2, …
std::vector<Sample> rising(int frames) {
  return testing::ramp(frames, 0);
}

TEST(PeakLimiterTest, WindowsFollowTheRateAndLiveness) {
  const struct {
    int32_t rate;
    bool live;
    int32_t window;
  } cases[] = {{44100, false, 1260}, {44100, true, 630}, {8000, false, 228},
               {8000, true, 114},    {400, false, 16},   {1000000, false, 8192}};
  for (const auto& c : cases) {
    PeakLimiter limiter(memorySource(rising(10), 1, c.rate, 0x200000, c.live));
    EXPECT_EQ(limiter.windowFrames(), c.window) << c.rate;
  }
  EXPECT_EQ(PeakLimiter::windowGain(0x7FFF0, 0x7FFF0), kUnityGain);
  EXPECT_NEAR(PeakLimiter::windowGain(0x100000, 0x7FFF0) / double(kUnityGain), 0.5, 0.001);
}

TEST(PeakLimiterTest, OnlyStreamsThatMayPassTheLimitAreWrapped) {
  auto quiet = memorySource(rising(10), 1, 44100, kFullScale16);
  EXPECT_EQ(limitTo(quiet).get(), quiet.get());
  auto loud = memorySource(rising(10), 1, 44100, 0x200000);
  Ref<SampleSource> limited = limitTo(loud);
  EXPECT_NE(limited.get(), loud.get());
  EXPECT_EQ(limited->peakBound(), kFullScale16);
}

// Random loud bursts between quiet stretches: no output sample passes the limit, quiet stretches
// far from loud ones come through unchanged, and positions line up with the input.
TEST(PeakLimiterTest, NothingPassesTheLimitAndQuietPassagesStayUntouched) {
  std::mt19937 random(3);
  for (int channels : {1, 2}) {
    std::vector<Sample> words;
    for (int burst = 0; burst < 30; ++burst) {
      const int32_t level = burst % 3 == 0 ? 0x1FFFFF : 100000;
      std::uniform_int_distribution<Sample> value(-level, level);
      for (int i = 0; i < 5000 * channels; ++i)
        words.push_back(value(random));
    }
    auto source = memorySource(words, channels, 44100, 0x200000);
    PeakLimiter limiter(source);
    std::vector<Sample> out;
    for (int i = 0; i < 30; ++i) {
      const std::vector<Sample> block = readFrames(limiter, 5000);
      out.insert(out.end(), block.begin(), block.end());
      EXPECT_EQ(limiter.position(), (i + 1) * 5000);
    }
    for (Sample s : out)
      ASSERT_LE(std::abs(int64_t{s}), kFullScale16);
    // Burst 1 (frames 5000…9999) is quiet; from the sixth window (7560) on the gain is back at
    // unity, and bursts 2 and 3 are more than three windows away.
    for (int64_t i = 7560 * channels; i < 10000 * channels; ++i) {
      ASSERT_EQ(out[size_t(i)], words[size_t(i)]) << "word " << i;
    }
  }
}

// An inner source that can no longer be read (a decoding service that died, a block file that
// went away) fails the reads of every stage above it, so that no job takes the silence for audio.
TEST(StageFailureTest, EveryStagePassesOnAFailedInnerRead) {
  const struct {
    const char* name;
    std::function<Ref<SampleSource>(Ref<SampleSource>)> wrap;
  } stages[] = {
      {"limiter", [](Ref<SampleSource> s) { return makeRef<PeakLimiter>(s); }},
      {"rate", [](Ref<SampleSource> s) { return convertFormat(s, 22050, 2); }},
      {"two rate stages", [](Ref<SampleSource> s) { return convertFormat(s, 8000, 2); }},
      {"to mono", [](Ref<SampleSource> s) { return convertFormat(s, 44100, 1); }},
      {"echo", [](Ref<SampleSource> s) { return makeRef<EchoFilter>(s, 100, 50); }},
      {"reverb", [](Ref<SampleSource> s) { return makeRef<ReverbFilter>(s, 250, 25, 50, 0, 0); }},
      {"compressor", [](Ref<SampleSource> s) { return makeRef<CompressorFilter>(s, -10, 2.0); }},
      {"high-pass", [](Ref<SampleSource> s) { return makeRef<HighPassFilter>(s, 250); }},
      {"gain", [](Ref<SampleSource> s) { return makeRef<GainFilter>(s, 2 * kUnityGain); }},
      {"envelope",
       [](Ref<SampleSource> s) {
         return makeRef<EnvelopeFilter>(s, std::vector<EnvelopePoint>{{0, 0}, {100000, 0}});
       }},
      {"loop", [](Ref<SampleSource> s) { return makeRef<LoopStream>(s, 0, 90000); }},
      {"speed", [](Ref<SampleSource> s) { return makeRef<SpeedChangeStream>(s, 1.5); }},
  };
  for (const auto& stage : stages) {
    auto inner = memorySource(testing::noise(2 * 100000, 0x100000), 2, 44100, 0x200000);
    inner->failFrom = 30000;
    Ref<SampleSource> outer = stage.wrap(inner);
    ASSERT_EQ(outer->status(), SourceStatus::Ok) << stage.name;
    std::vector<Sample> words(size_t(8192) * outer->channels());
    bool failed = false;
    for (int block = 0; block < 12 && !failed; ++block)
      failed = outer->read(words.data(), 8192) < 0;
    EXPECT_TRUE(failed) << stage.name;
  }
}

TEST(LoopStreamTest, PlaysTheRangeOverAndOver) {
  auto source = memorySource(rising(3 * 44100), 1);
  LoopStream loop(source, 44100, 88200);
  loop.seek(88190);
  const std::vector<Sample> wrap = readFrames(loop, 20);
  EXPECT_EQ(wrap[9], 88199);
  EXPECT_EQ(wrap[10], 44100);  // the inner position reached 88200: back to the start
  loop.seek(0);
  EXPECT_EQ(readFrames(loop, 1)[0], 44100);
  loop.seek(44100 - 5);  // before the start: shifted into the loop by whole lengths
  EXPECT_EQ(readFrames(loop, 1)[0], 88200 - 5);
}

TEST(LoopStreamTest, AnEmptyRangeIsRefusedAndReadsSilence) {
  auto source = memorySource(rising(100), 1);
  LoopStream empty(source, 50, 50);
  EXPECT_NE(empty.status(), SourceStatus::Ok);
  EXPECT_EQ(readFrames(empty, 5), std::vector<Sample>(5, 0));
  empty.seek(10);                        // returns at once too
  LoopStream pastEnd(source, 200, 300);  // starts beyond the end: the last stretch of that length
  EXPECT_EQ(pastEnd.loopStart(), 0);
}

TEST(EnvelopeFilterTest, FadeInRisesFromZeroToJustBelowUnity) {
  auto source = memorySource(std::vector<Sample>(8192, 1 << 20), 1);
  EnvelopeFilter fade(source, {{0, 0}, {8192, kUnityGain}});
  const std::vector<Sample> out = readFrames(fade, 8192);
  EXPECT_EQ(out[0], 0);
  EXPECT_EQ(out[1], splitMultiply(2048, 1 << 20));
  EXPECT_EQ(out[4096], splitMultiply(4096 * 2048, 1 << 20));
  EXPECT_EQ(out[8191], splitMultiply(16775168, 1 << 20));
  // A read starting inside the ramp begins with the exact gain there.
  source->seek(1000);
  EXPECT_EQ(readFrames(fade, 1)[0], splitMultiply(1000 * 2048, 1 << 20));
}

TEST(GainFilterTest, PercentGainsAreAppliedInCoarseSteps) {
  EXPECT_EQ(GainFilter::gainForPercent(100), kUnityGain);
  EXPECT_EQ(GainFilter::gainForPercent(150), 768 << 15);
  GainFilter louder(memorySource(std::vector<Sample>{1000, -1000}, 1),
                    GainFilter::gainForPercent(150));
  EXPECT_EQ(louder.peakBound(), kDefaultPeakBound);
  EXPECT_EQ(readFrames(louder, 2), (std::vector<Sample>{1500, -1500}));
}

}  // namespace
}  // namespace quillon
