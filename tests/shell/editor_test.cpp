// The document lifecycle (New, Open, Close, the save-changes question) and the recent files.
#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <thread>

#include "formats/wav.h"
#include "platform/settings.h"
#include "shell_fixture.h"
#include "support/peer_tools.h"

namespace quillon::testing {
namespace {

using namespace command;

class EditorTest : public ShellTest {
 protected:
  // A small mono WAV file.
  std::string wavFile(const std::string& name, int frames = 441) {
    const std::string path = env.path(name);
    EXPECT_TRUE(writeAll(CreatePcmWavSink(path, 44100, 1, 2), std::vector<Sample>(frames, 1600)));
    return path;
  }
  ScriptedInteraction& ui() { return window.ui; }
};

TEST_F(EditorTest, NewFileNamesUntitledDocumentsAndAsksForTheirFormat) {
  ASSERT_TRUE(run(kNewFile));
  EXPECT_EQ(doc().path, "Untitled 0");
  EXPECT_EQ(doc().audio.sampleRate, 11025);
  EXPECT_EQ(doc().audio.channels, 1);
  EXPECT_TRUE(doc().modified) << "an untitled document counts as modified";
  EXPECT_EQ(window.caption, "Untitled 0*");
  EXPECT_TRUE(window.captionModified);
  EXPECT_EQ(settings::kUntitledCount.read(), 1);

  settings::kPromptSampleAndChannels.write(true);
  ui().queueAnswer(Answer::No);  // don't save Untitled 0
  ui().queueDialog("New File", {{"rate", "5999"}});
  ASSERT_TRUE(run(kNewFile));
  EXPECT_FALSE(editor->lastCommandDone());
  EXPECT_EQ(ui().shown.back().text,
            "Sample rates must be between 6000 and 96000 samples per second.");
  EXPECT_FALSE(editor->hasDocument()) << "the old document was closed first";

  for (const char* rate : {"6000", "96000"}) {
    ui().queueAnswer(Answer::No);
    ui().queueDialog("New File", {{"rate", rate}, {"channels", "2"}});
    ASSERT_TRUE(run(kNewFile));
    EXPECT_EQ(doc().audio.sampleRate, std::stoi(rate));
    EXPECT_EQ(doc().audio.channels, 2);
  }
  EXPECT_EQ(doc().path, "Untitled 2");
  EXPECT_EQ(settings::kSelectedSampleRate.read(), 96000);
  EXPECT_EQ(settings::kSelectedChannels.read(), 2);
}

TEST_F(EditorTest, TheSaveChangesQuestionHasThreeAnswers) {
  const std::string path = wavFile("song.wav");
  ASSERT_TRUE(editor->openFile(path));
  // Not modified, with a folder: closes without a question.
  EXPECT_TRUE(editor->closeDocument());
  EXPECT_TRUE(ui().shown.empty());

  ASSERT_TRUE(editor->openFile(path));
  doc().modified = true;
  ui().queueAnswer(Answer::Cancel);
  EXPECT_FALSE(editor->closeDocument());
  EXPECT_EQ(ui().shown.back().text, "Save changes to \"song.wav\"?");
  EXPECT_EQ(ui().shown.back().caption, "Pocket Quillon");
  EXPECT_EQ(ui().shown.back().buttons, MessageButtons::SaveDontSaveCancel);
  EXPECT_TRUE(editor->hasDocument());

  // Save: written in place, then closed.
  doc().audio = writeClip(std::vector<Sample>(100, 3200));
  ui().queueAnswer(Answer::Yes);
  EXPECT_TRUE(editor->closeDocument());
  EXPECT_FALSE(editor->hasDocument());
  ASSERT_TRUE(editor->openFile(path));
  EXPECT_EQ(doc().audio.length(), 100);

  // An untitled document saved through Save As, cancelled in the chooser.
  ASSERT_TRUE(editor->closeDocument());
  ASSERT_TRUE(editor->newFile());
  ui().queueAnswer(Answer::Yes);
  EXPECT_FALSE(editor->closeDocument());
  EXPECT_EQ(ui().fileRequests.back().mode, FileChooserRequest::Mode::Save);
}

TEST_F(EditorTest, CloseFileAsksOnlyForTouchedOrPlayingSavedDocuments) {
  const std::string path = wavFile("song.wav");
  ASSERT_TRUE(editor->openFile(path));
  ASSERT_TRUE(run(kCloseFile));
  EXPECT_TRUE(ui().shown.empty()) << "never touched: no question";
  EXPECT_FALSE(editor->hasDocument());

  ASSERT_TRUE(editor->openFile(path));
  view().wasTouched = true;
  ui().queueAnswer(Answer::No);
  ASSERT_TRUE(run(kCloseFile));
  EXPECT_EQ(ui().shown.back().text, "Are you sure you want to close file \"song.wav\"?");
  EXPECT_TRUE(editor->hasDocument());
  ui().queueAnswer(Answer::Yes);
  ASSERT_TRUE(run(kCloseFile));
  EXPECT_FALSE(editor->hasDocument());
}

TEST_F(EditorTest, AFileThatFailsToLoadLeavesNoDocument) {
  const std::string bad = env.path("broken.wav");
  std::ofstream(bad) << "RIFF\x04\0\0\0WAVEfmt ";
  EXPECT_FALSE(editor->openFile(bad));
  EXPECT_FALSE(editor->hasDocument());
  EXPECT_EQ(ui().shown.back().caption, "Error loading file");
  EXPECT_EQ(editor->recentFiles().count(), 0u);
}

TEST_F(EditorTest, OpeningRemembersFilesNewestFirstWithoutDuplicates) {
  int64_t clock = 1000;
  editor->recentFiles().now = [&] { return clock++; };
  const std::string a = wavFile("a.wav"), b = wavFile("b.wav");
  ASSERT_TRUE(editor->openFile(a));
  ASSERT_TRUE(editor->openFile(b));
  ASSERT_TRUE(editor->openFile(a));
  ASSERT_EQ(editor->recentFiles().count(), 2u);
  EXPECT_EQ(editor->recentFiles().entry(0)->path, a);
  EXPECT_EQ(editor->recentFiles().entry(1)->path, b);
  EXPECT_EQ(settings::readText("MRU", "File0"), a);
  EXPECT_EQ(settings::readText("MRU", "File1"), b);
  EXPECT_EQ(settings::readText("MRU", "File2"), "");

  // The recent-file commands open entries by id; the placeholder opens the chooser.
  ASSERT_TRUE(run(kRecentFirst + 1));
  EXPECT_EQ(doc().path, b);
  ASSERT_TRUE(run(kRecentEmpty));
  EXPECT_EQ(ui().fileRequests.back().title, "Open Audio File");

  // A file deleted meanwhile is dropped when the list is loaded again.
  std::remove(b.c_str());
  RecentFiles reloaded;
  reloaded.load();
  ASSERT_EQ(reloaded.count(), 1u);
  EXPECT_EQ(reloaded.entry(0)->path, a);

  // Clearing asks first; No keeps the list.
  ui().queueAnswer(Answer::No);
  ASSERT_TRUE(run(kDeleteRecentList));
  EXPECT_EQ(editor->recentFiles().count(), 2u);
  ui().queueAnswer(Answer::Yes);
  ASSERT_TRUE(run(kDeleteRecentList));
  EXPECT_EQ(editor->recentFiles().count(), 0u);
  EXPECT_EQ(settings::readText("MRU", "File0"), "");
}

TEST_F(EditorTest, ObserversSeeTheWholeListOnEveryChange) {
  struct Menu : RecentFiles::Observer {
    std::vector<std::string> items;
    void begin() override { items = {"Empty"}; }
    void entry(const std::string& path) override {
      if (items == std::vector<std::string>{"Empty"}) items.clear();
      if (items.size() < RecentFiles::kMenuEntries) items.push_back(path);
    }
    void end() override {}
  } menu;
  RecentFiles& recent = editor->recentFiles();
  int64_t clock = 0;
  recent.now = [&] { return clock++; };
  ASSERT_TRUE(recent.addObserver(&menu));
  EXPECT_EQ(menu.items, std::vector<std::string>{"Empty"});
  std::vector<std::string> paths;
  for (int i = 0; i < 13; ++i) {
    paths.push_back(wavFile(std::string("f").append(std::to_string(i)).append(".wav"), 1));
    recent.add(paths.back());
  }
  ASSERT_EQ(menu.items.size(), 12u) << "thirteen files show twelve items";
  EXPECT_EQ(menu.items.front(), paths.back());
  EXPECT_EQ(settings::readText("MRU", "File12"), paths.front()) << "the thirteenth is kept";
  recent.add(env.path("missing.wav"));
  EXPECT_EQ(recent.count(), 13u) << "a file that does not exist is not added";
}

// Two runs adding files at once lose none of each other's files, and the stored list keeps the
// newest hundred.
TEST_F(EditorTest, RunsAtOnceKeepEachOthersFilesAndTheListStaysBounded) {
  std::vector<std::string> paths;
  for (int i = 0; i < 130; ++i) {
    paths.push_back(env.path("r" + std::to_string(i) + ".wav"));
    testing::writeBytes(paths.back(), {0});
  }
  std::atomic<int64_t> clock{1};
  auto adder = [&](size_t first) {
    RecentFiles recent;
    recent.now = [&] { return clock++; };
    recent.load();
    for (size_t i = first; i < 60; i += 2)
      recent.add(paths[i]);
  };
  std::thread one(adder, 0), two(adder, 1);
  one.join(), two.join();
  RecentFiles reloaded;
  reloaded.load();
  ASSERT_EQ(reloaded.count(), 60u) << "no run lost another's files";

  RecentFiles recent;
  recent.now = [&] { return clock++; };
  for (size_t i = 60; i < paths.size(); ++i)
    recent.add(paths[i]);
  EXPECT_EQ(recent.count(), RecentFiles::kMaxEntries);
  EXPECT_EQ(recent.entry(0)->path, paths.back());
  EXPECT_EQ(recent.entry(69)->path, paths[60]);
  EXPECT_NE(settings::readText("MRU", "File99"), "");
  EXPECT_EQ(settings::readText("MRU", "File100"), "") << "the list ends after the hundredth";
  EXPECT_EQ(settings::readText("MRU", "Time101"), "");
  reloaded.load();
  EXPECT_EQ(reloaded.count(), RecentFiles::kMaxEntries);
}

TEST_F(EditorTest, CommandsMarkTheWindowBusyWhileTheyRun) {
  ASSERT_TRUE(run(kNewFile));
  EXPECT_EQ(window.busyChanges, (std::vector<bool>{true, false}));
}

}  // namespace
}  // namespace quillon::testing
