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
#include <cctype>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "platform/file.h"
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

// A lock file of the channel in the private runtime folder; "" when that folder is refused.
std::string lockPath(const std::string& name, const char* suffix) {
  const std::string folder = XdgDirs::privateRuntimeFolder();
  return folder.empty() ? std::string() : joinPath(folder, safeName(name) + suffix);
}

std::string objectNameFor(const std::string& name, const std::string& tag) {
  return "/quillon." + std::to_string(::geteuid()) + "." + tag + "." + safeName(name);
}

// The tag of a buffer's object, kept in its users lock file ("" when there is none).
constexpr size_t kTagBytes = 8;

std::string readTag(int fd) {
  char text[2 * kTagBytes + 1] = {};
  const ssize_t got = ::pread(fd, text, 2 * kTagBytes, 0);
  if (got != ssize_t(2 * kTagBytes)) return {};
  for (char c : std::string(text, 2 * kTagBytes))
    if (!std::isxdigit(static_cast<unsigned char>(c))) return {};
  return std::string(text, 2 * kTagBytes);
}

bool writeTag(int fd, const std::string& tag) {
  return ::ftruncate(fd, 0) == 0 && ::pwrite(fd, tag.data(), tag.size(), 0) == ssize_t(tag.size());
}

long futex(std::atomic<uint32_t>* word, int operation, uint32_t value, const timespec* timeout) {
  return ::syscall(SYS_futex, reinterpret_cast<uint32_t*>(word), operation, value, timeout, nullptr,
                   0);
}

}  // namespace

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
  const std::string serialisePath = lockPath(name, ".open.lock");
  const std::string usersPath = lockPath(name, ".users.lock");
  if (serialisePath.empty()) {
    error_ = EACCES;  // no private runtime folder
    return false;
  }
  // Opening and closing are serialised by a lock file, so the last close and a new open never
  // cross; the users lock is held shared by every process that has the object open.
  const LockFile serialise = LockFile::acquire(serialisePath, LockFile::Mode::Exclusive);
  LockFile users;
  if (!serialise.locked() || !users.open(usersPath)) {
    error_ = serialise.locked() ? users.error() : serialise.error();
    if (error_ == 0) error_ = EIO;
    return false;
  }
  const bool alone = users.lock(LockFile::Mode::Exclusive, LockFile::kNoWait);
  std::string tag = readTag(users.descriptor());
  std::string object;
  int fd = -1;
  auto fail = [&](int error) {
    error_ = error;
    if (fd >= 0) ::close(fd);
    if (mapping_) ::munmap(mapping_, mappedBytes_);
    mapping_ = nullptr;
    if (alone) {
      // Nothing half made stays behind.
      if (fd >= 0) ::shm_unlink(object.c_str());
      (void)!::ftruncate(users.descriptor(), 0);
    }
    return false;
  };
  if (alone) {
    // Nobody has the object open: an object still named was left by processes that died.
    if (!tag.empty()) ::shm_unlink(objectNameFor(name, tag).c_str());
    tag = randomHex(kTagBytes);
    if (!writeTag(users.descriptor(), tag)) return fail(errno);
  } else if (tag.empty()) {
    return fail(EPROTO);
  }
  object = objectNameFor(name, tag);
  // A new object is made exclusively: nothing under its name can be somebody else's.
  fd = ::shm_open(object.c_str(), O_RDWR | O_CLOEXEC | (alone ? O_CREAT | O_EXCL : 0), 0600);
  struct stat st {};
  if (fd < 0 || ::fstat(fd, &st) != 0) return fail(errno);
  // Someone else's object under our name, or one that other users may open, is never used.
  if (st.st_uid != ::geteuid() || (st.st_mode & 077) != 0) return fail(EACCES);
  const size_t wanted = sizeof(Header) + size;
  if (alone && ::ftruncate(fd, off_t(wanted)) != 0) return fail(errno);
  mappedBytes_ = alone ? wanted : size_t(st.st_size);
  if (mappedBytes_ < wanted) return fail(EINVAL);
  void* view = ::mmap(nullptr, mappedBytes_, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  if (view == MAP_FAILED) return fail(errno);
  mapping_ = static_cast<uint8_t*>(view);
  if (alone) {
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
  // The last user removes the object and its tag (a failed change means others still use it).
  if (serialise.locked() && usersLock_.lock(LockFile::Mode::Exclusive, LockFile::kNoWait)) {
    ::shm_unlink(objectName_.c_str());
    (void)!::ftruncate(usersLock_.descriptor(), 0);
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

std::string LivenessLock::clientsPathOf(const std::string& name) {
  return lockPath(name, ".clients.lock");
}

bool LivenessLock::acquire(const std::string& name) {
  release();
  const std::string path = pathOf(name);
  if (path.empty()) {
    error_ = EACCES;  // no private runtime folder
    return false;
  }
  // A client probing the lock holds it shared for an instant: try for up to 200 ms.
  LockFile lock = LockFile::acquire(path, LockFile::Mode::Exclusive, 200);
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
  (void)!::ftruncate(lock_.descriptor(), 0);
  lock_.close();
}

pid_t LivenessLock::holderOf(const std::string& name) {
  const std::string path = pathOf(name);
  if (path.empty()) return 0;
  const LockFile probe = LockFile::tryExisting(path, LockFile::Mode::Shared);
  if (probe.locked() || !probe.isOpen()) return 0;  // free, missing or removed
  char text[32] = {};
  const ssize_t got = ::pread(probe.descriptor(), text, sizeof text - 1, 0);
  const long id = got > 0 ? std::strtol(text, nullptr, 10) : 0;
  return id > 0 && id <= INT_MAX ? pid_t(id) : -1;
}

bool LivenessLock::killHolder(const std::string& name, pid_t pid) {
  if (pid <= 0) return false;
  // Through a descriptor of the process, taken before the check: should it end meanwhile and its
  // id go to another process, the signal still goes nowhere else.
  int process = -1;
#ifdef SYS_pidfd_open
  process = int(::syscall(SYS_pidfd_open, pid, 0));
#endif
  const LockFile probe = LockFile::tryExisting(pathOf(name), LockFile::Mode::Shared);
  const bool holds = probe.isOpen() && !probe.locked() && probe.exclusiveHolder() == pid;
  bool sent = false;
  if (holds) {
#ifdef SYS_pidfd_send_signal
    if (process >= 0) {
      sent = ::syscall(SYS_pidfd_send_signal, process, SIGKILL, nullptr, 0) == 0;
    } else {
      sent = ::kill(pid, SIGKILL) == 0;
    }
#else
    sent = ::kill(pid, SIGKILL) == 0;
#endif
  }
  if (process >= 0) ::close(process);
  return sent;
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
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
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
