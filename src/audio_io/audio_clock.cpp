#include "audio_io/audio_clock.h"

#include <algorithm>
#include <chrono>

namespace quillon {

SystemClock& SystemClock::instance() {
  static SystemClock clock;
  return clock;
}

int64_t SystemClock::now() {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void SystemClock::waitUntil(int64_t time, std::unique_lock<std::mutex>& lock,
                            std::condition_variable& cv) {
  cv.wait_until(lock, std::chrono::steady_clock::time_point(std::chrono::microseconds(time)));
}

int64_t VirtualClock::now() {
  std::lock_guard lock(mutex_);
  return now_;
}

void VirtualClock::waitUntil(int64_t time, std::unique_lock<std::mutex>& lock,
                             std::condition_variable&) {
  std::unique_lock own(mutex_);
  if (time <= limit_) {
    now_ = std::max(now_, time);
    return;
  }
  now_ = std::max(now_, limit_);
  // Noted while the caller still holds its lock: a state change after this kicks.
  const uint64_t kicks = kicks_;
  const int64_t limit = limit_;
  lock.unlock();
  ++blocked_;
  changed_.notify_all();
  changed_.wait(own, [&] { return limit_ != limit || kicks_ != kicks; });
  if (limit_ == limit) --blocked_;  // a new limit starts the count afresh
  own.unlock();
  lock.lock();
}

void VirtualClock::kick() {
  std::lock_guard lock(mutex_);
  ++kicks_;
  changed_.notify_all();
}

void VirtualClock::setLimit(int64_t limit) {
  if (limit == limit_) return;
  limit_ = limit;
  blocked_ = 0;
  changed_.notify_all();
}

void VirtualClock::hold() {
  std::lock_guard lock(mutex_);
  setLimit(now_);
}

void VirtualClock::advance(int64_t microseconds) {
  std::lock_guard lock(mutex_);
  if (limit_ != kNoLimit) setLimit(limit_ + microseconds);
}

void VirtualClock::release() {
  std::lock_guard lock(mutex_);
  setLimit(kNoLimit);
}

void VirtualClock::waitForBlocked(int count) {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return blocked_ >= count; });
}

}  // namespace quillon
