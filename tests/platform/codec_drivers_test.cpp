#include "platform/codecs/codec_drivers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/temp_environment.h"

namespace quillon::platform {
namespace {

using Bytes = std::vector<uint8_t>;
using Samples = std::vector<int16_t>;

// ---- Byte and file helpers

void put16(Bytes& out, unsigned value) {
  out.push_back(uint8_t(value));
  out.push_back(uint8_t(value >> 8));
}
void put32(Bytes& out, uint32_t value) {
  put16(out, value & 0xFFFF);
  put16(out, value >> 16);
}
uint32_t get32(const Bytes& in, size_t at) {
  return in[at] | (in[at + 1] << 8) | (in[at + 2] << 16) | (uint32_t(in[at + 3]) << 24);
}

Bytes toBytes(const Samples& samples) {
  Bytes bytes;
  for (int16_t sample : samples)
    put16(bytes, uint16_t(sample));
  return bytes;
}
Samples toSamples(const Bytes& bytes) {
  Samples samples(bytes.size() / 2);
  for (size_t i = 0; i < samples.size(); ++i)
    samples[i] = int16_t(bytes[2 * i] | (bytes[2 * i + 1] << 8));
  return samples;
}

void writeFile(const std::string& path, const Bytes& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}
Bytes readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool soxAvailable() {
  static const bool available = std::system("sox --version >/dev/null 2>&1") == 0;
  return available;
}
#define REQUIRE_SOX() \
  if (!soxAvailable()) GTEST_SKIP() << "sox is missing; tools/install-deps.sh test installs it"

bool sox(const std::string& arguments) {
  return std::system(("sox -V1 " + arguments).c_str()) == 0;
}
std::string rawPcm(uint32_t rate, unsigned channels) {
  return "-t raw -e signed -b 16 -r " + std::to_string(rate) + " -c " + std::to_string(channels);
}

// A WAV file around compressed bytes: RIFF, "fmt " with the whole record, "fact", "data".
Bytes wavFile(const WaveFormat& format, uint32_t frames, const Bytes& data) {
  Bytes fmt;
  put16(fmt, format.tag);
  put16(fmt, format.channels);
  put32(fmt, format.sampleRate);
  put32(fmt, format.averageBytesPerSecond);
  put16(fmt, format.blockAlign);
  put16(fmt, format.bitsPerSample);
  put16(fmt, unsigned(format.extra.size()));
  fmt.insert(fmt.end(), format.extra.begin(), format.extra.end());
  Bytes file = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
  const auto chunk = [&file](const char* id, const Bytes& body) {
    file.insert(file.end(), id, id + 4);
    put32(file, uint32_t(body.size()));
    file.insert(file.end(), body.begin(), body.end());
    if (body.size() % 2) file.push_back(0);
  };
  chunk("fmt ", fmt);
  Bytes fact;
  put32(fact, frames);
  chunk("fact", fact);
  chunk("data", data);
  const Bytes size = {uint8_t(file.size() - 8), uint8_t((file.size() - 8) >> 8),
                      uint8_t((file.size() - 8) >> 16), uint8_t((file.size() - 8) >> 24)};
  std::copy(size.begin(), size.end(), file.begin() + 4);
  return file;
}

// The record, the frame count of "fact" (or -1) and the data of a WAV file.
struct WavContents {
  WaveFormat format;
  long frames = -1;
  Bytes data;
};
WavContents parseWav(const Bytes& file) {
  WavContents wav;
  for (size_t at = 12; at + 8 <= file.size();) {
    const std::string id(file.begin() + long(at), file.begin() + long(at) + 4);
    const size_t size = std::min<size_t>(get32(file, at + 4), file.size() - at - 8);
    const Bytes body(file.begin() + long(at) + 8, file.begin() + long(at + 8 + size));
    if (id == "fmt " && size >= 16) {
      wav.format.tag = uint16_t(body[0] | body[1] << 8);
      wav.format.channels = uint16_t(body[2] | body[3] << 8);
      wav.format.sampleRate = get32(body, 4);
      wav.format.averageBytesPerSecond = get32(body, 8);
      wav.format.blockAlign = uint16_t(body[12] | body[13] << 8);
      wav.format.bitsPerSample = uint16_t(body[14] | body[15] << 8);
      if (size >= 18) wav.format.extra.assign(body.begin() + 18, body.end());
    } else if (id == "fact" && size >= 4) {
      wav.frames = long(get32(body, 0));
    } else if (id == "data") {
      wav.data = body;
    }
    at += 8 + size + size % 2;
  }
  return wav;
}

// ---- Signals

// Voiced speech in miniature: a wavering pitch with falling harmonics under a syllable envelope
// of about 4 Hz, and a little noise.
Samples speechLike(size_t frames, uint32_t rate, unsigned channels) {
  Samples samples(frames * channels);
  uint32_t noise = 12345;
  for (unsigned ch = 0; ch < channels; ++ch) {
    double phase = ch * 0.7;
    for (size_t i = 0; i < frames; ++i) {
      const double t = double(i) / rate;
      const double pitch = 140 + 30 * std::sin(2 * M_PI * 3 * t) + 20 * ch;
      phase += 2 * M_PI * pitch / rate;
      double value = 0;
      for (int harmonic = 1; harmonic <= 12 && harmonic * pitch < rate / 2.2; ++harmonic)
        value += std::sin(harmonic * phase) / harmonic;
      const double envelope = 0.15 + 0.85 * std::fabs(std::sin(2 * M_PI * 4 * t + ch));
      noise = noise * 1664525 + 1013904223;
      value = 9000 * envelope * value + double(int(noise >> 24) - 128);
      samples[i * channels + ch] = int16_t(std::clamp(value, -32768.0, 32767.0));
    }
  }
  return samples;
}

// Equal sample for sample; otherwise the lengths and the first difference.
::testing::AssertionResult sameSamples(const Bytes& expectedBytes, const Bytes& actualBytes) {
  const Samples expected = toSamples(expectedBytes), actual = toSamples(actualBytes);
  const auto [left, right] =
      std::mismatch(expected.begin(), expected.end(), actual.begin(), actual.end());
  if (left == expected.end() && right == actual.end()) return ::testing::AssertionSuccess();
  const long at = left - expected.begin();
  auto failure = ::testing::AssertionFailure();
  failure << expected.size() << " samples expected, " << actual.size() << " got";
  if (left != expected.end() && right != actual.end())
    failure << "; sample " << at << " is " << *right << ", not " << *left;
  return failure;
}

double snrDb(const Samples& original, const Samples& coded) {
  double signal = 0, error = 0;
  for (size_t i = 0; i < original.size(); ++i) {
    signal += double(original[i]) * original[i];
    error += (double(original[i]) - coded[i]) * (double(original[i]) - coded[i]);
  }
  return 10 * std::log10(signal / std::max(error, 1.0));
}

// ---- Conversions

// Feeds `input` to the stream in pieces of the given sizes (cycling), offering the unused bytes
// again with the next piece, and ends with the end flag. The destination of each call is what
// destinationSizeFor promises.
Bytes convertAll(CodecStream& stream, const Bytes& input, std::vector<size_t> pieces = {SIZE_MAX}) {
  Bytes output, pending;
  size_t offered = 0;
  for (size_t call = 0;; ++call) {
    const size_t piece = std::min(pieces[call % pieces.size()], input.size() - offered);
    pending.insert(pending.end(), input.begin() + long(offered),
                   input.begin() + long(offered + piece));
    offered += piece;
    const bool last = offered == input.size();
    Bytes destination(stream.destinationSizeFor(pending.size()));
    const unsigned flags = (call == 0 ? unsigned(kCodecConvertStart) : 0u) |
                           unsigned(last ? kCodecConvertEnd : kCodecConvertBlockAlign);
    const CodecConversion done = stream.convert(pending.data(), pending.size(), destination.data(),
                                                destination.size(), flags);
    EXPECT_TRUE(done.ok);
    output.insert(output.end(), destination.begin(),
                  destination.begin() + long(done.destinationUsed));
    pending.erase(pending.begin(), pending.begin() + long(done.sourceUsed));
    if (last) return output;
  }
}

std::unique_ptr<CodecStream> encoder(const WaveFormat& format) {
  return CodecManager::instance().open(WaveFormat::pcm16(format.sampleRate, format.channels),
                                       format);
}
std::unique_ptr<CodecStream> decoder(const WaveFormat& format) {
  return CodecManager::instance().open(format,
                                       WaveFormat::pcm16(format.sampleRate, format.channels));
}

// Frames per block of a compressed record, from its block layout.
size_t framesPerBlock(const WaveFormat& format) {
  if (format.tag == kImaAdpcmTag || format.tag == kMsAdpcmTag)
    return size_t(format.extra[0] | format.extra[1] << 8);
  return 1;
}

struct CodecCase {
  const char* encoding;  // the name sox gives it
  uint16_t tag;
  uint16_t productId;
  double minSnrDb;  // of our coding, on the speech-like signal
};
// ADPCM codes the difference from a prediction with 4 bits and a step that trails the signal's
// slope, which is steepest against the sample rate at 8000 Hz: there the speech-like signal
// keeps 25 dB (IMA) and 29 dB (MS, whose second-order predictor leaves less to code), so 20 and
// 24 dB leave room for the step's lag at syllable onsets. G.711 spends 4 bits on the mantissa of
// a logarithmic code, an error about 38 dB below any signal well above its smallest segment;
// 35 dB allows for the quiet ends of the envelope.
const CodecCase kCodecs[] = {{"ima-adpcm", kImaAdpcmTag, kImaAdpcmProductId, 20.0},
                             {"ms-adpcm", kMsAdpcmTag, kMsAdpcmProductId, 24.0},
                             {"a-law", kALawTag, kALawProductId, 35.0},
                             {"u-law", kMuLawTag, kMuLawProductId, 35.0}};

WaveFormat standardFormat(uint16_t tag, uint32_t rate, uint16_t channels) {
  if (tag == kImaAdpcmTag) return imaAdpcmFormat(rate, channels);
  if (tag == kMsAdpcmTag) return msAdpcmFormat(rate, channels);
  return g711Format(tag, rate, channels);
}

// ---- Tests

TEST(CodecDriversTest, ManagerOffersFourDriversWithCompleteStandardFormats) {
  const CodecManager& manager = CodecManager::instance();
  for (const CodecCase& codec : kCodecs) {
    SCOPED_TRACE(codec.encoding);
    const CodecDriver* driver = manager.findDriver(kQuillonManufacturerId, codec.productId);
    ASSERT_NE(driver, nullptr);
    EXPECT_FALSE(driver->name().empty());
    EXPECT_EQ(driver->formatTags(), std::vector<uint16_t>{codec.tag});
    EXPECT_TRUE(driver->standardFormats(codec.tag == 1 ? 2 : 1).empty());
    const std::vector<WaveFormat> formats = driver->standardFormats(codec.tag);
    EXPECT_EQ(formats.size(), 14u);  // seven rates, mono and stereo
    for (const WaveFormat& format : formats) {
      SCOPED_TRACE(std::to_string(format.sampleRate) + " Hz × " + std::to_string(format.channels));
      const bool adpcm = codec.tag == kImaAdpcmTag || codec.tag == kMsAdpcmTag;
      const unsigned perChannel = !adpcm                       ? 1
                                  : format.sampleRate <= 11025 ? 256
                                  : format.sampleRate <= 22050 ? 512
                                                               : 1024;
      EXPECT_EQ(format.blockAlign, perChannel * format.channels);
      EXPECT_EQ(format.bitsPerSample, adpcm ? 4 : 8);
      const size_t frames = framesPerBlock(format);
      const size_t header = (codec.tag == kImaAdpcmTag ? 4 : 7) * format.channels;
      if (codec.tag == kImaAdpcmTag) {
        EXPECT_EQ(format.extra.size(), 2u);
        EXPECT_EQ(frames, (format.blockAlign - header) * 8 / (4 * format.channels) + 1);
      } else if (codec.tag == kMsAdpcmTag) {
        ASSERT_EQ(format.extra.size(), 32u);
        EXPECT_EQ(frames, (format.blockAlign - header) * 2 / format.channels + 2);
        EXPECT_EQ(format.extra[2], 7);
      } else {
        EXPECT_TRUE(format.extra.empty());
      }
      EXPECT_EQ(format.averageBytesPerSecond,
                uint64_t(format.sampleRate) * format.blockAlign / frames);
      EXPECT_EQ(format, standardFormat(codec.tag, format.sampleRate, format.channels));
      // One block each way, exactly.
      auto encoding = driver->open(WaveFormat::pcm16(format.sampleRate, format.channels), format,
                                   kCodecOpenNonRealtime);
      auto decoding =
          driver->open(format, WaveFormat::pcm16(format.sampleRate, format.channels), 0);
      ASSERT_TRUE(encoding && decoding);
      EXPECT_EQ(encoding->destinationSizeFor(frames * format.channels * 2), format.blockAlign);
      EXPECT_EQ(decoding->destinationSizeFor(format.blockAlign), frames * format.channels * 2);
      EXPECT_EQ(decoding->destinationSizeFor(format.blockAlign + 1),
                2 * frames * format.channels * 2);
    }
  }
}

TEST(CodecDriversTest, MalformedOrMismatchedRecordsAreRefused) {
  struct Case {
    const char* what;
    WaveFormat format;
    WaveFormat pcm;
  };
  const auto with = [](WaveFormat format, auto change) {
    change(format);
    return format;
  };
  const WaveFormat ima = imaAdpcmFormat(8000, 2);
  const WaveFormat ms = msAdpcmFormat(8000, 1);
  const WaveFormat alaw = g711Format(kALawTag, 8000, 1);
  const WaveFormat pcm1 = WaveFormat::pcm16(8000, 1), pcm2 = WaveFormat::pcm16(8000, 2);
  const Case cases[] = {
      {"IMA block align 0", with(ima, [](auto& f) { f.blockAlign = 0; }), pcm2},
      {"IMA block align not whole groups", with(ima, [](auto& f) { f.blockAlign = 508; }), pcm2},
      {"IMA samples per block inconsistent", with(ima, [](auto& f) { f.extra[0]--; }), pcm2},
      {"IMA cbSize 0", with(ima, [](auto& f) { f.extra.clear(); }), pcm2},
      {"IMA cbSize 1", with(ima, [](auto& f) { f.extra.resize(1); }), pcm2},
      {"IMA 3 bits", with(ima, [](auto& f) { f.bitsPerSample = 3; }), pcm2},
      {"IMA no channels", with(ima, [](auto& f) { f.channels = 0; }), WaveFormat::pcm16(8000, 0)},
      {"MS block align 0", with(ms, [](auto& f) { f.blockAlign = 0; }), pcm1},
      {"MS more samples than the block holds", with(ms, [](auto& f) { f.extra[0]++; }), pcm1},
      {"MS one sample per block", with(ms, [](auto& f) { f.extra[0] = 1, f.extra[1] = 0; }), pcm1},
      {"MS wNumCoef 0", with(ms, [](auto& f) { f.extra[2] = 0; }), pcm1},
      {"MS wNumCoef 300", with(ms, [](auto& f) { f.extra[2] = 44, f.extra[3] = 1; }), pcm1},
      {"MS cbSize short of the pairs", with(ms, [](auto& f) { f.extra.resize(30); }), pcm1},
      {"MS cbSize 2", with(ms, [](auto& f) { f.extra.resize(2); }), pcm1},
      {"A-law block align 2 in mono", with(alaw, [](auto& f) { f.blockAlign = 2; }), pcm1},
      {"A-law 16 bits", with(alaw, [](auto& f) { f.bitsPerSample = 16; }), pcm1},
      {"rates differ", ms, WaveFormat::pcm16(11025, 1)},
      {"channels differ", ms, pcm2},
      {"PCM of 8 bits", alaw, with(pcm1, [](auto& f) { f.bitsPerSample = 8, f.blockAlign = 1; })},
      {"PCM on both sides", pcm1, pcm1},
      {"compressed on both sides", alaw, g711Format(kMuLawTag, 8000, 1)},
      {"a tag we have no driver for", with(alaw, [](auto& f) { f.tag = 49; }), pcm1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CodecManager::instance().open(c.pcm, c.format), nullptr) << c.what;
    EXPECT_EQ(CodecManager::instance().open(c.format, c.pcm), nullptr) << c.what;
  }
}

// The recommendation's quantizer, from its segment table: the magnitude (the one's complement of
// a negative sample) falls into one of 16 equal steps of a segment and is decoded to the middle
// of its step. A-law segments double from 256 on (the first two have steps of 16); µ-law ones
// double from 128 on the magnitude biased by 132.
int g711Level(uint16_t tag, int sample) {
  const int magnitude = sample < 0 ? -sample - 1 : sample;
  int level;
  if (tag == kALawTag) {
    const int segment = magnitude < 256 ? 0 : int(std::bit_width(unsigned(magnitude))) - 8;
    const int start = segment == 0 ? 0 : 128 << segment, step = segment == 0 ? 16 : 8 << segment;
    level = start + (magnitude - start) / step * step + step / 2;
  } else {
    const int biased = std::min(magnitude + 132, 32767);
    const int segment = int(std::bit_width(unsigned(biased))) - 8;
    const int start = 128 << segment, step = 8 << segment;
    level = start + (biased - start) / step * step + step / 2 - 132;
  }
  return sample < 0 ? -level : level;
}

TEST(CodecDriversTest, G711QuantizesEverySampleByTheRecommendationsSegments) {
  Samples every(65536);
  for (size_t i = 0; i < every.size(); ++i)
    every[i] = int16_t(int(i) - 32768);
  for (uint16_t tag : {kALawTag, kMuLawTag}) {
    SCOPED_TRACE(tag);
    const WaveFormat format = g711Format(tag, 8000, 1);
    const Samples coded =
        toSamples(convertAll(*decoder(format), convertAll(*encoder(format), toBytes(every))));
    ASSERT_EQ(coded.size(), every.size());
    for (size_t i = 0; i < every.size(); ++i)
      ASSERT_EQ(coded[i], g711Level(tag, every[i])) << "sample " << every[i];
  }
}

TEST(CodecDriversTest, OddPiecesSmallDestinationsAndTruncatedBlocksConvertAsOneCall) {
  const WaveFormat formats[] = {imaAdpcmFormat(22050, 2),      msAdpcmFormat(8000, 1),
                                msAdpcmFormat(44100, 2),       msAdpcmFormat(11025, 1, 200),
                                g711Format(kALawTag, 8000, 2), g711Format(kMuLawTag, 16000, 1)};
  for (const WaveFormat& format : formats) {
    SCOPED_TRACE(std::to_string(format.tag) + " at " + std::to_string(format.sampleRate));
    const size_t channels = format.channels, perBlock = framesPerBlock(format);
    const size_t frames = 9007, blocks = (frames + perBlock - 1) / perBlock;
    const Bytes pcm = toBytes(speechLike(frames, format.sampleRate, format.channels));
    const std::vector<size_t> pieces = {1, 7, 333, 1001, 4096, 3};

    // The end flag pads the last partial block; pieces give the same bytes as one call.
    const Bytes compressed = convertAll(*encoder(format), pcm);
    ASSERT_EQ(compressed.size(), blocks * format.blockAlign);
    EXPECT_EQ(convertAll(*encoder(format), pcm, pieces), compressed);
    const Bytes decoded = convertAll(*decoder(format), compressed);
    ASSERT_EQ(decoded.size(), blocks * perBlock * channels * 2);
    EXPECT_TRUE(sameSamples(decoded, convertAll(*decoder(format), compressed, pieces)));

    // A destination too small takes the whole blocks that fit, and the end flag waits for room.
    const size_t pcmBlock = perBlock * channels * 2;
    auto encoding = encoder(format);
    Bytes room(2 * format.blockAlign + format.blockAlign / 2);
    CodecConversion done = encoding->convert(pcm.data(), 3 * pcmBlock + 10, room.data(),
                                             room.size(), kCodecConvertStart | kCodecConvertEnd);
    EXPECT_TRUE(done.ok);
    EXPECT_EQ(done.sourceUsed, 2 * pcmBlock);
    EXPECT_EQ(done.destinationUsed, 2 * format.blockAlign);
    auto decoding = decoder(format);
    Bytes out(pcmBlock + pcmBlock / 2);
    done = decoding->convert(compressed.data(), compressed.size(), out.data(), out.size(),
                             kCodecConvertEnd);
    EXPECT_EQ(done.sourceUsed, format.blockAlign);
    EXPECT_TRUE(std::equal(out.begin(), out.begin() + long(pcmBlock), decoded.begin()));

    // A truncated last block yields its complete frames: the header's, then whole 4-byte groups
    // (IMA ADPCM) or whole frames of nibbles (MS ADPCM); half a G.711 frame yields nothing.
    size_t rest = 1, restFrames = channels == 1 ? 1 : 0;
    if (format.tag == kImaAdpcmTag) rest = 4 * channels * 3 + 3, restFrames = 1 + 16;
    if (format.tag == kMsAdpcmTag) rest = 7 * channels + 5, restFrames = 2 + 10 / channels;
    const Bytes truncated(compressed.begin(), compressed.end() - long(format.blockAlign - rest));
    const Bytes partial = convertAll(*decoder(format), truncated);
    ASSERT_EQ(partial.size(), ((blocks - 1) * perBlock + restFrames) * channels * 2);
    EXPECT_TRUE(std::equal(partial.begin(), partial.end(), decoded.begin()));
  }
}

struct SoxRun {
  CodecCase codec;
  uint32_t rate;
  uint16_t channels;
};
std::vector<SoxRun> soxRuns(std::initializer_list<std::pair<uint32_t, uint16_t>> layouts) {
  std::vector<SoxRun> runs;
  for (const CodecCase& codec : kCodecs) {
    for (auto [rate, channels] : layouts)
      runs.push_back({codec, rate, channels});
  }
  return runs;
}

// Each side decodes the other's files exactly as their writer does, and our coding comes near the
// original: within the codec's bound, and at most 2 dB short of sox's own coding of the signal.
TEST(CodecDriversSoxTest, SoxAndWeDecodeEachOthersFilesAlike) {
  REQUIRE_SOX();
  testing::TempEnvironment env;
  const auto path = [&env](const char* name) { return std::string(" ").append(env.path(name)); };
  for (const SoxRun& run :
       soxRuns({{8000, 1}, {11025, 2}, {16000, 1}, {22050, 2}, {44100, 1}, {48000, 2}})) {
    SCOPED_TRACE(std::string(run.codec.encoding) + " " + std::to_string(run.rate) + " Hz × " +
                 std::to_string(run.channels));
    const std::string raw = rawPcm(run.rate, run.channels);
    const size_t frames = run.rate / 3 + 11, samples = frames * run.channels;
    const Samples original = speechLike(frames, run.rate, run.channels);

    // sox writes (without dither, so that its coding is its own), we read.
    writeFile(env.path("in.raw"), toBytes(original));
    ASSERT_TRUE(sox(raw + path("in.raw") + " -D -e " + run.codec.encoding + path("sox.wav")));
    ASSERT_TRUE(sox(path("sox.wav") + " " + raw + path("sox.raw")));
    const WavContents wav = parseWav(readFile(env.path("sox.wav")));
    auto decoding = decoder(wav.format);
    ASSERT_NE(decoding, nullptr);
    const Bytes soxCoded = convertAll(*decoding, wav.data, {4000, 17});
    // Like sox, we decode every block whole, the padding of the last one too.
    EXPECT_GE(soxCoded.size(), size_t(wav.frames) * run.channels * 2);
    EXPECT_TRUE(sameSamples(readFile(env.path("sox.raw")), soxCoded));

    // We write, sox reads.
    const WaveFormat format = standardFormat(run.codec.tag, run.rate, run.channels);
    const Bytes compressed = convertAll(*encoder(format), toBytes(original), {999, 8192});
    writeFile(env.path("ours.wav"), wavFile(format, uint32_t(frames), compressed));
    ASSERT_TRUE(sox(path("ours.wav") + " " + raw + path("ours.raw")));
    const Bytes ourCoded = convertAll(*decoder(format), compressed);
    EXPECT_TRUE(sameSamples(readFile(env.path("ours.raw")), ourCoded));

    Samples ours = toSamples(ourCoded), theirs = toSamples(soxCoded);
    ours.resize(samples);
    theirs.resize(samples);
    EXPECT_GE(snrDb(original, ours), run.codec.minSnrDb);
    EXPECT_GE(snrDb(original, ours), snrDb(original, theirs) - 2.0);
  }
}

}  // namespace
}  // namespace quillon::platform
