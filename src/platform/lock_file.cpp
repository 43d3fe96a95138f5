#include "platform/lock_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>
#include <utility>

#include "platform/paths.h"
#include "platform/xdg_dirs.h"

namespace quillon::platform {
namespace {

// How long a timed lock sleeps between tries.
constexpr auto kRetryPause = std::chrono::microseconds(500);
// A path whose file is replaced under a try this often in a row counts as busy once the time
// is up.
constexpr int kReplacedRetries = 3;

}  // namespace

LockFile::LockFile(LockFile&& other) noexcept
    : path_(std::move(other.path_)),
      create_(other.create_),
      fd_(std::exchange(other.fd_, -1)),
      locked_(std::exchange(other.locked_, false)),
      error_(other.error_) {}

LockFile& LockFile::operator=(LockFile&& other) noexcept {
  if (this != &other) {
    close();
    path_ = std::move(other.path_);
    create_ = other.create_;
    fd_ = std::exchange(other.fd_, -1);
    locked_ = std::exchange(other.locked_, false);
    error_ = other.error_;
  }
  return *this;
}

bool LockFile::open(const std::string& path, bool create) {
  close();
  error_ = 0;
  path_ = path;
  create_ = create;
  constexpr int kFlags = O_CLOEXEC | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK;
  if (create) {
    const std::string folder = parentFolder(path);
    if (!folder.empty() && !makeFolders(folder)) {
      error_ = errno ? errno : ENOENT;
      return false;
    }
    fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | kFlags, 0600);
  } else {
    fd_ = ::open(path.c_str(), O_RDONLY | kFlags);
  }
  if (fd_ < 0) {
    error_ = errno;
    return false;
  }
  struct stat st {};
  if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
    error_ = S_ISDIR(st.st_mode) ? EISDIR : ENXIO;
    close();
    return false;
  }
  return true;
}

bool LockFile::stillNamed() const {
  struct stat named {
  }, opened{};
  return ::lstat(path_.c_str(), &named) == 0 && ::fstat(fd_, &opened) == 0 &&
         named.st_dev == opened.st_dev && named.st_ino == opened.st_ino;
}

bool LockFile::lock(Mode mode, int milliseconds) {
  if (fd_ < 0) {
    error_ = EBADF;
    return false;
  }
  const int operation = mode == Mode::Shared ? LOCK_SH : LOCK_EX;
  const bool forever = milliseconds < 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  for (int replaced = 0;;) {
    if (::flock(fd_, operation | (forever ? 0 : LOCK_NB)) == 0) {
      locked_ = true;
      if (stillNamed()) return true;
      // The holder removed (or replaced) the file before we got it: ours names nothing. Take
      // the file that the path names now.
      if (++replaced >= kReplacedRetries && !forever &&
          std::chrono::steady_clock::now() >= deadline) {
        close();
        error_ = EWOULDBLOCK;
        return false;
      }
      const std::string path = path_;
      if (!open(path, create_)) return false;
      continue;
    }
    error_ = errno;
    if (error_ == EINTR) continue;
    if (forever || error_ != EWOULDBLOCK || std::chrono::steady_clock::now() >= deadline) {
      unlock();  // a failed change has dropped the lock held before
      return false;
    }
    std::this_thread::sleep_for(kRetryPause);
  }
}

void LockFile::unlock() {
  if (fd_ >= 0 && locked_) ::flock(fd_, LOCK_UN);
  locked_ = false;
}

void LockFile::close() {
  if (fd_ >= 0) ::close(fd_);  // closing releases the lock
  fd_ = -1;
  locked_ = false;
}

LockFile LockFile::acquire(const std::string& path, Mode mode, int milliseconds) {
  LockFile file;
  if (file.open(path)) file.lock(mode, milliseconds);
  return file;
}

LockFile LockFile::tryExisting(const std::string& path, Mode mode, int milliseconds) {
  LockFile file;
  if (file.open(path, false)) file.lock(mode, milliseconds);
  return file;
}

pid_t LockFile::exclusiveHolder() const {
  struct stat st {};
  if (fd_ < 0 || ::fstat(fd_, &st) != 0) return 0;
  // "1: FLOCK  ADVISORY  WRITE 4711 fe:00:5309022 0 EOF"; waiters' lines carry "->".
  char self[64];
  std::snprintf(self, sizeof self, "%02x:%02x:%llu", major(st.st_dev), minor(st.st_dev),
                static_cast<unsigned long long>(st.st_ino));
  std::ifstream table("/proc/locks");
  std::string line;
  while (std::getline(table, line)) {
    std::istringstream words(line);
    std::string number, kind, advisory, access, pid, file;
    if (!(words >> number >> kind) || kind == "->" || kind != "FLOCK") continue;
    if (!(words >> advisory >> access >> pid >> file) || access != "WRITE" || file != self) {
      continue;
    }
    const long id = std::strtol(pid.c_str(), nullptr, 10);
    return id > 0 ? pid_t(id) : 0;
  }
  return 0;
}

}  // namespace quillon::platform
