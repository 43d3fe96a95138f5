// Every sample format against sox: what we write sox reads, and what sox writes we read, exactly
// after the documented conversions. Words are chosen so that each format holds them exactly.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>

#include "formats/aiff.h"
#include "formats/au.h"
#include "formats/raw_file.h"
#include "formats/wav.h"
#include "support/peer_tools.h"
#include "support/temp_environment.h"

namespace quillon {
namespace {

using testing::quoted;
using testing::runCommand;

struct FormatCase {
  const char* name;
  const char* extension;
  const char* soxOptions;  // describes the file to sox (type and encoding)
  int bits;                // precision the format keeps: words are multiples of 2^(20 − bits)
  std::function<Ref<SampleSink>(const std::string&, int32_t, int)> create;  // null: read only
  std::function<Ref<SampleSource>(const std::string&, int32_t, int)> open;
};

RawLayout raw(int32_t rate, int channels, int codec) {
  return {rate, channels, codec};
}

std::vector<FormatCase> formatCases() {
  auto wavPcm = [](int bytes) {
    return [bytes](const std::string& p, int32_t r, int c) {
      return CreatePcmWavSink(p, r, c, bytes);
    };
  };
  auto openWav = [](const std::string& p, int32_t, int) { return OpenWavSource(p); };
  auto openAu = [](const std::string& p, int32_t, int) { return OpenAuSource(p); };
  auto openAiff = [](const std::string& p, int32_t, int) { return OpenAiffSource(p); };
  auto rawCase = [](const char* name, const char* sox, int bits, int codec) {
    return FormatCase{name,
                      ".raw",
                      sox,
                      bits,
                      [codec](const std::string& p, int32_t r, int c) {
                        return CreateRawSink(p, raw(r, c, codec));
                      },
                      [codec](const std::string& p, int32_t r, int c) {
                        return OpenRawSource(p, raw(r, c, codec));
                      }};
  };
  WaveFormatRecord float32;
  float32.tag = 3;
  float32.bitsPerSample = 32;
  return {
      {"Wav8", ".wav", "-t wav -e unsigned -b 8", 8, wavPcm(1), openWav},
      {"Wav16", ".wav", "-t wav -e signed -b 16", 16, wavPcm(2), openWav},
      {"Wav24", ".wav", "-t wav -e signed -b 24", 20, wavPcm(3), openWav},
      {"Wav32", ".wav", "-t wav -e signed -b 32", 20, wavPcm(4), openWav},
      {"WavFloat", ".wav", "-t wav -e floating-point -b 32", 20,
       [float32](const std::string& p, int32_t r, int c) {
         WaveFormatRecord f = float32;
         f.sampleRate = uint32_t(r), f.channels = uint16_t(c);
         return CreateWavSink(p, f);
       },
       openWav},
      {"Au8", ".au", "-t au -e signed -b 8", 8,
       [](const std::string& p, int32_t r, int c) { return CreateAuSink(p, 1, r, c); }, openAu},
      {"Au16", ".au", "-t au -e signed -b 16", 16,
       [](const std::string& p, int32_t r, int c) { return CreateAuSink(p, 0, r, c); }, openAu},
      {"Aiff8", ".aiff", "-t aiff -e signed -b 8", 8,
       [](const std::string& p, int32_t r, int c) { return CreateAiffSink(p, r, c, 8); }, openAiff},
      {"Aiff16", ".aiff", "-t aiff -e signed -b 16", 16,
       [](const std::string& p, int32_t r, int c) { return CreateAiffSink(p, r, c, 16); },
       openAiff},
      {"Aiff24", ".aiff", "-t aiff -e signed -b 24", 20, nullptr, openAiff},
      {"Aiff32", ".aiff", "-t aiff -e signed -b 32", 20, nullptr, openAiff},
      rawCase("Raw16Le", "-t raw -e signed -b 16 -L", 16, 3),
      rawCase("RawU8", "-t raw -e unsigned -b 8", 8, 4),
      rawCase("RawS8", "-t raw -e signed -b 8", 8, 5),
      rawCase("Raw16Be", "-t raw -e signed -b 16 -B", 16, 6),
      rawCase("RawFloatLe", "-t raw -e floating-point -b 32 -L", 20, 7),
      rawCase("RawFloatBe", "-t raw -e floating-point -b 32 -B", 20, 8),
  };
}

// What our reader makes of a word that sox stored: the identity, but big-endian float files
// are read with 524,272 to the unit.
Sample expectedRead(const FormatCase& c, Sample word) {
  if (std::string(c.name) == "RawFloatBe") return Sample(float(word) / 524288.0f * 524272.0);
  return word;
}

class PeerRoundTripTest : public ::testing::TestWithParam<FormatCase> {
 protected:
  void SetUp() override {
    if (!testing::haveTool("sox")) GTEST_SKIP() << "sox is not installed";
  }

  // Stereo words on the format's grid, with both extremes of its range.
  std::vector<Sample> words(int bits) {
    std::mt19937 random(uint32_t(bits) * 7919);
    const int32_t unit = 1 << (20 - bits);
    std::uniform_int_distribution<int32_t> value(-(1 << (bits - 1)), (1 << (bits - 1)) - 1);
    std::vector<Sample> out(2 * 3000);
    for (Sample& w : out)
      w = value(random) * unit;
    out[0] = -(1 << 19);
    out[1] = (1 << 19) - unit;
    return out;
  }

  testing::TempEnvironment env;
};

TEST_P(PeerRoundTripTest, SoxReadsWhatWeWrite) {
  const FormatCase& c = GetParam();
  if (!c.create) GTEST_SKIP() << "read only";
  const std::vector<Sample> original = words(c.bits);
  const std::string ours = env.path(std::string("ours") + c.extension);
  ASSERT_TRUE(testing::writeAll(c.create(ours, 22050, 2), original));
  const std::string back = env.path("back.raw");
  ASSERT_EQ(
      runCommand("sox " + std::string(c.extension == std::string(".raw") ? c.soxOptions : "") +
                 " -r 22050 -c 2 " + quoted(ours) + " -t raw -e signed -b 32 -L " + quoted(back)),
      0);
  const std::vector<int32_t> read = testing::readRaw32(back);
  ASSERT_EQ(read.size(), original.size());
  for (size_t i = 0; i < read.size(); ++i) {
    ASSERT_EQ(read[i], int32_t(uint32_t(original[i]) << 12)) << c.name << " sample " << i;
  }
}

TEST_P(PeerRoundTripTest, WeReadWhatSoxWrites) {
  const FormatCase& c = GetParam();
  const std::vector<Sample> original = words(c.bits);
  std::vector<int32_t> scaled(original.size());
  for (size_t i = 0; i < original.size(); ++i)
    scaled[i] = int32_t(uint32_t(original[i]) << 12);
  const std::string source = env.path("source.raw");
  testing::writeRaw32(source, scaled);
  const std::string theirs = env.path(std::string("theirs") + c.extension);
  ASSERT_EQ(runCommand("sox -D -t raw -e signed -b 32 -L -r 22050 -c 2 " + quoted(source) + " " +
                       c.soxOptions + " " + quoted(theirs)),
            0);
  Ref<SampleSource> reader = c.open(theirs, 22050, 2);
  ASSERT_EQ(reader->status(), SourceStatus::Ok) << c.name;
  EXPECT_EQ(reader->sampleRate(), 22050);
  EXPECT_EQ(reader->channels(), 2);
  const std::vector<Sample> read = testing::readSource(reader);
  ASSERT_EQ(read.size(), original.size());
  for (size_t i = 0; i < read.size(); ++i) {
    ASSERT_EQ(read[i], expectedRead(c, original[i])) << c.name << " sample " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, PeerRoundTripTest, ::testing::ValuesIn(formatCases()),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quillon
