// The file browser's model on a file system in memory: listing and filters, the history, New
// Folder, Rename, Delete and the accept rules, with the messages the user sees.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "browser/browser_controller.h"
#include "browser/file_browser.h"
#include "browser/memory_file_system.h"
#include "platform/scripted_interaction.h"

namespace quillon::browser {
namespace {

const std::vector<FileChooserRequest::FileType> kSaveTypes = {
    {"Wave (*.wav)", ".wav"},   {"Apple AIFF (*.aif, *.aiff)", ".aif;.aiff"},
    {"Sun AU (*.au)", ".au"},   {"GSM (*.gsm)", ".gsm"},
    {"All Files (*.*)", "*.*"},
};
const std::vector<FileChooserRequest::FileType> kOpenTypes = {
    {"Audio Files", "*.wav;*.mp3;*.aif;*.aiff"},
    {"Wave (*.wav)", "*.wav"},
    {"MPEG Layer-3 (*.mp3)", "*.mp3"},
    {"Apple AIFF (*.aif, *.aiff)", "*.aif;*.aiff"},
};

constexpr char kMusic[] = "/home/u/Music";

// Records what the controller tells its window.
struct RecordingView : BrowserView {
  int partialRows = 0;
  int finishedCalls = 0;
  std::vector<size_t> edited;
  std::vector<bool> busy;
  void rowsChanged(bool more) override { partialRows += more; }
  void selectionChanged() override {}
  void folderChanged() override {}
  void nameChanged() override {}
  void editRow(size_t row) override { edited.push_back(row); }
  void setBusy(bool on) override { busy.push_back(on); }
  void closeBrowser() override { ++finishedCalls; }
};

class BrowserTest : public ::testing::Test {
 protected:
  BrowserTest() {
    files.addFolder(std::string(kMusic) + "/Interviews");
    files.addFolder(std::string(kMusic) + "/albums");
    files.addFile(std::string(kMusic) + "/take1.wav", 999);
    files.addFile(std::string(kMusic) + "/take2.WAV", 1500);
    files.addFile(std::string(kMusic) + "/take10.wav", 2'500'000);
    files.addFile(std::string(kMusic) + "/song.mp3", 4'000'000'000);
    files.addFile(std::string(kMusic) + "/notes.txt", 10);
    files.addFile(std::string(kMusic) + "/.hidden.wav", 10);
    files.addLink(std::string(kMusic) + "/Latest", std::string(kMusic) + "/albums");
  }

  // A browser for the request, started, with the recording view.
  BrowserController& open(FileChooserRequest request) {
    if (request.folder.empty()) request.folder = kMusic;
    browser = std::make_unique<BrowserController>(files, answers, setupFor(request));
    browser->setView(&view);
    browser->start();
    return *browser;
  }
  BrowserController& openSave(std::string name = "", std::string extension = ".wav") {
    FileChooserRequest request;
    request.mode = FileChooserRequest::Mode::Save;
    request.proposedName = std::move(name);
    request.types = kSaveTypes;
    request.preferredExtension = std::move(extension);
    return open(request);
  }
  BrowserController& openOpen(std::string extension = ".wav") {
    FileChooserRequest request;
    request.types = kOpenTypes;
    request.preferredExtension = std::move(extension);
    return open(request);
  }

  std::vector<std::string> names() const {
    std::vector<std::string> out;
    for (const BrowserEntry& row : browser->rows())
      out.push_back(row.name);
    return out;
  }
  size_t rowOf(const std::string& name) const {
    const auto& rows = browser->rows();
    for (size_t row = 0; row < rows.size(); ++row) {
      if (rows[row].name == name) return row;
    }
    ADD_FAILURE() << name << " is not listed";
    return rows.size();
  }
  void selectNames(std::initializer_list<const char*> wanted) {
    std::vector<size_t> rows;
    for (const char* name : wanted)
      rows.push_back(rowOf(name));
    browser->select(rows);
  }
  std::vector<std::string> messages() const {
    std::vector<std::string> out;
    for (const auto& shown : answers.shown) {
      EXPECT_EQ(shown.caption, "Pocket Quillon");
      out.push_back(shown.text);
    }
    return out;
  }

  MemoryFileSystem files;
  ScriptedInteraction answers;
  RecordingView view;
  std::unique_ptr<BrowserController> browser;
};

TEST_F(BrowserTest, ListsParentFoldersThenFilesOfTheTypeInNaturalOrder) {
  struct Case {
    const char* extension;
    int batchSize;
    std::vector<std::string> rows;
  } cases[] = {
      {".wav", 0, {"..", "albums", "Interviews", "Latest", "take1.wav", "take2.WAV", "take10.wav"}},
      {".mp3", 2, {"..", "albums", "Interviews", "Latest", "song.mp3"}},
      // No preferred type: the first, "Audio Files".
      {"",
       3,
       {"..", "albums", "Interviews", "Latest", "song.mp3", "take1.wav", "take2.WAV",
        "take10.wav"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.extension);
    files.batchSize = size_t(c.batchSize);
    view.partialRows = 0;
    openOpen(c.extension);
    EXPECT_EQ(names(), c.rows);
    // A folder read in several batches shows its rows as they come.
    EXPECT_EQ(view.partialRows > 0, c.batchSize > 0);
  }
  EXPECT_FALSE(browser->rows()[0].real);
  EXPECT_TRUE(browser->rows()[rowOf("Latest")].opensAsFolder);
  EXPECT_EQ(browser->rows()[rowOf("Latest")].kind, BrowserEntry::Kind::Link);
  EXPECT_EQ(view.busy, (std::vector<bool>{true, false, true, false, true, false}));
}

TEST(SizeText, BytesThenWholeKiloMegaGiga) {
  struct Case {
    int64_t bytes;
    const char* text;
  } cases[] = {{0, "0 B"},         {999, "999 B"},         {1000, "1 K"},
               {1500, "2 K"},      {999'000, "999 K"},     {1'000'000, "1 M"},
               {2'500'001, "3 M"}, {1'000'000'000, "1 G"}, {4'000'000'000, "4 G"}};
  for (const Case& c : cases)
    EXPECT_EQ(sizeText(c.bytes), c.text) << c.bytes;
}

TEST_F(BrowserTest, InitialTypeFitsTheProposedNameThenThePreferredExtension) {
  struct Case {
    const char* name;
    const char* extension;
    const std::vector<FileChooserRequest::FileType>* types;
    int filter;
  } cases[] = {
      {"", ".wav", &kOpenTypes, 1},      // Wave has fewer patterns than Audio Files
      {"", "aiff", &kOpenTypes, 3},      // a stored extension has no dot
      {"", "", &kOpenTypes, 0},          // nothing preferred: the first
      {"", ".xyz", &kOpenTypes, 0},      // nothing fits: the first
      {"x.AU", ".wav", &kSaveTypes, 2},  // the name wins over the preferred extension
      {"Region000", ".gsm", &kSaveTypes, 3},
      {"notes.txt", ".wav", &kSaveTypes, 0},  // only All Files fits the name: the extension
  };
  for (const Case& c : cases) {
    FileChooserRequest request;
    request.proposedName = c.name;
    request.preferredExtension = c.extension;
    request.types = *c.types;
    EXPECT_EQ(setupFor(request).filter, c.filter) << c.name << " " << c.extension;
  }
}

TEST_F(BrowserTest, TypedNameTakesTheSelectedTypesExtension) {
  struct Case {
    const char* typed;
    int filter;
    const char* path;
  } cases[] = {
      {"take1", 0, "/home/u/Music/take1.wav"},
      {"Take 1.2", 0, "/home/u/Music/Take 1.2.wav"},  // not an extension of ours: added
      {"song.gsm", 0, "/home/u/Music/song.wav"},      // another type's extension: replaced
      {"song.mp3", 0, "/home/u/Music/song.mp3.wav"},  // not a type of this table: added
      {"x.AIFF", 1, "/home/u/Music/x.AIFF"},          // already one of the type's: kept
      {"take1.au", 1, "/home/u/Music/take1.aif"},
      {"readme", 4, "/home/u/Music/readme"},  // All Files adds nothing
      {"/tmp/abs", 0, "/tmp/abs.wav"},        // a full path stays one
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    openSave();
    browser->chooseFilter(c.filter);
    browser->typeName(c.typed);
    ASSERT_TRUE(browser->accept());
    EXPECT_EQ(chosenPath(*browser), c.path);
    // The name box shows the name as it was taken.
    const std::string path = c.path;
    const std::string prefix = std::string(kMusic) + "/";
    EXPECT_EQ(browser->name(), path.rfind(prefix, 0) == 0 ? path.substr(prefix.size()) : path);
  }
  EXPECT_TRUE(messages().empty());
}

TEST_F(BrowserTest, AcceptRulesOfOpenAndSave) {
  struct Case {
    const char* what;
    bool save;
    const char* typed;
    std::vector<const char*> selected;
    int extraOptions;
    std::vector<Answer> answers;
    const char* path;  // nothing: the browser stays open
    std::vector<std::string> messages;
  } cases[] = {
      {"open a file", false, "", {"take1.wav"}, 0, {}, "/home/u/Music/take1.wav", {}},
      {"open nothing", false, "", {}, 0, {}, nullptr, {"Please select a file"}},
      {"open a folder", false, "", {"albums"}, 0, {}, nullptr, {"Please select a file"}},
      {"open ..", false, "", {".."}, 0, {}, nullptr, {"Please select a file"}},
      {"folders allowed",
       false,
       "",
       {"albums"},
       kDirectoriesAllowed,
       {},
       "/home/u/Music/albums",
       {}},
      {"several",
       false,
       "",
       {"take2.WAV", "albums", "take1.wav"},
       0,
       {},
       "/home/u/Music/take1.wav",
       {}},
      {"save typed", true, "take1", {}, 0, {}, "/home/u/Music/take1.wav", {}},
      {"save blank", true, "  ", {}, 0, {}, nullptr, {"Please select a file"}},
      {"save selected", true, "", {"take10.wav"}, 0, {}, "/home/u/Music/take10.wav", {}},
      {"overwrite no",
       true,
       "take1",
       {},
       kAskOverwrite,
       {Answer::No},
       nullptr,
       {"Are you sure to overwrite file \"take1.wav\" ?"}},
      {"overwrite yes",
       true,
       "take1",
       {},
       kAskOverwrite,
       {Answer::Yes},
       "/home/u/Music/take1.wav",
       {"Are you sure to overwrite file \"take1.wav\" ?"}},
      {"new name, no question",
       true,
       "take3",
       {},
       kAskOverwrite,
       {},
       "/home/u/Music/take3.wav",
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    answers.shown.clear();
    answers.clearQueues();
    for (Answer answer : c.answers)
      answers.queueAnswer(answer);
    BrowserController& b = c.save ? openSave() : openOpen("");
    // Option 32 is not one the wrappers pass; the dialog still has it.
    if (c.extraOptions) {
      BrowserSetup setup = b.setup();
      setup.options |= c.extraOptions;
      browser = std::make_unique<BrowserController>(files, answers, setup);
      browser->start();
    }
    std::vector<size_t> rows;
    for (const char* name : c.selected)
      rows.push_back(rowOf(name));
    browser->select(rows);
    if (c.save) browser->typeName(c.typed);
    EXPECT_EQ(browser->accept(), c.path != nullptr);
    EXPECT_EQ(chosenPath(*browser), c.path ? std::optional<std::string>(c.path) : std::nullopt);
    EXPECT_EQ(messages(), c.messages);
  }
}

TEST_F(BrowserTest, OpeningAFileThatVanishedIsRefused) {
  openOpen();
  selectNames({"take1.wav"});
  files.erase("/home/u/Music/take1.wav");
  EXPECT_FALSE(browser->accept());
  EXPECT_EQ(messages(), std::vector<std::string>{"File \"take1.wav\" does not exist"});
  EXPECT_EQ(browser->outcome(), BrowserController::Outcome::Open);
}

TEST_F(BrowserTest, DoubleClickEntersFoldersAndAcceptsFilesIgnoringTheNameBox) {
  openSave("Region000");
  browser->activate(rowOf("Latest"));  // a link to a folder
  EXPECT_EQ(browser->folder(), "/home/u/Music/Latest");
  browser->activate(rowOf(".."));
  EXPECT_EQ(browser->folder(), kMusic);
  // Up selects the folder just left.
  ASSERT_EQ(browser->selection().size(), 1u);
  EXPECT_EQ(browser->rows()[browser->selection()[0]].name, "Latest");

  browser->typeName("typed");
  browser->activate(rowOf("take2.WAV"));
  EXPECT_EQ(chosenPath(*browser), "/home/u/Music/take2.WAV");
  EXPECT_EQ(view.finishedCalls, 1);
}

TEST_F(BrowserTest, SelectingOneFileInSaveModePutsItsNameInTheNameBox) {
  openSave("Region000");
  selectNames({"take1.wav"});
  EXPECT_EQ(browser->name(), "take1.wav");
  selectNames({"albums"});
  EXPECT_EQ(browser->name(), "take1.wav");
}

TEST_F(BrowserTest, GoingToFolders) {
  openOpen();
  EXPECT_FALSE(browser->goTo("/home/u/Nope/"));
  EXPECT_EQ(messages(), std::vector<std::string>{"Directory \"/home/u/Nope\" does not exist"});
  EXPECT_EQ(browser->folder(), kMusic);

  EXPECT_TRUE(browser->goTo("Interviews/"));
  EXPECT_EQ(browser->folder(), "/home/u/Music/Interviews");
  EXPECT_EQ(browser->folderChoices(), (std::vector<std::string>{"/home/u/Music/Interviews", kMusic,
                                                                "/home/u", "/home", "/"}));
  EXPECT_TRUE(browser->goTo("../../.."));
  EXPECT_EQ(browser->folder(), "/home");
  EXPECT_TRUE(browser->goTo("/"));
  EXPECT_EQ(names(), std::vector<std::string>{"home"});  // no ".." in the root
  EXPECT_FALSE(browser->canGoUp());
}

TEST_F(BrowserTest, StartsInTheCurrentFolderWhenTheGivenOneIsGone) {
  files.current = "/home/u";
  FileChooserRequest request;
  request.folder = "/home/u/Deleted";
  open(request);
  EXPECT_EQ(browser->folder(), "/home/u");
  EXPECT_TRUE(messages().empty());
}

TEST_F(BrowserTest, TheSeventeenthFolderDropsTheOldestFromTheHistory) {
  for (int i = 1; i <= 17; ++i)
    files.addFolder("/f/" + std::to_string(i));
  FileChooserRequest request;
  request.folder = "/f/1";
  open(request);
  for (int i = 2; i <= 17; ++i)
    browser->goTo("/f/" + std::to_string(i));

  std::vector<std::string> visited;
  while (browser->canGoBack()) {
    browser->back();
    visited.push_back(browser->folder());
  }
  ASSERT_EQ(visited.size(), 15u);
  EXPECT_EQ(visited.front(), "/f/16");
  EXPECT_EQ(visited.back(), "/f/2");  // "/f/1" is gone
  browser->back();
  EXPECT_EQ(browser->folder(), "/f/2");

  // Forward skips a folder that vanished; a new visit forgets what lay ahead.
  files.erase("/f/3");
  browser->forward();
  EXPECT_EQ(browser->folder(), "/f/4");
  browser->goTo("/f/10/..");
  EXPECT_EQ(browser->folder(), "/f");
  EXPECT_FALSE(browser->canGoForward());
  browser->back();
  EXPECT_EQ(browser->folder(), "/f/4");
  EXPECT_TRUE(messages().empty());
}

TEST(NewFolderName, FirstFreeOfSixteen) {
  struct Case {
    int taken;  // the plain name and the numbers 1 to taken-1
    const char* name;
  } cases[] = {
      {0, "New Folder"}, {1, "New Folder 1"}, {15, "New Folder 15"}, {16, "New Folder 15"}};
  for (const Case& c : cases) {
    std::vector<std::string> taken;
    for (int i = 0; i < c.taken; ++i)
      taken.push_back(i == 0 ? "New Folder" : "New Folder " + std::to_string(i));
    auto isTaken = [&](const std::string& name) {
      return std::find(taken.begin(), taken.end(), name) != taken.end();
    };
    EXPECT_EQ(newFolderName(isTaken), c.name) << c.taken;
  }
}

TEST_F(BrowserTest, NewFolderIsProposedEditedAndCreatedUnderTheNameTyped) {
  files.addFolder("/home/u/Music/New Folder");
  for (int i = 1; i <= 14; ++i)
    files.addFile("/home/u/Music/New Folder " + std::to_string(i) + ".wav");  // not taken
  files.addFile("/home/u/Music/New Folder 1");
  for (int i = 2; i <= 14; ++i)
    files.addFolder("/home/u/Music/New Folder " + std::to_string(i));
  files.failing.insert("/home/u/Music/Locked");

  struct Case {
    const char* typed;  // nullptr: the edit is cancelled
    bool created;
    std::vector<std::string> messages;
  } cases[] = {
      {"Session", true, {}},
      {"", false, {"Please enter a valid folder name."}},
      {"a/b", false, {"Please enter a valid folder name."}},
      {"Locked", false, {"Cannot create folder: Locked"}},
      {"albums", false, {"Cannot create folder: albums"}},
      {nullptr, false, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed ? c.typed : "cancelled");
    answers.shown.clear();
    openOpen();
    const size_t rowsBefore = browser->rows().size();
    view.edited.clear();
    browser->newFolder();
    ASSERT_EQ(view.edited, std::vector<size_t>{1});  // right below ".."
    EXPECT_EQ(browser->rows()[1].name, "New Folder 15");
    EXPECT_FALSE(files.exists("/home/u/Music/New Folder 15"));  // not before the commit
    if (c.typed) {
      browser->commitEdit(c.typed);
    } else {
      browser->cancelEdit();
    }
    EXPECT_EQ(messages(), c.messages);
    EXPECT_EQ(browser->rows().size(), rowsBefore + c.created);
    EXPECT_FALSE(browser->editedRow());
    if (c.created) {
      EXPECT_TRUE(files.directoryExists(std::string(kMusic) + "/" + c.typed));
      EXPECT_EQ(browser->rows()[1].path, std::string(kMusic) + "/" + c.typed);
    }
  }
}

TEST_F(BrowserTest, RenameMovesWithinTheFolderAndNeverReplaces) {
  struct Case {
    const char* entry;
    const char* typed;
    const char* renamedTo;  // nothing: unchanged
    std::vector<std::string> messages;
  } cases[] = {
      {"take1.wav", "first.wav", "first.wav", {}},
      {"take1.wav", "Take1.wav", "Take1.wav", {}},  // names differ in case on this system
      {"take1.wav", "take1.wav", nullptr, {}},
      {"take1.wav", "take10.wav", nullptr, {"Cannot rename file: take1.wav"}},
      {"albums", "", nullptr, {"Please enter a valid folder name."}},
      {"albums", "..", nullptr, {"Please enter a valid folder name."}},
      {"albums", "Albums", "Albums", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.entry) + " -> " + c.typed);
    files = MemoryFileSystem();
    files.addFolder("/home/u/Music/albums/inner");
    files.addFile("/home/u/Music/take1.wav", 999);
    files.addFile("/home/u/Music/take10.wav", 5);
    answers.shown.clear();
    openOpen();
    selectNames({c.entry});
    view.edited.clear();
    browser->rename();
    ASSERT_EQ(view.edited.size(), 1u);
    browser->commitEdit(c.typed);
    EXPECT_EQ(messages(), c.messages);
    const std::string old = std::string(kMusic) + "/" + c.entry;
    if (c.renamedTo) {
      const std::string now = std::string(kMusic) + "/" + c.renamedTo;
      EXPECT_FALSE(files.exists(old));
      EXPECT_TRUE(files.exists(now));
      EXPECT_EQ(browser->rows()[rowOf(c.renamedTo)].path, now);
    } else {
      EXPECT_TRUE(files.exists(old));
      EXPECT_EQ(files.sizeOf(std::string(kMusic) + "/take10.wav"), 5);  // not replaced
    }
  }
  // ".." cannot be renamed.
  browser->select({0});
  EXPECT_FALSE(browser->canRename());
  view.edited.clear();
  browser->rename();
  EXPECT_TRUE(view.edited.empty());
}

TEST_F(BrowserTest, DeleteAsksThenRemovesWhatItCanAndReportsTheRest) {
  files.addFile("/home/u/Music/albums/a.wav", 1);
  files.failing.insert("/home/u/Music/take2.WAV");
  struct Case {
    std::vector<const char*> selected;
    Answer answer;
    std::vector<std::string> gone;
    std::vector<std::string> messages;
  } cases[] = {
      {{"albums"},
       Answer::No,
       {},
       {"Are you sure you want to delete selected directory:\n\"albums\" ?"}},
      {{"take1.wav", ".."},
       Answer::Yes,
       {"take1.wav"},
       {"Are you sure you want to delete selected file:\n\"take1.wav\" ?"}},
      {{"Latest", "albums", "take2.WAV", "take10.wav"},
       Answer::Yes,
       {"Latest", "albums", "take10.wav"},
       {"Are you sure you want to delete the selected files or directories ?",
        "Could not delete file:\n\"take2.WAV\""}},
  };
  for (const Case& c : cases) {
    answers.shown.clear();
    answers.queueAnswer(c.answer);
    openOpen();
    std::vector<size_t> rows;
    for (const char* name : c.selected)
      rows.push_back(rowOf(name));
    browser->select(rows);
    const std::vector<std::string> before = names();
    browser->deleteSelected();
    EXPECT_EQ(messages(), c.messages);
    std::vector<std::string> expected;
    for (const std::string& name : before) {
      if (std::find(c.gone.begin(), c.gone.end(), name) == c.gone.end()) expected.push_back(name);
    }
    EXPECT_EQ(names(), expected);
    for (const std::string& name : c.gone)
      EXPECT_FALSE(files.exists(std::string(kMusic) + "/" + name)) << name;
  }
  EXPECT_TRUE(files.exists("/home/u/Music/take2.WAV"));
}

TEST_F(BrowserTest, RefreshKeepsTheSelectionAndShowsChangesMadeOutside) {
  openOpen();
  selectNames({"take10.wav", "albums"});
  files.addFile("/home/u/Music/take3.wav", 1);
  files.erase("/home/u/Music/albums");
  browser->refresh();
  // "Latest" now points nowhere: a link that is no folder and no ".wav" is not listed.
  EXPECT_EQ(names(), (std::vector<std::string>{"..", "Interviews", "take1.wav", "take2.WAV",
                                               "take3.wav", "take10.wav"}));
  ASSERT_EQ(browser->selection().size(), 1u);
  EXPECT_EQ(browser->rows()[browser->selection()[0]].name, "take10.wav");
}

TEST_F(BrowserTest, StartFolderIsTheDocumentsThenTheLastUsedThenMusic) {
  struct Case {
    const char* document;
    const char* last;
    const char* folder;
  } cases[] = {
      {"/home/u/Music/albums/x.wav", "/home/u", "/home/u/Music/albums"},
      {"Untitled.wav", "/home/u", "/home/u"},
      {"/gone/x.wav", "/gone", kMusic},
      {"", "", kMusic},
  };
  for (const Case& c : cases)
    EXPECT_EQ(startFolder(files, c.document, c.last, kMusic), c.folder) << c.document;
  EXPECT_EQ(startFolder(files, "", "", "/nowhere"), "");
}

}  // namespace
}  // namespace quillon::browser
