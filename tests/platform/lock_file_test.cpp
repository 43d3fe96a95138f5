#include "platform/lock_file.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "platform/file.h"
#include "support/fifo_trap.h"
#include "support/temp_environment.h"

namespace quillon::platform {
namespace {

using Mode = LockFile::Mode;

bool namedAnything(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

// Two opens of one lock file in one process exclude each other as two processes would.
TEST(LockFileTest, SharedAdmitsSharedAndExclusiveAdmitsNobody) {
  testing::TempEnvironment env;
  const std::string path = env.path("deep/folder/a.lock");  // the folders are made
  struct Case {
    Mode held;
    Mode wanted;
    bool granted;
  };
  for (const Case& c :
       {Case{Mode::Shared, Mode::Shared, true}, Case{Mode::Shared, Mode::Exclusive, false},
        Case{Mode::Exclusive, Mode::Shared, false},
        Case{Mode::Exclusive, Mode::Exclusive, false}}) {
    LockFile holder = LockFile::acquire(path, c.held);
    ASSERT_TRUE(holder.locked());
    LockFile other;
    ASSERT_TRUE(other.open(path));
    EXPECT_EQ(other.lock(c.wanted, LockFile::kNoWait), c.granted);
    EXPECT_EQ(other.locked(), c.granted);
    if (!c.granted) {
      EXPECT_EQ(other.error(), EWOULDBLOCK);
    }
    EXPECT_EQ(other.lock(c.wanted, 30), c.granted) << "a timed try that runs out fails";
    holder.unlock();
    EXPECT_TRUE(other.lock(Mode::Exclusive, LockFile::kNoWait)) << "unlocking releases";
  }
  LockFile moved = LockFile::acquire(path, Mode::Exclusive);
  {
    LockFile owner = std::move(moved);
    EXPECT_FALSE(moved.locked());
    EXPECT_FALSE(LockFile::acquire(path, Mode::Shared, LockFile::kNoWait).locked());
  }
  EXPECT_TRUE(LockFile::acquire(path, Mode::Shared, LockFile::kNoWait).locked())
      << "the lock goes with the object that holds it";
  EXPECT_FALSE(LockFile().lock(Mode::Shared)) << "no file";
  EXPECT_FALSE(LockFile().open(env.path("missing.lock"), false)) << "not made without create";
}

TEST(LockFileTest, ATimedTryGetsALockReleasedWhileItWaits) {
  testing::TempEnvironment env;
  const std::string path = env.path("b.lock");
  LockFile holder = LockFile::acquire(path, Mode::Exclusive);
  std::thread release([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    holder.close();
  });
  LockFile waiter;
  ASSERT_TRUE(waiter.open(path));
  EXPECT_TRUE(waiter.lock(Mode::Shared, 10000));
  release.join();
}

// A holder that removes its lock file before it lets go (as the temporary WAV names do) never
// hands the removed file to a waiter: the waiter locks the file the path names afterwards.
TEST(LockFileTest, AFileRemovedByItsHolderIsNeverTakenForTheLock) {
  testing::TempEnvironment env;
  const std::string path = env.path("c.lock");
  LockFile holder = LockFile::acquire(path, Mode::Exclusive);
  LockFile waiter;
  ASSERT_TRUE(waiter.open(path));
  std::thread release([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ::unlink(path.c_str());
    holder.close();
  });
  ASSERT_TRUE(waiter.lock(Mode::Exclusive, 10000));
  release.join();
  struct stat named {
  }, held{};
  ASSERT_EQ(::stat(path.c_str(), &named), 0);
  ASSERT_EQ(::fstat(waiter.descriptor(), &held), 0);
  EXPECT_EQ(named.st_ino, held.st_ino);
  EXPECT_FALSE(LockFile::acquire(path, Mode::Shared, LockFile::kNoWait).locked());
}

// What a hostile setup plants at a lock file's name never stalls or fools the lock: a FIFO or a
// folder is refused at once, a link is never followed (its target keeps its bytes), and a probe
// makes nothing.
TEST(LockFileTest, OnlyRegularFilesAreLockedAndProbesMakeNothing) {
  testing::TempEnvironment env;
  const std::string victim = env.path("victim.txt");
  ASSERT_TRUE(replaceFileAtomically(victim, "precious"));
  testing::FifoTrap fifo(env.path("fifo.lock"));
  ASSERT_TRUE(fifo.made());
  ASSERT_EQ(::mkdir(env.path("folder.lock").c_str(), 0700), 0);
  ASSERT_EQ(::symlink(victim.c_str(), env.path("link.lock").c_str()), 0);
  ASSERT_EQ(::symlink(env.path("made-through-a-link").c_str(), env.path("dangling.lock").c_str()),
            0);
  const struct {
    const char* name;
    int error;
  } cases[] = {{"fifo.lock", ENXIO},
               {"folder.lock", EISDIR},
               {"link.lock", ELOOP},
               {"dangling.lock", ELOOP}};
  for (const auto& c : cases) {
    for (bool create : {true, false}) {
      SCOPED_TRACE(std::string(c.name) + (create ? " (create)" : " (probe)"));
      LockFile file;
      EXPECT_FALSE(file.open(env.path(c.name), create));
      EXPECT_EQ(file.error(), c.error);
      EXPECT_FALSE(LockFile::acquire(env.path(c.name), Mode::Exclusive, 0).locked());
    }
  }
  EXPECT_FALSE(fifo.released()) << "an open waited on the FIFO";
  std::string kept;
  ASSERT_TRUE(readWholeFile(victim, kept));
  EXPECT_EQ(kept, "precious");
  EXPECT_FALSE(namedAnything(env.path("made-through-a-link")));

  const LockFile probe = LockFile::tryExisting(env.path("missing.lock"), Mode::Exclusive);
  EXPECT_FALSE(probe.locked());
  EXPECT_EQ(probe.error(), ENOENT);
  EXPECT_FALSE(namedAnything(env.path("missing.lock"))) << "a probe makes no file";
}

// The system's lock table, not the file, tells who holds a lock: a holder that writes another
// process's id into its lock file does not pass for that process.
TEST(LockFileTest, TheLockTableNamesTheHolderWhateverTheFileSays) {
  testing::TempEnvironment env;
  const std::string path = env.path("held.lock");
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t holder = ::fork();
  if (holder == 0) {
    LockFile lock = LockFile::acquire(path, Mode::Exclusive);
    const bool lied = ::pwrite(lock.descriptor(), "1\n", 2, 0) == 2;
    const char ok = lock.locked() && lied ? 'y' : 'n';
    (void)!::write(ready[1], &ok, 1);
    ::pause();
    ::_exit(0);
  }
  char ok = 0;
  ASSERT_EQ(::read(ready[0], &ok, 1), 1);
  ASSERT_EQ(ok, 'y');
  const LockFile probe = LockFile::tryExisting(path, Mode::Shared);
  EXPECT_FALSE(probe.locked());
  EXPECT_EQ(probe.exclusiveHolder(), holder);
  ::kill(holder, SIGKILL);
  ::waitpid(holder, nullptr, 0);
  EXPECT_EQ(probe.exclusiveHolder(), 0) << "nobody holds it once the holder is gone";
  const LockFile shared = LockFile::tryExisting(path, Mode::Shared);
  EXPECT_TRUE(shared.locked());
  EXPECT_EQ(shared.exclusiveHolder(), 0) << "a shared lock is no exclusive holder";
  ::close(ready[0]);
  ::close(ready[1]);
}

}  // namespace
}  // namespace quillon::platform
