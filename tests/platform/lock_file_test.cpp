#include "platform/lock_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "support/temp_environment.h"

namespace quillon::platform {
namespace {

using Mode = LockFile::Mode;

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

}  // namespace
}  // namespace quillon::platform
