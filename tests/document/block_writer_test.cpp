#include "document/block_writer.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <map>
#include <random>

#include "document/clip_reader.h"
#include "platform/file.h"
#include "support/temp_environment.h"

namespace quillon {
namespace {

using testing::DocumentTest;
using testing::readAll;

using BlockWriterTest = DocumentTest;

std::string fileBytes(const std::string& path) {
  std::string bytes;
  EXPECT_TRUE(platform::readWholeFile(path, bytes)) << path;
  return bytes;
}

// The peak entry of frames [from, to) of interleaved samples, worked from the definition.
std::string peakEntry(const std::vector<Sample>& samples, int channels, size_t from, size_t to) {
  std::string entry;
  for (int c = 0; c < channels; ++c) {
    int64_t largest = 0, smallest = 0;
    for (size_t f = from; f < to; ++f) {
      largest = std::max<int64_t>(largest, samples[f * channels + c]);
      smallest = std::min<int64_t>(smallest, samples[f * channels + c]);
    }
    entry += char(std::min<int64_t>(255, largest >> 11));
    entry += char(std::min<int64_t>(255, (-smallest) >> 11));
  }
  return entry;
}

std::string peakFileOf(const std::vector<Sample>& samples, int channels) {
  std::string file;
  const size_t frames = samples.size() / channels;
  for (size_t start = 0; start < frames; start += 256) {
    file += peakEntry(samples, channels, start, std::min(frames, start + 256));
  }
  return file;
}

std::vector<Sample> randomSamples(size_t count, uint32_t seed) {
  std::mt19937 random(seed);
  std::uniform_int_distribution<Sample> any(-700000, 700000);  // beyond full scale too
  std::vector<Sample> samples(count);
  for (Sample& s : samples)
    s = any(random);
  return samples;
}

TEST_F(BlockWriterTest, SixHundredStereoFramesMakeTheDocumentedFiles) {
  Clip clip = testing::writeClip(randomSamples(1200, 1), 2);
  const BlockId id = clip.segments[0].block();
  EXPECT_EQ(fileBytes(BlockStore::instance().samplePath(id)).size(), 4800u);
  EXPECT_EQ(fileBytes(BlockStore::instance().peakPath(id)).size(), 12u);  // 256, 256 and 88
  EXPECT_EQ(clip.sampleRate, kDefaultSampleRate);
  EXPECT_EQ(clip.channels, 2);
  ASSERT_EQ(clip.segments.size(), 1u);
  EXPECT_EQ(clip.segments[0].length, 600);
  EXPECT_EQ(clip.segments[0].gain, kUnityGain);
  EXPECT_EQ(clip.segments[0].offset, 0);
}

TEST_F(BlockWriterTest, PeakBytesAreMagnitudesShiftedBy11) {
  std::vector<Sample> samples(3 * 256, 100);
  samples[10] = 524287;      // group 0: maximum byte 255
  samples[256 + 5] = 2047;   // group 1: largest 2047 gives 0
  samples[512 + 7] = -2048;  // group 2: smallest −2048 gives 1
  for (size_t i = 512; i < 768; ++i) {
    if (samples[i] == 100) samples[i] = -5;
  }
  Clip clip = testing::writeClip(samples);
  const std::string peaks = fileBytes(BlockStore::instance().peakPath(clip.segments[0].block()));
  EXPECT_EQ(peaks, std::string("\xFF\x00\x00\x00\x00\x01", 6));
}

TEST_F(BlockWriterTest, PeakFilesMatchABruteForceSummaryForAnyWriteSizes) {
  for (int channels : {1, 2, 3, 4, 6}) {
    std::mt19937 random(channels);
    const std::vector<Sample> samples = randomSamples(size_t(5000) * channels, channels);
    Clip clip;
    {
      auto writer = makeRef<BlockWriter>(clip, 22050, channels);
      std::uniform_int_distribution<int> chunk(1, 700);
      for (size_t f = 0; f < 5000;) {
        const int32_t n = std::min<int32_t>(chunk(random), int32_t(5000 - f));
        ASSERT_TRUE(writer->write(samples.data() + f * channels, n));
        f += size_t(n);
      }
    }
    const BlockId id = clip.segments[0].block();
    EXPECT_EQ(fileBytes(BlockStore::instance().peakPath(id)), peakFileOf(samples, channels))
        << channels << " channels";
    EXPECT_EQ(readAll(clip), samples);
  }
}

// After seeks, each group's entry summarises the frames it received during its last visit: the
// run of frames written into it since the last seek. Checked against that rule worked out from
// a log of random writes and seeks.
TEST_F(BlockWriterTest, PeakEntriesAfterSeeksSummariseEachGroupsLastVisit) {
  for (int channels : {1, 2, 5}) {
    std::mt19937 random(100 + channels);
    std::vector<Sample> file;  // the sample file as the test expects it
    std::map<int32_t, std::pair<int32_t, int32_t>> lastVisit;  // group → [from, to)
    int32_t position = 0;
    bool continuing = false;  // the next write continues the current visit
    Clip clip;
    {
      auto writer = makeRef<BlockWriter>(clip, 44100, channels);
      for (int step = 0; step < 60; ++step) {
        const int32_t end = int32_t(file.size() / channels);
        if (step > 0 && random() % 4 == 0) {
          position = int32_t(random() % (end + 1));
          writer->seek(position);
          continuing = false;
          continue;
        }
        const int32_t n = 1 + int32_t(random() % 600);
        const std::vector<Sample> chunk = randomSamples(size_t(n) * channels, random());
        ASSERT_TRUE(writer->write(chunk.data(), n));
        if (size_t(position + n) * channels > file.size())
          file.resize(size_t(position + n) * channels);
        std::copy(chunk.begin(), chunk.end(), file.begin() + ptrdiff_t(position) * channels);
        for (int32_t f = position; f < position + n; ++f) {
          auto [it, fresh] = lastVisit.try_emplace(f / 256, f, f + 1);
          if (!fresh && (f != it->second.second || (!continuing && f == position))) {
            it->second = {f, f + 1};
          } else {
            it->second.second = f + 1;
          }
        }
        position += n;
        continuing = true;
      }
    }
    ASSERT_EQ(clip.length(), position);
    std::string expected;
    for (const auto& [group, visit] : lastVisit) {
      expected.resize(size_t(group) * 2 * channels, '\0');
      expected += peakEntry(file, channels, size_t(visit.first), size_t(visit.second));
    }
    EXPECT_EQ(fileBytes(BlockStore::instance().peakPath(clip.segments[0].block())), expected)
        << channels << " channels";
  }
}

TEST_F(BlockWriterTest, ASeekToAGroupStartRewritesThatGroupFromNewFramesOnly) {
  std::vector<Sample> first = randomSamples(600, 21);
  const std::vector<Sample> patch(100, 4096);
  Clip clip;
  {
    auto writer = makeRef<BlockWriter>(clip, 8000, 1);
    writer->write(first.data(), 600);
    writer->seek(256);
    writer->write(patch.data(), 100);
  }
  EXPECT_EQ(clip.length(), 356);  // frames written counts from the seek
  const std::string peaks = fileBytes(BlockStore::instance().peakPath(clip.segments[0].block()));
  EXPECT_EQ(peaks, peakFileOf(first, 1).substr(0, 2) + std::string("\x02\x00", 2) +
                       peakFileOf(first, 1).substr(4));
}

TEST_F(BlockWriterTest, ASeekWithoutWritesLeavesThePeakFileAlone) {
  const std::vector<Sample> first = randomSamples(1000, 22);
  Clip clip;
  {
    auto writer = makeRef<BlockWriter>(clip, 8000, 1);
    writer->write(first.data(), 1000);
    writer->seek(300);
    writer->seek(1000);
  }
  EXPECT_EQ(fileBytes(BlockStore::instance().peakPath(clip.segments[0].block())),
            peakFileOf(first, 1));
}

TEST_F(BlockWriterTest, AWriterWithoutWritesLeavesOneEmptySegment) {
  Clip clip = testing::writeClip({1, 2});
  { auto writer = makeRef<BlockWriter>(clip, 16000, 1); }
  ASSERT_EQ(clip.segments.size(), 1u);  // whatever the target held before is replaced
  EXPECT_EQ(clip.length(), 0);
  EXPECT_FALSE(clip.segments[0].isSilence());
  EXPECT_EQ(clip.sampleRate, 16000);
}

TEST_F(BlockWriterTest, ZeroChannelsWritesAsMonoAndSaysSo) {
  Clip clip;
  {
    auto writer = makeRef<BlockWriter>(clip, 8000, 0);
    EXPECT_EQ(writer->channels(), 1);
    EXPECT_TRUE(writer->status() & kSinkNull);
    const Sample samples[3] = {7, 8, 9};
    EXPECT_TRUE(writer->write(samples, 3));
  }
  EXPECT_EQ(readAll(clip), (std::vector<Sample>{7, 8, 9}));
}

TEST_F(BlockWriterTest, AMissingWorkingFolderFailsTheWriterAndLosesNothingElse) {
  Clip kept = testing::writeClip({1, 2, 3, 4});
  BlockStore::instance().setFolder(env.path("gone"));
  Clip target;
  {
    auto writer = makeRef<BlockWriter>(target, 44100, 1);
    EXPECT_TRUE(writer->failed());
    EXPECT_EQ(writer->ioError(), ENOENT);
    const Sample samples[2] = {5, 6};
    EXPECT_FALSE(writer->write(samples, 2));
  }
  EXPECT_TRUE(target.segments[0].isSilence());
  BlockStore::instance().setFolder(env.workingFolder());
  EXPECT_EQ(readAll(kept), (std::vector<Sample>{1, 2, 3, 4}));
}

TEST_F(BlockWriterTest, AReadOnlyWorkingFolderFailsTheWriter) {
  if (geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
  ASSERT_EQ(chmod(env.workingFolder().c_str(), 0500), 0);
  Clip target;
  {
    auto writer = makeRef<BlockWriter>(target, 44100, 1);
    EXPECT_TRUE(writer->failed());
    EXPECT_EQ(writer->ioError(), EACCES);
  }
  chmod(env.workingFolder().c_str(), 0700);
  EXPECT_TRUE(target.segments[0].isSilence());
}

TEST_F(BlockWriterTest, AFrameCountBeyond32BitsFailsInsteadOfWrapping) {
  Clip target;
  {
    auto writer = makeRef<BlockWriter>(target, 44100, 1);
    writer->seek(2147483647 - 10);
    const std::vector<Sample> samples(20, 1);
    EXPECT_FALSE(writer->write(samples.data(), 20));
    EXPECT_EQ(writer->ioError(), EFBIG);
    EXPECT_EQ(writer->framesWritten(), 2147483647);
  }
  EXPECT_TRUE(target.segments[0].isSilence());
}

// A full disk, simulated by a file-size limit: the writer reports the failure at the write that
// hits the limit and hands over no partial block.
TEST_F(BlockWriterTest, AFullDiskFailsTheWriterWithItsError) {
  Clip kept = testing::writeClip(randomSamples(1000, 31));
  pid_t child = fork();
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{64 * 1024, 64 * 1024};
    setrlimit(RLIMIT_FSIZE, &limit);
    Clip target;
    bool failedAtWrite = false;
    int error = 0;
    {
      auto writer = makeRef<BlockWriter>(target, 44100, 2);
      std::vector<Sample> chunk(8192 * 2, 1000);
      for (int i = 0; i < 8 && !failedAtWrite; ++i)
        failedAtWrite = !writer->write(chunk.data(), 8192);
      error = writer->ioError();
    }
    const bool blockDeleted = target.segments.size() == 1 && target.segments[0].isSilence() &&
                              testing::countFiles(BlockStore::instance().folder(), ".aud") == 1;
    _exit(failedAtWrite && error == EFBIG && blockDeleted ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(readAll(kept), randomSamples(1000, 31));
}

}  // namespace
}  // namespace quillon
