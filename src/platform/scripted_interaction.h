#pragma once

#include <csignal>
#include <deque>
#include <iosfwd>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/interaction.h"

namespace quillon {

// Answers the user's questions from a script, for tests and the command-line program.
// Every message box is recorded (and echoed to stderr with its caption when `echo` is set).
// Questions take the next queued answer, else `defaultAnswer` (Yes or No; for OK/Cancel boxes
// Yes means OK and No means Cancel). Progress is drawn as a bar on stderr when stderr is a
// terminal and `showProgress` is set.
class ScriptedInteraction : public Interaction {
 public:
  struct ShownMessage {
    std::string caption;
    std::string text;
    MessageIcon icon;
    MessageButtons buttons;
    Answer answer;
  };

  Answer messageBox(const std::string& caption, const std::string& text, MessageIcon icon,
                    MessageButtons buttons) override;
  std::unique_ptr<ProgressDisplay> openProgress(const std::string& title) override;

  std::optional<std::string> chooseFile(const FileChooserRequest& request) override;
  bool editForm(const Form& form, DialogValues& values) override;

  void queueAnswer(Answer answer) { answers_.push_back(answer); }
  // The next file chooser returns this path (nothing queued: the chooser is cancelled).
  void queueFile(std::string path) { files_.push_back(std::move(path)); }
  // The next dialog of that name is answered with these values over its own and OK; a dialog
  // without queued answers is accepted unchanged unless `cancelDialogs` is set.
  void queueDialog(std::string dialog, std::map<std::string, std::string> answers) {
    dialogs_.push_back(DialogValues(std::move(dialog), std::move(answers)));
  }

  // Forgets the answers, files and dialogs queued and not used.
  void clearQueues() {
    answers_.clear();
    files_.clear();
    dialogs_.clear();
  }

  // The script.
  Answer defaultAnswer = Answer::No;
  bool echo = false;
  std::ostream* echoTo = nullptr;  // where echoed messages go (nothing set: stderr)
  bool showProgress = false;
  int cancelAfterReports = -1;       // the Nth progress report closes the dialog (-1: never)
  bool progressUnavailable = false;  // the progress dialog cannot be shown
  bool cancelDialogs = false;        // every dialog without queued answers is cancelled
  // When set and non-zero, every progress dialog counts as closed (an interrupt from the user).
  const volatile std::sig_atomic_t* cancelFlag = nullptr;

  // What happened.
  std::vector<ShownMessage> shown;
  std::vector<std::string> jobTitles;
  std::vector<int> percents;  // every value given to a progress bar, in order
  std::string lines[2];       // the last text of each progress line
  int progressReports = 0;
  int openProgressDialogs = 0;  // shown and not yet closed
  std::vector<FileChooserRequest> fileRequests;
  std::vector<DialogValues> dialogsShown;  // each dialog as it was opened

 private:
  std::deque<Answer> answers_;
  std::deque<std::string> files_;
  std::deque<DialogValues> dialogs_;
};

}  // namespace quillon
