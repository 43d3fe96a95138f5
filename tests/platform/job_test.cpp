#include "platform/job.h"

#include <gtest/gtest.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <functional>

#include "platform/scripted_interaction.h"

namespace quillon {
namespace {

// A job whose work is given as a function.
class LambdaJob : public Job {
 public:
  LambdaJob(std::string title, std::function<JobResult(Job&)> work)
      : Job(std::move(title)), work_(std::move(work)) {}

 protected:
  JobResult run() override { return work_(*this); }

 private:
  std::function<JobResult(Job&)> work_;
};

// Work in 100 steps that stops at a cancel, as processing loops do.
JobResult steppedWork(Job& job, int& steps) {
  for (int i = 0; i < 100; ++i) {
    if (job.checkCancelled()) return JobResult::Cancelled;
    ++steps;
    job.setProgress((i + 1) / 100.0);
  }
  return JobResult::Done;
}

TEST(JobTest, ProgressAbove98IsDrawnFullFirst) {
  ScriptedInteraction ui;
  LambdaJob job("Amplify", [](Job& j) {
    j.setProgress(0.995);
    j.setProgress(0.5);
    j.setProgress(0.0);
    return JobResult::Done;
  });
  EXPECT_EQ(runJob(job, ui), JobResult::Done);
  EXPECT_EQ(ui.percents, (std::vector<int>{100, 99, 50, 0}));
  EXPECT_EQ(ui.jobTitles, (std::vector<std::string>{"Amplify"}));
}

TEST(JobTest, CancelStopsTheWorkAtTheNextCheck) {
  ScriptedInteraction ui;
  ui.cancelAfterReports = 3;
  int steps = 0;
  LambdaJob job("Normalize", [&](Job& j) { return steppedWork(j, steps); });
  EXPECT_EQ(runJob(job, ui), JobResult::Cancelled);
  EXPECT_EQ(steps, 3);
  EXPECT_EQ(job.result(), JobResult::Cancelled);
}

TEST(JobTest, AJobThatNeverReportsProgressStillReturnsItsResult) {
  ScriptedInteraction ui;
  LambdaJob job("Paste", [](Job&) { return JobResult::Failed; });
  EXPECT_EQ(runJob(job, ui), JobResult::Failed);
  LambdaJob done("Paste", [](Job& j) {
    j.setLine("Loading file a.wav", 0);
    j.setLine("Please wait...", 1);
    return JobResult::Done;
  });
  EXPECT_EQ(runJob(done, ui), JobResult::Done);
  EXPECT_EQ(ui.openProgressDialogs, 0);  // the dialog is closed again
  EXPECT_EQ(ui.lines[0], "Loading file a.wav");
  EXPECT_EQ(ui.lines[1], "Please wait...");
}

TEST(JobTest, WithoutADialogTheJobIsNotRunAndFails) {
  ScriptedInteraction ui;
  ui.progressUnavailable = true;
  bool ran = false;
  LambdaJob job("Echo", [&](Job&) {
    ran = true;
    return JobResult::Done;
  });
  EXPECT_EQ(runJob(job, ui), JobResult::Failed);
  EXPECT_FALSE(ran);
}

TEST(JobTest, AJobIsNotRunTwiceAtOnce) {
  ScriptedInteraction ui;
  JobResult inner = JobResult::Cancelled;
  LambdaJob* self = nullptr;
  LambdaJob job("Reverb", [&](Job&) {
    inner = runJob(*self, ui);
    return JobResult::Failed;
  });
  self = &job;
  EXPECT_EQ(runJob(job, ui), JobResult::Failed);
  EXPECT_EQ(inner, JobResult::Done);
}

TEST(JobTest, ErrorsAreShownCaptionedError) {
  ScriptedInteraction ui;
  LambdaJob job("Save", [](Job& j) {
    j.reportError("The disk is full.");
    return JobResult::Failed;
  });
  runJob(job, ui);
  ASSERT_EQ(ui.shown.size(), 1u);
  EXPECT_EQ(ui.shown[0].caption, "Error");
  EXPECT_EQ(ui.shown[0].text, "The disk is full.");
  EXPECT_EQ(ui.shown[0].icon, MessageIcon::Exclamation);
}

struct EventFd {
  EventFd() : fd(eventfd(0, EFD_CLOEXEC)) {}
  ~EventFd() { close(fd); }
  void signal() const {
    uint64_t one = 1;
    EXPECT_EQ(write(fd, &one, sizeof one), 8);
  }
  int fd;
};

TEST(JobTest, WaitsAnswerSignalledTimedOutOrCancelled) {
  ScriptedInteraction ui;
  EventFd first, second;
  LambdaJob job("Wait", [&](Job& j) {
    EXPECT_EQ(j.waitForObject(first.fd, 0), WaitResult::TimedOut);  // not signalled: at once
    EXPECT_EQ(j.waitForObject(first.fd, 30), WaitResult::TimedOut);
    second.signal();
    int which = -1;
    const WaitHandle both[] = {first.fd, second.fd};
    EXPECT_EQ(j.waitForAny(both, 1000, &which), WaitResult::Signalled);
    EXPECT_EQ(which, 1);
    EXPECT_EQ(j.waitForObject(second.fd, 0), WaitResult::Signalled);   // already signalled
    EXPECT_EQ(j.waitForObject(second.fd, -1), WaitResult::Signalled);  // without limit
    EXPECT_EQ(j.waitTime(10), WaitResult::TimedOut);
    return JobResult::Done;
  });
  EXPECT_EQ(runJob(job, ui), JobResult::Done);

  ScriptedInteraction cancelling;
  cancelling.cancelAfterReports = 0;
  LambdaJob cancelled("Wait", [&](Job& j) {
    EXPECT_EQ(j.waitTime(5000), WaitResult::Cancelled);
    EXPECT_EQ(j.waitForObject(first.fd, 5000), WaitResult::Cancelled);
    return JobResult::Cancelled;
  });
  EXPECT_EQ(runJob(cancelled, cancelling), JobResult::Cancelled);
}

TEST(ScriptedInteractionTest, QuestionsTakeQueuedAnswersThenTheDefault) {
  ScriptedInteraction ui;
  ui.defaultAnswer = Answer::Yes;
  ui.queueAnswer(Answer::No);
  EXPECT_EQ(
      ui.messageBox("Welcome", "Read the tutorial?", MessageIcon::Question, MessageButtons::YesNo),
      Answer::No);
  EXPECT_EQ(ui.messageBox("Welcome", "Again?", MessageIcon::Question, MessageButtons::YesNo),
            Answer::Yes);
  EXPECT_EQ(ui.messageBox("Q", "Ok?", MessageIcon::None, MessageButtons::OkCancel), Answer::Ok);
  EXPECT_EQ(ui.messageBox("Q", "Note", MessageIcon::None, MessageButtons::Ok), Answer::Ok);
  ui.defaultAnswer = Answer::No;
  EXPECT_EQ(ui.messageBox("Q", "Ok?", MessageIcon::None, MessageButtons::OkCancel), Answer::Cancel);
  EXPECT_EQ(ui.shown.size(), 5u);
}

}  // namespace
}  // namespace quillon
