#include "shell/held_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>

namespace quillon {
namespace {

constexpr auto kRetryInterval = std::chrono::milliseconds(50);
// A path whose file changes under us this often in a row counts as busy.
constexpr int kReplacedRetries = 3;

bool sameFile(int fd, const std::string& path) {
  struct stat held {
  }, named{};
  return ::fstat(fd, &held) == 0 && ::lstat(path.c_str(), &named) == 0 &&
         held.st_dev == named.st_dev && held.st_ino == named.st_ino;
}

}  // namespace

HeldLock::HeldLock(HeldLock&& other) noexcept : fd_(other.fd_) {
  other.fd_ = -1;
}

HeldLock& HeldLock::operator=(HeldLock&& other) noexcept {
  if (this != &other) {
    release();
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

bool HeldLock::tryLock(const std::string& path, Kind kind, int waitMilliseconds, bool create) {
  release();
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline =
      Clock::now() + std::chrono::milliseconds(std::max(0, waitMilliseconds));
  // Non-blocking, so that something other than a plain file there cannot stall the open.
  const int flags = (create ? O_RDWR | O_CREAT : O_RDONLY) | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK;
  const int operation = (kind == Kind::Shared ? LOCK_SH : LOCK_EX) | LOCK_NB;
  int replaced = 0;
  for (;;) {
    const int fd = ::open(path.c_str(), flags, 0600);
    if (fd < 0) return false;  // missing (without `create`), a link, or not ours to open
    int rc;
    do {
      rc = ::flock(fd, operation);
    } while (rc != 0 && errno == EINTR);
    const int error = errno;
    if (rc == 0 && sameFile(fd, path)) {
      fd_ = fd;
      return true;
    }
    ::close(fd);
    if (rc == 0) {
      // Removed or replaced between our open and our lock: lock what the path names now.
      if (++replaced < kReplacedRetries) continue;
    } else if (error != EWOULDBLOCK) {
      return false;
    }
    replaced = 0;
    const Clock::time_point now = Clock::now();
    if (now >= deadline) return false;
    std::this_thread::sleep_for(std::min<Clock::duration>(kRetryInterval, deadline - now));
  }
}

void HeldLock::release() {
  if (fd_ >= 0) ::close(fd_);  // closing releases the lock
  fd_ = -1;
}

}  // namespace quillon
