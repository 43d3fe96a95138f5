#include "document/clip_editing.h"

#include <gtest/gtest.h>

#include "support/signals.h"
#include "support/temp_environment.h"

namespace quillon::testing {
namespace {

using ClipEditingTest = DocumentTest;

// Segment lengths in order, silence marked negative, for checking chain shapes.
std::vector<int32_t> shape(const Clip& clip) {
  std::vector<int32_t> lengths;
  for (const Segment& s : clip.segments)
    lengths.push_back(s.isSilence() ? -s.length : s.length);
  return lengths;
}

TEST_F(ClipEditingTest, DeleteRangeClampsItsEnds) {
  Clip clip = writeClip(ramp(100));
  deleteRange(clip, -20, 10);  // starts at 0
  EXPECT_EQ(readAll(clip), ramp(90, 11));
  deleteRange(clip, 80, 5000);  // removes to the end
  EXPECT_EQ(readAll(clip), ramp(80, 11));
  deleteRange(clip, 50, 40);  // b < a: nothing
  deleteRange(clip, -30, -10);
  EXPECT_EQ(clip.length(), 80);
}

TEST_F(ClipEditingTest, DeletingInsideOneSegmentSharesItsBlock) {
  Clip clip = writeClip(ramp(100));
  const BlockId block = clip.segments[0].block();
  deleteRange(clip, 40, 60);
  EXPECT_EQ(shape(clip), (std::vector<int32_t>{40, 40}));
  EXPECT_EQ(clip.segments[1].block(), block);
  EXPECT_EQ(clip.segments[1].offset, 60);
  EXPECT_EQ(BlockStore::instance().referenceCount(block), 2);
}

TEST_F(ClipEditingTest, InsertingIntoTheMiddleOfASegmentSplitsItAroundTheInsertion) {
  Clip clip = writeClip(ramp(100));
  Clip three = writeClip(ramp(10, 1000));
  insertClip(three, 10, writeClip(ramp(5, 2000)));
  insertClip(three, 15, writeClip(ramp(5, 3000)));
  ASSERT_EQ(three.segments.size(), 3u);
  insertClip(clip, 30, three);
  EXPECT_EQ(shape(clip), (std::vector<int32_t>{30, 10, 5, 5, 70}));
  std::vector<Sample> expected = ramp(30);
  for (const auto& part : {ramp(10, 1000), ramp(5, 2000), ramp(5, 3000), ramp(70, 31)}) {
    expected.insert(expected.end(), part.begin(), part.end());
  }
  EXPECT_EQ(readAll(clip), expected);
}

TEST_F(ClipEditingTest, InsertingBeyondTheEndFillsTheGapWithSilence) {
  Clip clip = writeClip(ramp(400));
  insertClip(clip, 1000, writeClip(ramp(50)));
  EXPECT_EQ(shape(clip), (std::vector<int32_t>{400, -600, 50}));
}

TEST_F(ClipEditingTest, InsertingAtANegativePositionPutsSilenceAfterTheInsertion) {
  Clip clip = writeClip(ramp(10));
  insertClip(clip, -5, writeClip(ramp(3, 100)));
  EXPECT_EQ(shape(clip), (std::vector<int32_t>{3, -5, 10}));
  Clip empty;
  insertClip(empty, -5, writeClip(ramp(3, 100)));
  EXPECT_EQ(shape(empty), (std::vector<int32_t>{3, -5}));
}

TEST_F(ClipEditingTest, InsertSilenceDropsWhatFallsBeforeZeroAndReachesFromTheEnd) {
  Clip clip = writeClip(ramp(100));
  insertSilence(clip, -30, 50);  // 20 frames remain
  EXPECT_EQ(shape(clip), (std::vector<int32_t>{-20, 100}));
  insertSilence(clip, -60, 50);  // nothing remains
  EXPECT_EQ(clip.length(), 120);
  insertSilence(clip, 200, 10);  // 80 past the end, lengthened to reach from the end
  EXPECT_EQ(shape(clip), (std::vector<int32_t>{-20, 100, -90}));
  insertSilence(clip, 70, 5);
  EXPECT_EQ(shape(clip), (std::vector<int32_t>{-20, 50, -5, 50, -90}));
}

TEST_F(ClipEditingTest, CopyRangeIsAlwaysExactlyTheRangeLong) {
  Clip clip = writeClip(ramp(150));
  clip.sampleRate = 22050;
  Clip out;
  copyRange(clip, -100, 200, out);
  EXPECT_EQ(out.length(), 300);
  EXPECT_EQ(out.sampleRate, 22050);
  EXPECT_EQ(shape(out), (std::vector<int32_t>{-100, 150, -50}));
  copyRange(clip, 10, 5, out);  // b < a: nothing changes
  EXPECT_EQ(out.length(), 300);
  copyRange(clip, 500, 600, out);
  EXPECT_EQ(shape(out), (std::vector<int32_t>{-100}));
}

TEST_F(ClipEditingTest, KeepRangeWithANegativeStartKeepsFromZero) {
  Clip clip = writeClip(ramp(100));
  keepRange(clip, -10, 30);
  EXPECT_EQ(readAll(clip), ramp(30));
  keepRange(clip, 5, 15);
  EXPECT_EQ(readAll(clip), ramp(10, 6));
}

TEST_F(ClipEditingTest, ScalingDividesBeforeMultiplying) {
  EXPECT_EQ(scaledGain(kUnityGain, 400), 67108800);  // not 67108864
  EXPECT_EQ(scaledGain(kMaxGain, 400), kMaxGain);
  EXPECT_EQ(scaledGain(kMaxGain, 50), 50 * (kMaxGain / 100));
  EXPECT_EQ(scaledGain(kUnityGain, 0), 0);
  // Repeated scaling never passes the largest gain.
  int32_t gain = kUnityGain;
  for (int i = 0; i < 20; ++i)
    gain = scaledGain(gain, 300);
  EXPECT_EQ(gain, kMaxGain);
}

TEST_F(ClipEditingTest, ScaleRangeChangesGainsOfTheRangeOnly) {
  Clip clip = writeClip(ramp(100, 1000));
  scaleRange(clip, 0, 100, 100);
  EXPECT_EQ(shape(clip), (std::vector<int32_t>{100}));
  scaleRange(clip, 20, 30, 400);
  EXPECT_EQ(shape(clip), (std::vector<int32_t>{20, 10, 70}));
  EXPECT_EQ(clip.segments[1].gain, 67108800);
  const std::vector<Sample> read = readAll(clip);
  EXPECT_EQ(read[19], 1019);
  EXPECT_EQ(read[20], 1020 * (67108800 >> 15) >> 9);
  EXPECT_EQ(read[30], 1030);
  // A range reaching outside the audio never changes its length.
  scaleRange(clip, -50, 500, 50);
  EXPECT_EQ(clip.length(), 100);
}

TEST_F(ClipEditingTest, ReplaceAndSilenceKeepTheLengthOfEqualRanges) {
  Clip clip = writeClip(ramp(100));
  silenceRange(clip, 10, 20);
  std::vector<Sample> expected = ramp(100);
  std::fill(expected.begin() + 10, expected.begin() + 20, 0);
  EXPECT_EQ(readAll(clip), expected);
  replaceRange(clip, 50, 60, writeClip(ramp(10, 500)));
  std::copy_n(ramp(10, 500).begin(), 10, expected.begin() + 50);
  EXPECT_EQ(readAll(clip), expected);
  Clip cut;
  cutRange(clip, 0, 10, cut);
  EXPECT_EQ(readAll(cut), ramp(10));
  EXPECT_EQ(clip.length(), 90);
}

}  // namespace
}  // namespace quillon::testing
