#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <random>

#include "document/clip_editing.h"
#include "formats/wav.h"
#include "platform/settings.h"
#include "shell_fixture.h"
#include "support/peer_tools.h"

namespace quillon::testing {
namespace {

using namespace command;

std::vector<Sample> numbered(int frames, int channels = 1, Sample first = 1) {
  std::vector<Sample> words(size_t(frames) * channels);
  for (size_t i = 0; i < words.size(); ++i)
    words[i] = Sample(first + Sample(i)) * 16;
  return words;
}

Bookmark marker(int32_t position) {
  Bookmark b;
  b.position = position;
  return b;
}

std::vector<int32_t> markerPositions(const WaveDocument& d) {
  std::vector<int32_t> out;
  for (const Bookmark& b : d.markers)
    out.push_back(b.position);
  return out;
}

using EditCommandsTest = ShellTest;

// The edit commands against a plain vector of samples: random selections, cursors and commands,
// with undo and redo, at 1000 Hz so that a millisecond is a frame.
TEST_F(EditCommandsTest, RandomEditsMatchAPlainVector) {
  std::mt19937 random(20261207);
  std::vector<Sample> board;  // the clipboard outlives each document
  for (int trial = 0; trial < 12; ++trial) {
    std::vector<Sample> model = numbered(200 + trial * 37, 1, trial * 10000);
    openSamples(model, 1, 1000);
    std::vector<std::vector<Sample>> past, future;
    auto recorded = [&](const std::vector<Sample>& before) {
      past.push_back(before);
      future.clear();
    };
    for (int step = 0; step < 24; ++step) {
      WaveDocument& d = doc();
      const int32_t length = int32_t(model.size());
      std::uniform_int_distribution<int32_t> position(0, length + 4);
      if (random() % 3 == 0) {
        d.selectionStart = std::uniform_int_distribution<int32_t>(0, length)(random);
        d.selectionEnd = position(random);
      }
      if (d.selectionStart > length) d.selectionStart = d.selectionEnd = length;  // stale
      d.cursor = std::uniform_int_distribution<int32_t>(0, length)(random);
      const bool selected = d.hasSelection();
      const int32_t a = d.selectionStart, b = d.selectionEnd, cursor = d.cursor;
      const int32_t clampedEnd = std::min(b, length);
      const std::vector<Sample> before = model;
      const int choice = int(random() % 11);
      SCOPED_TRACE(::testing::Message() << "trial " << trial << " step " << step << " command "
                                        << choice << " selection " << a << ".." << b << " cursor "
                                        << cursor << " length " << length);
      switch (choice) {
        case 0:
          run(kDelete);
          if (selected) {
            model.erase(model.begin() + a, model.begin() + clampedEnd);
            recorded(before);
          }
          break;
        case 1:
          run(kCut);
          if (selected) {
            board.assign(model.begin() + a, model.begin() + clampedEnd);
            model.erase(model.begin() + a, model.begin() + clampedEnd);
            recorded(before);
          }
          break;
        case 2:
          run(kCopy);  // greyed without a selection
          if (selected) board.assign(model.begin() + a, model.begin() + clampedEnd);
          break;
        case 3: {
          const bool enabled = !board.empty();
          EXPECT_EQ(editor->isCommandEnabled(kPaste), enabled);
          run(kPaste);
          if (enabled) {
            const int32_t end = selected ? clampedEnd : a;
            model.erase(model.begin() + std::min(a, length), model.begin() + std::max(a, end));
            model.insert(model.begin() + a, board.begin(), board.end());
            recorded(before);
          }
          break;
        }
        case 4:
          run(kTrim);
          if (selected) model = std::vector<Sample>(model.begin() + a, model.begin() + clampedEnd);
          if (selected) recorded(before);
          break;
        case 5:
          run(kTrimStart);
          if (a > 0) model.erase(model.begin(), model.begin() + std::min(a, length));
          recorded(before);
          break;
        case 6:
          run(kTrimEnd);
          if (b >= 0 && b < length) model.resize(size_t(b));
          recorded(before);
          break;
        case 7: {
          const int32_t ms = int32_t(random() % 20) + 1;
          window.ui.queueDialog("51", {{"time", std::to_string(ms)}});
          run(kInsertSilenceCurrent);
          if (cursor > length) model.resize(size_t(cursor), 0);
          model.insert(model.begin() + cursor, size_t(ms), 0);
          recorded(before);
          break;
        }
        case 8:
          run(kSilence);
          if (selected) {
            model.resize(std::max<size_t>(model.size(), size_t(b)));
            std::fill(model.begin() + a, model.begin() + b, 0);
            recorded(before);
          }
          break;
        case 9:
          EXPECT_EQ(editor->isCommandEnabled(kUndo), !past.empty());
          run(kUndo);
          if (!past.empty()) {
            future.push_back(model);
            model = past.back();
            past.pop_back();
          }
          break;
        case 10:
          EXPECT_EQ(editor->isCommandEnabled(kRedo), !future.empty());
          run(kRedo);
          if (!future.empty()) {
            past.push_back(model);
            model = future.back();
            future.pop_back();
          }
          break;
      }
      ASSERT_EQ(audio(), model);
      ASSERT_EQ(readAll(clipboard()), board);
    }
  }
}

TEST_F(EditCommandsTest, EachCommandNamesItsUndoEntryAndPlacesTheCursor) {
  openSamples(numbered(1000), 1, 1000);
  struct Case {
    int id;
    const char* name;
  };
  for (Case c :
       {Case{kDelete, "Delete"}, Case{kCut, "Cut"}, Case{kPaste, "Paste"}, Case{kTrim, "Trim"},
        Case{kTrimStart, "Trim Start"}, Case{kTrimEnd, "Trim End"}, Case{kSilence, "Edit Silence"},
        Case{kInsertSilenceBegin, "Insert Silence At The Start"},
        Case{kInsertSilenceCurrent, "Insert Silence At Current Position"},
        Case{kInsertSilenceEnd, "Insert Silence At The End"}}) {
    doc().selectionStart = 10;
    doc().selectionEnd = 20;
    doc().cursor = 15;
    doc().modified = false;
    ASSERT_TRUE(run(c.id)) << c.name;
    EXPECT_TRUE(editor->lastCommandDone()) << c.name;
    EXPECT_EQ(doc().undoRing.undoName(), c.name);
    EXPECT_TRUE(doc().modified) << c.name;
    EXPECT_EQ(window.caption.back(), '*') << c.name;
  }
}

TEST_F(EditCommandsTest, CutPastTheEndTakesOnlyTheAudioAndPasteSelectsWhatItInserted) {
  openSamples(numbered(100), 1, 1000);
  doc().selectionStart = 90;
  doc().selectionEnd = 150;
  doc().cursor = 95;
  ASSERT_TRUE(run(kCut));
  EXPECT_EQ(clipboard().length(), 10);
  EXPECT_EQ(doc().audio.length(), 90);
  EXPECT_EQ(doc().selectionStart, 90);
  EXPECT_EQ(doc().selectionEnd, 90);
  EXPECT_EQ(doc().cursor, 90) << "committed at the start";

  doc().selectionStart = 5;
  doc().selectionEnd = 0;  // no selection: insert at the start of it
  ASSERT_TRUE(run(kPaste));
  EXPECT_EQ(doc().selectionStart, 5);
  EXPECT_EQ(doc().selectionEnd, 15);
  ASSERT_TRUE(run(kPaste));  // replaces the pasted copy by another copy of the same blocks
  doc().selectionStart = 15;
  doc().selectionEnd = 15;
  ASSERT_TRUE(run(kPaste));
  const std::vector<Sample> all = audio();
  ASSERT_EQ(all.size(), 110u);
  EXPECT_EQ(std::vector<Sample>(all.begin() + 5, all.begin() + 15),
            std::vector<Sample>(all.begin() + 15, all.begin() + 25));
  EXPECT_EQ(doc().audio.segments[1].block(), doc().audio.segments[2].block())
      << "pasted copies share their block";
}

TEST_F(EditCommandsTest, PasteConvertsAClipboardOfAnotherFormat) {
  // A stereo 44100 Hz clipboard into a mono 22050 Hz document: converted first, then inserted.
  std::vector<Sample> stereo(2 * 4410);
  for (size_t i = 0; i < stereo.size(); ++i)
    stereo[i] = Sample(std::lround(100000 * std::sin(double(i / 2) * 0.01)));
  clipboard() = writeClip(stereo, 2, 44100);
  openSamples(numbered(1000), 1, 22050);
  doc().selectionStart = 500;
  doc().selectionEnd = 500;
  ASSERT_TRUE(run(kPaste));
  EXPECT_EQ(doc().audio.channels, 1);
  EXPECT_NEAR(doc().audio.length(), 1000 + 2205, 2);
  EXPECT_EQ(doc().selectionEnd - doc().selectionStart, doc().audio.length() - 1000)
      << "the selection covers the converted audio";
  const auto& titles = window.ui.jobTitles;
  EXPECT_NE(std::find(titles.begin(), titles.end(), "Converting Rate"), titles.end());
  EXPECT_NE(std::find(titles.begin(), titles.end(), "Paste"), titles.end());
}

TEST_F(EditCommandsTest, CancelledPasteKeepsItsUndoEntryButChangesNothing) {
  openSamples(numbered(100));
  clipboard() = writeClip(numbered(4410, 2), 2, 44100);
  window.ui.cancelAfterReports = 1;
  doc().selectionStart = 10;
  doc().selectionEnd = 20;
  const std::vector<Sample> before = audio();
  ASSERT_TRUE(run(kPaste));
  EXPECT_FALSE(editor->lastCommandDone());
  EXPECT_EQ(audio(), before);
  EXPECT_EQ(doc().undoRing.undoName(), "Paste");
}

TEST_F(EditCommandsTest, TrimsMoveOrDropMarkers) {
  openSamples(numbered(1000));
  auto withMarkers = [&] {
    doc().markers = {marker(50), marker(100), marker(400), marker(600), marker(900)};
  };
  withMarkers();
  doc().selectionStart = 100;
  doc().selectionEnd = 600;
  ASSERT_TRUE(run(kTrim));
  EXPECT_EQ(markerPositions(doc()), (std::vector<int32_t>{0, 300, 500}));
  EXPECT_EQ(doc().audio.length(), 500);
  EXPECT_EQ(doc().cursor, 0);
  EXPECT_FALSE(doc().hasSelection());
  ASSERT_TRUE(run(kUndo));

  withMarkers();
  doc().selectionStart = 100;
  doc().selectionEnd = 600;
  ASSERT_TRUE(run(kTrimStart));
  EXPECT_EQ(markerPositions(doc()), (std::vector<int32_t>{0, 300, 500, 800}));
  EXPECT_EQ(doc().audio.length(), 900);
  EXPECT_EQ(doc().selectionStart, 100) << "the selection numbers stay";
  ASSERT_TRUE(run(kUndo));

  withMarkers();
  doc().selectionStart = 100;
  doc().selectionEnd = 600;
  ASSERT_TRUE(run(kTrimEnd));
  EXPECT_EQ(markerPositions(doc()), (std::vector<int32_t>{50, 100, 400, 600}));
  EXPECT_EQ(doc().audio.length(), 600);
  ASSERT_TRUE(run(kUndo));

  // Trim without a selection (greyed in the menus) keeps everything and still records "Trim";
  // Trim End at 0 empties the document.
  doc().selectionStart = doc().selectionEnd = 0;
  EXPECT_FALSE(run(kTrim));
  ASSERT_TRUE(trimToSelection(view()));
  EXPECT_EQ(doc().audio.length(), 1000);
  EXPECT_EQ(doc().undoRing.undoName(), "Trim");
  ASSERT_TRUE(run(kTrimEnd));
  EXPECT_EQ(doc().audio.length(), 0);
  ASSERT_TRUE(run(kUndo));
  EXPECT_EQ(doc().audio.length(), 1000);
}

TEST_F(EditCommandsTest, InsertSilenceAsksForMillisecondsAndRemembersThem) {
  openSamples(numbered(100));
  EXPECT_EQ(silenceFrames(44100, 1500), 66150);
  EXPECT_EQ(silenceFrames(8000, 2147483647), 2147483647) << "saturates instead of wrapping";
  window.ui.queueDialog("51", {{"time", "1500"}});
  ASSERT_TRUE(run(kInsertSilenceEnd));
  EXPECT_EQ(doc().audio.length(), 100 + 66150);
  EXPECT_EQ(settings::kSilenceTimes.read(), 1500);
  EXPECT_EQ(window.ui.dialogsShown.back().number("time"), 1000) << "preset from the default";

  // 0 ms is refused with the dialog's message and nothing is recorded.
  window.ui.queueDialog("51", {{"time", "0"}});
  ASSERT_TRUE(run(kInsertSilenceBegin));
  EXPECT_FALSE(editor->lastCommandDone());
  EXPECT_EQ(window.ui.shown.back().caption, "Invalid Silence Time");
  EXPECT_EQ(doc().undoRing.undoName(), "Insert Silence At The End");
  EXPECT_EQ(settings::kSilenceTimes.read(), 1500);
}

TEST_F(EditCommandsTest, InsertFileLoadsConvertsAndRemembersTheFolder) {
  // A mono 22050 Hz WAV inserted at the end of an empty stereo 44100 Hz document.
  const std::string wav = env.path("insert me.wav");
  ASSERT_TRUE(writeAll(CreatePcmWavSink(wav, 22050, 1, 2), numbered(2205)));
  settings::kPromptSampleAndChannels.write(true);
  window.ui.queueDialog("New File", {{"rate", "44100"}, {"channels", "2"}});
  ASSERT_TRUE(editor->newFile());
  window.ui.queueFile(wav);
  ASSERT_TRUE(run(kInsertFileEnd));
  EXPECT_TRUE(editor->lastCommandDone());
  EXPECT_EQ(doc().audio.channels, 2);
  EXPECT_NEAR(doc().audio.length(), 4410, 2);
  EXPECT_EQ(doc().undoRing.undoName(), "Insert File At The End");
  EXPECT_EQ(settings::kInsertFileDir.read(), env.root());
  EXPECT_EQ(settings::kInsertFileFormat.read(), "wav");
  EXPECT_EQ(window.ui.fileRequests.back().title, "Open Audio File");

  // A file that does not load: its message, and nothing recorded.
  const std::string bad = env.path("bad.wav");
  std::ofstream(bad) << "RIFF....WAVEjunk";
  window.ui.queueFile(bad);
  ASSERT_TRUE(run(kInsertFileBegin));
  EXPECT_FALSE(editor->lastCommandDone());
  EXPECT_EQ(window.ui.shown.back().caption, "Error loading file");
  EXPECT_EQ(doc().undoRing.undoName(), "Insert File At The End");

  // A cancelled chooser records nothing either.
  ASSERT_TRUE(run(kInsertFileCurrent));
  EXPECT_FALSE(editor->lastCommandDone());
}

}  // namespace
}  // namespace quillon::testing
