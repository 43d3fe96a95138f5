#include "view/wave_view_model.h"

#include <gtest/gtest.h>

#include "document/clip_editing.h"
#include "document/clip_peak_reader.h"
#include "document/clip_reader.h"
#include "support/audio_signals.h"
#include "view_test_support.h"

namespace quillon::testing {
namespace {

using view::ColumnScale;
using view::PeakStyle;
using view::WaveViewModel;

class WaveViewModelTest : public DocumentTest {
 protected:
  NoticeQueue notices;
};

// A long stereo document: a few blocks of music seen through many Segments (so that columns of
// any scale cross Segment edges), with different gains.
Clip longClip(int64_t frames) {
  const Clip a = writeClip(musicLike(44100, 300000, 2, 1), 2);
  const Clip b = writeClip(speechLike(44100, 200000, 2, 2), 2);
  Clip clip;
  clip.channels = 2;
  int64_t at = 0;
  for (int i = 0; at < frames; ++i) {
    Segment s = (i % 3 == 1 ? b : a).segments[0];
    s.offset = (i * 7919) % 100000;
    s.length = int32_t(std::min<int64_t>(50000 + (i * 104729) % 90000, frames - at));
    s.gain = i % 4 == 3 ? kUnityGain / 2 : kUnityGain;
    at += s.length;
    clip.segments.push_back(s);
  }
  return clip;
}

TEST_F(WaveViewModelTest, ExactlyTwoHundredFiftySixFramesPerColumnUsesTheSamplesMoreThePeakFiles) {
  const Clip clip = longClip(2'000'000);
  const std::vector<Sample> words = readAll(clip);
  WaveViewModel wave(notices);
  wave.setSize(1000, 200);
  wave.attach(clip, 0, false);
  struct Case {
    int64_t length;
    bool files;
  };
  for (const Case& c : {Case{256'000, false}, Case{257'000, true}}) {
    wave.setVisibleRange(400'000, c.length);
    settle(wave, notices);
    EXPECT_EQ(wave.worker().stats().usedPeakFiles, c.files) << c.length;
    const ColumnScale scale{wave.samplesPerPixel(), clip.length()};
    const BrutePeaks expected =
        c.files ? brutePeaksFromFiles(clip, scale, {}, wave.peaks().firstColumn, 1000)
                : brutePeaksFromSamples(words, 2, scale, {}, wave.peaks().firstColumn, 1000);
    EXPECT_EQ(wave.peaks().upper, expected.upper) << c.length;
    EXPECT_EQ(wave.peaks().lower, expected.lower) << c.length;
    EXPECT_EQ(wave.peaks().firstColumn, int64_t(400'000 / wave.samplesPerPixel()));
  }
}

TEST_F(WaveViewModelTest, ZoomFullAfterCutPasteAndAmplifyShowsWhatAFreshComputationGives) {
  Clip clip = longClip(3'000'000);
  WaveViewModel wave(notices);
  wave.setSize(1500, 300);
  wave.attach(clip, 1, false);
  wave.setVisibleRange(0, 0);
  settle(wave, notices);

  Clip cut;
  cutRange(clip, 100'000, 900'123, cut);
  insertClip(clip, 1'500'017, cut);
  scaleRange(clip, 200'000, 1'234'567, 300);
  scaleRange(clip, 2'000'000, 2'100'000, 10);
  wave.attach(clip, 1, false);
  wave.setVisibleRange(0, 0);
  settle(wave, notices);

  ASSERT_TRUE(wave.usesPeakFiles());
  const ColumnScale scale{wave.samplesPerPixel(), clip.length()};
  const BrutePeaks expected = brutePeaksFromFiles(clip, scale, {1, false, 2}, 0, 1500);
  EXPECT_EQ(wave.peaks().upper, expected.upper);
  EXPECT_EQ(wave.peaks().lower, expected.lower);
  EXPECT_GT(*std::max_element(expected.upper.begin(), expected.upper.end()), 100);
}

TEST_F(WaveViewModelTest, AScrollOfACacheWidthShiftsOneColumnMoreRecomputes) {
  const Clip clip = longClip(4'000'000);
  WaveViewModel wave(notices);
  wave.setSize(800, 200);
  wave.attach(clip, 0, false);
  // 100 frames per column: the sample method.
  wave.setVisibleRange(1'000'000, 80'000);
  settle(wave, notices);
  struct Case {
    int64_t columns;
    bool shifts;
  };
  int64_t first = 1'000'000;
  for (const Case& c :
       {Case{2048, true}, Case{2049, false}, Case{-2048, true}, Case{-2049, false}}) {
    const view::PeakWorkerStats before = wave.worker().stats();
    first += c.columns * 100;
    wave.setVisibleRange(first, 80'000);
    settle(wave, notices);
    const view::PeakWorkerStats after = wave.worker().stats();
    EXPECT_EQ(after.shifts - before.shifts, c.shifts ? 1u : 0u) << c.columns;
    EXPECT_EQ(after.rescales - before.rescales, c.shifts ? 0u : 1u) << c.columns;
    EXPECT_EQ(after.columnsComputed - before.columnsComputed, c.shifts ? 2048u : 4096u)
        << c.columns;
    EXPECT_EQ(wave.peaks().firstColumn, first / 100);
  }
}

TEST_F(WaveViewModelTest, AThousandSmallScrollsEndWhereOneLargeScrollDoes) {
  const Clip clip = longClip(3'000'000);
  for (double framesPerColumn : {37.3, 611.7}) {
    SCOPED_TRACE(framesPerColumn);
    const int64_t length = int64_t(framesPerColumn * 640);
    WaveViewModel small(notices), large(notices);
    for (WaveViewModel* wave : {&small, &large}) {
      wave->setSize(640, 100);
      wave->attach(clip, 0, false);
      wave->setVisibleRange(12'345, length);
      settle(*wave, notices);
    }
    int64_t first = 12'345;
    for (int i = 0; i < 1000; ++i) {
      first += 1'013;
      small.setVisibleRange(first, length);
      if (i % 50 == 0) settle(small, notices);
    }
    settle(small, notices);
    large.setVisibleRange(first, length);
    settle(large, notices);
    EXPECT_EQ(small.peaks().firstColumn, large.peaks().firstColumn);
    EXPECT_EQ(small.peaks().firstFrame, first);
    EXPECT_EQ(small.peaks().upper, large.peaks().upper);
    EXPECT_EQ(small.peaks().lower, large.peaks().lower);
  }
}

TEST_F(WaveViewModelTest, AnEmptyDocumentHasZeroPeaksAndAMonoOneShowsModeZero) {
  WaveViewModel wave(notices);
  wave.setSize(300, 100);
  wave.attach(Clip{}, 2, true);
  wave.setVisibleRange(0, 0);
  settle(wave, notices);
  EXPECT_EQ(wave.visibleLength(), 0);
  EXPECT_EQ(std::count(wave.peaks().upper.begin(), wave.peaks().upper.end(), 0), 300);
  EXPECT_EQ(wave.displayMode(), 0);

  Clip stereo = writeClip(std::vector<Sample>(2000, 5), 2);
  wave.attach(stereo, 2, false);
  EXPECT_EQ(wave.displayMode(), 2);
}

TEST_F(WaveViewModelTest, FrameToXAndXToFrameFollowTheRoundingRules) {
  const Clip clip = writeClip(std::vector<Sample>(100'000, 0));
  WaveViewModel wave(notices);
  wave.setSize(1000, 100);
  wave.attach(clip, 0, false);
  wave.setVisibleRange(10'000, 4'000);  // 4 frames per column
  settle(wave, notices);
  EXPECT_EQ(wave.firstVisibleFrame(), 10'000);
  // x = int((frame − first) × 0.25 + 0.5); frame = first + ceil(x × 4 − 0.5).
  EXPECT_EQ(wave.frameToX(10'000), 0);
  EXPECT_EQ(wave.frameToX(10'001), 0);
  EXPECT_EQ(wave.frameToX(10'002), 1);
  EXPECT_EQ(wave.frameToX(14'000), 1000);
  EXPECT_EQ(wave.frameToX(9'997), 0);  // the integer part of −0.25
  EXPECT_EQ(wave.xToFrame(0), 10'000);
  EXPECT_EQ(wave.xToFrame(1), 10'004);
  EXPECT_EQ(wave.xToFrame(250), 11'000);
}

TEST_F(WaveViewModelTest, MarksInvalidateTheirOwnRectangles) {
  const Clip clip = writeClip(std::vector<Sample>(10'000, 0));
  WaveViewModel wave(notices);
  wave.setSize(1000, 100);
  wave.attach(clip, 0, false);
  wave.setVisibleRange(0, 10'000);  // 10 frames per column
  settle(wave, notices);
  wave.takeInvalidations();
  wave.setCursor(500);  // from x 0 to x 50
  using view::PixelRect;
  const std::vector<PixelRect> cursor = {{-5, 0, 5, 6},  {-5, 94, 5, 100},  {-1, 6, 1, 100},
                                         {45, 0, 55, 6}, {45, 94, 55, 100}, {49, 6, 51, 100}};
  EXPECT_EQ(wave.takeInvalidations(), cursor);
  wave.setSelection(1000, 2000);  // the bands 0…100 and 0…200
  EXPECT_EQ(wave.takeInvalidations(), (std::vector<PixelRect>{{0, 0, 101, 100}, {0, 0, 201, 100}}));
  std::vector<Bookmark> bookmarks(1);
  bookmarks[0].position = 9'990;  // x 999: the flag box stays inside at 982
  wave.setBookmarks(&bookmarks);
  wave.takeInvalidations();
  wave.bookmarkMoved(9'990, 5'000);
  EXPECT_EQ(wave.takeInvalidations(), (std::vector<PixelRect>{{992, 0, 1006, 7},
                                                              {982, 85, 999, 101},
                                                              {998, 6, 1000, 100},
                                                              {493, 0, 507, 7},
                                                              {500, 85, 517, 101},
                                                              {499, 6, 501, 100}}));
}

}  // namespace
}  // namespace quillon::testing
