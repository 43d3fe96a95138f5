#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

namespace quillon {

// Carries a worker thread's notice onto the user-interface thread. The editor posts a queued call
// into the Qt event loop, the command line runs a `NoticeQueue` in its loop, tests run notices at
// once. A notice must not outlive what it refers to: its poster's owner guards that (a notice
// checks a token, or the owner drains the queue before it goes).
class NoticePoster {
 public:
  virtual ~NoticePoster() = default;
  // Callable from any thread; `notice` runs on the user-interface thread.
  virtual void post(std::function<void()> notice) = 0;
};

// Runs each notice at once on the posting thread.
class DirectNoticePoster final : public NoticePoster {
 public:
  void post(std::function<void()> notice) override { notice(); }
};

// Keeps notices until the thread that owns the queue runs them.
class NoticeQueue final : public NoticePoster {
 public:
  void post(std::function<void()> notice) override;
  // Runs every notice posted so far (and those they post); answers how many ran.
  int runPending();
  // Waits up to `milliseconds` for a notice when none is pending, then runs what is pending.
  int waitAndRun(int milliseconds);

 private:
  std::mutex mutex_;
  std::condition_variable posted_;
  std::deque<std::function<void()>> notices_;
};

}  // namespace quillon
