// Opening and saving documents through the pipelines the editor uses.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <filesystem>
#include <numbers>

#include "document/clip_reader.h"
#include "formats/byte_io.h"
#include "formats/open_pipeline.h"
#include "formats/raw_file.h"
#include "formats/save_pipeline.h"
#include "formats/wav.h"
#include "platform/paths.h"
#include "platform/settings.h"
#include "platform/xdg_dirs.h"
#include "support/fake_document_view.h"
#include "support/peer_tools.h"
#include "support/temp_environment.h"

namespace quillon::testing {
namespace {

class PipelineTest : public DocumentTest {
 protected:
  void TearDown() override {
    view.setDocument(nullptr);
    DocumentTest::TearDown();
  }

  // A document of `frames` frames of 16-bit values (so 16-bit formats keep it exactly).
  Ref<WaveDocument> document(int32_t rate, int channels, int frames = 5000) {
    std::vector<Sample> words;
    for (int i = 0; i < frames; ++i) {
      for (int c = 0; c < channels; ++c) {
        const double v = 0.4 * std::sin(2 * std::numbers::pi * (300 + 200 * c) * i / rate);
        words.push_back(Sample(std::lround(v * 32767)) * 16);
      }
    }
    Ref<WaveDocument> doc = WaveDocument::createEmpty();
    doc->audio = writeClip(words, channels, rate);
    return doc;
  }

  Ref<WaveDocument> open(const std::string& path) {
    FileLoader loader;
    return WaveDocument::createFromFile(path, view.ui, loader);
  }

  bool save(Ref<WaveDocument> doc, const std::string& path) {
    doc->path = path;
    view.setDocument(doc);
    return SaveDocument(view);
  }

  FakeDocumentView view;
};

// Every extension the format table saves round trips a document through save and open, with
// the stored settings as they are (the headerless layouts and AU at the document's format).
// 16-bit formats keep the words exactly; the others are checked by their own conversions
// elsewhere, here by length and format.
TEST_F(PipelineTest, EveryFormatOpensWhatItSaves) {
  writeRawLayout(kRawAudioFamily, {22050, 2, 3});
  writeRawLayout(kVoxAudioFamily, {22050, 1, 0});
  settings::kAuSampleRate.write(22050);
  // Formats that cannot keep the document as it is: VOX is mono ADPCM, GSM 8,000 Hz mono.
  const struct {
    const char* extension;
    int32_t rate;
    int channels;
  } lossy[] = {{".vox", 22050, 1}, {".gsm", 8000, 1}};
  std::vector<std::string> saved;
  for (const SaveFileType& type : saveFileTypes()) {
    if (!type.canSave) continue;
    SCOPED_TRACE(type.extension);
    saved.push_back(type.extension);
    Ref<WaveDocument> original = document(22050, 2);
    const std::string path = env.path("doc" + type.extension);
    ASSERT_TRUE(save(original, path));
    EXPECT_FALSE(original->modified);
    Ref<WaveDocument> back = open(path);
    ASSERT_FALSE(back->loadFailed);
    auto it = std::find_if(std::begin(lossy), std::end(lossy),
                           [&](const auto& l) { return type.extension == l.extension; });
    if (it == std::end(lossy)) {
      EXPECT_EQ(back->audio.sampleRate, 22050);
      EXPECT_EQ(back->audio.channels, 2);
      EXPECT_EQ(readAll(back->audio), readAll(original->audio));
      continue;
    }
    EXPECT_EQ(back->audio.sampleRate, it->rate);
    EXPECT_EQ(back->audio.channels, it->channels);
    // 5000 frames at 22,050 Hz converted on the way: about 5000 × rate / 22050.
    EXPECT_NEAR(back->audio.length(), 5000.0 * it->rate / 22050, 160);
  }
  EXPECT_EQ(saved,
            (std::vector<std::string>{".wav", ".aif", ".aiff", ".au", ".gsm", ".vox", ".raw"}));
}

TEST_F(PipelineTest, OpenFailuresSayWhy) {
  Ref<WaveDocument> missing = open(env.path("none.wav"));
  EXPECT_TRUE(missing->loadFailed);
  EXPECT_EQ(view.ui.shown.back().text, "Cannot open the file \"" + env.path("none.wav") +
                                           "\". Check it exists and you have read access.");
  testing::writeBytes(env.path("bad.wav"), {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'});
  open(env.path("bad.wav"));
  EXPECT_NE(view.ui.shown.back().text.find("because it is corrupt"), std::string::npos);
  testing::writeBytes(env.path("song.ogg"), {1, 2, 3});
  Ref<WaveDocument> ogg = open(env.path("song.ogg"));
  EXPECT_TRUE(ogg->loadFailed);
  EXPECT_EQ(view.ui.shown.back().caption, "Error loading file");
  Ref<WaveDocument> noExtension = open(env.path("plain"));
  EXPECT_TRUE(noExtension->loadFailed);
}

// A dictation file is unwrapped into a temporary WAV that goes when the document is loaded.
TEST_F(PipelineTest, DictationFilesOpenThroughATemporaryWav) {
  ASSERT_TRUE(testing::writeAll(CreatePcmWavSink(env.path("payload.wav"), 8000, 1, 2),
                                std::vector<Sample>(1000, 320)));
  const std::vector<uint8_t> wav = testing::readBytes(env.path("payload.wav"));
  ByteWriter dct;  // version 0: no channel byte and no payload length
  dct.u16le(0).u32le(0).u32le(0).zeros(8).zeros(4).zeros(11).u8(0).u32le(0);
  std::vector<uint8_t> bytes = dct.data();
  bytes.insert(bytes.end(), wav.begin(), wav.end());
  const uint32_t total = uint32_t(bytes.size());
  for (int i = 0; i < 4; ++i)
    bytes[2 + i] = uint8_t(total >> (8 * i));
  testing::writeBytes(env.path("note.dct"), bytes);
  // Links planted at names that a guess could give ("Temp1.wav" …) are never followed.
  const std::string victim = env.path("victim.wav");
  for (const char* name : {"Temp.wav", "Temp1.wav", "Temp2.wav"}) {
    ASSERT_EQ(::symlink(victim.c_str(), (env.path("tmp/") + name).c_str()), 0);
  }
  Ref<WaveDocument> doc = open(env.path("note.dct"));
  ASSERT_FALSE(doc->loadFailed);
  EXPECT_EQ(readAll(doc->audio), std::vector<Sample>(1000, 320));
  EXPECT_FALSE(platform::fileExists(victim)) << "written through a planted link";
  size_t left = 0;
  for (const auto& entry : std::filesystem::directory_iterator(env.path("tmp")))
    left += !entry.is_symlink();
  EXPECT_EQ(left, 0u) << "the temporary WAV and its folder are gone";
  bytes[2] ^= 1;  // total size off: refused with its own message
  testing::writeBytes(env.path("bad.dct"), bytes);
  EXPECT_TRUE(open(env.path("bad.dct"))->loadFailed);
  EXPECT_TRUE(std::any_of(view.ui.shown.begin(), view.ui.shown.end(),
                          [](const auto& m) { return m.text == "DCT File is corrupt"; }));
}

TEST_F(PipelineTest, HeaderlessFilesAskForTheirLayoutOnce) {
  ASSERT_TRUE(testing::writeAll(CreateRawSink(env.path("a.raw"), {8000, 1, 3}),
                                std::vector<Sample>(800, 160)));
  view.ui.queueDialog("LRAWDlg", {{"rate", "8000"}, {"channels", "1"}, {"codec", "3"}});
  Ref<WaveDocument> doc = open(env.path("a.raw"));
  ASSERT_FALSE(doc->loadFailed);
  EXPECT_EQ(doc->audio.sampleRate, 8000);
  EXPECT_EQ(doc->audio.length(), 800);
  EXPECT_EQ(readRawLayout(kRawAudioFamily, kRawAudioDefaults).sampleRate, 8000);  // stored
  view.ui.queueDialog("LRAWDlg", {{"rate", "5000"}});  // refused: the dialog would stay open
  EXPECT_TRUE(open(env.path("a.raw"))->loadFailed);
  EXPECT_EQ(view.ui.shown.back().text, "Please select a sample rate between 6000 and 196000.");
}

// The temporary WAV of a dictation file lies in a folder of its own, private and with a name
// nobody can guess, so no two instances share it and nobody else can plant anything there.
TEST_F(PipelineTest, TemporaryWavsLieInPrivateFoldersOfTheirOwn) {
  std::string seen;
  {
    TempWavName first(env.path("temp"));
    TempWavName second(env.path("temp"));
    ASSERT_NE(first.path(), "");
    EXPECT_NE(platform::parentFolder(first.path()), platform::parentFolder(second.path()));
    for (const TempWavName* name : {&first, &second}) {
      const std::string folder = platform::parentFolder(name->path());
      EXPECT_EQ(platform::parentFolder(folder), env.path("temp"));
      struct stat st {};
      ASSERT_EQ(::lstat(folder.c_str(), &st), 0);
      EXPECT_TRUE(S_ISDIR(st.st_mode));
      EXPECT_EQ(st.st_mode & 0777, 0700u);
    }
    testing::writeBytes(first.path(), {1, 2, 3});
    seen = platform::parentFolder(first.path());
  }
  EXPECT_FALSE(platform::folderExists(seen)) << "removed with its name";
}

TEST_F(PipelineTest, WavResavesKeepTheirCodecAndTakeTheDocumentsLayout) {
  WaveFormatRecord gsm;
  gsm.tag = 49;
  gsm.sampleRate = 8000;
  ASSERT_TRUE(testing::writeAll(CreateWavSink(env.path("g.wav"), gsm),
                                readAll(document(8000, 1, 3200)->audio)));
  Ref<WaveDocument> doc = open(env.path("g.wav"));
  ASSERT_TRUE(save(doc, env.path("g.wav")));
  EXPECT_EQ(ReadWavFormat(env.path("g.wav")).tag, 49);

  Ref<WaveDocument> stereo = document(44100, 2);
  ASSERT_TRUE(save(stereo, env.path("s.wav")));
  Ref<WaveDocument> reopened = open(env.path("s.wav"));
  std::vector<Sample> left;
  const std::vector<Sample> both = readAll(reopened->audio);
  for (size_t i = 0; i < both.size(); i += 2)
    left.push_back(both[i]);
  reopened->audio = writeClip(left, 1, 44100);  // converted to mono
  ASSERT_TRUE(save(reopened, env.path("s.wav")));
  EXPECT_EQ(ReadWavFormat(env.path("s.wav")).channels, 1);
}

TEST_F(PipelineTest, SaveSettingsAndNames) {
  EXPECT_FALSE(platform::fileExists(defaultWavFormatPath()));
  ASSERT_TRUE(save(document(11025, 1), env.path("first.wav")));
  EXPECT_EQ(readDefaultWavFormat(48000, 2).sampleRate, 11025u);  // created from the document

  Ref<WaveDocument> mono = document(8000, 1);
  ASSERT_TRUE(save(mono, env.path("x.au")));  // AU defaults: 16-bit stereo 44,100 Hz
  EXPECT_EQ(open(env.path("x.au"))->audio.sampleRate, 44100);
  EXPECT_EQ(open(env.path("x.au"))->audio.channels, 2);

  Ref<WaveDocument> song = document(8000, 1);
  song->path = env.path("song.MP3");
  view.setDocument(song);
  view.ui.queueAnswer(Answer::No);
  EXPECT_FALSE(SaveDocument(view));
  EXPECT_EQ(view.ui.shown.back().text,
            "Saving in this file format is not supported. Do you want to save in another format "
            "instead?");

  song->selectionStart = 100;
  song->selectionEnd = 600;
  view.ui.queueFile(env.path("r0.wav"));
  view.ui.queueFile(env.path("r1.wav"));
  ASSERT_TRUE(SaveRegion(view));
  ASSERT_TRUE(SaveRegion(view));
  ASSERT_EQ(view.ui.fileRequests.size(), 2u);
  EXPECT_EQ(view.ui.fileRequests[0].proposedName, "Region000");
  EXPECT_EQ(view.ui.fileRequests[1].proposedName, "Region001");
  EXPECT_EQ(view.ui.fileRequests[0].title, "Save Select Region As");
  // The region goes out in the stored WAV format (11,025 Hz, from the first save): converted.
  Ref<WaveDocument> region = open(env.path("r1.wav"));
  EXPECT_EQ(region->audio.sampleRate, 11025);
  EXPECT_NEAR(region->audio.length(), 500 * 11025 / 8000, 2);
}

// A failed or cancelled save leaves the user's file byte for byte as it was.
TEST_F(PipelineTest, FailedAndCancelledSavesLeaveTheOriginal) {
  const std::string path = env.path("keep.wav");
  ASSERT_TRUE(save(document(44100, 2, 100000), path));
  const std::vector<uint8_t> before = testing::readBytes(path);
  Ref<WaveDocument> changed = document(44100, 2, 50000);

  for (int reports : {0, 5}) {  // cancel before the first block, and in the middle
    view.ui.cancelAfterReports = reports;
    EXPECT_FALSE(save(changed, path));
    EXPECT_EQ(testing::readBytes(path), before) << reports;
  }
  view.ui.cancelAfterReports = -1;

  // A disk that fills up: a file-size limit in a child process.
  pid_t child = fork();
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{64 * 1024, 64 * 1024};
    setrlimit(RLIMIT_FSIZE, &limit);
    const bool saved = save(changed, path);
    _exit(!saved && !view.ui.shown.empty() ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(testing::readBytes(path), before);
  for (const auto& entry : std::filesystem::directory_iterator(env.root()))
    EXPECT_NE(entry.path().filename().string().rfind(".~", 0), 0u) << "a temporary file is left";
}

// Audio beyond what a header's 32-bit size fields can state is refused before it is written,
// with a message, and no file is left.
TEST_F(PipelineTest, AudioTooLargeForTheSizeFieldsIsRefusedBeforeWriting) {
  for (const char* name : {"huge.wav", "huge.aiff", "huge.au"}) {
    SCOPED_TRACE(name);
    Ref<WaveDocument> doc = WaveDocument::createEmpty();
    doc->audio.sampleRate = 44100;
    doc->audio.channels = 2;
    doc->audio.segments.push_back(Segment::silence(2'100'000'000));  // 4.2 GB at 8 bits
    view.ui.shown.clear();
    view.ui.cancelAfterReports = 3;  // were it written, it would stop soon
    EXPECT_FALSE(save(doc, env.path(name)));
    ASSERT_FALSE(view.ui.shown.empty());
    EXPECT_NE(view.ui.shown.back().text.find("more than 4 GB"), std::string::npos)
        << view.ui.shown.back().text;
    EXPECT_FALSE(platform::fileExists(env.path(name)));
  }
  view.ui.cancelAfterReports = -1;
}

// Saving without bookmarks deletes the side file only when it held this document's bookmarks:
// "song.qbm" of "song.wav" survives a save of another "song.aiff".
TEST_F(PipelineTest, ASideFileIsDeletedOnlyWhenItWasTheDocumentsOwn) {
  const std::string wav = env.path("song.wav"), side = env.path("song.qbm");
  Ref<WaveDocument> marked = document(22050, 1);
  marked->markers.push_back(Bookmark{});
  marked->markers.back().position = 100;
  marked->markers.back().name = "chorus";
  ASSERT_TRUE(save(marked, wav));
  ASSERT_TRUE(platform::fileExists(side));

  ASSERT_TRUE(save(document(22050, 1), env.path("song.aiff")));
  EXPECT_TRUE(platform::fileExists(side)) << "another document's bookmarks";
  ASSERT_TRUE(save(document(22050, 1), wav));
  EXPECT_TRUE(platform::fileExists(side)) << "a new document never had them";

  Ref<WaveDocument> reopened = open(wav);
  ASSERT_EQ(reopened->markers.size(), 1u);
  reopened->markers.clear();
  ASSERT_TRUE(save(reopened, wav));
  EXPECT_FALSE(platform::fileExists(side)) << "its own, every bookmark removed";
}

TEST_F(PipelineTest, ASourceOfNoFramesLoadsAnEmptyDocument) {
  ASSERT_TRUE(testing::writeAll(CreatePcmWavSink(env.path("empty.wav"), 22050, 2, 2), {}));
  Ref<WaveDocument> doc = open(env.path("empty.wav"));
  EXPECT_FALSE(doc->loadFailed);
  EXPECT_EQ(doc->audio.length(), 0);
  EXPECT_EQ(doc->audio.sampleRate, 22050);
  EXPECT_EQ(doc->audio.channels, 2);
}

}  // namespace
}  // namespace quillon::testing
