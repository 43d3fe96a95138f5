#include "platform/xdg_dirs.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

#include "platform/disk_space.h"
#include "platform/file.h"
#include "platform/paths.h"
#include "support/temp_environment.h"

namespace quillon::platform {
namespace {

TEST(XdgDirsTest, FoldersFollowTheEnvironment) {
  testing::TempEnvironment env;
  EXPECT_EQ(XdgDirs::configFolder(), env.path("config/quillon"));
  EXPECT_EQ(XdgDirs::cacheFolder(), env.path("cache/quillon"));
  EXPECT_EQ(XdgDirs::stateFolder(), env.path("state/quillon"));
  EXPECT_EQ(XdgDirs::runtimeFolder(), env.path("runtime/quillon"));
  // Relative values do not count; the home folder's defaults apply.
  ::setenv("XDG_CONFIG_HOME", "relative/path", 1);
  EXPECT_EQ(XdgDirs::configHome(), env.path(".config"));
  ::unsetenv("XDG_CACHE_HOME");
  EXPECT_EQ(XdgDirs::cacheHome(), env.path(".cache"));
}

TEST(XdgDirsTest, MusicFolderComesFromUserDirsOrHomeMusic) {
  testing::TempEnvironment env;
  EXPECT_EQ(XdgDirs::musicDir(), "");  // neither exists
  makeFolders(env.path("Music"));
  EXPECT_EQ(XdgDirs::musicDir(), env.path("Music"));
  makeFolders(env.path("config"));
  replaceFileAtomically(env.path("config/user-dirs.dirs"),
                        "# comment\nXDG_MUSIC_DIR=\"/srv/music\"\n");
  EXPECT_EQ(XdgDirs::musicDir(), "/srv/music");
}

// The runtime folder keeps lock files, the channel's state and the editor's socket: another user
// who made it first (open to all, owned by them, or a link to a folder of theirs) could plant
// links there or read and fake what is kept. Such a folder is refused with a message that says
// why; a missing one is made private.
TEST(XdgDirsTest, OnlyPrivateRuntimeFoldersAreUsed) {
  testing::TempEnvironment env;
  const std::string folder = env.path("runtime/quillon");
  struct Case {
    const char* name;
    std::function<bool()> setUp;  // false: not possible here
    const char* says;             // "" when the folder is used
  };
  const Case cases[] = {
      {"missing", [] { return true; }, ""},
      {"open to everyone",
       [&] { return ::mkdir(folder.c_str(), 0700) == 0 && ::chmod(folder.c_str(), 0777) == 0; },
       "open to others (mode 0777)"},
      {"readable by the group",
       [&] { return ::mkdir(folder.c_str(), 0700) == 0 && ::chmod(folder.c_str(), 0750) == 0; },
       "open to others (mode 0750)"},
      {"a link to a private folder elsewhere",
       [&] {
         return makeFolders(env.path("elsewhere"), 0700) &&
                ::symlink(env.path("elsewhere").c_str(), folder.c_str()) == 0;
       },
       "a symbolic link"},
      {"a file", [&] { return replaceFileAtomically(folder, ""); }, "not a folder"},
      {"another user's",
       [&] {
         return ::geteuid() == 0 && ::mkdir(folder.c_str(), 0700) == 0 &&
                ::chown(folder.c_str(), 65534, 65534) == 0;
       },
       "owned by user 65534"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove_all(folder);
    std::filesystem::remove_all(env.path("elsewhere"));
    if (!c.setUp()) continue;  // another user's folder needs root
    std::string refusal;
    const std::string used = XdgDirs::privateRuntimeFolder(&refusal);
    if (*c.says == '\0') {
      EXPECT_EQ(used, folder);
      EXPECT_EQ(refusal, "");
      struct stat st {};
      ASSERT_EQ(::lstat(folder.c_str(), &st), 0);
      EXPECT_EQ(st.st_mode & 0777, 0700u);
    } else {
      EXPECT_EQ(used, "");
      EXPECT_NE(refusal.find("\"" + folder + "\""), std::string::npos) << refusal;
      EXPECT_NE(refusal.find(c.says), std::string::npos) << refusal;
      EXPECT_EQ(makePrivateFolder(folder), refusal);
    }
  }
}

TEST(DiskSpaceTest, FreeSpaceOfARealFolderAndAMissingOne) {
  testing::TempEnvironment env;
  std::optional<uint64_t> bytes = freeBytesAvailable(env.root());
  ASSERT_TRUE(bytes);
  EXPECT_GT(*bytes, 0u);
  EXPECT_FALSE(freeBytesAvailable(env.path("missing/folder")));
}

}  // namespace
}  // namespace quillon::platform
