#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include <functional>

#include "formats/aiff.h"
#include "formats/au.h"
#include "formats/byte_io.h"
#include "formats/gsm_file.h"
#include "formats/wav.h"
#include "platform/file.h"
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

// Puts a 32-bit size field into a file, in the file's byte order.
void patchSize(const std::string& path, int64_t offset, uint32_t value, bool bigEndian) {
  std::vector<uint8_t> bytes = testing::readBytes(path);
  ASSERT_LE(size_t(offset) + 4, bytes.size());
  for (int i = 0; i < 4; ++i)
    bytes[size_t(offset) + size_t(i)] = uint8_t(value >> (bigEndian ? 24 - 8 * i : 8 * i));
  testing::writeBytes(path, bytes);
}

// The offset of a chunk's size field ("fact", "data"…) in a RIFF file, or −1.
int64_t chunkSizeOffset(const std::string& path, const char* id) {
  const std::vector<uint8_t> bytes = testing::readBytes(path);
  for (size_t at = 12; at + 8 <= bytes.size();) {
    if (std::equal(id, id + 4, bytes.begin() + long(at))) return int64_t(at) + 4;
    const uint32_t size =
        bytes[at + 4] | bytes[at + 5] << 8 | bytes[at + 6] << 16 | uint32_t(bytes[at + 7]) << 24;
    at += 8 + size + (size & 1);
  }
  return -1;
}

// A header that declares more than its file holds (hostile, or cut short) yields the frames
// that are there, not a length for which gigabytes of blocks would be written.
TEST_F(WavTest, DeclaredLengthsAreBoundedByWhatTheFileHolds) {
  const std::vector<Sample> words(4000, 1600);
  const struct {
    const char* name;
    std::function<Ref<SampleSink>(const std::string&)> create;
    std::function<Ref<SampleSource>(const std::string&)> open;
    int64_t sizeField;
    bool bigEndian;
    int32_t frames;  // what the file holds
  } cases[] = {
      {"PCM WAV", [](auto& p) { return CreatePcmWavSink(p, 8000, 1, 2); }, OpenWavSource, 42, false,
       4000},
      {"GSM WAV", [](auto& p) { return CreateGsmWavSink(p, 8000); }, OpenWavSource, 44, false,
       13 * 320},
      {"AIFF", [](auto& p) { return CreateAiffSink(p, 8000, 1, 16); }, OpenAiffSource, 42, true,
       4000},
      {"AU", [](auto& p) { return CreateAuSink(p, 0, 8000, 1); }, OpenAuSource, 8, true, 4000},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = env.path("declared");
    ASSERT_TRUE(testing::writeAll(c.create(path), words));
    patchSize(path, c.sizeField, 0x7FFFFFF0, c.bigEndian);
    Ref<SampleSource> source = c.open(path);
    ASSERT_EQ(source->status(), SourceStatus::Ok);
    EXPECT_EQ(source->length(), c.frames);
  }

  // A file still being written whose size field then claims too much: what is there.
  const std::string growing = env.path("growing.wav");
  ASSERT_TRUE(testing::writeAll(CreatePcmWavSink(growing, 8000, 1, 2), words));
  patchSize(growing, 42, 0xFFFFFFFF, false);
  Ref<SampleSource> reader = OpenWavSource(growing);
  EXPECT_EQ(reader->length(), 4000);
  platform::File file;
  ASSERT_TRUE(file.open(growing, platform::File::Mode::ReadWrite));
  const uint8_t claim[4] = {0xFE, 0xFF, 0xFF, 0x7F};
  ASSERT_TRUE(file.writeAt(claim, 4, 42));
  EXPECT_EQ(reader->length(), 4000);
  EXPECT_FALSE(reader->lengthUnknown());

  // A compressed WAV's "fact" count beyond its blocks, also while its data is still growing.
  if (!testing::haveTool("sox")) GTEST_SKIP() << "sox makes the IMA ADPCM file";
  const std::string ima = env.path("ima.wav");
  ASSERT_EQ(testing::runCommand("sox -n -r 8000 -c 1 -e ima-adpcm " + testing::quoted(ima) +
                                " synth 0.5 sine 440"),
            0);
  const int64_t fact = chunkSizeOffset(ima, "fact"), data = chunkSizeOffset(ima, "data");
  ASSERT_GT(fact, 0);
  const int32_t stated = OpenWavSource(ima)->length();
  ASSERT_EQ(stated, 4000);
  const int32_t blocks = 4000 / 505 + 1;  // 256-byte blocks of 505 frames
  patchSize(ima, fact + 4, 0x7FFFFFFF, false);
  EXPECT_EQ(OpenWavSource(ima)->length(), blocks * 505);
  patchSize(ima, data, 0xFFFFFFFF, false);
  EXPECT_EQ(OpenWavSource(ima)->length(), blocks * 505);
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
