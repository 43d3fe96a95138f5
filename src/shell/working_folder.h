#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quillon {

// The folder on a storage card that holds block files, and the file that tries it.
inline constexpr char kCardFolderName[] = "Quillon";
inline constexpr char kProbeFileName[] = "qltemp.tmp";

// Where storage cards are looked for and how they are measured.
struct StorageCardSearch {
  // Folders whose subfolders are the mount points of removable media, looked at in order.
  std::vector<std::string> mountRoots;
  // Only subfolders on another device than their root (mount points) count.
  bool mountPointsOnly = true;
  // The free bytes of a folder's volume; platform::freeBytesAvailable unless set.
  std::function<std::optional<uint64_t>(const std::string&)> freeSpace;

  // "/media/$USER" and "/run/media/$USER"; or, when $QUILLON_MEDIA_ROOTS is set, the folders it
  // lists (separated by ':'), every subfolder of which counts as a card.
  static StorageCardSearch system();
};

// The editor's own folder for block files, "$XDG_CACHE_HOME/quillon", created.
std::string defaultWorkingFolder();

// Tries a folder as a place for block files: creates it if needed, creates "qltemp.tmp" there
// (replacing any), writes 4 zero bytes, and passes when the file then reads back as 4 bytes and
// can be deleted.
bool probeFolder(const std::string& folder);

// The folder "Quillon" on the first storage card (by name within each root) that passes the
// probe and has more free space, in whole megabytes, than the default working folder; empty when
// there is none.
std::string findStorageCardFolder(const StorageCardSearch& search);

// The folder for this run's block files: with "UseDefaultWorkingDir" set, the card folder when a
// card is used, else the default folder; otherwise "WorkingFolder" (by default what that rule
// gives), created when it does not exist. A folder that cannot be created gives way to the
// default folder. Chosen once at start-up.
std::string workingFolder(const std::string& cardFolder);

}  // namespace quillon
