#pragma once

#include <span>
#include <string>

#include "platform/interaction.h"

namespace quillon {

// Results of a job and of most long operations.
enum JobResult : int { kJobDone = 0, kJobCancelled = 1, kJobFailed = 2 };

// A waitable object: a descriptor that turns readable when the object is signalled
// (an eventfd, a pipe, a pidfd).
using WaitHandle = int;

// Work run under a progress dialog on the user-interface thread. The work reports through
// `setLine`/`setProgress` and asks `checkCancelled` between pieces (at least once per block of
// 8192 frames); both dispatch pending events, so a Cancel takes effect at the next call.
class Job {
 public:
  explicit Job(std::string title) : title_(std::move(title)) {}
  virtual ~Job() = default;
  Job(const Job&) = delete;
  Job& operator=(const Job&) = delete;

  // True once the dialog is gone (the user cancelled).
  bool checkCancelled();
  // 1 if the dialog was closed meanwhile, else 0.
  int waitTime(int milliseconds);
  // 0 signalled, 1 dialog closed, 2 timed out. A negative time waits without limit.
  int waitForObject(WaitHandle handle, int milliseconds);
  // As `waitForObject` for up to 63 objects; `signalled` receives the index of one that is.
  int waitForAny(std::span<const WaitHandle> handles, int milliseconds, int* signalled = nullptr);
  // A message box over the dialog, captioned "Error". Only while the job runs; before and
  // after, its caller reports.
  void reportError(const std::string& text);
  void setLine(const std::string& text, int line);
  void setProgress(double fraction);
  void startMarquee();
  void stopMarquee();

  const std::string& title() const { return title_; }
  int result() const { return result_; }

 protected:
  // The work: answers 0 done, 1 cancelled, 2 failed.
  virtual int run() = 0;

 private:
  friend int runJob(Job& job, Interaction& owner);

  std::string title_;
  int result_ = kJobFailed;
  ProgressDisplay* display_ = nullptr;
  Interaction* owner_ = nullptr;
  bool cancelled_ = false;
};

// Shows the progress dialog, runs the job and removes the dialog; answers the job's result.
// A job that already has a dialog is not run again (0). When the dialog cannot be shown the
// job is not run and its preset result, 2 (failed), is answered.
int runJob(Job& job, Interaction& owner);

}  // namespace quillon
