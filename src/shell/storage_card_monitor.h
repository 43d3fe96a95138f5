#pragma once

#include <functional>
#include <string>

#include "platform/interaction.h"
#include "shell/working_folder.h"

namespace quillon {

// Watches the storage card that holds the working folder. The editor's one-second timer calls
// `poll`; a card that is pulled and put back within two polls goes unnoticed, because the known
// state changes only after three polls that disagree with it (a poll that agrees in between does
// not reset the count). When it changes, `poll` answers true and the editor raises the card
// notice (`handleStorageCardNotice`).
class StorageCardMonitor {
 public:
  // No card: nothing to watch.
  StorageCardMonitor() = default;
  // Searches for a card at once; the card found (if any) is the one watched.
  explicit StorageCardMonitor(const StorageCardSearch& search);

  // The card's "Quillon" folder; empty when no card is used.
  const std::string& cardFolder() const { return cardFolder_; }
  // A card is used and its folder exists now.
  bool isCardPresent() const;
  void enable(bool on) { enabled_ = on; }
  bool isEnabled() const { return enabled_; }
  bool lastKnownPresent() const { return lastKnownPresent_; }

  // One tick of the timer (ignored while disabled or without a card): true when the known state
  // has just changed.
  bool poll();

  static constexpr int kPollMilliseconds = 1000;
  static constexpr int kChangesToNotice = 3;

 private:
  std::string cardFolder_;
  bool enabled_ = false;
  bool lastKnownPresent_ = false;
  int changeCount_ = 0;
};

// What the card notice needs from the editor around it.
struct CardNoticeHooks {
  std::function<bool()> isPlaying;
  std::function<void()> stopPlayback;
  std::function<void()> bringToFront;
  // Resumes the playback the notice stopped (the editor posts "Play", command 2031).
  std::function<void()> resumePlayback;
  // Ends the program at once, without asking to save.
  std::function<void()> quit;
};

// The card notice: while the card folder is missing, stops playback and asks the user to put the
// card back; quits when the card does not come back, else resumes playback that it stopped.
// Nothing happens without a card, or when the card is there.
void handleStorageCardNotice(const StorageCardMonitor& monitor, Interaction& interaction,
                             const CardNoticeHooks& hooks);

}  // namespace quillon
