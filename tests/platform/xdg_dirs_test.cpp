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
#include "platform/service_channel.h"
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

// Without XDG_RUNTIME_DIR the runtime folder falls back to "quillon-runtime-<uid>" in the shared
// temporary folder, where another user may have made it first: open to all, with a link at the
// service's lock file that points at a file of the victim's. Such a base is refused before
// anything is made or opened in it; a missing one is made private.
TEST(XdgDirsTest, TheFallbackRuntimeFolderMustBePrivateToo) {
  testing::TempEnvironment env;  // TMPDIR is the test's own folder
  ::unsetenv("XDG_RUNTIME_DIR");
  const std::string base =
      joinPath(std::getenv("TMPDIR"), "quillon-runtime-" + std::to_string(::getuid()));
  ASSERT_EQ(XdgDirs::runtimeDir(), base);
  const std::string victim = env.path("victim.txt");
  ASSERT_TRUE(replaceFileAtomically(victim, "keep"));

  // Planted: the base open to all, the quillon folder inside private, a link at the lock file.
  ASSERT_TRUE(makeFolders(base + "/quillon", 0700));
  ASSERT_EQ(::chmod(base.c_str(), 0777), 0);
  ASSERT_EQ(::symlink(victim.c_str(), (base + "/quillon/MutexQuillon.lock").c_str()), 0);
  std::string refusal;
  EXPECT_EQ(XdgDirs::privateRuntimeFolder(&refusal), "");
  EXPECT_NE(refusal.find('"' + base + '"'), std::string::npos) << refusal;
  EXPECT_NE(refusal.find("open to others (mode 0777)"), std::string::npos) << refusal;
  LivenessLock alive;
  EXPECT_FALSE(alive.acquire("MutexQuillon"));
  EXPECT_EQ(LivenessLock::holderOf("MutexQuillon"), 0);
  std::string contents;
  ASSERT_TRUE(readWholeFile(victim, contents));
  EXPECT_EQ(contents, "keep");

  // A base that is a link to a private folder is refused as well.
  std::filesystem::remove_all(base);
  ASSERT_TRUE(makeFolders(env.path("elsewhere"), 0700));
  ASSERT_EQ(::symlink(env.path("elsewhere").c_str(), base.c_str()), 0);
  EXPECT_EQ(XdgDirs::privateRuntimeFolder(&refusal), "");
  EXPECT_NE(refusal.find("a symbolic link"), std::string::npos) << refusal;

  // A missing one is made, private, and used.
  std::filesystem::remove(base);
  EXPECT_EQ(XdgDirs::privateRuntimeFolder(&refusal), base + "/quillon");
  EXPECT_EQ(refusal, "");
  struct stat st {};
  ASSERT_EQ(::lstat(base.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  EXPECT_TRUE(alive.acquire("MutexQuillon"));
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
