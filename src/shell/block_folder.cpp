#include "shell/block_folder.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include "document/block_store.h"
#include "platform/file.h"
#include "platform/paths.h"
#include "platform/xdg_dirs.h"

namespace quillon {
namespace {

// A cleaner may hold a lock for the moment it takes to look at it.
constexpr int kClaimWaitMilliseconds = 200;

std::string lockPathIn(const std::string& folder) {
  return platform::joinPath(folder, kBlockFolderLock);
}

// Under the folder's lock: its block files and lock file go, then the folder if it is empty.
void clearFolder(const std::string& folder, bool removeFolder) {
  BlockStore::removeBlockFiles(folder);
  platform::removeFile(lockPathIn(folder));
  if (removeFolder) ::rmdir(folder.c_str());
}

}  // namespace

bool BlockFolderClaim::claim(const std::string& folder) {
  release();
  if (!platform::makeFolders(folder)) return false;
  lock_ = platform::LockFile::acquire(lockPathIn(folder), platform::LockFile::Mode::Exclusive,
                                      kClaimWaitMilliseconds);
  if (!lock_.locked()) {
    lock_.close();
    return false;
  }
  folder_ = folder;
  private_ = false;
  BlockStore::removeBlockFiles(folder);  // left by a process that died while working here
  return true;
}

bool BlockFolderClaim::claimPrivate(const std::string& base, const std::string& prefix) {
  if (!claim(platform::joinPath(base, prefix + "-" + std::to_string(::getpid())))) return false;
  private_ = true;
  return true;
}

void BlockFolderClaim::release() {
  if (!lock_.locked()) return;
  clearFolder(folder_, private_);
  lock_.close();
  folder_.clear();
  private_ = false;
}

void removeAbandonedBlockFolders(const std::string& base) {
  std::vector<std::string> folders;
  if (DIR* dir = ::opendir(base.c_str())) {
    while (dirent* entry = ::readdir(dir)) {
      const std::string name = entry->d_name;
      if (name == "." || name == "..") continue;
      const std::string folder = platform::joinPath(base, name);
      struct stat st {};
      if (::lstat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) folders.push_back(folder);
    }
    ::closedir(dir);
  }
  for (const std::string& folder : folders) {
    // Only folders with a lock file are block folders; one whose lock we can take is abandoned.
    const platform::LockFile lock =
        platform::LockFile::tryExisting(lockPathIn(folder), platform::LockFile::Mode::Exclusive);
    if (lock.locked()) clearFolder(folder, true);
  }
}

}  // namespace quillon
