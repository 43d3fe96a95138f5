#include "platform/job.h"

#include <poll.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>
#include <vector>

namespace quillon {
namespace {

// Waits are cut into slices so that events are dispatched while waiting.
constexpr int kSliceMs = 20;
constexpr size_t kMaxWaitHandles = 63;

int64_t nowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

bool Job::checkCancelled() {
  if (!cancelled_ && (!display_ || !display_->pump())) cancelled_ = true;
  return cancelled_;
}

WaitResult Job::waitTime(int milliseconds) {
  const int64_t deadline = nowMs() + std::max(milliseconds, 0);
  for (;;) {
    if (checkCancelled()) return WaitResult::Cancelled;
    int64_t remaining = deadline - nowMs();
    if (remaining <= 0) return WaitResult::TimedOut;
    std::this_thread::sleep_for(std::chrono::milliseconds(std::min<int64_t>(remaining, kSliceMs)));
  }
}

WaitResult Job::waitForObject(WaitHandle handle, int milliseconds) {
  return waitForAny(std::span<const WaitHandle>(&handle, 1), milliseconds);
}

WaitResult Job::waitForAny(std::span<const WaitHandle> handles, int milliseconds, int* signalled) {
  std::vector<pollfd> fds;
  for (size_t i = 0; i < std::min(handles.size(), kMaxWaitHandles); ++i) {
    fds.push_back({handles[i], POLLIN, 0});
  }
  const bool forever = milliseconds < 0;
  const int64_t deadline = nowMs() + std::max(milliseconds, 0);
  for (;;) {
    int64_t remaining = forever ? kSliceMs : std::max<int64_t>(deadline - nowMs(), 0);
    int ready =
        ::poll(fds.data(), fds.size(), static_cast<int>(std::min<int64_t>(remaining, kSliceMs)));
    if (ready > 0) {
      for (size_t i = 0; i < fds.size(); ++i) {
        if (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) {
          if (signalled) *signalled = static_cast<int>(i);
          return WaitResult::Signalled;
        }
      }
    }
    if (checkCancelled()) return WaitResult::Cancelled;
    if (!forever && deadline - nowMs() <= 0) return WaitResult::TimedOut;
  }
}

void Job::reportError(const std::string& text) {
  if (owner_) owner_->messageBox("Error", text, MessageIcon::Exclamation, MessageButtons::Ok);
}

void Job::setLine(const std::string& text, int line) {
  if (display_ && !cancelled_) display_->setLine(line, text);
}

void Job::setProgress(double fraction) {
  if (!display_ || cancelled_) return;
  if (!(fraction >= 0.0)) fraction = 0.0;  // also NaN
  fraction = std::min(fraction, 1.0);
  int percent = static_cast<int>(fraction * 100.0);
  // Above 98 the bar is first set one further, so that it is drawn full at once.
  if (percent > 98) display_->setPercent(percent + 1);
  display_->setPercent(percent);
  checkCancelled();
}

void Job::startMarquee() {
  if (display_ && !cancelled_) display_->setMarquee(true);
}

void Job::stopMarquee() {
  if (display_ && !cancelled_) display_->setMarquee(false);
}

JobResult runJob(Job& job, Interaction& owner) {
  if (job.display_) return JobResult::Done;
  std::unique_ptr<ProgressDisplay> display = owner.openProgress(job.title_);
  if (!display) return job.result_;
  job.display_ = display.get();
  job.owner_ = &owner;
  job.cancelled_ = false;
  job.result_ = job.run();
  job.display_ = nullptr;
  job.owner_ = nullptr;
  return job.result_;
}

}  // namespace quillon
