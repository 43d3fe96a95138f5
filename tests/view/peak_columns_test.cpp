#include "view/peak_columns.h"

#include <gtest/gtest.h>

#include "document/clip_editing.h"
#include "document/clip_peak_reader.h"
#include "document/clip_reader.h"
#include "support/audio_signals.h"
#include "support/memory_source.h"
#include "view_test_support.h"

namespace quillon::testing {
namespace {

using view::ColumnScale;
using view::PeakStyle;

// Loud noise (past full scale, so that bytes clip at 255), a quieter stretch and a near-silent
// one, per channel a little different.
std::vector<Sample> testWords(int64_t frames, int channels, uint32_t seed) {
  std::vector<Sample> words = noise(size_t(frames) * channels, 1 << 20, seed);
  for (int64_t f = frames / 3; f < 2 * frames / 3; ++f) {
    for (int c = 0; c < channels; ++c)
      words[size_t(f * channels + c)] /= (c + 1) * 37;
  }
  for (int64_t f = 2 * frames / 3; f < frames; ++f)
    words[size_t(f * channels)] /= 4000;
  return words;
}

// Two blocks seen through Segments with offsets off the group grid, gains above and below
// unity (one change lands inside a column) and silence between them.
Clip editedClip(int channels) {
  const Clip a = writeClip(testWords(40000, channels, 7), channels);
  const Clip b = writeClip(speechLike(44100, 30000, channels, 3), channels);
  Clip clip;
  clip.channels = uint8_t(channels);
  clip.segments.push_back(a.segments[0]);
  clip.segments.back().offset = 300;
  clip.segments.back().length = 5000;
  clip.segments.push_back(Segment::silence(3001));
  clip.segments.push_back(b.segments[0]);
  clip.segments.back().offset = 777;
  clip.segments.back().length = 9000;
  clip.segments.back().gain = 0x800000;
  clip.segments.push_back(a.segments[0]);
  clip.segments.back().offset = 10001;
  clip.segments.back().length = 6000;
  clip.segments.back().gain = 0x3000000;
  clip.segments.push_back(b.segments[0]);
  clip.segments.back().offset = 12345;
  clip.segments.back().length = 7000;
  clip.segments.back().gain = 0x40000;
  return clip;
}

struct StyleCase {
  int channels, mode;
  bool zoom;
};
const StyleCase kStyles[] = {{1, 0, false}, {1, 2, true}, {2, 0, false}, {2, 0, true},
                             {2, 1, false}, {2, 1, true}, {2, 2, false}, {2, 2, true}};

class PeakColumnsTest : public DocumentTest {};

TEST_F(PeakColumnsTest, SamplePeaksMatchABruteForceScanInEveryModeAndZoom) {
  for (const StyleCase& c : kStyles) {
    const Clip clip = editedClip(c.channels);
    const std::vector<Sample> words = readAll(clip);
    for (double spp : {0.37, 1.0, 7.3, 256.0}) {
      SCOPED_TRACE(::testing::Message() << c.channels << " channels, mode " << c.mode << ", zoom "
                                        << c.zoom << ", " << spp << " frames per column");
      const ColumnScale scale{spp, clip.length()};
      const PeakStyle style{c.mode, c.zoom, c.channels};
      const int64_t first = 3, count = std::min<int64_t>(scale.columnCount() - first, 3000);
      std::vector<uint8_t> upper(static_cast<size_t>(count)), lower(upper.size());
      auto reader = makeRef<ClipReader>(clip);
      std::vector<Sample> buffer;
      ASSERT_TRUE(view::computeSampleColumns(*reader, scale, style, first, count, upper.data(),
                                             lower.data(), nullptr, buffer));
      const BrutePeaks expected =
          brutePeaksFromSamples(words, c.channels, scale, style, first, count);
      EXPECT_EQ(upper, expected.upper);
      EXPECT_EQ(lower, expected.lower);
    }
  }
}

TEST_F(PeakColumnsTest, FilePeaksMatchABruteForceScanOfTheSummariesThroughSegmentGains) {
  for (const StyleCase& c : kStyles) {
    const Clip clip = editedClip(c.channels);
    for (double spp : {257.0, 300.5, 1000.0, 4321.9}) {
      SCOPED_TRACE(::testing::Message() << c.channels << " channels, mode " << c.mode << ", zoom "
                                        << c.zoom << ", " << spp << " frames per column");
      const ColumnScale scale{spp, clip.length()};
      const PeakStyle style{c.mode, c.zoom, c.channels};
      const int64_t count = scale.columnCount();
      std::vector<uint8_t> upper(static_cast<size_t>(count)), lower(upper.size());
      ClipPeakReader reader(clip);
      ASSERT_TRUE(view::computeFileColumns(reader, scale, style, 0, count, upper.data(),
                                           lower.data(), nullptr));
      const BrutePeaks expected = brutePeaksFromFiles(clip, scale, style, 0, count);
      EXPECT_EQ(upper, expected.upper);
      EXPECT_EQ(lower, expected.lower);
    }
  }
}

TEST_F(PeakColumnsTest, AGainChangeInsideOneColumnKeepsEachSegmentsOwnGain) {
  // One loud group seen at unity, then the same block at a quarter (or muted by a gain of 0):
  // the column's byte is the loud one at unity, whichever Segment comes last.
  std::vector<Sample> words(1024, 0);
  std::fill(words.begin(), words.begin() + 256, Sample(100 << 11));
  const Clip block = writeClip(words);
  for (int32_t quietGain : {kUnityGain / 4, 0}) {
    for (bool loudFirst : {true, false}) {
      Clip clip;
      Segment loud = block.segments[0], quiet = block.segments[0];
      loud.length = 256;
      quiet.length = 256;
      quiet.gain = quietGain;
      clip.segments = loudFirst ? std::vector{loud, quiet} : std::vector{quiet, loud};
      ClipPeakReader reader(clip);
      uint8_t upper = 0, lower = 0;
      ASSERT_TRUE(view::computeFileColumns(reader, {512, 512}, {0, false, 1}, 0, 1, &upper, &lower,
                                           nullptr));
      EXPECT_EQ(upper, 100) << loudFirst << " " << quietGain;
    }
  }
}

TEST_F(PeakColumnsTest, SilentSegmentsOpenNoPeakFile) {
  const Clip a = writeClip(testWords(20000, 1, 1));
  const Clip b = writeClip(testWords(20000, 1, 2));
  Clip clip;
  clip.segments = {Segment::silence(5000), a.segments[0],          Segment::silence(7000),
                   b.segments[0],          Segment::silence(9000), a.segments[0]};
  Clip silent;
  silent.segments = {Segment::silence(50000), Segment::silence(50000)};
  struct Case {
    const Clip* clip;
    uint64_t opens;
  };
  for (const Case& c : {Case{&clip, 3}, Case{&silent, 0}}) {
    const ColumnScale scale{400, c.clip->length()};
    std::vector<uint8_t> upper(size_t(scale.columnCount())), lower(upper.size());
    const uint64_t before = platform::threadFileActivity().opens;
    ClipPeakReader reader(*c.clip);
    ASSERT_TRUE(view::computeFileColumns(reader, scale, {}, 0, scale.columnCount(), upper.data(),
                                         lower.data(), nullptr));
    EXPECT_EQ(platform::threadFileActivity().opens - before, c.opens);
    if (c.opens == 0) {
      EXPECT_EQ(*std::max_element(upper.begin(), upper.end()), 0);
    }
  }
}

TEST_F(PeakColumnsTest, AbandonedComputationsSayTheyStopped) {
  const Clip clip = editedClip(2);
  const ColumnScale scale{300, clip.length()};
  std::vector<uint8_t> upper(size_t(scale.columnCount())), lower(upper.size());
  int asked = 0;
  ClipPeakReader reader(clip);
  EXPECT_FALSE(view::computeFileColumns(reader, scale, {}, 0, scale.columnCount(), upper.data(),
                                        lower.data(), [&] { return ++asked == 1; }));
  auto source = makeRef<ClipReader>(clip);
  std::vector<Sample> buffer;
  upper.resize(1000);
  lower.resize(1000);
  EXPECT_FALSE(view::computeSampleColumns(
      *source, {1, clip.length()}, {}, 0, 1000, upper.data(), lower.data(), [] { return true; },
      buffer));
}

TEST(ColumnScaleTest, ColumnsSplitTheFramesByTheRoundingRule) {
  const ColumnScale scale{2.5, 10};
  // ceil(k × 2.5 − 0.5): 0, 2, 5, 7, 10 (the last column ends at the length).
  const int64_t starts[] = {0, 2, 5, 7, 10, 10};
  for (int k = 0; k < 6; ++k)
    EXPECT_EQ(scale.start(k), starts[k]) << k;
  EXPECT_EQ(scale.columnCount(), 4);
  EXPECT_EQ((ColumnScale{0.25, 2}.columnCount()), 7);  // frame 1 starts in column 6
  EXPECT_EQ((ColumnScale{1, 0}.columnCount()), 0);
}

TEST(EntryMaximaTest, MatchesAPlainLoopForEveryStrideAndLength) {
  std::vector<uint8_t> bytes(8 * 801 + 1);
  SignalRandom random(9);
  for (uint8_t& b : bytes)
    b = uint8_t(random.next() >> 24);
  for (int stride : {2, 4, 6, 8}) {
    for (int64_t count : {0, 1, 3, 7, 16, 17, 100, 801}) {
      uint8_t got[8], want[8] = {};
      view::entryMaxima(bytes.data() + 1, count, stride, got);
      for (int64_t i = 0; i < count * stride; ++i)
        want[i % stride] = std::max(want[i % stride], bytes[size_t(i) + 1]);
      EXPECT_TRUE(std::equal(got, got + stride, want)) << stride << " " << count;
    }
  }
}

}  // namespace
}  // namespace quillon::testing
