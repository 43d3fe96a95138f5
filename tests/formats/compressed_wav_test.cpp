// WAV files in the codec drivers' formats, both ways through sox: decoding is deterministic, so
// our reading of a file must equal sox's exactly, whoever wrote it.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "formats/wav.h"
#include "platform/codec_manager.h"
#include "support/peer_tools.h"
#include "support/temp_environment.h"

namespace quillon {
namespace {

using testing::quoted;
using testing::runCommand;

struct CodecCase {
  const char* name;
  const char* soxEncoding;
  uint16_t tag;
  uint32_t rate;
  uint16_t channels;
};

const CodecCase kCases[] = {
    {"ImaMono8k", "ima-adpcm", 0x11, 8000, 1}, {"ImaStereo22k", "ima-adpcm", 0x11, 22050, 2},
    {"MsMono8k", "ms-adpcm", 2, 8000, 1},      {"MsStereo22k", "ms-adpcm", 2, 22050, 2},
    {"ALawStereo8k", "a-law", 6, 8000, 2},     {"MuLawMono22k", "u-law", 7, 22050, 1},
};

class CompressedWavTest : public ::testing::TestWithParam<CodecCase> {
 protected:
  void SetUp() override {
    if (!testing::haveTool("sox")) GTEST_SKIP() << "sox is not installed";
  }

  // A second and a bit of a chord with a glide, in 16-bit values.
  std::vector<Sample> music(const CodecCase& c) {
    std::vector<Sample> words;
    const int frames = int(c.rate) + 777;
    for (int i = 0; i < frames; ++i) {
      const double t = double(i) / c.rate;
      for (int ch = 0; ch < c.channels; ++ch) {
        const double v = 0.3 * std::sin(2 * std::numbers::pi * (220 + 300 * t + 110 * ch) * t) +
                         0.2 * std::sin(2 * std::numbers::pi * 1870 * t);
        words.push_back(Sample(std::lround(v * 32767)) * 16);
      }
    }
    return words;
  }

  // sox's own decoding of a file, as sample words.
  std::vector<Sample> soxDecoding(const std::string& path) {
    const std::string out = env.path("decoded.raw");
    EXPECT_EQ(runCommand("sox " + quoted(path) + " -t raw -e signed -b 32 -L " + quoted(out)), 0);
    std::vector<Sample> words;
    for (int32_t s : testing::readRaw32(out))
      words.push_back((s >> 16) * 16);
    return words;
  }

  testing::TempEnvironment env;
};

TEST_P(CompressedWavTest, WeDecodeWhatSoxWritesAsSoxDoes) {
  const CodecCase& c = GetParam();
  std::vector<int32_t> scaled;
  for (Sample w : music(c))
    scaled.push_back(w * 4096);
  testing::writeRaw32(env.path("source.raw"), scaled);
  const std::string theirs = env.path("theirs.wav");
  ASSERT_EQ(runCommand("sox -D -t raw -e signed -b 32 -L -r " + std::to_string(c.rate) + " -c " +
                       std::to_string(c.channels) + " " + quoted(env.path("source.raw")) + " -e " +
                       c.soxEncoding + " " + quoted(theirs)),
            0);
  Ref<SampleSource> source = OpenWavSource(theirs);
  ASSERT_EQ(source->status(), SourceStatus::Ok) << GetWavCodecName(theirs);
  EXPECT_EQ(source->peakBound(), kFullScale16);
  // We stop at the "fact" chunk's frame count; sox decodes the padding of the last block too.
  const std::vector<Sample> ours = testing::readSource(source);
  EXPECT_EQ(ours.size(), music(c).size());
  std::vector<Sample> theirDecoding = soxDecoding(theirs);
  ASSERT_GE(theirDecoding.size(), ours.size());
  theirDecoding.resize(ours.size());
  EXPECT_EQ(ours, theirDecoding);
}

TEST_P(CompressedWavTest, SoxDecodesWhatWeWriteAsWeDo) {
  const CodecCase& c = GetParam();
  const platform::CodecDriver* driver = nullptr;
  platform::WaveFormat target;
  for (const auto& d : platform::CodecManager::instance().drivers()) {
    for (const platform::WaveFormat& f : d->standardFormats(c.tag)) {
      if (f.sampleRate == c.rate && f.channels == c.channels) driver = d.get(), target = f;
    }
  }
  ASSERT_TRUE(driver) << "no driver offers " << c.name;
  const WaveFormatRecord record =
      WaveFormatRecord::fromWaveFormat(target, driver->manufacturerId(), driver->productId());
  const std::string ours = env.path("ours.wav");
  ASSERT_TRUE(testing::writeAll(CreateWavSink(ours, record), music(c)));
  EXPECT_EQ(ReadWavFormat(ours).tag, c.tag);
  Ref<SampleSource> source = OpenWavSource(ours);
  ASSERT_EQ(source->status(), SourceStatus::Ok);
  const std::vector<Sample> weRead = testing::readSource(source);
  EXPECT_GE(weRead.size(), music(c).size());  // the last block is completed with silence
  EXPECT_EQ(soxDecoding(ours), weRead);
}

INSTANTIATE_TEST_SUITE_P(Codecs, CompressedWavTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CompressedWavFormatTest, AFormatNoDriverTakesGivesANullSinkAndNoFile) {
  testing::TempEnvironment env;
  WaveFormatRecord trueSpeech = WaveFormatRecord::pcm(8000, 1, 1);
  trueSpeech.tag = 0x22;
  Ref<SampleSink> sink = CreateWavSink(env.path("x.wav"), trueSpeech);
  EXPECT_TRUE(sink->status() & kSinkNull);
  EXPECT_TRUE(testing::readBytes(env.path("x.wav")).empty());
}

}  // namespace
}  // namespace quillon
