#include "platform/settings.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "platform/file.h"
#include "platform/paths.h"
#include "platform/settings_file.h"
#include "platform/xdg_dirs.h"
#include "support/temp_environment.h"

namespace quillon {
namespace {

using testing::TempEnvironment;

class SettingsTest : public ::testing::Test {
 protected:
  std::string settingsPath() const {
    return platform::joinPath(platform::XdgDirs::configFolder(), "settings.ini");
  }
  std::string fileText() const {
    std::string text;
    platform::readWholeFile(settingsPath(), text);
    return text;
  }
  TempEnvironment env;
};

TEST_F(SettingsTest, MissingValuesReadAsTheirDefaults) {
  std::string out = "junk";
  EXPECT_FALSE(settings::readText("Settings", "Nothing", "fallback", out));
  EXPECT_EQ(out, "fallback");
  EXPECT_EQ(settings::readNumber("Settings", "Nothing", 42), 42);
  EXPECT_TRUE(settings::readFlag("Settings", "Nothing", true));
  EXPECT_FALSE(settings::readFlag("Settings", "Nothing", false));
}

struct NumberCase {
  const char* stored;
  int32_t expected;
};

TEST_F(SettingsTest, NumbersReadTheirLeadingDigits) {
  const NumberCase cases[] = {
      {"abc", 0},  // decimal conversion of no digits, not the default
      {"12abc", 12},
      {"-30", -30},
      {"+7", 7},
      {" 15", 15},
      {"99999999999", 2147483647},
      {"-99999999999", -2147483647 - 1},
  };
  for (const NumberCase& c : cases) {
    settings::writeText("Settings", "Number", c.stored);
    EXPECT_EQ(settings::readNumber("Settings", "Number", 555), c.expected) << c.stored;
  }
  settings::writeText("Settings", "Number", "");
  EXPECT_EQ(settings::readNumber("Settings", "Number", 555), 555);
}

TEST_F(SettingsTest, FlagsAreFalseOnlyForTextStartingWithZero) {
  const std::pair<const char*, bool> cases[] = {
      {"0", false}, {"0abc", false}, {"1", true}, {"yes", true}, {"no", true}};
  for (auto [stored, expected] : cases) {
    settings::writeText("Settings", "Flag", stored);
    EXPECT_EQ(settings::readFlag("Settings", "Flag", !expected), expected) << stored;
  }
  settings::writeText("Settings", "Flag", "");
  EXPECT_TRUE(settings::readFlag("Settings", "Flag", true));
  EXPECT_FALSE(settings::readFlag("Settings", "Flag", false));
}

TEST_F(SettingsTest, NumbersAndFlagsAreStoredAsText) {
  settings::writeNumber("Settings", "AutoTrimThreshold", -30);
  settings::writeFlag("Settings", "PlayRepeat", true);
  EXPECT_EQ(settings::readText("Settings", "AutoTrimThreshold"), "-30");
  EXPECT_EQ(settings::readText("Settings", "PlayRepeat"), "1");
  EXPECT_NE(fileText().find("AutoTrimThreshold=-30\n"), std::string::npos);
}

TEST_F(SettingsTest, TextTooLongForTheReadBufferReadsAsTheDefault) {
  settings::writeText("Settings", "Long", std::string(300, 'x'));
  EXPECT_EQ(settings::readText("Settings", "Long", "default"), "default");
  settings::writeText("Settings", "Long", std::string(259, 'x'));
  EXPECT_EQ(settings::readText("Settings", "Long", "default"), std::string(259, 'x'));
  // Characters are counted as UTF-16 units: 200 two-byte characters fit, 130 emoji do not.
  std::string accented;
  for (int i = 0; i < 200; ++i)
    accented += "\xC3\xA9";
  settings::writeText("Settings", "Long", accented);
  EXPECT_EQ(settings::readText("Settings", "Long", "default"), accented);
  std::string emoji;
  for (int i = 0; i < 130; ++i)
    emoji += "\xF0\x9F\x8E\xB5";
  settings::writeText("Settings", "Long", emoji);
  EXPECT_EQ(settings::readText("Settings", "Long", "default"), "default");
}

TEST_F(SettingsTest, NamesCompareWithoutCaseAndSubKeysAreSeparate) {
  settings::writeText("Settings", "SaveAsDir", "/music");
  EXPECT_EQ(settings::readText("settings", "saveasdir"), "/music");
  EXPECT_EQ(settings::readText("StoredValues", "SaveAsDir", "none"), "none");
  settings::writeText("SETTINGS", "SAVEASDIR", "/other");
  EXPECT_EQ(settings::readText("Settings", "SaveAsDir"), "/other");
}

TEST_F(SettingsTest, NamedAccessorsCarryTheirDefaults) {
  EXPECT_EQ(settings::kSaveAsFormat.read(), "wav");
  EXPECT_EQ(settings::kOpenFileFormat.read(), "");
  EXPECT_TRUE(settings::kNewInstall.read());
  EXPECT_EQ(settings::kPlaySpeed.read(), 1);
  EXPECT_EQ(settings::kDefaultSampleRate.read(), 11025);
  EXPECT_EQ(settings::kAutoTrimThreshold.read(), -30);
  EXPECT_FALSE(settings::kAutoPlaybackAfterEffects.read());
  EXPECT_EQ(settings::kAmplifyGain.read(), 100);
  EXPECT_EQ(settings::kLowCutFreq.read(), 250);
  EXPECT_EQ(settings::kEchoTime.read(), 800);
  EXPECT_EQ(settings::kSilenceTimes.read(), 1000);
  settings::kEchoGain.write(75);
  EXPECT_EQ(settings::readNumber("StoredValues", "EchoGain", 0), 75);
}

TEST_F(SettingsTest, ChooserFoldersDefaultToTheMusicFolder) {
  platform::makeFolders(env.path("config"));
  platform::replaceFileAtomically(env.path("config/user-dirs.dirs"),
                                  "XDG_MUSIC_DIR=\"$HOME/Tunes\"\n");
  EXPECT_EQ(settings::kSaveAsDir.read(), env.path("Tunes"));
  EXPECT_TRUE(platform::folderExists(env.path("Tunes")));  // created when needed
  settings::kSaveAsDir.write("/elsewhere");
  EXPECT_EQ(settings::kSaveAsDir.read(), "/elsewhere");
}

TEST_F(SettingsTest, AWriteByAnotherProcessIsSeenByTheNextRead) {
  EXPECT_EQ(settings::kPlaySpeed.read(), 1);
  pid_t child = fork();
  if (child == 0) {
    settings::kPlaySpeed.write(2);
    _exit(0);
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_EQ(settings::kPlaySpeed.read(), 2);
}

// "W<writer>V<value>".
std::string valueName(int writer, int value) {
  std::string name = "W";
  name += std::to_string(writer);
  name += 'V';
  name += std::to_string(value);
  return name;
}

TEST_F(SettingsTest, ConcurrentWritersFromTwoProcessesLoseNothing) {
  constexpr int kValuesPerWriter = 150;
  pid_t children[2];
  for (int w = 0; w < 2; ++w) {
    children[w] = fork();
    if (children[w] == 0) {
      for (int i = 0; i < kValuesPerWriter; ++i) {
        settings::writeNumber("Race", valueName(w, i), i);
      }
      _exit(0);
    }
  }
  for (pid_t child : children) {
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  for (int w = 0; w < 2; ++w) {
    for (int i = 0; i < kValuesPerWriter; ++i) {
      EXPECT_EQ(settings::readNumber("Race", valueName(w, i), -1), i);
    }
  }
  // No temporary file is left behind.
  EXPECT_EQ(platform::SettingsFile::user().names("Race").size(), 2u * kValuesPerWriter);
  EXPECT_EQ(testing::countFiles(platform::XdgDirs::configFolder(), ".tmp"), 0);
}

TEST_F(SettingsTest, AnUnparsableFileReadsAsDefaultsAndIsKeptAsideBeforeReplacement) {
  const std::string garbage = "PlaySpeed=2\n\x01\x02 not a settings line\n[Settings\n";
  platform::makeFolders(platform::XdgDirs::configFolder());
  platform::replaceFileAtomically(settingsPath(), garbage);

  EXPECT_EQ(settings::kPlaySpeed.read(), 1);
  settings::kPlayRepeat.write(true);

  std::string kept;
  ASSERT_TRUE(platform::readWholeFile(settingsPath() + ".unreadable", kept));
  EXPECT_EQ(kept, garbage);
  EXPECT_TRUE(settings::kPlayRepeat.read());
  // A second broken file does not overwrite the first copy.
  platform::replaceFileAtomically(settingsPath(), "broken again");
  settings::kPlayRepeat.write(false);
  ASSERT_TRUE(platform::readWholeFile(settingsPath() + ".unreadable", kept));
  EXPECT_EQ(kept, garbage);
  ASSERT_TRUE(platform::readWholeFile(settingsPath() + ".unreadable.1", kept));
  EXPECT_EQ(kept, "broken again");
}

TEST_F(SettingsTest, AnUnwritableFolderSkipsTheWriteSilently) {
  ::setenv("XDG_CONFIG_HOME", "/proc/quillon-cannot-exist", 1);
  settings::kPlaySpeed.write(2);
  EXPECT_EQ(settings::kPlaySpeed.read(), 1);
}

}  // namespace
}  // namespace quillon
