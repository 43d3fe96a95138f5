// The channel between the editor and its decoding service: shared buffers with their events
// across processes, the liveness lock and the service process.
#include "platform/service_channel.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/xdg_dirs.h"
#include "support/temp_environment.h"

namespace quillon::platform {
namespace {

using Clock = std::chrono::steady_clock;

int elapsedMs(Clock::time_point since) {
  return int(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

// Waits for a forked child and answers its exit code (−1 after a signal).
int reap(pid_t child) {
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class ServiceChannelTest : public ::testing::Test {
 protected:
  testing::TempEnvironment env;
};

// The child answers each query n with a reply holding 2n and n filled into the rest of the
// buffer, as the service answers the editor: the last word of the buffer arrives too.
TEST_F(ServiceChannelTest, TwoProcessesExchangeRecordsThroughABufferPair) {
  SharedBuffer query, reply;
  ASSERT_TRUE(query.open("QueryBufTest", 4096));
  ASSERT_TRUE(reply.open("ReplyBufTest", 16384));
  const pid_t child = ::fork();
  if (child == 0) {
    SharedBuffer q, r;
    if (!q.open("QueryBufTest", 4096) || !r.open("ReplyBufTest", 16384)) ::_exit(2);
    for (;;) {
      if (!q.wait(5000)) ::_exit(3);
      uint32_t n;
      std::memcpy(&n, q.data(), 4);
      const uint32_t doubled = 2 * n;
      std::memcpy(r.data(), &doubled, 4);
      for (size_t at = 4; at < r.size(); at += 4)
        std::memcpy(r.data() + at, &n, 4);
      r.signal();
      if (n == 0) ::_exit(0);
    }
  }
  for (uint32_t n = 500; n-- > 0;) {
    std::memcpy(query.data(), &n, 4);
    query.signal();
    ASSERT_TRUE(reply.wait(5000)) << n;
    uint32_t first, last;
    std::memcpy(&first, reply.data(), 4);
    std::memcpy(&last, reply.data() + reply.size() - 4, 4);
    ASSERT_EQ(first, 2 * n);
    ASSERT_EQ(last, n);
  }
  EXPECT_EQ(reap(child), 0);
}

TEST_F(ServiceChannelTest, EventsResetThemselvesAndWaitsEndOnTime) {
  SharedBuffer buffer;
  ASSERT_TRUE(buffer.open("Events", 64));
  auto start = Clock::now();
  EXPECT_FALSE(buffer.wait(80));
  EXPECT_GE(elapsedMs(start), 75);
  EXPECT_LT(elapsedMs(start), 1000);
  EXPECT_FALSE(buffer.wait(0));

  buffer.signal();
  EXPECT_TRUE(buffer.wait(0));
  EXPECT_FALSE(buffer.wait(0)) << "auto-reset: one wait takes the signal";
  buffer.signal();
  buffer.reset();
  EXPECT_FALSE(buffer.wait(0));

  // Without a limit the wait lasts until another thread signals.
  std::thread signaller([&buffer] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    buffer.signal();
  });
  start = Clock::now();
  EXPECT_TRUE(buffer.wait(-1));
  EXPECT_GE(elapsedMs(start), 40);
  signaller.join();
}

TEST_F(ServiceChannelTest, ObjectsBelongToTheUserAloneAndToTheirRuntimeFolder) {
  SharedBuffer buffer;
  ASSERT_TRUE(buffer.open("Private", 128));
  const std::string name = buffer.objectName();
  const std::string uid = std::string(".").append(std::to_string(::geteuid())).append(".");
  EXPECT_NE(name.find(uid), std::string::npos) << name;
  struct stat st {};
  ASSERT_EQ(::stat(("/dev/shm" + name).c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_EQ(st.st_uid, ::geteuid());
  SharedBuffer same;
  ASSERT_TRUE(same.open("Private", 128));
  EXPECT_EQ(same.objectName(), name) << "later openers find the first one's object";

  ASSERT_TRUE(LivenessLock().acquire("MutexPrivate"));
  ASSERT_EQ(::stat(LivenessLock::pathOf("MutexPrivate").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);

  // Another runtime folder (another session) has objects of its own.
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  const std::string saved = runtime;
  ::setenv("XDG_RUNTIME_DIR", (env.root() + "/other").c_str(), 1);
  SharedBuffer other;
  ASSERT_TRUE(other.open("Private", 128));
  EXPECT_NE(other.objectName(), name);
  other.close();
  ::setenv("XDG_RUNTIME_DIR", saved.c_str(), 1);
}

// Another user who makes a shared memory object under a name the editor will use blocks every
// MP3 open. The names an attacker can work out (from the user id and the runtime folder's path,
// or seen in /dev/shm while the channel was open) are never used: each new object has a random
// part of its name that only the private runtime folder holds.
TEST_F(ServiceChannelTest, SquattedNamesBlockNothing) {
  // Removed however the test ends.
  struct Squatted : std::vector<std::string> {
    ~Squatted() {
      for (const std::string& object : *this)
        ::shm_unlink(object.c_str());
    }
  } squatted;
  auto squat = [&](const std::string& object) {
    const int fd = ::shm_open(object.c_str(), O_RDWR | O_CREAT | O_EXCL, 0666);
    ASSERT_GE(fd, 0) << object;
    ::fchmod(fd, 0666);
    if (::geteuid() == 0) {
      EXPECT_EQ(::fchown(fd, 65534, 65534), 0);  // as another user made it
    }
    ::close(fd);
    squatted.push_back(object);
  };
  // The names derived from what everybody knows: the user id and a hash of the runtime folder.
  uint32_t hash = 2166136261u;
  for (unsigned char c : XdgDirs::runtimeFolder())
    hash = (hash ^ c) * 16777619u;
  char tag[9];
  std::snprintf(tag, sizeof tag, "%08x", hash);
  const std::string guessable = "/quillon." + std::to_string(::geteuid()) + "." + tag + ".";
  squat(guessable + "QueryBufQuillon");
  squat(guessable + "ReplyBufQuillon");
  SharedBuffer query, reply;
  EXPECT_TRUE(query.open("QueryBufQuillon", 4096)) << query.error();
  EXPECT_TRUE(reply.open("ReplyBufQuillon", 16384)) << reply.error();

  // A name seen while the buffer was open, squatted once it is gone.
  const std::string seen = query.objectName();
  query.close();
  squat(seen);
  ASSERT_TRUE(query.open("QueryBufQuillon", 4096)) << query.error();
  EXPECT_NE(query.objectName(), seen);
}

TEST_F(ServiceChannelTest, TheLastCloseRemovesTheObjectAndSizesMustFit) {
  SharedBuffer first, second;
  ASSERT_TRUE(first.open("Shared", 1000));
  const std::string path = "/dev/shm" + first.objectName();
  std::memcpy(first.data(), "abc", 3);
  ASSERT_TRUE(second.open("Shared", 1000));
  EXPECT_EQ(std::memcmp(second.data(), "abc", 3), 0) << "the second opens the first one's object";
  SharedBuffer larger;
  EXPECT_FALSE(larger.open("Shared", 2000));
  first.close();
  EXPECT_EQ(::access(path.c_str(), F_OK), 0);
  second.close();
  EXPECT_NE(::access(path.c_str(), F_OK), 0);

  // Left behind by a process that died: the next opener removes it and starts afresh, event
  // cleared.
  int named[2];
  ASSERT_EQ(::pipe(named), 0);
  const pid_t child = ::fork();
  if (child == 0) {
    SharedBuffer left;
    if (!left.open("Shared", 1000)) ::_exit(2);
    left.signal();
    (void)!::write(named[1], left.objectName().c_str(), left.objectName().size());
    ::kill(::getpid(), SIGKILL);
  }
  EXPECT_EQ(reap(child), -1);
  char text[256] = {};
  ASSERT_GT(::read(named[0], text, sizeof text - 1), 0);
  const std::string leftPath = "/dev/shm" + std::string(text);
  EXPECT_EQ(::access(leftPath.c_str(), F_OK), 0);
  SharedBuffer fresh;
  ASSERT_TRUE(fresh.open("Shared", 1000));
  EXPECT_FALSE(fresh.wait(0));
  EXPECT_NE(::access(leftPath.c_str(), F_OK), 0) << "what the dead left is gone";
  ::close(named[0]);
  ::close(named[1]);
}

TEST_F(ServiceChannelTest, TheLivenessLockNamesItsHolderUntilItDies) {
  EXPECT_EQ(LivenessLock::holderOf("MutexAlive"), 0);
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t child = ::fork();
  if (child == 0) {
    LivenessLock lock;
    const char ok = lock.acquire("MutexAlive") ? 'y' : 'n';
    (void)!::write(ready[1], &ok, 1);
    ::pause();
    ::_exit(0);
  }
  char ok = 0;
  ASSERT_EQ(::read(ready[0], &ok, 1), 1);
  ASSERT_EQ(ok, 'y');
  EXPECT_EQ(LivenessLock::holderOf("MutexAlive"), child);
  LivenessLock second;
  EXPECT_FALSE(second.acquire("MutexAlive"));

  ::kill(child, SIGKILL);
  reap(child);
  EXPECT_EQ(LivenessLock::holderOf("MutexAlive"), 0);
  EXPECT_TRUE(second.acquire("MutexAlive"));
  EXPECT_EQ(LivenessLock::holderOf("MutexAlive"), ::getpid());
  second.release();
  EXPECT_EQ(LivenessLock::holderOf("MutexAlive"), 0);
  ::close(ready[0]);
  ::close(ready[1]);
}

// Only the process that the system's lock table names as the holder is ever killed: a holder
// that writes another process's id into the lock file (as anyone who can write the runtime
// folder could) gets nobody else killed.
TEST_F(ServiceChannelTest, OnlyTheLocksRealHolderIsKilled) {
  ChildProcess victim;
  ASSERT_TRUE(victim.start("/bin/sleep", {"30"}));
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t holder = ::fork();
  if (holder == 0) {
    LivenessLock lock;
    const bool held = lock.acquire("MutexLie");
    const std::string lie = std::to_string(victim.pid()) + "\n";
    const int fd = ::open(LivenessLock::pathOf("MutexLie").c_str(), O_WRONLY | O_CLOEXEC);
    const bool lied = fd >= 0 && ::ftruncate(fd, 0) == 0 &&
                      ::pwrite(fd, lie.data(), lie.size(), 0) == ssize_t(lie.size());
    const char ok = held && lied ? 'y' : 'n';
    (void)!::write(ready[1], &ok, 1);
    ::pause();
    ::_exit(0);
  }
  char ok = 0;
  ASSERT_EQ(::read(ready[0], &ok, 1), 1);
  ASSERT_EQ(ok, 'y');
  EXPECT_EQ(LivenessLock::holderOf("MutexLie"), victim.pid()) << "the file names the victim";
  EXPECT_FALSE(LivenessLock::killHolder("MutexLie", victim.pid()));
  EXPECT_TRUE(victim.running());
  EXPECT_TRUE(LivenessLock::killHolder("MutexLie", holder));
  EXPECT_EQ(reap(holder), -1) << "killed";
  EXPECT_EQ(LivenessLock::holderOf("MutexLie"), 0);
  victim.kill();
  ::close(ready[0]);
  ::close(ready[1]);
}

TEST_F(ServiceChannelTest, ChildProcessesStartEndAndAreKilled) {
  ChildProcess exits;
  ASSERT_TRUE(exits.start("/bin/sh", {"-c", "exit 3"}));
  EXPECT_TRUE(exits.waitForExit(5000));
  EXPECT_EQ(exits.exitCode(), 3);
  EXPECT_FALSE(exits.running());

  ChildProcess sleeper;
  ASSERT_TRUE(sleeper.start("/bin/sleep", {"30"}));
  EXPECT_TRUE(sleeper.running());
  EXPECT_FALSE(sleeper.waitForExit(50));
  const pid_t pid = sleeper.pid();
  EXPECT_EQ(::getsid(pid), pid) << "a session of its own";
  // Its standard streams hold no pipe or terminal of ours.
  for (int stream : {0, 1, 2}) {
    char target[64] = {};
    const std::string link = "/proc/" + std::to_string(pid) + "/fd/" + std::to_string(stream);
    ASSERT_GT(::readlink(link.c_str(), target, sizeof target - 1), 0) << stream;
    EXPECT_STREQ(target, "/dev/null") << stream;
  }
  const auto start = Clock::now();
  sleeper.kill();
  EXPECT_LT(elapsedMs(start), 1000);
  EXPECT_FALSE(sleeper.running());
  EXPECT_EQ(sleeper.exitCode(), -1);

  ChildProcess missing;
  EXPECT_FALSE(missing.start(env.path("no-such-program"), {}));
  EXPECT_EQ(missing.error(), ENOENT);
}

}  // namespace
}  // namespace quillon::platform
