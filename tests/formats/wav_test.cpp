#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "formats/byte_io.h"
#include "formats/wav.h"
#include "platform/xdg_dirs.h"
#include "support/peer_tools.h"
#include "support/temp_environment.h"

namespace quillon {
namespace {

using testing::readSource;

// A WAV file put together by hand, chunk by chunk.
struct WavBuilder {
  ByteWriter bytes;
  WavBuilder& riff() {
    bytes.fourCC("RIFF").u32le(0).fourCC("WAVE");
    return *this;
  }
  WavBuilder& chunk(const char* id, const std::vector<uint8_t>& body, bool pad = true) {
    bytes.fourCC(id).u32le(uint32_t(body.size())).bytes(body.data(), body.size());
    if (pad && body.size() % 2) bytes.u8(0);
    return *this;
  }
  WavBuilder& fmt(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits, size_t size = 16) {
    ByteWriter f;
    const uint16_t align = uint16_t(channels * ((bits + 7) / 8));
    f.u16le(tag).u16le(channels).u32le(rate).u32le(rate * align).u16le(align).u16le(bits);
    f.zeros(size > 16 ? size - 16 : 0);
    std::vector<uint8_t> body = f.data();
    body.resize(size);
    if (size >= 18) body[16] = uint8_t(size - 18);  // cbSize: the rest of the chunk
    return chunk("fmt ", body);
  }
  WavBuilder& data16(const std::vector<int16_t>& samples, uint32_t sizeField = 0) {
    bytes.fourCC("data").u32le(sizeField ? sizeField : uint32_t(samples.size() * 2));
    for (int16_t s : samples)
      bytes.u16le(uint16_t(s));
    return *this;
  }
  void save(const std::string& path) const { testing::writeBytes(path, bytes.data()); }
};

class WavTest : public ::testing::Test {
 protected:
  Ref<SampleSource> open(const WavBuilder& file) {
    file.save(env.path("test.wav"));
    return OpenWavSource(env.path("test.wav"));
  }
  testing::TempEnvironment env;
};

const std::vector<int16_t> kSamples = {1, -2, 3000, -32768, 32767};
std::vector<Sample> wordsOf(const std::vector<int16_t>& samples) {
  std::vector<Sample> words;
  for (int16_t s : samples)
    words.push_back(Sample(s) * 16);
  return words;
}

TEST_F(WavTest, ForeignAndOddChunksAreSkipped) {
  WavBuilder leading;
  leading.bytes.fourCC("JUNK").u32le(6).zeros(6);  // a 12-byte chunk before RIFF
  leading.riff().fmt(1, 1, 8000, 16).data16(kSamples);
  EXPECT_EQ(readSource(open(leading)), wordsOf(kSamples));

  WavBuilder listed;
  listed.riff().fmt(1, 1, 8000, 16).chunk("LIST", {'I', 'N', 'F', 'O', 'x'}).data16(kSamples);
  EXPECT_EQ(readSource(open(listed)), wordsOf(kSamples));

  WavBuilder oddFmt;  // an 17-byte format with its pad byte
  oddFmt.riff().fmt(1, 1, 8000, 16, 17).chunk("fact", {4, 0, 0, 0}).data16(kSamples);
  EXPECT_EQ(readSource(open(oddFmt)), wordsOf(kSamples));
}

struct CorruptCase {
  const char* name;
  WavBuilder file;
  SourceStatus status;
};

TEST_F(WavTest, ImpossibleHeadersAreRefusedWithTheirStatus) {
  std::vector<CorruptCase> cases;
  WavBuilder four;
  four.bytes.fourCC("JUNK").u32le(4).zeros(4);
  cases.push_back({"first chunk of size 4", four, SourceStatus::Corrupt});
  cases.push_back({"fmt of 15 bytes", WavBuilder().riff().fmt(1, 1, 8000, 16, 15).data16(kSamples),
                   SourceStatus::Corrupt});
  cases.push_back({"fmt of 8193 bytes",
                   WavBuilder().riff().fmt(1, 1, 8000, 16, 8193).data16(kSamples),
                   SourceStatus::Corrupt});
  cases.push_back({"196001 Hz", WavBuilder().riff().fmt(1, 1, 196001, 16).data16(kSamples),
                   SourceStatus::Corrupt});
  cases.push_back({"0 channels", WavBuilder().riff().fmt(1, 0, 8000, 16).data16(kSamples),
                   SourceStatus::Corrupt});
  cases.push_back({"float of 64 bits", WavBuilder().riff().fmt(3, 1, 8000, 64).data16(kSamples),
                   SourceStatus::Corrupt});
  cases.push_back(
      {"no data chunk", WavBuilder().riff().fmt(1, 1, 8000, 16), SourceStatus::Corrupt});
  cases.push_back({"truncated header", WavBuilder().riff(), SourceStatus::Corrupt});
  cases.push_back({"TrueSpeech", WavBuilder().riff().fmt(0x22, 1, 8000, 1).data16(kSamples),
                   SourceStatus::MissingCodec});
  WavBuilder huge;
  huge.riff().bytes.fourCC("LIST").u32le(0x7FFFFFFF);
  cases.push_back({"chunk size that overflows", huge, SourceStatus::Corrupt});
  for (const CorruptCase& c : cases) {
    Ref<SampleSource> source = open(c.file);
    EXPECT_EQ(source->status(), c.status) << c.name;
    EXPECT_EQ(source->length(), 0) << c.name;
  }
  EXPECT_EQ(OpenWavSource(env.path("missing.wav"))->status(), SourceStatus::CannotOpen);
}

TEST_F(WavTest, OddSampleSizesReadAsTheNextWholeBytes) {
  EXPECT_EQ(open(WavBuilder().riff().fmt(1, 1, 196000, 16).data16(kSamples))->status(),
            SourceStatus::Ok);
  // 12-bit PCM is stored in 2 bytes, 20-bit in 3.
  EXPECT_EQ(readSource(open(WavBuilder().riff().fmt(1, 1, 8000, 12).data16(kSamples))),
            wordsOf(kSamples));
  WavBuilder twenty;
  twenty.riff().fmt(1, 1, 8000, 20);
  twenty.bytes.fourCC("data").u32le(6).u8(0x10).u8(0x00).u8(0x80).u8(0xF0).u8(0xFF).u8(0x7F);
  EXPECT_EQ(readSource(open(twenty)),
            (std::vector<Sample>{int32_t(0x80001000) >> 12, 0x7FFFF0 >> 4}));
}

TEST_F(WavTest, ReadingOutsideTheDataGivesExactlyTheMissingSilence) {
  Ref<SampleSource> source = open(WavBuilder().riff().fmt(1, 1, 8000, 16).data16(kSamples));
  std::vector<Sample> out(9, -7);
  source->seek(-2);
  source->read(out.data(), 9);
  std::vector<Sample> expected = {0, 0};
  for (Sample w : wordsOf(kSamples))
    expected.push_back(w);
  expected.insert(expected.end(), 2, 0);
  EXPECT_EQ(out, expected);
  EXPECT_EQ(source->position(), 7);
  source->seek(3);
  source->read(out.data(), 3);
  EXPECT_EQ(out[0], -32768 * 16);
  EXPECT_EQ(out[2], 0);
}

TEST_F(WavTest, AnUnfinishedSizeReadsToTheEndOfTheFile) {
  Ref<SampleSource> source =
      open(WavBuilder().riff().fmt(1, 1, 8000, 16).data16(kSamples, 0xFFFFFFFF));
  EXPECT_TRUE(source->lengthUnknown());
  EXPECT_EQ(source->length(), 5);
  EXPECT_EQ(readSource(source), wordsOf(kSamples));
}

// A file that our writer is still writing on another thread opens, grows while it is read, and
// becomes final when the writer finishes.
TEST_F(WavTest, AFileStillBeingWrittenGrowsWhileItIsRead) {
  const std::string path = env.path("growing.wav");
  auto writer = CreatePcmWavSink(path, 8000, 1, 2);
  const std::vector<Sample> chunk(800, 160);
  writer->write(chunk.data(), 800);
  Ref<SampleSource> reader = OpenWavSource(path);
  ASSERT_EQ(reader->status(), SourceStatus::Ok);
  EXPECT_TRUE(reader->lengthUnknown());
  EXPECT_EQ(reader->length(), 800);

  std::atomic<bool> written{false};
  std::thread more([&] {
    writer->write(chunk.data(), 800);
    written = true;
  });
  more.join();
  EXPECT_EQ(reader->length(), 1600);
  std::vector<Sample> out(1600);
  reader->read(out.data(), 1600);
  EXPECT_EQ(out, std::vector<Sample>(1600, 160));
  ASSERT_TRUE(writer->finish());
  EXPECT_EQ(reader->length(), 1600);
  EXPECT_FALSE(reader->lengthUnknown());
}

TEST_F(WavTest, SixteenBitAndFloatFilesRoundTripEverySample) {
  std::vector<Sample> words;
  for (int i = -32768; i < 32768; i += 7)
    words.push_back(Sample(i) * 16);
  ASSERT_TRUE(testing::writeAll(CreatePcmWavSink(env.path("a.wav"), 44100, 1, 2), words));
  EXPECT_EQ(readSource(OpenWavSource(env.path("a.wav"))), words);

  WaveFormatRecord format = WaveFormatRecord::pcm(44100, 1, 32);
  format.tag = 3;
  ASSERT_TRUE(testing::writeAll(CreateWavSink(env.path("f.wav"), format), words));
  Ref<SampleSource> floats = OpenWavSource(env.path("f.wav"));
  EXPECT_EQ(floats->peakBound(), 1048744);  // read back as float
  EXPECT_EQ(readSource(floats), words);
  EXPECT_EQ(ReadWavFormat(env.path("f.wav")).tag, 3);
}

TEST_F(WavTest, CodecNamesComeFromTheRegisteredTags) {
  WavBuilder ima;
  ima.riff().fmt(0x11, 1, 8000, 4, 20).data16({});
  ima.save(env.path("ima.wav"));
  EXPECT_EQ(GetWavCodecName(env.path("ima.wav")), "Intel DVI ADPCM (IMA ADPCM)");
  EXPECT_EQ(GetWavCodecName(env.path("missing.wav")), "Microsoft Unknown Wave Format");
  EXPECT_EQ(wavCodecNameForTag(0x0055), "MPEG-1 Layer 3 (MP3)");
  EXPECT_EQ(wavCodecNameForTag(0x0160), "Windows Media Audio V1 / DivX audio (WMA)");
  EXPECT_EQ(wavCodecNameForTag(0xFFFF), "In Development / Unregistered");
  EXPECT_EQ(wavCodecNameForTag(0x1234), "Microsoft Unknown Wave Format");

  const WaveFormatRecord format = ReadWavFormat(env.path("ima.wav"));
  EXPECT_EQ(format.tag, 0x11);
  EXPECT_EQ(format.extraSize, 2);
  EXPECT_EQ(format.manufacturerId, 0);
}

TEST_F(WavTest, TheDefaultSaveFormatIsStoredOnFirstUse) {
  EXPECT_FALSE(platform::fileExists(defaultWavFormatPath()));
  WaveFormatRecord first = readDefaultWavFormat(22050, 2);
  EXPECT_EQ(first.tag, 1);
  EXPECT_EQ(first.sampleRate, 22050u);
  EXPECT_EQ(first.blockAlign, 4);
  EXPECT_EQ(testing::readBytes(defaultWavFormatPath()).size(), 1028u);
  // Once stored, the file wins over the document's format.
  WaveFormatRecord gsm;
  gsm.tag = 49;
  gsm.sampleRate = 8000;
  ASSERT_TRUE(writeDefaultWavFormat(gsm));
  EXPECT_EQ(readDefaultWavFormat(44100, 1).tag, 49);
}

}  // namespace
}  // namespace quillon
