#include "formats/dictation_files.h"

#include <gtest/gtest.h>

#include <functional>

#include "formats/byte_io.h"
#include "formats/wav.h"
#include "platform/file.h"
#include "platform/scripted_interaction.h"
#include "platform/xdg_dirs.h"
#include "support/peer_tools.h"
#include "support/temp_environment.h"

namespace quillon {
namespace {

using testing::readBytes;
using testing::writeBytes;
using Bytes = std::vector<uint8_t>;

// A DCT file put together field by field, with eleven text fields of growing length. The
// attachments flag is set when there are attachments; a `…Field` member other than −1 replaces
// the value written for that field.
struct DctFile {
  uint16_t version = 3;
  uint32_t flags = 0;
  std::string extraHeader = "xyz", notes = "Please transcribe by Friday.";
  std::vector<std::pair<std::string, std::string>> attachments;
  uint8_t channels = 1;
  Bytes payload;
  int64_t totalSizeField = -1, extraHeaderField = -1, notesField = -1, attachmentSizeField = -1,
          payloadLengthField = -1;
  size_t cutAt = SIZE_MAX;  // the file ends here (its total size field still matching)

  Bytes bytes() const {
    const uint32_t allFlags = flags | (attachments.empty() ? 0u : 4u);
    ByteWriter out;
    out.u16le(version).u32le(0).u32le(allFlags).zeros(8);
    if (version > 2) text(out.u32le(field(extraHeaderField, extraHeader.size())), extraHeader);
    out.zeros(4);
    for (int i = 0; i < 11; ++i)
      text(out, std::string(size_t(i * 3), char('A' + i)), true);
    text(out.zeros(1).u32le(field(notesField, notes.size())), notes);
    if (allFlags & 4) out.u8(uint8_t(attachments.size()));
    for (const auto& [name, body] : attachments)
      text(text(out, name, true).u32le(field(attachmentSizeField, body.size())), body);
    if (version >= 1) out.u8(channels).u32le(field(payloadLengthField, payload.size()));
    Bytes file = out.bytes(payload.data(), payload.size()).data();
    file.resize(std::min(cutAt, file.size()));
    const uint32_t total = field(totalSizeField, file.size());
    for (size_t i = 0; i < 4 && 2 + i < file.size(); ++i)
      file[2 + i] = uint8_t(total >> (8 * i));
    return file;
  }
  static ByteWriter& text(ByteWriter& out, const std::string& text, bool withLength = false) {
    if (withLength) out.u8(uint8_t(text.size()));
    return out.bytes(reinterpret_cast<const uint8_t*>(text.data()), text.size());
  }
  static uint32_t field(int64_t replacement, size_t natural) {
    return uint32_t(replacement >= 0 ? replacement : int64_t(natural));
  }
};

std::string hex(const Bytes& bytes) {
  std::string text;
  for (uint8_t b : bytes)
    text += "0123456789abcdef"[b >> 4], text += "0123456789abcdef"[b & 15];
  return text;
}

Bytes pattern(size_t size, uint8_t seed = 0) {
  Bytes bytes(size);
  for (size_t i = 0; i < size; ++i)
    bytes[i] = uint8_t(i * 7 + seed + (i >> 8));
  return bytes;
}

// A job whose work is given as a function.
class ConvertJob : public Job {
 public:
  explicit ConvertJob(std::function<JobResult(Job&)> work)
      : Job("Loading Audio File Source"), work_(std::move(work)) {}

 protected:
  JobResult run() override { return work_(*this); }

 private:
  std::function<JobResult(Job&)> work_;
};

class DictationFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // A real 16-bit stereo WAV, made by our own writer, as the usual payload.
    ASSERT_TRUE(testing::writeAll(CreatePcmWavSink(env.path("payload.wav"), 11025, 2, 2), words));
    wavPayload = readBytes(env.path("payload.wav"));
  }

  JobResult convert(const Bytes& file, bool dart = false) {
    writeBytes(input, file);
    ConvertJob job([&](Job& progress) {
      return dart ? ConvertDartToWav(progress, input, output)
                  : ConvertDctToWav(progress, input, output);
    });
    return runJob(job, ui);
  }
  std::vector<std::string> messages() const {
    std::vector<std::string> texts;
    for (const auto& shown : ui.shown)
      texts.push_back(shown.caption + ": " + shown.text);
    return texts;
  }

  testing::TempEnvironment env;
  ScriptedInteraction ui;
  const std::string input = env.path("memo.dct");
  const std::string output = env.path("memo.tmp.wav");
  const std::vector<Sample> words = {16, -32, 48000, -524288, 524272, 0, 160, -160};
  Bytes wavPayload;
};

TEST_F(DictationFilesTest, EveryVersionUnwrapsItsWavPayloadByteForByte) {
  for (uint16_t version : {0, 1, 2, 3}) {
    SCOPED_TRACE(version);
    DctFile dct;
    dct.version = version;
    dct.attachments = {{"scan.jpg", std::string(300, 's')}, {"", ""}, {"memo.txt", "ok"}};
    dct.payload = wavPayload;
    ui = ScriptedInteraction();
    ASSERT_EQ(convert(dct.bytes()), JobResult::Done);
    EXPECT_EQ(readBytes(output), wavPayload);
    EXPECT_TRUE(messages().empty());
    EXPECT_EQ(ui.lines[0], "Loading DCT File");
    EXPECT_EQ(ui.lines[1], input);
    EXPECT_EQ(ui.percents, (std::vector<int>{0, 3, 6, 10, 101, 100}));  // 101: drawn full at once
    EXPECT_EQ(testing::readSource(OpenWavSource(output)), words);
  }
}

TEST_F(DictationFilesTest, PayloadLengthAndOldVersionsDecideWhatIsCopied) {
  const Bytes payload = pattern(70000);
  const Bytes head(payload.begin(), payload.begin() + 1000);
  struct Case {
    const char* name;
    uint16_t version;
    uint32_t flags;
    int64_t payloadLengthField;
    Bytes expected;
  };
  const Case cases[] = {
      {"version 0 runs to the end of the file", 0, 0, 1000, payload},
      {"a shorter length copies only its bytes", 1, 0, 1000, head},
      {"a length past the end is cut to the file", 2, 0, 0x7FFFFFFF, payload},
      {"the encryption bit means nothing before version 2", 1, 2, -1, payload},
      {"an exact multiple of the block size", 3, 0, 65536,
       Bytes(payload.begin(), payload.begin() + 65536)},
      {"an empty payload", 3, 0, 0, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DctFile dct;
    dct.version = c.version;
    dct.flags = c.flags;
    dct.payload = payload;
    dct.payloadLengthField = c.payloadLengthField;
    ASSERT_EQ(convert(dct.bytes()), JobResult::Done);
    EXPECT_EQ(readBytes(output), c.expected);
    EXPECT_TRUE(messages().empty());
  }
}

TEST_F(DictationFilesTest, StructuralErrorsShowTheirMessageAndFail) {
  const std::string corrupt = "Error: DCT File is corrupt";
  const std::string encrypted =
      "Error: This DCT file is encrypted. Encrypted dictation files cannot be loaded by this "
      "program.";
  struct Case {
    const char* name;
    std::function<void(DctFile&)> damage;
    std::string message;
  };
  const Case cases[] = {
      {"version 4", [](DctFile& f) { f.version = 4; }, "Error: DCT File load error"},
      {"total size one byte more",
       [](DctFile& f) { f.totalSizeField = int64_t(f.bytes().size()) + 1; }, corrupt},
      {"total size one byte less",
       [](DctFile& f) { f.totalSizeField = int64_t(f.bytes().size()) - 1; }, corrupt},
      {"extra header as long as the file",
       [](DctFile& f) { f.extraHeaderField = int64_t(f.bytes().size()); }, corrupt},
      {"extra header past the end but within the total",
       [](DctFile& f) { f.extraHeaderField = int64_t(f.bytes().size()) - 5; }, corrupt},
      {"version 2 encrypted", [](DctFile& f) { f.version = 2, f.flags = 2; }, encrypted},
      {"version 3 encrypted", [](DctFile& f) { f.flags = 0xFFFFFFFF; }, encrypted},
      {"notes longer than the file", [](DctFile& f) { f.notesField = 0x10000; },
       "Error: Unable to load dct file because of file corruption (notes error)."},
      {"notes past the end but within the total",
       [](DctFile& f) { f.notesField = int64_t(f.bytes().size()) - 10; }, corrupt},
      {"attachment longer than the file",
       [](DctFile& f) {
         f.attachments = {{"a", "1"}};
         f.attachmentSizeField = 0xFFFFFFFF;
       },
       "Error: Unable to load dct file because of file corruption (attachment too large)."},
      {"zero channels", [](DctFile& f) { f.version = 1, f.channels = 0; },
       "Error: Unable to load dct file because of file corruption (zero channels error). Please "
       "ask the dictator to send it again."},
      {"file ends inside the text fields", [](DctFile& f) { f.cutAt = 40; }, corrupt},
      {"file ends inside the version", [](DctFile& f) { f.cutAt = 1; }, corrupt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DctFile dct;
    dct.payload = pattern(3000);
    c.damage(dct);
    ui = ScriptedInteraction();
    platform::removeFile(output);
    EXPECT_EQ(convert(dct.bytes()), JobResult::Failed);
    EXPECT_EQ(messages(), std::vector<std::string>{c.message});
    EXPECT_FALSE(platform::fileExists(output)) << "no WAV is made for a refused file";
  }
}

TEST_F(DictationFilesTest, MissingOrUnwritableFilesFailWithoutAMessage) {
  const std::string absent = env.path("absent");
  ConvertJob missingDct([&](Job& job) { return ConvertDctToWav(job, absent, output); });
  ConvertJob missingDart([&](Job& job) { return ConvertDartToWav(job, absent, output); });
  ConvertJob noFolder([&](Job& job) { return ConvertDctToWav(job, input, absent + "/x.wav"); });
  writeBytes(input, DctFile().bytes());
  for (ConvertJob* job : {&missingDct, &missingDart, &noFolder})
    EXPECT_EQ(runJob(*job, ui), JobResult::Failed);
  EXPECT_TRUE(messages().empty());
}

TEST_F(DictationFilesTest, CancelStopsTheCopyBetweenBlocks) {
  DctFile dct;
  dct.payload = pattern(10 * 32768 + 100);
  // Reports 1-4 are the fractions 0, 0.03, 0.06 and 0.1; each copied block reports once more.
  for (int blocksBeforeCancel : {0, 2}) {
    SCOPED_TRACE(blocksBeforeCancel);
    ui = ScriptedInteraction();
    ui.cancelAfterReports = 4 + blocksBeforeCancel;
    EXPECT_EQ(convert(dct.bytes()), JobResult::Cancelled);
    EXPECT_EQ(readBytes(output).size(), size_t(blocksBeforeCancel) * 32768)
        << "the partial WAV stays for its owner to delete";
    EXPECT_TRUE(messages().empty());
  }
}

TEST_F(DictationFilesTest, DartGetsATrueSpeechHeaderAndTheDataFromByte1024) {
  Bytes dart(1024, 0xAA);
  const Bytes data = pattern(70000, 3);
  dart.insert(dart.end(), data.begin(), data.end());
  ASSERT_EQ(convert(dart, true), JobResult::Done);

  std::string header =
      "52494646 70150100 57415645 666d7420 32000000 "  // "RIFF" 71,024 "WAVE" "fmt " 50
      "2200 0100 401f0000 2b040000 2000 0100 "         // TrueSpeech, mono, 8,000 Hz, 1,067 B/s
      "2000 0100 f000 "                                // align 32, 1 bit; 32 extra bytes: 1, 240
      "00000000000000000000000000000000000000000000000000000000 "  // and 28 zeros
      "64617461 22150100";                                         // "data" 71,024 − 78
  std::erase(header, ' ');
  const Bytes wav = readBytes(output);
  ASSERT_EQ(wav.size(), 78 + data.size());
  EXPECT_EQ(hex(Bytes(wav.begin(), wav.begin() + 78)), header);
  EXPECT_EQ(Bytes(wav.begin() + 78, wav.end()), data);
  EXPECT_EQ(ui.lines[0], "Loading Dart File");
  EXPECT_EQ(ui.lines[1], input);
  EXPECT_EQ(ui.percents.front(), 3);
  EXPECT_EQ(ui.percents.back(), 100);
  EXPECT_EQ(ReadWavFormat(output).tag, 0x22);
  EXPECT_EQ(OpenWavSource(output)->status(), SourceStatus::MissingCodec) << "no TrueSpeech decoder";

  // A DART file that is all header gives a WAV of its header alone.
  ASSERT_EQ(convert(Bytes(1024, 0xAA), true), JobResult::Done);
  EXPECT_EQ(readBytes(output).size(), 78u);
}

}  // namespace
}  // namespace quillon
