#include "document/clip_reader.h"

#include <gtest/gtest.h>

#include "document/clip_editing.h"
#include "platform/file.h"
#include "support/signals.h"
#include "support/temp_environment.h"

namespace quillon::testing {
namespace {

using ClipReaderTest = DocumentTest;

std::vector<Sample> readFrames(ClipReader& reader, int32_t frames) {
  std::vector<Sample> out(size_t(frames) * reader.channels(), -999);
  EXPECT_EQ(reader.read(out.data(), frames), frames);
  return out;
}

TEST_F(ClipReaderTest, NegativePositionsReadAsLeadingSilence) {
  Clip clip = writeClip(ramp(500));
  auto reader = makeRef<ClipReader>(clip);
  reader->seek(-100);
  std::vector<Sample> expected(100, 0);
  std::vector<Sample> head = ramp(200);
  expected.insert(expected.end(), head.begin(), head.end());
  EXPECT_EQ(readFrames(*reader, 300), expected);
  EXPECT_EQ(reader->position(), 200);
}

TEST_F(ClipReaderTest, EachSegmentAppliesItsOwnGain) {
  Clip a = writeClip({1000, -1000, 3000});
  Clip b = writeClip({1000, -1, 7});
  a.segments[0].gain = kUnityGain * 2;
  b.segments[0].gain = kUnityGain / 2;  // 0x800000 halves; −1 stays −1 (arithmetic shift)
  insertClip(a, 3, b);
  EXPECT_EQ(readAll(a), (std::vector<Sample>{2000, -2000, 6000, 500, -1, 3}));
}

TEST_F(ClipReaderTest, UnityGainReadsBitIdenticalStereoSamples) {
  std::vector<Sample> samples(2 * 5000);
  for (size_t i = 0; i < samples.size(); ++i)
    samples[i] = Sample(i * 2654435761u) >> 8;
  Clip clip = writeClip(samples, 2);
  EXPECT_EQ(readAll(clip), samples);
}

TEST_F(ClipReaderTest, LargeGainsSaturateInsteadOfWrapping) {
  Clip clip = writeClip({524287, -524288, 1000, 0});
  clip.segments[0].gain = kMaxGain;  // about 128 times
  const std::vector<Sample> read = readAll(clip);
  EXPECT_EQ(read[0], 524287LL * (kMaxGain >> 15) >> 9);  // fits: exact
  EXPECT_GT(read[0], 0);
  EXPECT_LT(read[1], 0);
  EXPECT_EQ(read[2], 1000 * 65535 >> 9);
  EXPECT_EQ(read[3], 0);
  clip.segments[0].gain = kMaxGain;
  Clip loud = writeClip({2000000000, -2000000000});
  loud.segments[0].gain = kMaxGain;
  EXPECT_EQ(readAll(loud), (std::vector<Sample>{2147483647, -2147483647 - 1}));
}

TEST_F(ClipReaderTest, SeeksLandAnywhereAndPastTheEndReadSilence) {
  Clip clip = writeClip(ramp(300));
  Clip other = writeClip(ramp(200, 1001));
  insertClip(clip, 100, other);  // 100 of the first, 200 of the second, 200 of the first
  deleteRange(clip, 150, 160);   // 490 frames in four Segments
  const std::vector<Sample> whole = readAll(clip);
  auto reader = makeRef<ClipReader>(clip);
  for (int32_t at : {0, 1, 99, 100, 149, 150, 289, 290, 489}) {
    reader->seek(at);
    const std::vector<Sample> got = readFrames(*reader, 20);
    for (int32_t i = 0; i < 20; ++i) {
      EXPECT_EQ(got[size_t(i)], at + i < 490 ? whole[size_t(at + i)] : 0) << at << "+" << i;
    }
  }
  reader->seek(5000);
  EXPECT_EQ(readFrames(*reader, 3), (std::vector<Sample>{0, 0, 0}));
  EXPECT_EQ(reader->position(), 5003);
  reader->seek(0);
  EXPECT_EQ(readFrames(*reader, 2), (std::vector<Sample>{1, 2}));
}

TEST_F(ClipReaderTest, TheReaderKeepsItsOwnCopyOfTheClip) {
  Clip clip = writeClip(ramp(10));
  auto reader = makeRef<ClipReader>(clip);
  clip.clear();  // the reader's copy keeps the block alive
  EXPECT_EQ(reader->length(), 10);
  EXPECT_EQ(readFrames(*reader, 10), ramp(10));
}

TEST_F(ClipReaderTest, AMissingSampleFileFailsTheRead) {
  Clip clip = writeClip(ramp(10));
  platform::removeFile(BlockStore::instance().samplePath(clip.segments[0].block()));
  auto reader = makeRef<ClipReader>(clip);
  std::vector<Sample> out(10, -5);
  EXPECT_EQ(reader->read(out.data(), 10), -1);
  EXPECT_EQ(out, std::vector<Sample>(10, 0));  // no garbage left in the buffer
  reader->seek(3);                             // a seek leaves the Segment reading as silence
  EXPECT_EQ(reader->read(out.data(), 2), 2);
  EXPECT_EQ(out[0], 0);
}

TEST_F(ClipReaderTest, AMissingFileInALaterSegmentKeepsWhatWasRead) {
  Clip clip = writeClip(ramp(10));
  Clip second = writeClip(ramp(10, 100));
  platform::removeFile(BlockStore::instance().samplePath(second.segments[0].block()));
  insertClip(clip, 10, second);
  auto reader = makeRef<ClipReader>(clip);
  std::vector<Sample> out(20, -5);
  EXPECT_EQ(reader->read(out.data(), 20), -1);
  std::vector<Sample> expected = ramp(10);
  expected.resize(20, 0);
  EXPECT_EQ(out, expected);
}

TEST_F(ClipReaderTest, ATruncatedSampleFileFailsTheRead) {
  Clip clip = writeClip(ramp(100));
  platform::File file;
  ASSERT_TRUE(file.open(BlockStore::instance().samplePath(clip.segments[0].block()),
                        platform::File::Mode::ReadWrite));
  file.truncate(40 * 4);
  auto reader = makeRef<ClipReader>(clip);
  std::vector<Sample> out(100);
  EXPECT_EQ(reader->read(out.data(), 100), -1);
}

}  // namespace
}  // namespace quillon::testing
