#pragma once

#include <span>
#include <string>

#include "platform/interaction.h"

namespace quillon {

// Results of a job and of most long operations. The numbers are the exit status of quillon-cli.
enum class JobResult : int { Done = 0, Cancelled = 1, Failed = 2 };

// How a wait of a job ended.
enum class WaitResult { Signalled, Cancelled, TimedOut };

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
  // Cancelled if the dialog was closed meanwhile, else TimedOut.
  WaitResult waitTime(int milliseconds);
  // Signalled, Cancelled (the dialog was closed) or TimedOut. A negative time waits without
  // limit.
  WaitResult waitForObject(WaitHandle handle, int milliseconds);
  // As `waitForObject` for up to 63 objects; `signalled` receives the index of one that is.
  WaitResult waitForAny(std::span<const WaitHandle> handles, int milliseconds,
                        int* signalled = nullptr);
  // A message box over the dialog, captioned "Error". Only while the job runs; before and
  // after, its caller reports.
  void reportError(const std::string& text);
  void setLine(const std::string& text, int line);
  void setProgress(double fraction);
  void startMarquee();
  void stopMarquee();

  const std::string& title() const { return title_; }
  JobResult result() const { return result_; }

 protected:
  // The work.
  virtual JobResult run() = 0;

 private:
  friend JobResult runJob(Job& job, Interaction& owner);

  std::string title_;
  JobResult result_ = JobResult::Failed;
  ProgressDisplay* display_ = nullptr;
  Interaction* owner_ = nullptr;
  bool cancelled_ = false;
};

// Shows the progress dialog, runs the job and removes the dialog; answers the job's result.
// A job that already has a dialog is not run again (Done). When the dialog cannot be shown the
// job is not run and its preset result, Failed, is answered.
JobResult runJob(Job& job, Interaction& owner);

}  // namespace quillon
