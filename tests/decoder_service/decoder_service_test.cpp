// The service's request handling on MPEG audio files that sox and lame make at test time,
// against what mpg123 decodes from the same files.
#include "decoder_service/decoder_service.h"

#include <gtest/gtest.h>

#include <map>

#include "decoder_service/decoder_stream.h"
#include "platform/paths.h"
#include "support/peer_tools.h"
#include "support/temp_environment.h"

namespace quillon::testing {
namespace {

using namespace decoder;

constexpr int32_t kOneStep16 = 16;  // one 16-bit step in sample words: mpg123 rounds to 16 bits

struct Mp3Fixture {
  const char* name;
  int32_t rate;
  int channels;
  const char* lameOptions;  // empty: Layer II written by sox
  int samplesPerFrame;
  bool xing;  // a Xing record gives the exact length
};

const Mp3Fixture kFixtures[] = {
    {"Cbr128Stereo", 44100, 2, "-b 128", 1152, false},
    {"VbrXing", 44100, 2, "-V 2", 1152, true},
    {"Mpeg2Mono22k", 22050, 1, "-m m -b 64", 576, false},
    {"Mpeg25Mono8k", 8000, 1, "-m m -b 16", 576, false},
    {"LargeId3Tag", 44100, 2, "-b 128 --add-id3v2 --pad-id3v2-size 70000 --tt TITLE", 1152, false},
    {"LayerII", 44100, 2, "", 1152, false},
};

// Three seconds of a sweep per channel (no two stretches alike, so alignment is unambiguous),
// made once per test program; "" when a tool is missing.
const std::string& file(const char* name) {
  static TempEnvironment env;
  static std::map<std::string, std::string> paths;
  const auto [at, fresh] = paths.try_emplace(name);
  const std::string& key = at->first;
  const auto fixture = std::find_if(std::begin(kFixtures), std::end(kFixtures),
                                    [&](const Mp3Fixture& f) { return key == f.name; });
  if (!fresh || fixture == std::end(kFixtures) || !haveTool("sox") || !haveTool("lame"))
    return at->second;
  const std::string base = env.root() + "/" + name, wav = base + ".wav";
  const char* sweeps = fixture->channels == 2 ? "sine 100-3000 sine 2500-200" : "sine 100-3000";
  std::string options = fixture->lameOptions;
  if (const size_t title = options.find("TITLE"); title != std::string::npos)
    options.replace(title, 5, std::string(400, 'T'));
  const std::string out = base + (options.empty() ? ".mp2" : ".mp3");
  if (runCommand("sox -R -n -r " + std::to_string(fixture->rate) + " -c " +
                 std::to_string(fixture->channels) + " -b 16 " + quoted(wav) + " synth 3 " +
                 sweeps + " vol 0.5") == 0 &&
      runCommand(options.empty()
                     ? "sox " + quoted(wav) + " -C 192 " + quoted(out)
                     : "lame --quiet " + options + " " + quoted(wav) + " " + quoted(out)) == 0)
    at->second = out;
  return at->second;
}

std::string folder() {
  return platform::parentFolder(file("Cbr128Stereo"));
}

#define REQUIRE_FILE(path) \
  if ((path).empty()) GTEST_SKIP() << "sox or lame cannot make this file here"

// What `mpg123 --no-gapless -s` decodes, as sample words (v << 4), interleaved.
std::vector<int32_t> mpg123Words(const std::string& path) {
  const std::string raw = path + ".raw";
  if (!haveTool("mpg123") ||
      runCommand("{ mpg123 -q --no-gapless -s " + quoted(path) + " > " + quoted(raw) + "; }") != 0)
    return {};
  const std::vector<uint8_t> bytes = readBytes(raw);
  std::vector<int32_t> words(bytes.size() / 2);
  for (size_t i = 0; i < words.size(); ++i)
    words[i] = int32_t(int16_t(uint16_t(bytes[2 * i] | bytes[2 * i + 1] << 8))) * 16;
  return words;
}

// lame's Xing or Info frame decodes as a frame of silence that mpg123 leaves out (and lame leaves
// it out itself where a frame is too small to hold it).
bool hasInfoFrame(const std::string& path) {
  const std::vector<uint8_t> bytes = readBytes(path);
  const size_t frame = std::min(size_t(id3TagSize(bytes.data(), bytes.size())), bytes.size());
  const std::string head(bytes.begin() + long(frame),
                         bytes.begin() + long(std::min(frame + 64, bytes.size())));
  return head.find("Xing") != std::string::npos || head.find("Info") != std::string::npos;
}

// The DecoderService driven through real-sized query and reply buffers.
struct Driver {
  DecoderService service;
  std::vector<uint8_t> query = std::vector<uint8_t>(kQueryBufferSize);
  std::vector<uint8_t> reply = std::vector<uint8_t>(kReplyBufferSize);
  bool serving = true;

  bool send(size_t replySize = kReplyBufferSize) {
    return serving = service.handle(query.data(), query.size(), reply.data(), replySize);
  }
  int32_t request(uint32_t code, int32_t stream = 0, int32_t count = 0) {
    writeRequest(query.data(), query.size(), {code, stream, count});
    send();
    return readStatus(reply.data(), reply.size());
  }
  OpenReply open(const std::string& path) {
    EXPECT_GT(writeOpenRequest(query.data(), query.size(), path), 0u);
    send();
    return readOpenReply(reply.data(), reply.size());
  }
  int32_t seek(int32_t stream, int32_t frame) {
    EXPECT_EQ(request(kSeek, stream, frame), kStatusOk);
    return readPositionReply(reply.data(), reply.size()).position;
  }
  // Appends `frames` frames, read 2047 at a time, to `words`; answers the position after them.
  int32_t read(int32_t stream, int32_t frames, int channels, std::vector<int32_t>& words) {
    for (int32_t n; frames > 0; frames -= n) {
      n = std::min(frames, kMaxReadWords / channels);
      EXPECT_EQ(request(kRead, stream, n), kStatusOk);
      words.resize(words.size() + size_t(n * channels));
      readSampleWords(reply.data(), reply.size(), &words[words.size() - size_t(n * channels)],
                      size_t(n * channels));
    }
    return readPositionReply(reply.data(), reply.size()).position;
  }
};

std::vector<int32_t> decodeAll(const std::string& path, int32_t frames) {
  Driver driver;
  std::vector<int32_t> words;
  const OpenReply open = driver.open(path);
  if (open.status == kStatusOk) driver.read(open.stream, frames, open.channels, words);
  return words;
}

// Where the first 2048 frames of `needle` match `haystack` best, searched from frame `from` to
// frame `to`, and the largest difference there over all of `needle`.
struct Match {
  int64_t offset = -1;
  int32_t worst = 0;
};
Match bestMatch(const std::vector<int32_t>& haystack, const std::vector<int32_t>& needle,
                int channels, int64_t from, int64_t to) {
  const size_t words = std::min(2048 * size_t(channels), needle.size());
  Match best;
  int64_t bestError = 0;
  for (int64_t offset = std::max<int64_t>(from, 0); offset <= to; ++offset) {
    const size_t at = size_t(offset) * size_t(channels);
    if (at + words > haystack.size()) break;
    int64_t error = 0;
    for (size_t i = 0; i < words; ++i)
      error += std::abs(haystack[at + i] - needle[i]);
    if (best.offset < 0 || error < bestError) best.offset = offset, bestError = error;
  }
  const size_t at = size_t(std::max<int64_t>(best.offset, 0)) * size_t(channels);
  for (size_t i = 0; i < needle.size() && at + i < haystack.size(); ++i)
    best.worst = std::max(best.worst, std::abs(haystack[at + i] - needle[i]));
  return best;
}

// --- Every format decodes as mpg123 decodes it ---------------------------------------------------

class DecodedFormat : public ::testing::TestWithParam<Mp3Fixture> {};

TEST_P(DecodedFormat, MatchesMpg123WithinOne16BitStepAndHasItsLength) {
  const Mp3Fixture& fixture = GetParam();
  const std::string& path = file(fixture.name);
  REQUIRE_FILE(path);
  const std::vector<int32_t> reference = mpg123Words(path);
  if (reference.empty()) GTEST_SKIP() << "mpg123 is not available";
  const int64_t referenceFrames = int64_t(reference.size()) / fixture.channels;
  const int64_t infoFrame = hasInfoFrame(path) ? fixture.samplesPerFrame : 0;

  Driver driver;
  const OpenReply open = driver.open(path);
  ASSERT_EQ(open.status, kStatusOk);
  EXPECT_EQ(open.position, 0);
  EXPECT_EQ(open.sampleRate, fixture.rate);
  EXPECT_EQ(open.channels, fixture.channels);
  if (fixture.xing) {
    EXPECT_EQ(open.length, referenceFrames) << "the Xing frame count is exact";
  } else {
    EXPECT_NEAR(open.length, referenceFrames + infoFrame, 2 * fixture.samplesPerFrame);
  }
  const std::vector<int32_t> ours =
      decodeAll(path, int32_t(referenceFrames + infoFrame + 4 * fixture.samplesPerFrame));
  const Match match = bestMatch(ours, reference, fixture.channels, 0, 3000);
  EXPECT_EQ(match.offset, infoFrame);
  EXPECT_LE(match.worst, kOneStep16);
}

INSTANTIATE_TEST_SUITE_P(Mp3, DecodedFormat, ::testing::ValuesIn(kFixtures),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DecoderStreamLayout, Id3TagOf267BytesIsSkippedToTheFirstFrame) {
  const std::string& bare = file("Cbr128Stereo");
  REQUIRE_FILE(bare);
  const uint8_t header[] = {'I', 'D', '3', 3, 0, 0, 0x00, 0x00, 0x02, 0x01};
  const std::vector<uint8_t> frames = readBytes(bare);
  std::vector<uint8_t> tagged(267 + frames.size(), 0);
  std::copy(std::begin(header), std::end(header), tagged.begin());
  std::copy(frames.begin(), frames.end(), tagged.begin() + 267);
  const std::string path = folder() + "/tagged267.mp3";
  writeBytes(path, tagged);

  DecoderStream stream;
  stream.open(path);
  ASSERT_EQ(stream.status(), kStreamOk);
  EXPECT_EQ(stream.layout().id3Size, 267);
  EXPECT_EQ(seekByte(stream.layout(), 0), 267);
  EXPECT_EQ(decodeAll(path, 20000), decodeAll(bare, 20000))
      << "decoding starts on byte 267, where the untagged file starts";
}

// --- Seeking and reading on ----------------------------------------------------------------------

struct SeekCase {
  const char* fixture;
  double fraction;
};

class Seeking : public ::testing::TestWithParam<SeekCase> {};

// The reply's position is the frame asked for; the audio resumes at the first whole frame the
// decoder finds from the byte that the table of contents (or the proportion) gives, less the
// frames whose bit reservoir reaches back before that byte.
TEST_P(Seeking, ResumesNearTheTargetAndReportsItExactly) {
  const std::string& path = file(GetParam().fixture);
  REQUIRE_FILE(path);
  const std::vector<int32_t> reference = mpg123Words(path);
  if (reference.empty()) GTEST_SKIP() << "mpg123 is not available";
  Driver driver;
  const OpenReply open = driver.open(path);
  ASSERT_EQ(open.status, kStatusOk);
  std::vector<int32_t> ours;
  driver.read(open.stream, 2047, 2, ours);
  const int32_t target = int32_t(open.length * GetParam().fraction);
  EXPECT_EQ(driver.seek(open.stream, target), target);
  ours.clear();
  EXPECT_EQ(driver.read(open.stream, 4 * 2047, 2, ours), target + 4 * 2047);

  // Past the muted synthesis' first frames, find the audio in mpg123's decoding (one frame
  // behind ours: it leaves out the Info frame).
  const size_t settle = 2 * 1152;
  const std::vector<int32_t> window(ours.begin() + settle * 2, ours.begin() + (settle + 2048) * 2);
  const Match match = bestMatch(reference, window, 2, target - 20 * 1152, target + 20 * 1152);
  ASSERT_GE(match.offset, 0);
  const int64_t resumedAt = match.offset + 1152 - int64_t(settle);
  EXPECT_GE(resumedAt, target - 1152);
  EXPECT_LE(resumedAt, target + 5 * 1152);
  EXPECT_EQ(resumedAt % 1152, 0) << "on a frame boundary";
  EXPECT_LE(match.worst, kOneStep16);
}

INSTANTIATE_TEST_SUITE_P(Mp3, Seeking,
                         ::testing::Values(SeekCase{"VbrXing", 0.0}, SeekCase{"VbrXing", 0.5},
                                           SeekCase{"VbrXing", 0.8}, SeekCase{"Cbr128Stereo", 0.5}),
                         [](const auto& info) {
                           return std::string(info.param.fixture) + "At" +
                                  std::to_string(int(info.param.fraction * 100)) + "Percent";
                         });

TEST(Seeking, PastTheEndGivesSilenceWhileThePositionGrows) {
  const std::string& path = file("VbrXing");
  REQUIRE_FILE(path);
  Driver driver;
  const OpenReply open = driver.open(path);
  ASSERT_EQ(open.status, kStatusOk);
  const int32_t target = open.length + 100000;
  EXPECT_EQ(driver.seek(open.stream, target), target);
  std::vector<int32_t> words;
  EXPECT_EQ(driver.read(open.stream, 2047 + 100, 2, words), target + 2147);
  EXPECT_EQ(words, std::vector<int32_t>(2 * 2147, 0));
  EXPECT_EQ(driver.seek(open.stream, 0), 0) << "and back again";
  words.clear();
  driver.read(open.stream, 2047, 2, words);
  EXPECT_NE(words, std::vector<int32_t>(4094, 0));
}

// --- Reply sizes -------------------------------------------------------------------------------

struct ReadCase {
  const char* fixture;
  int32_t frames;
  size_t replySize;
  int32_t framesDelivered;
};

class ReplySize : public ::testing::TestWithParam<ReadCase> {};

// A read fills the reply up to its capacity, 4094 words, and never writes past the reply view.
TEST_P(ReplySize, ReadsFillTheReplyAndNeverPassIt) {
  const ReadCase& c = GetParam();
  const std::string& path = file(c.fixture);
  REQUIRE_FILE(path);
  Driver driver;
  const OpenReply open = driver.open(path);
  ASSERT_EQ(open.status, kStatusOk);
  driver.request(kRead, open.stream, 1000);  // past the silent first frame
  driver.reply.assign(kReplyBufferSize + 64, 0xA5);
  writeRequest(driver.query.data(), driver.query.size(), {kRead, open.stream, c.frames});
  EXPECT_TRUE(driver.send(c.replySize));
  EXPECT_EQ(readPositionReply(driver.reply.data(), c.replySize).position, 1000 + c.framesDelivered);
  const size_t end = kSamplesOffset + size_t(c.framesDelivered) * open.channels * 4;
  EXPECT_LE(end, c.replySize);
  EXPECT_LT(std::abs(loadI32(&driver.reply[end - 4])), 1 << 19) << "the last word is a sample";
  EXPECT_EQ(std::vector<uint8_t>(driver.reply.begin() + long(end), driver.reply.end()),
            std::vector<uint8_t>(driver.reply.size() - end, 0xA5));
}

INSTANTIATE_TEST_SUITE_P(Mp3, ReplySize,
                         ::testing::Values(ReadCase{"Cbr128Stereo", 2047, kReplyBufferSize, 2047},
                                           ReadCase{"Mpeg2Mono22k", 4094, kReplyBufferSize, 4094},
                                           ReadCase{"Cbr128Stereo", 5000, kReplyBufferSize, 2047},
                                           ReadCase{"Mpeg2Mono22k", 100000, kReplyBufferSize, 4094},
                                           ReadCase{"Cbr128Stereo", 1000, 100, 11}),
                         [](const auto& info) {
                           return std::string(info.param.fixture) + "_" +
                                  std::to_string(info.param.frames) + "In" +
                                  std::to_string(info.param.replySize);
                         });

// --- Requests and the stream table ---------------------------------------------------------------

TEST(Requests, PingQuitAndUnknownCodes) {
  Driver driver;
  EXPECT_EQ(driver.request(kPing), kStatusOk);
  EXPECT_TRUE(driver.serving);
  for (uint32_t code : {6u, 99u, 0xFFFFFFFFu}) {
    EXPECT_EQ(driver.request(code), kStatusUnknownRequest);
    EXPECT_TRUE(driver.serving) << "serving goes on";
  }
  EXPECT_TRUE(driver.service.handle(driver.query.data(), 3, driver.reply.data(), 16384));
  EXPECT_EQ(readStatus(driver.reply.data(), 4), kStatusUnknownRequest) << "a query too short";
  EXPECT_EQ(driver.request(kQuit), kStatusOk);
  EXPECT_FALSE(driver.serving);
}

TEST(Requests, UnknownStreamIsStatus7AndEndsServing) {
  const std::string& path = file("Cbr128Stereo");
  REQUIRE_FILE(path);
  for (uint32_t code : {kRead, kSeek, kClose}) {
    for (int32_t id : {-1, 1, 64, 1000}) {
      Driver driver;
      ASSERT_EQ(driver.open(path).stream, 0);
      EXPECT_EQ(driver.request(code, id, 10), kStatusUnknownStream);
      EXPECT_FALSE(driver.serving) << "code " << code << " id " << id;
    }
  }
  Driver driver;
  ASSERT_EQ(driver.open(path).stream, 0);
  EXPECT_EQ(driver.request(kClose, 0), kStatusOk);
  EXPECT_TRUE(driver.serving);
  EXPECT_EQ(driver.request(kClose, 0), kStatusUnknownStream) << "a closed stream is unknown";
}

TEST(Requests, SixtyFourStreamsThenStatus6AndClosedSlotsAreReused) {
  const std::string& path = file("Mpeg25Mono8k");
  REQUIRE_FILE(path);
  Driver driver;
  for (int32_t id = 0; id < 64; ++id)
    ASSERT_EQ(driver.open(path).stream, id);
  EXPECT_EQ(driver.open(path).status, kStatusNoFreeStream);
  EXPECT_TRUE(driver.serving);
  EXPECT_EQ(driver.request(kClose, 10), kStatusOk);
  EXPECT_EQ(driver.open(path).stream, 10);
  EXPECT_EQ(driver.service.openStreams(), 64);
}

// --- Files that do not decode --------------------------------------------------------------------

struct BadFile {
  const char* name;
  int32_t status;
};

class BadFiles : public ::testing::TestWithParam<BadFile> {};

std::string makeBadFile(const std::string& name) {
  const std::string path = folder() + "/" + name + ".mp3";
  const std::vector<uint8_t> cbr = readBytes(file("Cbr128Stereo"));
  std::vector<uint8_t> bytes;
  if (name == "Text") {
    for (int i = 0; i < 400; ++i)
      bytes.insert(bytes.end(), name.begin(), name.end());
  } else if (name == "CutInsideTheFirstFrame") {
    bytes.assign(cbr.begin(), cbr.begin() + 300);
  } else if (name == "TagLongerThanTheFile") {  // frames inside; the audio would start past them
    const uint8_t tag[] = {'I', 'D', '3', 3, 0, 0, 0x00, 0x40, 0x00, 0x00};
    bytes.resize(sizeof tag + 8000);
    std::copy(std::begin(tag), std::end(tag), bytes.begin());
    std::copy(cbr.begin(), cbr.begin() + 8000, bytes.begin() + sizeof tag);
  } else if (name == "Folder" || name == "Pipe") {
    runCommand((name == "Folder" ? "mkdir " : "mkfifo ") + quoted(path));
  }
  if (name != "Missing" && name != "Folder" && name != "Pipe") writeBytes(path, bytes);
  return path;
}

// A stream that does not open keeps no slot: 70 failures in a row leave the table empty.
TEST_P(BadFiles, OpenFailsWithItsStatusAndKeepsNoSlot) {
  REQUIRE_FILE(file("Cbr128Stereo"));
  const std::string path = makeBadFile(GetParam().name);
  Driver driver;
  for (int i = 0; i < 70; ++i)
    ASSERT_EQ(driver.open(path).status, GetParam().status);
  EXPECT_TRUE(driver.serving);
  EXPECT_EQ(driver.service.openStreams(), 0);
}

INSTANTIATE_TEST_SUITE_P(Mp3, BadFiles,
                         ::testing::Values(BadFile{"Text", kStatusNoFrame},
                                           BadFile{"Empty", kStatusNoFrame},
                                           BadFile{"CutInsideTheFirstFrame", kStatusNoFrame},
                                           BadFile{"TagLongerThanTheFile", kStatusEndedEarly},
                                           BadFile{"Missing", kStatusCannotOpen},
                                           BadFile{"Folder", kStatusCannotOpen},
                                           BadFile{"Pipe", kStatusCannotOpen}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(BadFiles, PathWithoutTerminatorWithin256UnitsIsRefused) {
  Driver driver;
  std::fill(driver.query.begin(), driver.query.end(), 'a');
  storeU32(driver.query.data(), kOpen);
  EXPECT_TRUE(driver.send());
  EXPECT_EQ(readStatus(driver.reply.data(), driver.reply.size()), kStatusCannotOpen);
  EXPECT_EQ(driver.service.openStreams(), 0);
}

}  // namespace
}  // namespace quillon::testing
