// One run of the browser on real folders: listing without opening files, links, New Folder,
// Rename that never replaces, Delete of a folder tree that never follows links, and Save.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include "browser/browser_controller.h"
#include "browser/file_browser.h"
#include "browser/posix_file_system.h"
#include "platform/file.h"
#include "platform/scripted_interaction.h"
#include "platform/xdg_dirs.h"
#include "support/temp_environment.h"

namespace quillon::browser {
namespace {

void writeBytes(const std::string& path, size_t bytes) {
  std::ofstream(path, std::ios::binary) << std::string(bytes, 'x');
}

struct CountingView : BrowserView {
  int partialRows = 0;
  void rowsChanged(bool more) override { partialRows += more; }
  void selectionChanged() override {}
  void folderChanged() override {}
  void nameChanged() override {}
  void editRow(size_t) override {}
  void setBusy(bool) override {}
  void closeBrowser() override {}
};

TEST(PosixFileSystem, BrowsesARealFolder) {
  testing::TempEnvironment env;
  const std::string music = env.path("Music");
  const std::string outside = env.path("keep.wav");
  ASSERT_TRUE(platform::makeFolders(music + "/Sessions/Day 1"));
  writeBytes(music + "/take1.wav", 999);
  writeBytes(music + "/take2.wav", 1500);
  writeBytes(music + "/notes.txt", 3);
  writeBytes(music + "/.hidden.wav", 3);
  writeBytes(music + "/Sessions/Day 1/a.wav", 3);
  writeBytes(outside, 7);
  ASSERT_EQ(::symlink(outside.c_str(), (music + "/Sessions/Day 1/keep.wav").c_str()), 0);
  ASSERT_EQ(::symlink((music + "/Sessions").c_str(), (music + "/ToSessions").c_str()), 0);
  ASSERT_EQ(::symlink((music + "/gone.wav").c_str(), (music + "/Broken.wav").c_str()), 0);
  // Sizes come from the folder, not from opening the files.
  ASSERT_EQ(::chmod((music + "/take2.wav").c_str(), 0), 0);

  PosixFileSystem files;
  files.batchIntervalMs = 0;  // every 64 entries a batch, when there are that many
  ScriptedInteraction answers;
  CountingView view;
  FileChooserRequest request;
  request.mode = FileChooserRequest::Mode::Save;
  request.folder = music + "/";
  request.types = {{"Wave (*.wav)", ".wav"}, {"All Files (*.*)", "*.*"}};
  request.preferredExtension = ".wav";
  BrowserController browser(files, answers, setupFor(request));
  browser.setView(&view);
  browser.start();

  auto names = [&] {
    std::vector<std::string> out;
    for (const BrowserEntry& row : browser.rows())
      out.push_back(row.name);
    return out;
  };
  auto rowOf = [&](const std::string& name) {
    for (size_t row = 0; row < browser.rows().size(); ++row) {
      if (browser.rows()[row].name == name) return row;
    }
    ADD_FAILURE() << name << " is not listed";
    return size_t(0);
  };
  EXPECT_EQ(browser.folder(), music);
  EXPECT_EQ(names(), (std::vector<std::string>{"..", "Sessions", "ToSessions", "Broken.wav",
                                               "take1.wav", "take2.wav"}));
  const auto& rows = browser.rows();
  EXPECT_EQ(sizeText(rows[rowOf("take1.wav")].size), "999 B");
  EXPECT_EQ(sizeText(rows[rowOf("take2.wav")].size), "2 K");
  EXPECT_EQ(rows[rowOf("ToSessions")].kind, BrowserEntry::Kind::Link);
  EXPECT_TRUE(rows[rowOf("ToSessions")].opensAsFolder);
  EXPECT_EQ(rows[rowOf("Broken.wav")].kind, BrowserEntry::Kind::Link);
  EXPECT_EQ(rows[rowOf("Sessions")].size, 0);

  // A big folder arrives in batches and lists the same.
  for (int i = 0; i < 300; ++i)
    writeBytes(music + "/Sessions/Day 1/t" + std::to_string(i) + ".wav", 1);
  ASSERT_TRUE(browser.goTo("ToSessions/Day 1"));
  EXPECT_EQ(browser.rows().size(), 1u + 300 + 2);
  EXPECT_GT(view.partialRows, 0);
  EXPECT_EQ(browser.rows()[3].name, "t0.wav");
  EXPECT_EQ(browser.rows()[4].name, "t1.wav");
  EXPECT_EQ(browser.rows()[5].name, "t2.wav");
  browser.back();
  EXPECT_EQ(browser.folder(), music);

  // New Folder, committed under another name.
  browser.newFolder();
  browser.commitEdit("Takes");
  EXPECT_TRUE(platform::folderExists(music + "/Takes"));

  // Rename never replaces the file of the new name.
  browser.select({rowOf("take1.wav")});
  browser.rename();
  browser.commitEdit("take2.wav");
  ASSERT_EQ(answers.shown.size(), 1u);
  EXPECT_EQ(answers.shown[0].text, "Cannot rename file: take1.wav");
  struct stat info;
  ASSERT_EQ(::stat((music + "/take2.wav").c_str(), &info), 0);
  EXPECT_EQ(info.st_size, 1500);
  browser.rename();
  browser.commitEdit("first.wav");
  EXPECT_TRUE(platform::fileExists(music + "/first.wav"));
  EXPECT_FALSE(platform::fileExists(music + "/take1.wav"));

  // Deleting the link removes the link; deleting the folder removes its tree but not what a
  // link inside it points to.
  answers.queueAnswer(Answer::Yes);
  browser.select({rowOf("ToSessions")});
  browser.deleteSelected();
  EXPECT_TRUE(platform::folderExists(music + "/Sessions"));
  EXPECT_NE(::access((music + "/ToSessions").c_str(), F_OK), 0);
  answers.queueAnswer(Answer::Yes);
  browser.select({rowOf("Sessions"), rowOf("Broken.wav")});
  browser.deleteSelected();
  EXPECT_FALSE(platform::folderExists(music + "/Sessions"));
  struct stat link;
  EXPECT_NE(::lstat((music + "/Broken.wav").c_str(), &link), 0);
  EXPECT_TRUE(platform::fileExists(outside));
  EXPECT_EQ(answers.shown.size(), 3u);

  // Save under a typed name.
  browser.typeName("take3");
  ASSERT_TRUE(browser.accept());
  EXPECT_EQ(chosenPath(browser), music + "/take3.wav");
}

TEST(PosixFileSystem, AnUnreadableFolderListsEmpty) {
  testing::TempEnvironment env;
  const std::string locked = env.path("locked");
  ASSERT_TRUE(platform::makeFolders(locked));
  writeBytes(locked + "/a.wav", 1);
  ASSERT_EQ(::chmod(locked.c_str(), 0), 0);
  PosixFileSystem files;
  std::vector<BrowserEntry> listed = files.listAll(locked);
  if (::geteuid() != 0) {
    EXPECT_TRUE(listed.empty());
  }
  EXPECT_TRUE(files.listAll(env.path("missing")).empty());
  ::chmod(locked.c_str(), 0700);
}

}  // namespace
}  // namespace quillon::browser
