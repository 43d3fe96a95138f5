#include "shell/startup_sequence.h"

#include "document/block_store.h"
#include "document/edit_commands.h"
#include "platform/settings.h"
#include "platform/xdg_dirs.h"
#include "shell/command_table.h"
#include "shell/editor.h"
#include "shell/shell_messages.h"

namespace quillon {

StartupSequence::StartupSequence(std::vector<std::string> arguments, StorageCardSearch search)
    : arguments_(std::move(arguments)), search_(std::move(search)) {}

StartupSequence::~StartupSequence() = default;

void StartupSequence::takeGuard(int budgetMilliseconds) {
  guard_.take(budgetMilliseconds);
}

bool StartupSequence::prepareWorkingFolder() {
  cardMonitor_ =
      settings::kUseDefaultWorkingDir.read() ? StorageCardMonitor(search_) : StorageCardMonitor();
  const std::string chosen = quillon::workingFolder(cardMonitor_.cardFolder());
  const std::string fallback = defaultWorkingFolder();
  for (const std::string& folder : {chosen, fallback}) {
    removeAbandonedBlockFolders(folder);
    if (claim_.claim(folder) || claim_.claimPrivate(folder, "editor")) {
      // A card whose folder could not be claimed holds nothing of ours: no need to watch it.
      if (folder != chosen) cardMonitor_ = StorageCardMonitor();
      if (folder != platform::XdgDirs::cacheFolder()) {
        removeAbandonedBlockFolders(platform::XdgDirs::cacheFolder());
      }
      BlockStore::instance().setFolder(claim_.folder());
      return true;
    }
  }
  return false;
}

void StartupSequence::finishExit() {
  clipboard().clear();
  BlockStore::instance().purgeAll();
  claim_.release();
  guard_.release();
}

bool takeFirstStartGreeting(const std::vector<std::string>& arguments) {
  if (arguments.size() >= 2 || !settings::kNewInstall.read()) return false;
  settings::kNewInstall.write(false);
  return true;
}

bool welcomeSequence(Interaction& interaction, const std::string& cardFolder) {
  const bool tutorial =
      interaction.messageBox(messages::kWelcomeCaption, messages::kWelcome, MessageIcon::Question,
                             MessageButtons::YesNo) == Answer::Yes;
  interaction.messageBox(
      kProductTitle, cardFolder.empty() ? messages::kNoStorageCard : messages::kStorageCardInUse,
      MessageIcon::Information, MessageButtons::Ok);
  return tutorial;
}

bool openFiles(Editor& editor, const std::vector<std::string>& arguments) {
  if (arguments.size() < 2 || !platform::fileExists(arguments[1])) return false;
  const bool opened = editor.openFile(arguments[1]);
  editor.refreshCommandStates();
  return opened;
}

bool closeForExit(Editor& editor) {
  // For this command the dispatcher answers whether the close was refused.
  return !editor.dispatchCommand(kCommandCloseBeforeExit);
}

}  // namespace quillon
