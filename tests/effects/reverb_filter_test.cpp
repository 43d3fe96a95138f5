#include "effects/reverb_filter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>

#include "effects/decibel_table.h"
#include "effects/gain_math.h"
#include "reverb_reference.h"
#include "support/memory_source.h"

namespace quillon {
namespace {

using testing::memorySource;
using testing::noise;
using testing::readFrames;

bool allZero(const std::vector<Sample>& words, size_t from, size_t step) {
  for (size_t i = from; i < words.size(); i += step) {
    if (words[i] != 0) return false;
  }
  return true;
}

// Noise in stretches of different loudness that do not line up with blocks: 16-bit full scale,
// quiet, silent, and (when `extreme`) words near the 32-bit limits, where every sum saturates.
std::vector<Sample> loudAndQuiet(int32_t frames, int channels, uint32_t seed, bool extreme) {
  const int32_t levels[] = {524288, 3000, 0, 524272, extreme ? INT32_MAX : 40000000, 100};
  std::vector<Sample> words;
  for (int stretch = 0; words.size() < size_t(frames) * channels; ++stretch) {
    const size_t count = std::min<size_t>(size_t(5000 + 1777 * stretch) * channels,
                                          size_t(frames) * channels - words.size());
    const std::vector<Sample> part = noise(count, levels[stretch % 6], seed + uint32_t(stretch));
    words.insert(words.end(), part.begin(), part.end());
  }
  return words;
}

// Every preset, mono and stereo, reads of every size (one frame, odd sizes, more than a block),
// loud, quiet and saturating input, and every way of adding taps this processor has (word by
// word, AVX2, AVX-512: each preset meets each): the filter gives the reference's words bit for
// bit, from the first block to the end of the tail.
TEST(ReverbFilterTest, SameWordsAsTheReferenceForEveryPresetAndRead) {
  struct Case {
    int32_t decayMs, predelayMs;
    int wetDb, dryDb;
    int32_t rate;
    bool extreme;
  };
  const Case cases[] = {
      {50, 25, 0, 0, 44100, false},       // "Living Room"
      {250, 50, 0, 0, 44100, false},      // "Bathroom"
      {500, 75, 0, 0, 44100, true},       // "Auditorium"
      {1000, 100, 0, 0, 44100, false},    // "Hangar"
      {1000, 100, 6, -3, 48000, true},    // "Hangar", louder wet, saturating
      {250, 25, -127, 0, 8000, false},    // the defaults, dry only
      {1, 1, 3, -127, 22050, true},       // the shortest tail: the delays outlast it
      {2000, 1000, -6, -6, 11025, false}  // the longest
  };
  const std::vector<int32_t> evenReads = {8192};
  const std::vector<int32_t> oddReads = {1, 8191, 8193, 777, 16385, 3, 12000, 4096};
  const int ways = int(widestMixLanes()) + 1;
  int run = 0;
  for (const Case& c : cases) {
    for (int channels : {1, 2}) {
      for (const std::vector<int32_t>* reads : {&evenReads, &oddReads}) {
        const auto lanes = MixLanes(run++ % ways);
        SCOPED_TRACE(::testing::Message()
                     << c.decayMs << " ms, " << channels << " channels, "
                     << (reads == &evenReads ? "whole" : "odd") << " reads, lanes " << int(lanes));
        const int32_t signalFrames = 3 * 8192 + 555;
        const std::vector<Sample> input =
            loudAndQuiet(signalFrames, channels, uint32_t(c.decayMs + channels), c.extreme);
        ReverbFilter filter(memorySource(input, channels, c.rate), c.decayMs, c.predelayMs, 50,
                            c.wetDb, c.dryDb);
        filter.setMixLanes(lanes);
        testing::ReferenceReverb reference(c.rate, channels, c.decayMs, c.predelayMs, c.wetDb,
                                           c.dryDb);
        // Through the whole tail: the accumulator holds at most T + 7.75 × P + 8192 frames.
        const int64_t end =
            signalFrames + filter.tailFrames() + int64_t(7.75 * filter.predelayFrames()) + 4 * 8192;
        size_t next = 0;
        for (int64_t at = 0; at < end; at += (*reads)[next++ % reads->size()]) {
          const int32_t frames = (*reads)[next % reads->size()];
          std::vector<Sample> in(size_t(frames) * channels, 0);
          for (size_t i = 0; i < in.size() && size_t(at) * channels + i < input.size(); ++i)
            in[i] = input[size_t(at) * channels + i];
          const std::vector<Sample> expected = reference.process(in);
          ASSERT_EQ(readFrames(filter, frames), expected) << "the read at frame " << at;
        }
      }
    }
  }
}

TEST(ReverbFilterTest, DryOnlyReturnsTheInputExactly) {
  const ReverbDescriptor descriptor(250, 25, 50, -127, 0);
  EXPECT_EQ(descriptor.name(), "Reverb");
  EXPECT_EQ(descriptor.diffusionPercent(), 50);
  const std::vector<Sample> input = noise(2 * 30000, 500000);
  Ref<EffectFilter> filter = descriptor.makeFilter(memorySource(input, 2));
  EXPECT_EQ(filter->status(), SourceStatus::Ok);
  std::vector<Sample> out;
  for (int32_t frames : {8192, 1808, 20000}) {  // the longest read is split into blocks
    const std::vector<Sample> block = readFrames(*filter, frames);
    out.insert(out.end(), block.begin(), block.end());
  }
  EXPECT_EQ(out, input);
}

TEST(ReverbFilterTest, SilenceStaysSilentAndALoudBlockLeavesATail) {
  std::vector<Sample> input(44100, 0);
  ReverbFilter silent(memorySource(input), 250, 25, 50, 0, 0);
  EXPECT_TRUE(allZero(readFrames(silent, 44100), 0, 1));

  std::copy_n(noise(8192, 200000).begin(), 8192, input.begin() + 8192);
  ReverbFilter reverb(memorySource(input), 250, 25, 50, 0, 0);
  const std::vector<Sample> out = readFrames(reverb, 3 * 8192);
  EXPECT_TRUE(std::all_of(out.begin(), out.begin() + 8192, [](Sample s) { return s == 0; }));
  EXPECT_FALSE(allZero(std::vector<Sample>(out.begin() + 2 * 8192, out.end()), 0, 1));  // tail
}

TEST(ReverbFilterTest, FirstReflectionAtTwoHundredFiftyMilliseconds) {
  std::vector<Sample> impulse(8192, 0);
  impulse[0] = 524288;
  ReverbFilter reverb(memorySource(impulse), 250, 25, 50, 0, -127);
  EXPECT_EQ(reverb.tailFrames(), 22050);
  EXPECT_EQ(reverb.predelayFrames(), 1102);  // 1102.5 truncated
  // 256 + P frames, round(−120 × 1358 / 22050 − 6) = round(−13.39) dB.
  const ReverbFilter::Reflection first = reverb.reflections()[0];
  EXPECT_EQ(first.delay, 1358);
  EXPECT_EQ(first.attenuation, -13);
  EXPECT_EQ(first.order, 3);
  EXPECT_EQ(reverb.reflections()[40].delay, 1984 + 1102);
  EXPECT_EQ(reverb.reflections()[40].attenuation, int(std::round(-120.0 * 3086 / 22050 - 10)));
  // The block's level: (2^14)² / 8192 = 2^15 is −24 dB, so the reflection is at −37 dB; nothing
  // else of the impulse arrives at 1358 frames.
  const std::vector<Sample> out = readFrames(reverb, 8192);
  EXPECT_EQ(out[1358], splitMultiply(DecibelTable::instance().amplitude(-37), 524288));
  EXPECT_EQ(out[1357], 0);
}

TEST(ReverbFilterTest, StereoTailsStayInTheirChannels) {
  std::vector<Sample> input(2 * 4 * 8192, 0);
  const std::vector<Sample> left = noise(8192, 300000);
  for (size_t f = 0; f < left.size(); ++f)
    input[2 * f] = left[f];
  ReverbFilter reverb(memorySource(input, 2), 250, 25, 50, 0, 0);
  const std::vector<Sample> out = readFrames(reverb, 4 * 8192);
  EXPECT_TRUE(allZero(out, 1, 2));  // right: nothing reflected, diffused or echoed
  EXPECT_FALSE(allZero(std::vector<Sample>(out.begin() + 2 * 8192, out.end()), 0, 2));
}

TEST(ReverbFilterTest, StereoWithEqualChannelsIsMonoInEachChannel) {
  const std::vector<Sample> mono = noise(3 * 8192, 400000, 3);
  std::vector<Sample> stereo(2 * mono.size());
  for (size_t f = 0; f < mono.size(); ++f)
    stereo[2 * f] = stereo[2 * f + 1] = mono[f];
  ReverbFilter one(memorySource(mono), 100, 10, 50, 0, -3);
  ReverbFilter two(memorySource(stereo, 2), 100, 10, 50, 0, -3);
  const std::vector<Sample> expected = readFrames(one, 4 * 8192);
  const std::vector<Sample> out = readFrames(two, 4 * 8192);
  for (size_t f = 0; f < expected.size(); ++f) {
    ASSERT_EQ(out[2 * f], expected[f]) << f;
    ASSERT_EQ(out[2 * f + 1], expected[f]) << f;
  }
}

TEST(ReverbFilterTest, ExtremeInputSaturatesInsteadOfWrapping) {
  for (Sample extreme : {INT32_MAX, INT32_MIN}) {
    ReverbFilter reverb(memorySource(std::vector<Sample>(3 * 8192, extreme)), 250, 25, 50, 6, 0);
    EXPECT_EQ(readFrames(reverb, 3 * 8192), std::vector<Sample>(3 * 8192, extreme));
  }
}

TEST(ReverbFilterTest, BuffersThatCannotBeAllocatedFailTheFilter) {
  ReverbFilter reverb(memorySource({}), 2147483647, 25, 50, 0, 0);
  EXPECT_EQ(reverb.status(), SourceStatus::InnerFailed);
  std::vector<Sample> out(10, 5);
  reverb.read(out.data(), 10);
  EXPECT_EQ(out, std::vector<Sample>(10, 0));
}

}  // namespace
}  // namespace quillon
