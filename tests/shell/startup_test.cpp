// Start-up without windows: the hand-over record, the working folder and storage cards, the
// block folders of dead and living processes, the greeting, opening the argument, and exit.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>

#include "document/block_store.h"
#include "formats/wav.h"
#include "platform/settings.h"
#include "shell/cli_session.h"
#include "shell/handover_record.h"
#include "shell/shell_messages.h"
#include "shell/startup_guard.h"
#include "shell/startup_sequence.h"
#include "shell_fixture.h"
#include "support/peer_tools.h"

namespace quillon::testing {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> numbered(int count) {
  std::vector<std::string> arguments;
  for (int i = 0; i < count; ++i)
    arguments.push_back("arg" + std::to_string(i));
  return arguments;
}

TEST(HandoverRecord, CarriesAtMost128ArgumentsOfAtMost259Units) {
  const std::string emoji = "\xF0\x9F\x98\x80";  // two UTF-16 units
  struct Case {
    const char* what;
    std::vector<std::string> arguments;
    std::vector<std::string> expected;
  };
  const std::vector<Case> cases = {
      {"a start without arguments", {"quillon"}, {"quillon"}},
      {"a file", {"quillon", "/music/take1.wav"}, {"quillon", "/music/take1.wav"}},
      {"not ASCII", {"q", "/Grüße/声.wav"}, {"q", "/Grüße/声.wav"}},
      {"130 arguments", numbered(130), numbered(128)},
      {"300 characters", {"q", std::string(300, 'x')}, {"q", std::string(259, 'x')}},
      {"a pair across the cut", {"q", std::string(258, 'x') + emoji}, {"q", std::string(258, 'x')}},
      {"a pair just inside",
       {"q", std::string(257, 'x') + emoji},
       {"q", std::string(257, 'x') + emoji}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::vector<uint8_t> record = encodeHandover(c.arguments);
    ASSERT_EQ(record.size(), 66564u);
    const auto decoded = decodeHandover(record);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(*decoded, c.expected);
  }

  // The layout, worked by hand: count 2 little-endian, slot 1 at 4 + 520 in UTF-16LE with its
  // terminator, the rest zero.
  const std::vector<uint8_t> record = encodeHandover({"q", "AB"});
  EXPECT_EQ(std::vector<uint8_t>(record.begin(), record.begin() + 6),
            (std::vector<uint8_t>{2, 0, 0, 0, 'q', 0}));
  EXPECT_EQ(std::vector<uint8_t>(record.begin() + 524, record.begin() + 530),
            (std::vector<uint8_t>{'A', 0, 'B', 0, 0, 0}));
  EXPECT_EQ(std::count(record.begin() + 1044, record.end(), 0), 66564 - 1044);
}

TEST(HandoverRecord, OnlyExactlySizedRecordsWithASaneCountAreTaken) {
  const std::vector<uint8_t> good = encodeHandover({"quillon", "/a.wav"});
  auto withCount = [&](uint32_t count) {
    std::vector<uint8_t> record = good;
    for (int i = 0; i < 4; ++i)
      record[size_t(i)] = uint8_t(count >> (8 * i));
    return record;
  };
  std::vector<uint8_t> longer = good, shorter = good;
  longer.push_back(0);
  shorter.pop_back();
  struct Case {
    const char* what;
    std::vector<uint8_t> record;
  };
  for (const Case& c : std::vector<Case>{{"one byte short", shorter},
                                         {"one byte long", longer},
                                         {"empty", {}},
                                         {"count -1", withCount(0xFFFFFFFFu)},
                                         {"count 129", withCount(129)},
                                         {"count 2^31-1", withCount(0x7FFFFFFFu)}}) {
    EXPECT_FALSE(decodeHandover(c.record)) << c.what;
  }
  EXPECT_EQ(decodeHandover(withCount(0)), std::vector<std::string>{});

  // A slot without a terminator is read to its 259 units, never into the next slot.
  std::vector<uint8_t> unterminated = withCount(2);
  for (size_t i = 4 + 520; i < 4 + 3 * 520; i += 2)
    unterminated[i] = 'z', unterminated[i + 1] = 0;
  EXPECT_EQ(decodeHandover(unterminated)->at(1), std::string(259, 'z'));
}

// A private world with fake mount roots whose free space the test decides.
class StartupTest : public ShellTest {
 protected:
  StartupTest() {
    search.mountRoots = {env.path("media/user"), env.path("run/media/user")};
    search.mountPointsOnly = false;
    search.freeSpace = [this](const std::string& folder) -> std::optional<uint64_t> {
      for (const auto& [prefix, megabytes] : freeMegabytes) {
        if (folder.rfind(prefix, 0) == 0) return megabytes;
      }
      return std::nullopt;
    };
  }

  // A card mounted as `root`/`name` with that much free space.
  std::string mountCard(const std::string& root, const std::string& name, uint64_t bytes) {
    const std::string mount = env.path(root + "/" + name);
    fs::create_directories(mount);
    freeMegabytes[mount] = bytes;
    return mount;
  }
  void setMainStorage(uint64_t bytes) { freeMegabytes[env.path("cache")] = bytes; }

  std::string wavFile(const std::string& name) {
    const std::string path = env.path(name);
    EXPECT_TRUE(writeAll(CreatePcmWavSink(path, 8000, 1, 2), std::vector<Sample>(800, 1600)));
    return path;
  }

  static void touch(const std::string& path) { std::ofstream(path) << "x"; }

  static constexpr uint64_t kMB = 1 << 20;
  StorageCardSearch search;
  std::map<std::string, uint64_t> freeMegabytes;  // bytes by folder prefix
};

TEST_F(StartupTest, TheWorkingFolderIsACardOnlyWhenItHasMoreRoomToTheMegabyte) {
  const std::string cache = env.path("cache/quillon");
  struct Card {
    const char* root;
    const char* name;
    uint64_t bytes;
    bool blocked;  // its "Quillon" is a file: the probe cannot make the folder
  };
  struct Case {
    const char* what;
    std::vector<Card> cards;
    bool useDefault;
    const char* workingFolder;  // the "WorkingFolder" setting, under the test's root
    std::string expected;       // the working folder, under the test's root
    bool watched;               // a card is watched
  };
  const uint64_t main = 2000 * kMB;
  const std::vector<Case> cases = {
      {"no card", {}, true, "", "cache/quillon", false},
      {"more room",
       {{"media/user", "SD", main + kMB, false}},
       true,
       "",
       "media/user/SD/Quillon",
       true},
      {"equal to the megabyte",
       {{"media/user", "SD", main + kMB - 1, false}},
       true,
       "",
       "cache/quillon",
       false},
      {"less room", {{"media/user", "SD", main - kMB, false}}, true, "", "cache/quillon", false},
      {"the first card fails the probe",
       {{"media/user", "A", 9000 * kMB, true}, {"media/user", "B", main + kMB, false}},
       true,
       "",
       "media/user/B/Quillon",
       true},
      {"the second root",
       {{"run/media/user", "USB", main * 2, false}},
       true,
       "",
       "run/media/user/USB/Quillon",
       true},
      {"an explicit folder that does not exist yet",
       {{"media/user", "SD", main * 2, false}},
       false,
       "work/blocks",
       "work/blocks",
       false},
      {"an explicit folder that cannot be made", {}, false, "file/blocks", "cache/quillon", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(env.path("media"));
    fs::remove_all(env.path("run"));
    freeMegabytes.clear();
    setMainStorage(main);
    touch(env.path("file"));
    for (const Card& card : c.cards) {
      const std::string mount = mountCard(card.root, card.name, card.bytes);
      if (card.blocked) touch(mount + "/Quillon");
    }
    settings::kUseDefaultWorkingDir.write(c.useDefault);
    if (*c.workingFolder) settings::kWorkingFolder.write(env.path(c.workingFolder));

    StartupSequence startup({"quillon"}, search);
    ASSERT_TRUE(startup.prepareWorkingFolder());
    EXPECT_EQ(startup.workingFolder(), env.path(c.expected));
    EXPECT_EQ(BlockStore::instance().folder(), env.path(c.expected));
    EXPECT_TRUE(fs::is_directory(env.path(c.expected)));
    EXPECT_EQ(startup.cardMonitor().cardFolder(), c.watched ? env.path(c.expected) : "");
    for (const Card& card : c.cards) {
      EXPECT_FALSE(
          fs::exists(env.path(std::string(card.root) + "/" + card.name + "/Quillon/qltemp.tmp")));
    }
    startup.finishExit();
  }
  BlockStore::instance().setFolder(env.workingFolder());
}

TEST_F(StartupTest, OnlyThreeDisagreeingPollsChangeTheKnownState) {
  setMainStorage(1000 * kMB);
  const std::string card = mountCard("media/user", "SD", 2000 * kMB) + "/Quillon";
  struct Case {
    const char* what;
    const char* present;  // the card at each poll: P there, A away
    const char* notices;  // n: the poll answers a change
    bool enabled;
  };
  const std::vector<Case> cases = {
      {"pulled and put back within two polls", "AAPPPP", "......", true},
      {"pulled for good", "AAAAAA", "..n...", true},
      {"an agreeing poll does not reset the count", "APAAPP", "...n..", true},
      {"pulled and put back", "AAAPPP", "..n..n", true},
      {"disabled", "AAAAAA", "......", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::create_directories(card);
    StorageCardMonitor monitor(search);
    ASSERT_EQ(monitor.cardFolder(), card);
    ASSERT_TRUE(monitor.lastKnownPresent());
    monitor.enable(c.enabled);
    std::string notices;
    for (const char* p = c.present; *p; ++p) {
      if ((*p == 'P') != fs::exists(card)) {
        fs::rename(*p == 'P' ? card + ".away" : card, *p == 'P' ? card : card + ".away");
      }
      notices += monitor.poll() ? 'n' : '.';
    }
    EXPECT_EQ(notices, c.notices);
    fs::remove_all(card + ".away");
  }
}

// Answers questions from the script, doing something to the world at each one.
class ActingInteraction : public ScriptedInteraction {
 public:
  Answer messageBox(const std::string& caption, const std::string& text, MessageIcon icon,
                    MessageButtons buttons) override {
    if (!actions.empty()) {
      actions.front()();
      actions.erase(actions.begin());
    }
    return ScriptedInteraction::messageBox(caption, text, icon, buttons);
  }
  std::vector<std::function<void()>> actions;
};

TEST_F(StartupTest, ARemovedCardIsAskedBackAndTheEditorQuitsWithoutIt) {
  setMainStorage(1000 * kMB);
  const std::string card = mountCard("media/user", "SD", 2000 * kMB) + "/Quillon";
  auto pull = [&] { fs::rename(card, card + ".away"); };
  auto putBack = [&] { fs::rename(card + ".away", card); };
  struct Case {
    const char* what;
    bool pulled;
    bool playing;
    std::vector<Answer> answers;
    bool putBackAtAnswer;  // the user puts the card back at the last question
    std::string events;    // s stop, f front, q quit, r resume
  };
  const std::vector<Case> cases = {
      {"the card is back already", false, true, {}, false, ""},
      {"No quits", true, true, {Answer::No}, false, "sfq"},
      {"Yes without the card asks again", true, false, {Answer::Yes, Answer::No}, false, "ffq"},
      {"Yes with the card resumes", true, true, {Answer::Yes, Answer::Yes}, true, "sffr"},
      {"nothing to resume", true, false, {Answer::Yes}, true, "f"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::create_directories(card);
    StorageCardMonitor monitor(search);
    if (c.pulled) pull();
    ActingInteraction ui;
    for (Answer answer : c.answers)
      ui.queueAnswer(answer);
    if (c.putBackAtAnswer) {
      ui.actions.resize(c.answers.size() - 1, [] {});
      ui.actions.push_back(putBack);
    }
    bool playing = c.playing;
    std::string events;
    CardNoticeHooks hooks;
    hooks.isPlaying = [&] { return playing; };
    hooks.stopPlayback = [&] { playing = false, events += 's'; };
    hooks.bringToFront = [&] { events += 'f'; };
    hooks.resumePlayback = [&] { events += 'r'; };
    hooks.quit = [&] { events += 'q'; };
    handleStorageCardNotice(monitor, ui, hooks);
    EXPECT_EQ(events, c.events);
    ASSERT_EQ(ui.shown.size(), c.answers.size());
    for (const auto& shown : ui.shown) {
      EXPECT_EQ(shown.caption, "Pocket Quillon");
      EXPECT_EQ(shown.text,
                "Storage card has been removed, please insert it back.Storage card contains "
                "important intermediate files required by Pocket Quillon.\nPress \"Yes\" if "
                "storage card has been inserted.\nPress \"No\" to exit Pocket Quillon.");
      EXPECT_EQ(shown.icon, MessageIcon::Question);
      EXPECT_EQ(shown.buttons, MessageButtons::YesNo);
    }
    fs::remove_all(card + ".away");
  }
}

TEST_F(StartupTest, BlockFilesOfDeadProcessesGoAndLivingOnesKeepTheirs) {
  const std::string cache = env.path("cache/quillon");
  auto blockFolder = [&](const std::string& name, bool withLock) {
    const std::string folder = name.empty() ? cache : cache + "/" + name;
    fs::create_directories(folder);
    touch(folder + "/0.aud");
    touch(folder + "/0.grf");
    if (withLock) touch(folder + "/blocks.lock");
    return folder;
  };
  // Left by processes that died: their locks are files nobody holds.
  blockFolder("", true);
  const std::string deadEditor = blockFolder("editor-99999", true);
  const std::string deadRun = blockFolder("cli-99998", true);
  // Not ours: no lock file.
  const std::string foreign = blockFolder("keep", false);
  // A command-line run that works now.
  BlockFolderClaim living;
  ASSERT_TRUE(living.claim(cache + "/cli-424242"));
  touch(living.folder() + "/0.aud");

  {
    StartupSequence startup({"quillon"}, search);
    ASSERT_TRUE(startup.prepareWorkingFolder());
    EXPECT_EQ(startup.workingFolder(), cache);
    EXPECT_FALSE(fs::exists(cache + "/0.aud"));
    EXPECT_FALSE(fs::exists(cache + "/0.grf"));
    EXPECT_FALSE(fs::exists(deadEditor));
    EXPECT_FALSE(fs::exists(deadRun));
    EXPECT_TRUE(fs::exists(foreign + "/0.aud"));
    EXPECT_TRUE(fs::exists(living.folder() + "/0.aud"));

    // A second editor (another session) finds the folder taken and works in one of its own.
    touch(cache + "/0.aud");
    StartupSequence second({"quillon"}, search);
    ASSERT_TRUE(second.prepareWorkingFolder());
    EXPECT_EQ(second.workingFolder(), cache + "/editor-" + std::to_string(::getpid()));
    EXPECT_TRUE(fs::exists(cache + "/0.aud")) << "the first editor's blocks";
    touch(second.workingFolder() + "/0.aud");
    second.finishExit();
    EXPECT_FALSE(fs::exists(cache + "/editor-" + std::to_string(::getpid())));
    EXPECT_TRUE(fs::exists(cache + "/0.aud"));

    // A quillon-cli run beside the editor uses a folder of its own and removes it.
    std::ostringstream out, err;
    EXPECT_EQ(runCli({"-q", "new", "8000", "1", "insert-silence-end", "100", "info"}, out, err), 0)
        << err.str();
    EXPECT_NE(out.str().find("\"length\": 800"), std::string::npos) << out.str();
    EXPECT_TRUE(fs::exists(cache + "/0.aud"));
    EXPECT_TRUE(fs::exists(living.folder() + "/0.aud"));
    BlockStore::instance().setFolder(cache);

    startup.finishExit();
    EXPECT_FALSE(fs::exists(cache + "/0.aud"));
    EXPECT_FALSE(fs::exists(cache + "/blocks.lock"));
  }
  size_t folders = 0;
  for (const auto& entry : fs::directory_iterator(cache))
    folders += entry.is_directory();
  EXPECT_EQ(folders, 2u) << "the living run's folder and the foreign one";
}

// A runtime folder that another user made first (open to everyone, theirs, or a link to a folder
// of theirs) is never used: the start-up guard is not taken there and nothing is made in it.
TEST_F(StartupTest, TheGuardIsNeverTakenInARuntimeFolderThatIsNotPrivate) {
  const std::string folder = env.path("runtime/quillon");
  const std::string theirs = env.path("theirs");
  struct Case {
    const char* name;
    std::function<void()> setUp;
  };
  const Case cases[] = {
      {"open to everyone",
       [&] {
         fs::create_directories(folder);
         fs::permissions(folder, fs::perms::all);
       }},
      {"a link to their folder",
       [&] {
         fs::create_directories(theirs);
         fs::permissions(theirs, fs::perms::owner_all);
         fs::create_directory_symlink(theirs, folder);
       }},
      {"another user's",
       [&] {
         fs::create_directories(folder);
         fs::permissions(folder, fs::perms::owner_all);
         if (::geteuid() == 0) {
           EXPECT_EQ(::chown(folder.c_str(), 65534, 65534), 0);
         }
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(folder);
    fs::remove_all(theirs);
    c.setUp();
    if (std::string(c.name) == "another user's" && ::geteuid() != 0) continue;
    StartupGuard guard;
    EXPECT_FALSE(guard.take(0));
    EXPECT_FALSE(guard.held());
    EXPECT_FALSE(fs::exists(folder + "/" + StartupGuard::kLockName));
    EXPECT_FALSE(fs::exists(theirs + "/" + StartupGuard::kLockName));
    EXPECT_NE(guard.refusal().find(folder), std::string::npos) << guard.refusal();
  }
  // A private folder is used.
  fs::remove_all(folder);
  StartupGuard guard;
  EXPECT_TRUE(guard.take(0));
  EXPECT_EQ(guard.refusal(), "");
}

TEST_F(StartupTest, TheFirstStartGreetsOnceAndTellsWhereFilesAreKept) {
  struct Case {
    std::vector<std::string> arguments;
    bool newInstall;
    bool greets;
  };
  for (const Case& c : std::vector<Case>{{{"quillon"}, true, true},
                                         {{"quillon", "/a.wav"}, true, false},
                                         {{"quillon"}, false, false}}) {
    settings::kNewInstall.write(c.newInstall);
    EXPECT_EQ(takeFirstStartGreeting(c.arguments), c.greets);
    EXPECT_EQ(settings::kNewInstall.read(), c.newInstall && !c.greets);
    if (c.greets) {
      EXPECT_FALSE(takeFirstStartGreeting(c.arguments)) << "later starts";
    }
  }

  struct Greeting {
    Answer answer;
    const char* cardFolder;
    const char* storageText;
  };
  for (const Greeting& g : std::vector<Greeting>{
           {Answer::Yes, "",
            "Free space on the main storage memory is very low. Please insert a storage card "
            "with a large space to keep intermediate files."},
           {Answer::No, "/media/user/SD/Quillon",
            "Storage card is in use to keep intermediate files.\nPlease do not remove storage "
            "card while Pocket Quillon is up and running.\n"}}) {
    ScriptedInteraction ui;
    ui.queueAnswer(g.answer);
    EXPECT_EQ(welcomeSequence(ui, g.cardFolder), g.answer == Answer::Yes);
    ASSERT_EQ(ui.shown.size(), 2u);
    EXPECT_EQ(ui.shown[0].caption, "Welcome");
    EXPECT_EQ(ui.shown[0].text,
              "Welcome to Pocket Quillon.\r\n\r\nWould you like to read the tutorial now ?");
    EXPECT_EQ(ui.shown[0].icon, MessageIcon::Question);
    EXPECT_EQ(ui.shown[0].buttons, MessageButtons::YesNo);
    EXPECT_EQ(ui.shown[1].caption, "Pocket Quillon");
    EXPECT_EQ(ui.shown[1].text, g.storageText);
    EXPECT_EQ(ui.shown[1].icon, MessageIcon::Information);
    EXPECT_EQ(ui.shown[1].buttons, MessageButtons::Ok);
  }
}

TEST_F(StartupTest, ArgumentOneOpensAndExitAsksToSaveThenLeavesNoBlocks) {
  StartupSequence startup({"quillon"}, search);
  ASSERT_TRUE(startup.prepareWorkingFolder());
  const std::string wav = wavFile("take1.wav");
  struct Case {
    std::vector<std::string> arguments;
    bool opens;
  };
  for (const Case& c : std::vector<Case>{{{"quillon"}, false},
                                         {{"quillon", env.path("missing.wav")}, false},
                                         {{"quillon", env.path("cache")}, false},
                                         {{"quillon", wav, "/ignored.wav"}, true}}) {
    window.shownStates = {};
    EXPECT_EQ(openFiles(*editor, c.arguments), c.opens);
    EXPECT_EQ(editor->hasDocument(), c.opens);
    EXPECT_EQ(!window.shownStates.enabled.empty(), c.opens) << "command states refreshed";
  }
  EXPECT_EQ(window.caption, "take1.wav");

  ASSERT_TRUE(run(command::kSelectAll));
  ASSERT_TRUE(run(command::kCut));
  ASSERT_EQ(countFiles(startup.workingFolder(), ".aud"), 1);

  window.ui.queueAnswer(Answer::Cancel);
  EXPECT_FALSE(closeForExit(*editor)) << "Cancel keeps the window";
  EXPECT_EQ(window.ui.shown.back().text, "Save changes to \"take1.wav\"?");
  EXPECT_TRUE(editor->hasDocument());
  window.ui.queueAnswer(Answer::No);
  EXPECT_TRUE(closeForExit(*editor));
  EXPECT_FALSE(editor->hasDocument());

  editor.reset();
  startup.finishExit();
  EXPECT_EQ(clipboard().length(), 0);
  EXPECT_EQ(countFiles(env.workingFolder(), ".aud"), 0);
  EXPECT_EQ(countFiles(env.workingFolder(), ".grf"), 0);
  BlockFolderClaim next;
  EXPECT_TRUE(next.claim(env.workingFolder())) << "the folder is free for the next start";
}

}  // namespace
}  // namespace quillon::testing
