#pragma once

#include <condition_variable>
#include <cstdint>
#include <limits>
#include <mutex>

namespace quillon {

// The time a clocked device (null, file) paces itself by, in microseconds. The system clock is
// real time; a virtual clock lets tests run a device as fast as the CPU allows, or step it.
class AudioClock {
 public:
  virtual ~AudioClock() = default;
  virtual int64_t now() = 0;
  // Waits with the caller's `lock` held on entry and on return, until `time` has come or `cv`
  // (the condition the caller's state changes signal) wakes it; the caller checks its state and
  // the time again. After changing that state a caller's peer notifies `cv` and calls `kick`.
  virtual void waitUntil(int64_t time, std::unique_lock<std::mutex>& lock,
                         std::condition_variable& cv) = 0;
  virtual void kick() {}
  // On a virtual clock time passes only while a device waits for it: a device that waits for
  // its engine lets no time pass.
  virtual bool isVirtual() const { return false; }
};

class SystemClock final : public AudioClock {
 public:
  static SystemClock& instance();
  int64_t now() override;
  void waitUntil(int64_t time, std::unique_lock<std::mutex>& lock,
                 std::condition_variable& cv) override;
};

// Time that jumps to whatever a device waits for, up to a limit. Without a limit (the start)
// devices run as fast as their engines feed them; `hold` stops time where it is and `advance`
// lets it move on by a given amount, so a test can see what a device does in a known time.
class VirtualClock final : public AudioClock {
 public:
  static constexpr int64_t kNoLimit = std::numeric_limits<int64_t>::max();

  int64_t now() override;
  void waitUntil(int64_t time, std::unique_lock<std::mutex>& lock,
                 std::condition_variable& cv) override;
  void kick() override;
  bool isVirtual() const override { return true; }

  void hold();
  void advance(int64_t microseconds);
  void release();
  // Waits until `count` device threads wait at the limit (they have done everything up to it).
  void waitForBlocked(int count);

 private:
  void setLimit(int64_t limit);

  std::mutex mutex_;
  std::condition_variable changed_;
  int64_t now_ = 0;
  int64_t limit_ = kNoLimit;
  uint64_t kicks_ = 0;
  int blocked_ = 0;  // threads waiting at the present limit
};

}  // namespace quillon
