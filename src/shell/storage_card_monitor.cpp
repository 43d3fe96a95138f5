#include "shell/storage_card_monitor.h"

#include "platform/xdg_dirs.h"
#include "shell/shell_messages.h"

namespace quillon {

StorageCardMonitor::StorageCardMonitor(const StorageCardSearch& search)
    : cardFolder_(findStorageCardFolder(search)), lastKnownPresent_(!cardFolder_.empty()) {}

bool StorageCardMonitor::isCardPresent() const {
  return !cardFolder_.empty() && platform::folderExists(cardFolder_);
}

bool StorageCardMonitor::poll() {
  if (!enabled_ || cardFolder_.empty()) return false;
  const bool present = platform::folderExists(cardFolder_);
  if (present == lastKnownPresent_) return false;
  if (++changeCount_ < kChangesToNotice) return false;
  lastKnownPresent_ = present;
  changeCount_ = 0;
  return true;
}

void handleStorageCardNotice(const StorageCardMonitor& monitor, Interaction& interaction,
                             const CardNoticeHooks& hooks) {
  if (monitor.cardFolder().empty()) return;
  bool stoppedPlayback = false;
  while (!monitor.isCardPresent()) {
    if (hooks.isPlaying && hooks.isPlaying()) {
      if (hooks.stopPlayback) hooks.stopPlayback();
      stoppedPlayback = true;
    }
    if (hooks.bringToFront) hooks.bringToFront();
    const Answer answer = interaction.messageBox(kProductTitle, messages::kStorageCardRemoved,
                                                 MessageIcon::Question, MessageButtons::YesNo);
    if (answer != Answer::Yes) break;
  }
  if (!monitor.isCardPresent()) {
    if (hooks.quit) hooks.quit();
  } else if (stoppedPlayback && hooks.resumePlayback) {
    hooks.resumePlayback();
  }
}

}  // namespace quillon
