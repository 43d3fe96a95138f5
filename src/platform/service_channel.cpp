#include "platform/service_channel.h"

#include <fcntl.h>
#include <linux/futex.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "platform/lock_file.h"
#include "platform/paths.h"
#include "platform/xdg_dirs.h"

extern char** environ;

namespace quillon::platform {
namespace {

using Clock = std::chrono::steady_clock;

constexpr uint32_t kBufferMagic = 0x51534231;  // "QSB1"

// A name usable as a file name: no '/'.
std::string safeName(const std::string& name) {
  std::string out = name;
  for (char& c : out)
    if (c == '/') c = '_';
  return out;
}

// A short tag of the runtime folder (FNV-1a), so each runtime folder has its own objects.
std::string runtimeTag() {
  uint32_t hash = 2166136261u;
  for (unsigned char c : XdgDirs::runtimeFolder())
    hash = (hash ^ c) * 16777619u;
  char text[9];
  std::snprintf(text, sizeof text, "%08x", hash);
  return text;
}

std::string lockPath(const std::string& name, const char* suffix) {
  return joinPath(XdgDirs::runtimeFolder(), safeName(name) + suffix);
}

long futex(std::atomic<uint32_t>* word, int operation, uint32_t value, const timespec* timeout) {
  return ::syscall(SYS_futex, reinterpret_cast<uint32_t*>(word), operation, value, timeout, nullptr,
                   0);
}

}  // namespace

std::string userObjectName(const std::string& name) {
  return "/quillon." + std::to_string(::geteuid()) + "." + runtimeTag() + "." + safeName(name);
}

// The first 64 bytes of the object; the data area follows.
struct SharedBuffer::Header {
  uint32_t magic;
  uint32_t dataSize;
  std::atomic<uint32_t> event;  // 1 set, 0 clear
  std::atomic<uint32_t> stamp;
  std::atomic<uint32_t> sleepers;  // waiters inside the futex wait
  uint32_t reserved[11];
};
static_assert(sizeof(std::atomic<uint32_t>) == 4 && std::atomic<uint32_t>::is_always_lock_free);

SharedBuffer::Header* SharedBuffer::header() const {
  static_assert(sizeof(Header) == 64);
  return reinterpret_cast<Header*>(mapping_);
}

bool SharedBuffer::open(const std::string& name, size_t size) {
  close();
  error_ = 0;
  if (size == 0 || size > (1u << 30)) {
    error_ = EINVAL;
    return false;
  }
  // Opening and closing are serialised by a lock file, so the last close and a new open never
  // cross; the users lock is held shared by every process that has the object open.
  const LockFile serialise =
      LockFile::acquire(lockPath(name, ".open.lock"), LockFile::Mode::Exclusive);
  LockFile users;
  if (!serialise.locked() || !users.open(lockPath(name, ".users.lock"))) {
    error_ = serialise.locked() ? users.error() : serialise.error();
    if (error_ == 0) error_ = EIO;
    return false;
  }
  const bool alone = users.lock(LockFile::Mode::Exclusive, LockFile::kNoWait);
  const std::string object = userObjectName(name);
  const int fd = ::shm_open(object.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  struct stat st {};
  auto fail = [&](int error) {
    error_ = error;
    if (fd >= 0) ::close(fd);
    if (mapping_) ::munmap(mapping_, mappedBytes_);
    mapping_ = nullptr;
    return false;
  };
  if (fd < 0 || ::fstat(fd, &st) != 0) return fail(errno);
  // Someone else's object under our name, or one that other users may open, is never used.
  if (st.st_uid != ::geteuid() || (st.st_mode & 077) != 0) return fail(EACCES);
  const size_t wanted = sizeof(Header) + size;
  // Nobody else has it open (new, or left by processes that died): make it afresh.
  const bool fresh = alone || st.st_size == 0;
  if (fresh && size_t(st.st_size) != wanted && ::ftruncate(fd, off_t(wanted)) != 0) {
    return fail(errno);
  }
  mappedBytes_ = fresh ? wanted : size_t(st.st_size);
  if (mappedBytes_ < wanted) return fail(EINVAL);
  void* view = ::mmap(nullptr, mappedBytes_, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  if (view == MAP_FAILED) return fail(errno);
  mapping_ = static_cast<uint8_t*>(view);
  if (fresh) {
    header()->dataSize = uint32_t(size);
    header()->event.store(0);
    header()->stamp.store(0);
    header()->sleepers.store(0);
    header()->magic = kBufferMagic;
  } else if (header()->magic != kBufferMagic || header()->dataSize < size) {
    return fail(EPROTO);
  }
  if (!users.lock(LockFile::Mode::Shared)) return fail(users.error());
  ::close(fd);  // the mapping stays
  name_ = name;
  objectName_ = object;
  usersLock_ = std::move(users);
  data_ = mapping_ + sizeof(Header);
  size_ = size;
  return true;
}

void SharedBuffer::close() {
  if (!mapping_) return;
  const LockFile serialise =
      LockFile::acquire(lockPath(name_, ".open.lock"), LockFile::Mode::Exclusive);
  ::munmap(mapping_, mappedBytes_);
  // The last user removes the object (a failed change means others still use it).
  if (serialise.locked() && usersLock_.lock(LockFile::Mode::Exclusive, LockFile::kNoWait)) {
    ::shm_unlink(objectName_.c_str());
  }
  usersLock_.close();
  mapping_ = nullptr;
  mappedBytes_ = 0;
  data_ = nullptr;
  size_ = 0;
  name_.clear();
  objectName_.clear();
}

uint32_t SharedBuffer::stamp() const {
  return mapping_ ? header()->stamp.load(std::memory_order_acquire) : 0;
}

void SharedBuffer::setStamp(uint32_t value) {
  if (mapping_) header()->stamp.store(value, std::memory_order_release);
}

void SharedBuffer::signal() {
  if (!mapping_) return;
  // Sequentially consistent with the waiter's count and its futex check: either it sees the
  // event set, or we see it counted and wake it.
  header()->event.store(1);
  if (header()->sleepers.load() != 0) futex(&header()->event, FUTEX_WAKE, 1, nullptr);
}

void SharedBuffer::reset() {
  if (mapping_) header()->event.store(0, std::memory_order_release);
}

bool SharedBuffer::poll(int spinMicroseconds) {
  if (!mapping_) return false;
  std::atomic<uint32_t>& event = header()->event;
  const auto end = Clock::now() + std::chrono::microseconds(spinMicroseconds);
  do {
    uint32_t set = 1;
    if (event.load(std::memory_order_relaxed) == 1 && event.compare_exchange_strong(set, 0)) {
      return true;
    }
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
  } while (Clock::now() < end);
  return false;
}

bool SharedBuffer::wait(int milliseconds, int spinMicroseconds) {
  if (!mapping_) return false;
  const auto deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
  if (spinMicroseconds > 0 && poll(spinMicroseconds)) return true;
  std::atomic<uint32_t>& event = header()->event;
  std::atomic<uint32_t>& sleepers = header()->sleepers;
  for (;;) {
    uint32_t set = 1;
    if (event.compare_exchange_strong(set, 0)) return true;
    timespec timeout{};
    if (milliseconds >= 0) {
      const auto left = deadline - Clock::now();
      if (left <= Clock::duration::zero()) return false;
      const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
      timeout = {time_t(ns / 1000000000), long(ns % 1000000000)};
    }
    sleepers.fetch_add(1);
    // Returns at once when the word is no longer 0.
    futex(&event, FUTEX_WAIT, 0, milliseconds >= 0 ? &timeout : nullptr);
    sleepers.fetch_sub(1);
  }
}

std::string LivenessLock::pathOf(const std::string& name) {
  return lockPath(name, ".lock");
}

bool LivenessLock::acquire(const std::string& name) {
  release();
  // A client probing the lock holds it shared for an instant: try for up to 200 ms.
  LockFile lock = LockFile::acquire(pathOf(name), LockFile::Mode::Exclusive, 200);
  if (!lock.locked()) {
    error_ = lock.error();
    return false;
  }
  const int fd = lock.descriptor();
  const std::string id = std::to_string(::getpid()) + "\n";
  if (::ftruncate(fd, 0) != 0 || ::pwrite(fd, id.data(), id.size(), 0) != ssize_t(id.size())) {
    error_ = errno;
    return false;
  }
  lock_ = std::move(lock);
  return true;
}

void LivenessLock::release() {
  if (!lock_.locked()) return;
  ::ftruncate(lock_.descriptor(), 0);
  lock_.close();
}

pid_t LivenessLock::holderOf(const std::string& name) {
  LockFile probe;
  if (!probe.open(pathOf(name), false)) return 0;
  if (probe.lock(LockFile::Mode::Shared, LockFile::kNoWait)) return 0;
  char text[32] = {};
  const ssize_t got = ::pread(probe.descriptor(), text, sizeof text - 1, 0);
  const long id = got > 0 ? std::strtol(text, nullptr, 10) : 0;
  return id > 0 && id <= INT_MAX ? pid_t(id) : -1;
}

bool ChildProcess::start(const std::string& program, const std::vector<std::string>& arguments) {
  pid_ = 0;
  exitCode_ = -1;
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& argument : arguments)
    argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;
  posix_spawn_file_actions_init(&actions);
  posix_spawnattr_init(&attributes);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  // Its own session (a Ctrl+C meant for the editor's terminal does not reach it), no blocked
  // signals and default dispositions whatever the editor set.
  sigset_t none, all;
  sigemptyset(&none);
  sigfillset(&all);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setsigdefault(&attributes, &all);
  posix_spawnattr_setflags(&attributes,
                           POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  pid_t pid = 0;
  const int rc = ::posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  if (rc != 0) {
    error_ = rc;
    return false;
  }
  pid_ = pid;
  error_ = 0;
  return true;
}

bool ChildProcess::running() {
  if (pid_ <= 0) return false;
  int status = 0;
  const pid_t rc = ::waitpid(pid_, &status, WNOHANG);
  if (rc == 0) return true;
  if (rc == pid_ && WIFEXITED(status)) exitCode_ = WEXITSTATUS(status);
  pid_ = 0;  // ended (or reaped by someone else)
  return false;
}

bool ChildProcess::waitForExit(int milliseconds) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
  while (running()) {
    if (Clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

void ChildProcess::kill() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGKILL);
  int status = 0;
  while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
  }
  pid_ = 0;
}

void ChildProcess::forget() {
  pid_ = 0;
}

std::string runningProgramFolder() {
  char path[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return {};
  return parentFolder(std::string(path, size_t(n)));
}

}  // namespace quillon::platform
