#include "platform/notice_poster.h"

#include <chrono>

namespace quillon {

void NoticeQueue::post(std::function<void()> notice) {
  {
    std::lock_guard lock(mutex_);
    notices_.push_back(std::move(notice));
  }
  posted_.notify_one();
}

int NoticeQueue::runPending() {
  int ran = 0;
  for (;;) {
    std::function<void()> notice;
    {
      std::lock_guard lock(mutex_);
      if (notices_.empty()) return ran;
      notice = std::move(notices_.front());
      notices_.pop_front();
    }
    notice();
    ++ran;
  }
}

int NoticeQueue::waitAndRun(int milliseconds) {
  {
    std::unique_lock lock(mutex_);
    posted_.wait_for(lock, std::chrono::milliseconds(milliseconds),
                     [this] { return !notices_.empty(); });
  }
  return runPending();
}

}  // namespace quillon
