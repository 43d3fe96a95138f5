#pragma once

#include <string>

#include "platform/lock_file.h"

namespace quillon {

// The lock file inside a block folder that its process holds while it works there.
inline constexpr char kBlockFolderLock[] = "blocks.lock";

// The folder that holds this process's block files, claimed through the lock file "blocks.lock"
// inside it for as long as the process works there. Block numbers start at 0 in every process,
// so two processes must never share a folder. Because the system releases the lock when its
// holder dies, block files in a folder whose lock nobody holds were left by a process that died:
// claiming the folder removes them. The editor claims its working folder (or, when another
// editor works there, a private folder inside it); every quillon-cli run claims a private one.
class BlockFolderClaim {
 public:
  BlockFolderClaim() = default;
  ~BlockFolderClaim() { release(); }
  BlockFolderClaim(const BlockFolderClaim&) = delete;
  BlockFolderClaim& operator=(const BlockFolderClaim&) = delete;

  // Claims `folder`, creating it; false when another process holds it or it cannot be made.
  bool claim(const std::string& folder);
  // Claims a folder of this process's own inside `base`, "<prefix>-<pid>", removed again by
  // `release`.
  bool claimPrivate(const std::string& base, const std::string& prefix);
  // Deletes the folder's block files and its lock file (and a private folder itself), then lets
  // the lock go. Call it only when no Clip names a block any more: the next claimant may start
  // writing blocks of the same numbers at once.
  void release();

  bool held() const { return lock_.locked(); }
  const std::string& folder() const { return folder_; }

 private:
  platform::LockFile lock_;
  std::string folder_;
  bool private_ = false;
};

// Removes the private block folders inside `base` whose lock nobody holds (left by editors and
// command-line runs that died): their block files, their lock file and the folder when nothing
// else is left in it. Folders in use are not touched.
void removeAbandonedBlockFolders(const std::string& base);

}  // namespace quillon
