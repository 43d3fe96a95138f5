#pragma once

#include <sys/types.h>

#include <string>

namespace quillon::platform {

// An advisory lock (flock) on a lock file, held while the object holds it and released when the
// object goes, when it unlocks, or when the process ends in any way. The lock belongs to the
// open file, so two LockFile objects of one process exclude each other like two processes do.
// Lock files are never opened through a symbolic link, only regular files are taken (the open
// never waits, so a FIFO planted at the name cannot stall it), and a lock counts only while the
// path still names the file that was locked: one that its holder removed is never taken for the
// lock.
class LockFile {
 public:
  enum class Mode { Shared, Exclusive };
  // How long `lock` waits for a lock that others hold.
  static constexpr int kNoWait = 0;
  static constexpr int kForever = -1;

  LockFile() = default;
  ~LockFile() { close(); }
  LockFile(LockFile&& other) noexcept;
  LockFile& operator=(LockFile&& other) noexcept;
  LockFile(const LockFile&) = delete;
  LockFile& operator=(const LockFile&) = delete;

  // Opens the lock file for reading and writing, creating it (mode 0600, with its folders) when
  // `create` is set; without `create` it opens an existing file for reading. False with
  // `error()` when it cannot, or when the name is not a regular file (ENXIO, EISDIR).
  bool open(const std::string& path, bool create = true);
  // Takes the lock, or changes the one held to `mode`: waits without limit (kForever), not at
  // all (kNoWait) or up to `milliseconds`. False (with `error()`, EWOULDBLOCK when others hold
  // it) when the lock was not taken. A change is not atomic: the system drops the lock held
  // before first, so after a failed change no lock is held. When the file was removed while
  // waiting, the file the path names now is opened (made, with `create`; without it a missing
  // file fails the lock with ENOENT) and locked instead.
  bool lock(Mode mode, int milliseconds = kForever);
  // Releases the lock; the file stays open.
  void unlock();
  // Releases the lock and closes the file.
  void close();

  bool isOpen() const { return fd_ >= 0; }
  bool locked() const { return locked_; }
  // The open file, for reading or writing what the lock file holds.
  int descriptor() const { return fd_; }
  int error() const { return error_; }

  // The process that holds an exclusive lock on the open file, as the system's table of locks
  // (/proc/locks) names it: the process that took the lock, whatever the file holds. 0 when
  // nobody holds one or the table cannot be read. Never blocks.
  pid_t exclusiveHolder() const;

  // Opens `path` (creating it) and locks it in one step; `locked()` tells whether it worked.
  static LockFile acquire(const std::string& path, Mode mode, int milliseconds = kForever);
  // A probe: locks the file at `path` only when it exists, never making one; `locked()` false
  // when it is missing (error ENOENT) or others hold it.
  static LockFile tryExisting(const std::string& path, Mode mode, int milliseconds = kNoWait);

 private:
  bool stillNamed() const;

  std::string path_;
  bool create_ = true;
  int fd_ = -1;
  bool locked_ = false;
  int error_ = 0;
};

}  // namespace quillon::platform
