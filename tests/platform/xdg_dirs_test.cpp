#include "platform/xdg_dirs.h"

#include <gtest/gtest.h>
#include <stdlib.h>

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

TEST(DiskSpaceTest, FreeSpaceOfARealFolderAndAMissingOne) {
  testing::TempEnvironment env;
  std::optional<uint64_t> bytes = freeBytesAvailable(env.root());
  ASSERT_TRUE(bytes);
  EXPECT_GT(*bytes, 0u);
  EXPECT_FALSE(freeBytesAvailable(env.path("missing/folder")));
}

}  // namespace
}  // namespace quillon::platform
