#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

namespace quillon::testing {

// A FIFO made at `path` for code that must never wait on one. Should the code under test block
// in an open or a read of it anyway, a guard thread opens the FIFO for writing once `patience`
// has passed and closes it again (the waiter then sees an empty file and goes on), and
// `released()` tells that it had to. The FIFO is removed with the trap.
class FifoTrap {
 public:
  explicit FifoTrap(std::string path,
                    std::chrono::milliseconds patience = std::chrono::milliseconds(5000))
      : path_(std::move(path)) {
    made_ = ::mkfifo(path_.c_str(), 0600) == 0;
    guard_ = std::thread([this, patience] {
      const auto start = std::chrono::steady_clock::now();
      while (!stop_) {
        if (std::chrono::steady_clock::now() - start >= patience) {
          // Succeeds only while somebody has the FIFO open for reading (or waits to).
          const int fd = ::open(path_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
          if (fd >= 0) {
            released_ = true;
            ::close(fd);
          }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      }
    });
  }
  ~FifoTrap() {
    stop_ = true;
    guard_.join();
    ::unlink(path_.c_str());
  }
  FifoTrap(const FifoTrap&) = delete;
  FifoTrap& operator=(const FifoTrap&) = delete;

  bool made() const { return made_; }
  bool released() const { return released_; }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  bool made_ = false;
  std::atomic<bool> stop_{false};
  std::atomic<bool> released_{false};
  std::thread guard_;
};

}  // namespace quillon::testing
