// The effects that run on documents as jobs: worked values from their formulas, and the rules
// every effect keeps (cancel leaves everything as it was, nothing is read past the selection).
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "document/action_scope.h"
#include "document/block_writer.h"
#include "document/clip_editing.h"
#include "document/clip_reader.h"
#include "effects/auto_trim.h"
#include "effects/automatic_gain_control.h"
#include "effects/gain_effects.h"
#include "effects/level_tracker.h"
#include "effects/stream_transfer.h"
#include "support/fake_document_view.h"
#include "support/temp_environment.h"

namespace quillon {
namespace {

using testing::DocumentTest;
using testing::readAll;
using testing::writeClip;

class EffectJobsTest : public DocumentTest {
 protected:
  void TearDown() override {
    view.setDocument(nullptr);
    DocumentTest::TearDown();
  }
  WaveDocument& document() { return *view.document(); }
  Ref<WaveDocument> documentRef() { return Ref<WaveDocument>(view.document()); }
  void select(int32_t a, int32_t b) {
    document().selectionStart = a;
    document().selectionEnd = b;
  }
  testing::FakeDocumentView view;
};

std::vector<Sample> sine(int frames, double hz, double amplitude, int32_t rate = 44100) {
  std::vector<Sample> words(static_cast<size_t>(frames));
  for (int i = 0; i < frames; ++i) {
    words[size_t(i)] = Sample(amplitude * std::sin(2 * std::numbers::pi * hz * i / rate));
  }
  return words;
}

TEST_F(EffectJobsTest, AmplifyDividesTheGainBeforeMultiplying) {
  document().audio = writeClip(std::vector<Sample>(100, 1000));
  select(0, 100);
  amplify(document(), 150);
  EXPECT_EQ(document().audio.segments[0].gain, 25165800);
  document().audio.segments[0].gain = kUnityGain;
  const int32_t expected[] = {67108800, 268435200, 1073740800, 0x7FFFFFFF};
  for (int32_t gain : expected) {
    amplify(document(), 400);
    EXPECT_EQ(document().audio.segments[0].gain, gain);
  }
}

TEST_F(EffectJobsTest, NormalizeScalesThePeakToTheLevel) {
  EXPECT_EQ(normalizePercent(0x7FFF0, 100), 100);
  EXPECT_EQ(normalizePercent(0x3FFF8, 100), 200);
  EXPECT_EQ(normalizePercent(1000, 100), 400);  // at most 400 %
  EXPECT_EQ(normalizePercent(0, 100), 100);
  std::vector<Sample> words(20000, 0);
  words[15000] = -0x3FFF8;  // an all-negative peak counts by its magnitude
  document().audio = writeClip(words);
  select(0, 20000);
  NormalizeJob job(documentRef(), 100);
  EXPECT_EQ(runJob(job, view.ui), JobResult::Done);
  EXPECT_EQ(job.appliedPercent(), 200);
  EXPECT_EQ(readAll(document().audio)[15000], (-0x3FFF8 * (33554400 >> 15)) >> 9);  // 1/512 steps
  // Silence: the job succeeds and changes nothing.
  document().audio = writeClip(std::vector<Sample>(10, 0));
  select(0, 10);
  NormalizeJob silent(documentRef(), 100);
  EXPECT_EQ(runJob(silent, view.ui), JobResult::Done);
  EXPECT_EQ(document().audio.segments.size(), 1u);
}

TEST_F(EffectJobsTest, ReverseKeepsChannelOrderAndTwiceIsIdentity) {
  document().audio = writeClip({1, 2, 3, 4, 5, 6}, 2);
  select(0, 3);
  ReverseJob once(documentRef());
  EXPECT_EQ(runJob(once, view.ui), JobResult::Done);
  EXPECT_EQ(readAll(document().audio), (std::vector<Sample>{5, 6, 3, 4, 1, 2}));

  const std::vector<Sample> long_ = sine(20000, 333, 300000);
  document().audio = writeClip(long_);
  select(1234, 19000);
  ReverseJob first(documentRef()), second(documentRef());
  runJob(first, view.ui);
  EXPECT_NE(readAll(document().audio), long_);
  runJob(second, view.ui);
  EXPECT_EQ(readAll(document().audio), long_);
}

TEST_F(EffectJobsTest, FadeOutAndTrimEndsTheDocumentAtTheSelection) {
  document().audio = writeClip(std::vector<Sample>(1000, 1 << 20));
  select(200, 600);
  FadeOutAndTrimJob job(documentRef());
  EXPECT_EQ(job.title(), "Fade Out");
  EXPECT_EQ(runJob(job, view.ui), JobResult::Done);
  const std::vector<Sample> out = readAll(document().audio);
  ASSERT_EQ(out.size(), 600u);
  EXPECT_EQ(out[199], 1 << 20);
  EXPECT_EQ(out[200], 1 << 20);  // full gain at the start of the fade
  EXPECT_LT(out[599], (1 << 20) / 100);
}

// The worker reads exactly the selection: 8193 frames go as 8192 + 1, with a cancel check
// before each block and one after the last.
TEST_F(EffectJobsTest, TheBlockLoopStopsAtTheSelectionEnd) {
  document().audio = writeClip(std::vector<Sample>(10000, 1 << 20));
  select(100, 8293);
  EffectWorker fade("Fade In", documentRef(), fadeDescriptor(Fade::In, 100, 8293));
  EXPECT_EQ(runJob(fade, view.ui), JobResult::Done);
  EXPECT_EQ(document().audio.length(), 10000);
  EXPECT_EQ(view.ui.progressReports, 2);
  EXPECT_EQ(readAll(document().audio)[8293], 1 << 20);  // after the selection: untouched
}

TEST_F(EffectJobsTest, CancelAtTheFirstBlockLeavesDocumentAndRingAsBefore) {
  document().audio = writeClip(std::vector<Sample>(50000, 1000));
  select(0, 50000);
  document().modified = false;
  view.ui.cancelAfterReports = 0;
  {
    ActionScope scope(&view, "Reverse");
    ReverseJob job(documentRef());
    EXPECT_EQ(runJob(job, view.ui), JobResult::Cancelled);
  }
  EXPECT_EQ(readAll(document().audio), std::vector<Sample>(50000, 1000));
  EXPECT_FALSE(document().canUndo());
  EXPECT_FALSE(document().modified);
}

TEST_F(EffectJobsTest, AgcBlocksCurveAndGatedMedian) {
  EXPECT_EQ(AutomaticGainControlJob::blockFrames(48000), 960);
  EXPECT_EQ(AutomaticGainControlJob::blockFrames(8000), 160);
  EXPECT_EQ(AutomaticGainControlJob::blockFrames(800), 20);
  const int curve[][2] = {{-30, 5}, {-9, 5}, {-8, 4}, {-7, 4}, {-1, 1},
                          {0, 0},   {1, -1}, {2, -1}, {10, -9}};
  for (const auto& [x, gain] : curve)
    EXPECT_EQ(AutomaticGainControlJob::curve(x), gain) << x;
  // 80 blocks at −40 dB and 20 at −10 dB: the loudest eighth starts at −10, the gate is −25, and
  // the median of the 20 blocks above it is −10.
  std::vector<int64_t> histogram(256, 0);
  histogram[-40 + 128] = 80;
  histogram[-10 + 128] = 20;
  EXPECT_EQ(AutomaticGainControlJob::gatedMedian(histogram), -9);
  std::vector<int64_t> silent(256, 0);
  silent[1] = 10;  // all at −127: no gate
  EXPECT_EQ(AutomaticGainControlJob::gatedMedian(silent), -126);
}

// The tracker looks at the entry about to leave its window: it attacks once a full window of a
// higher level has passed, by 1/12 of the distance per block, and releases by 1/50, stopping at
// its lower bound.
TEST_F(EffectJobsTest, LevelTrackerFollowsQuicklyUpAndSlowlyDown) {
  LevelTracker tracker(50, -2, 8);
  for (int i = 0; i < 50; ++i)
    tracker.insert(6);
  EXPECT_EQ(tracker.quantile(), 6);
  EXPECT_EQ(tracker.smoothedExact(), -2.0 + 8.0 / 12);  // the first attack step
  for (int i = 0; i < 50; ++i)
    tracker.insert(6);
  EXPECT_EQ(tracker.smoothed(), 5);  // 6 − 8 × (11/12)^50, truncated
  for (int i = 0; i < 60; ++i)
    tracker.insert(-20);
  EXPECT_EQ(tracker.quantile(), -20);
  EXPECT_EQ(tracker.smoothed(), 0);  // ten release steps of 1/50 from 5.9
  for (int i = 0; i < 100; ++i)
    tracker.insert(-20);
  EXPECT_EQ(tracker.smoothed(), -2);  // the lower bound
}

// A quiet passage followed by a loud one comes out closer in level; the processed range is a
// whole number of blocks, but only the selection's length goes back into the document.
TEST_F(EffectJobsTest, AgcBringsQuietAndLoudPassagesTogether) {
  std::vector<Sample> words = sine(44100, 440, 20000);
  const std::vector<Sample> loud = sine(44100, 440, 400000);
  words.insert(words.end(), loud.begin(), loud.end());
  document().audio = writeClip(words);
  select(0, 88200);
  AutomaticGainControlJob job(documentRef());
  EXPECT_EQ(runJob(job, view.ui), JobResult::Done);
  const std::vector<Sample> out = readAll(document().audio);
  ASSERT_EQ(out.size(), words.size());
  auto rms = [&](int from) {
    double sum = 0;
    for (int i = from + 11025; i < from + 33075; ++i)
      sum += double(out[size_t(i)]) * out[size_t(i)];
    return std::sqrt(sum / 22050);
  };
  // 26 dB apart before; the curve lifts a passage far below the tracked level by 5 dB.
  const double ratio = rms(44100) / rms(0);
  EXPECT_GT(ratio, 8.0);
  EXPECT_LT(ratio, 12.0);
  for (Sample s : out)
    ASSERT_LE(std::abs(s), kFullScale16);

  document().audio = writeClip(std::vector<Sample>(3000, 1000));
  select(1000, 2000);
  AutomaticGainControlJob part(documentRef());
  EXPECT_EQ(runJob(part, view.ui), JobResult::Done);
  EXPECT_EQ(part.processedFrames(), 1764);  // two blocks of 882
  EXPECT_EQ(document().audio.length(), 3000);
}

TEST_F(EffectJobsTest, AutoTrimWorkedExamples) {
  std::vector<uint8_t> peaks(11 * 2, 0);  // mono, 10 × 256 frames: G = 11
  for (int group = 3; group <= 6; ++group)
    peaks[size_t(group) * 2] = 200;
  TrimRange range = findTrimRange(peaks, 1, 2560, -30);
  EXPECT_EQ(range.start, 512);
  EXPECT_EQ(range.end, 1792);

  std::vector<Sample> loud(1000, 400000);
  document().audio = writeClip(loud);
  document().markers.resize(2);
  document().markers[0].position = 100;
  document().markers[1].position = 900;
  AutoTrimJob job(documentRef(), -30);
  EXPECT_EQ(runJob(job, view.ui), JobResult::Done);
  EXPECT_EQ(job.range().start, 0);
  EXPECT_EQ(job.range().end, 768);  // the last 232 frames are never tested
  EXPECT_EQ(document().audio.length(), 768);
  ASSERT_EQ(document().markers.size(), 1u);
  EXPECT_EQ(document().markers[0].position, 100);
}

TEST_F(EffectJobsTest, AutoTrimSeesSegmentGainsAndSkipsSilence) {
  Clip quiet = writeClip(std::vector<Sample>(2560, 20000));
  document().audio = quiet;
  scaleRange(document().audio, 768, 1024, 1000);  // one group made ten times louder
  insertSilence(document().audio, 0, 512);
  const std::vector<uint8_t> peaks = collectPeaks(document().audio);
  EXPECT_EQ(peaks[0], 0);                                                 // silence
  EXPECT_EQ(peaks[2 * 2], 20000 >> 11);                                   // 9
  EXPECT_EQ(peaks[(512 + 768) / 256 * 2], (9 * (167772000 >> 16)) >> 8);  // 89
  const TrimRange range = findTrimRange(peaks, 1, document().audio.length(), -6);
  EXPECT_EQ(range.start, 1024);
  EXPECT_EQ(range.end, 1536);
}

TEST_F(EffectJobsTest, ClipConversionChangesFormatOrLeavesTheClip) {
  std::vector<Sample> stereo;
  for (Sample s : sine(22050, 441, 200000, 22050))
    stereo.insert(stereo.end(), {s, s});
  Clip clip = writeClip(stereo, 2, 22050);
  ClipConversionJob same(clip, 22050, 2);
  EXPECT_EQ(runJob(same, view.ui), JobResult::Done);
  EXPECT_EQ(readAll(clip), stereo);
  ClipConversionJob convert(clip, 44100, 1);
  EXPECT_EQ(runJob(convert, view.ui), JobResult::Done);
  EXPECT_EQ(view.ui.jobTitles.back(), "Converting Rate");
  EXPECT_EQ(clip.sampleRate, 44100);
  EXPECT_EQ(clip.channels, 1);
  EXPECT_NEAR(clip.length(), 44100, 40);
  view.ui.cancelAfterReports = 0;
  ClipConversionJob cancelled(clip, 8000, 1);
  EXPECT_EQ(runJob(cancelled, view.ui), JobResult::Cancelled);
  EXPECT_EQ(clip.sampleRate, 44100);  // as it was
}

TEST_F(EffectJobsTest, TransferMovesEverythingOrFailsVisibly) {
  Clip source = writeClip({1, 2, 3});
  Clip target;
  class Transfer : public Job {
   public:
    Transfer(Ref<SampleSource> s, Ref<SampleSink> k) : Job("Paste"), s_(s), k_(k) {}
    JobResult run() override { return TransferStream(*this, "Loading", s_, k_); }
    Ref<SampleSource> s_;
    Ref<SampleSink> k_;
  };
  {
    Transfer transfer(makeRef<ClipReader>(source), makeRef<BlockWriter>(target, 44100, 1));
    EXPECT_EQ(runJob(transfer, view.ui), JobResult::Done);
  }
  EXPECT_EQ(readAll(target), (std::vector<Sample>{1, 2, 3}));
  Transfer nothing(makeRef<ClipReader>(Clip()), makeRef<BlockWriter>(target, 44100, 1));
  EXPECT_EQ(runJob(nothing, view.ui), JobResult::Done);
  Transfer refused(makeRef<NullSource>(), makeRef<BlockWriter>(target, 44100, 1));
  EXPECT_EQ(runJob(refused, view.ui), JobResult::Failed);
  Transfer nowhere(makeRef<ClipReader>(source), makeRef<NullSink>());
  EXPECT_EQ(runJob(nowhere, view.ui), JobResult::Failed);
}

}  // namespace
}  // namespace quillon
