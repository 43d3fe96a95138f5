#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/interaction.h"
#include "shell/block_folder.h"
#include "shell/startup_guard.h"
#include "shell/storage_card_monitor.h"
#include "shell/working_folder.h"

namespace quillon {

class Editor;

// The editor's way from its start to the running window and back out, apart from the window
// itself. In order:
//   takeGuard()                       the start-up guard (at most 20 s; start-up goes on after)
//   [a running instance takes the arguments: the start ends here]
//   [listen for hand-overs]
//   prepareWorkingFolder()            card search, working folder, its claim, the block store
//   [create the main window and its Editor; enable the card watch]
//   takeFirstStartGreeting()          then, queued: welcomeSequence
//   openFiles(editor, arguments())
//   releaseGuard()
//   [event loop; closing the window asks closeForExit first]
//   [destroy the main window and its Editor]
//   finishExit()                      clipboard, block files, the folder's lock
class StartupSequence {
 public:
  explicit StartupSequence(std::vector<std::string> arguments,
                           StorageCardSearch search = StorageCardSearch::system());
  ~StartupSequence();
  StartupSequence(const StartupSequence&) = delete;
  StartupSequence& operator=(const StartupSequence&) = delete;

  const std::vector<std::string>& arguments() const { return arguments_; }

  void takeGuard(int budgetMilliseconds = StartupGuard::kBudgetMilliseconds);
  bool guardHeld() const { return guard_.held(); }
  void releaseGuard() { guard_.release(); }

  // Looks for a storage card (only when "UseDefaultWorkingDir" is set: a card that does not hold
  // the working folder is none of the editor's business), chooses the working folder and claims
  // it (a private folder inside it when another editor works there, the default folder when it
  // cannot be claimed), removes the block files that dead editors and runs left, and gives the
  // folder to the block store. False when no folder could be claimed.
  bool prepareWorkingFolder();
  const std::string& workingFolder() const { return claim_.folder(); }
  StorageCardMonitor& cardMonitor() { return cardMonitor_; }

  // Last, once nothing holds a Clip any more (the main window and its Editor are gone): clears
  // the clipboard, deletes the block files and lets the working folder go.
  void finishExit();

 private:
  std::vector<std::string> arguments_;
  StorageCardSearch search_;
  StartupGuard guard_;
  StorageCardMonitor cardMonitor_;
  BlockFolderClaim claim_;
};

// Whether this start greets a new user: fewer than 2 arguments and "NewInstall" set, which it
// then clears.
bool takeFirstStartGreeting(const std::vector<std::string>& arguments);

// The greeting of the first start: asks whether to read the tutorial, then tells where the
// intermediate files are kept (on the card, or a request to insert one). Answers whether the
// user wants the tutorial: the caller then posts "&Help Contents" (command 9).
bool welcomeSequence(Interaction& interaction, const std::string& cardFolder);

// Opens argument 1 as the document when there are at least 2 arguments and it names an existing
// file, and refreshes the command states; otherwise nothing. Answers whether a file was opened.
// The running editor calls it with its own arguments and with every hand-over.
bool openFiles(Editor& editor, const std::vector<std::string>& arguments);

// Before the main window closes: closes the document through command 2100, asking to save. False
// when the user cancelled: the window stays.
bool closeForExit(Editor& editor);

}  // namespace quillon
