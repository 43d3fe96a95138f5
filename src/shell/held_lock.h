#pragma once

#include <string>

namespace quillon {

// A lock file held with flock for as long as the object lives. The system releases it when the
// process ends in any way, so a lock that nobody holds tells that its last holder is gone.
// Lock files are opened with mode 0600 and never through a symbolic link. A lock is taken only
// while the path still names the file that was locked, so a file that another process removes
// (after locking it itself) is never taken for a valid lock.
class HeldLock {
 public:
  enum class Kind { Shared, Exclusive };

  HeldLock() = default;
  ~HeldLock() { release(); }
  HeldLock(const HeldLock&) = delete;
  HeldLock& operator=(const HeldLock&) = delete;
  HeldLock(HeldLock&& other) noexcept;
  HeldLock& operator=(HeldLock&& other) noexcept;

  // Takes the lock, trying again every 50 ms until `waitMilliseconds` have passed; true when
  // held. Without `create` a missing file is not made and the lock is not taken.
  bool tryLock(const std::string& path, Kind kind, int waitMilliseconds = 0, bool create = true);
  void release();
  bool held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

}  // namespace quillon
