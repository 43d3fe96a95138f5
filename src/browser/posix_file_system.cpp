#include "browser/posix_file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "platform/xdg_dirs.h"

namespace quillon::browser {
namespace {

bool isDotOrDotDot(const char* name) {
  return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// Fills an entry from what the folder entry and one stat of it tell.
void describe(BrowserEntry& entry, const dirent& found, int folderFd) {
  struct stat info;
  const bool isLink = found.d_type == DT_LNK;
  if (::fstatat(folderFd, found.d_name, &info, 0) == 0) {
    const bool isDirectory = S_ISDIR(info.st_mode);
    entry.kind = isLink        ? BrowserEntry::Kind::Link
                 : isDirectory ? BrowserEntry::Kind::Directory
                               : BrowserEntry::Kind::File;
    entry.opensAsFolder = isDirectory;
    entry.size = S_ISREG(info.st_mode) ? int64_t(info.st_size) : 0;
    entry.modified = int64_t(info.st_mtim.tv_sec);
  } else {
    // A link whose target is gone, or an entry that went while the folder was read.
    entry.kind = isLink                   ? BrowserEntry::Kind::Link
                 : found.d_type == DT_DIR ? BrowserEntry::Kind::Directory
                                          : BrowserEntry::Kind::File;
    entry.opensAsFolder = entry.kind == BrowserEntry::Kind::Directory;
  }
}

}  // namespace

bool PosixFileSystem::list(const std::string& folder, const ListingBatch& batch) {
  std::vector<BrowserEntry> pending;
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  DIR* dir = fd >= 0 ? ::fdopendir(fd) : nullptr;
  if (!dir) {
    if (fd >= 0) ::close(fd);
    batch(pending, true);
    return false;
  }
  using Clock = std::chrono::steady_clock;
  const auto interval = std::chrono::milliseconds(batchIntervalMs);
  auto lastBatch = Clock::now();
  const std::string prefix = folder.back() == '/' ? folder : folder + "/";
  bool wanted = true;
  size_t read = 0;
  while (const dirent* found = ::readdir(dir)) {
    if (isDotOrDotDot(found->d_name)) continue;
    BrowserEntry& entry = pending.emplace_back();
    entry.name = found->d_name;
    entry.path = prefix + entry.name;
    describe(entry, *found, fd);
    if (++read % 64 == 0 && Clock::now() - lastBatch >= interval) {
      wanted = batch(pending, false);
      pending.clear();
      lastBatch = Clock::now();
      if (!wanted) break;
    }
  }
  ::closedir(dir);
  if (wanted) batch(pending, true);
  return true;
}

std::string PosixFileSystem::currentFolder() {
  char buffer[4096];
  return ::getcwd(buffer, sizeof buffer) ? std::string(buffer) : std::string("/");
}

bool PosixFileSystem::openInShell(const BrowserEntry&) {
  return false;
}

bool removeTree(int parentFd, const char* name) {
  struct stat info;
  if (::fstatat(parentFd, name, &info, AT_SYMLINK_NOFOLLOW) != 0) return errno == ENOENT;
  if (!S_ISDIR(info.st_mode)) return ::unlinkat(parentFd, name, 0) == 0 || errno == ENOENT;

  const int fd = ::openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  DIR* dir = fd >= 0 ? ::fdopendir(fd) : nullptr;
  if (!dir) {
    if (fd >= 0) ::close(fd);
    return false;
  }
  bool removedAll = true;
  while (const dirent* found = ::readdir(dir)) {
    if (isDotOrDotDot(found->d_name)) continue;
    if (found->d_type == DT_DIR || found->d_type == DT_UNKNOWN) {
      removedAll = removeTree(fd, found->d_name) && removedAll;
    } else if (::unlinkat(fd, found->d_name, 0) != 0 && errno != ENOENT) {
      removedAll = false;
    }
  }
  ::closedir(dir);
  return removedAll && ::unlinkat(parentFd, name, AT_REMOVEDIR) == 0;
}

bool PosixFileSystem::remove(const BrowserEntry& entry) {
  return removeTree(AT_FDCWD, entry.path.c_str());
}

bool PosixFileSystem::rename(const std::string& from, const std::string& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
    return true;
  }
  if (errno != EINVAL && errno != ENOSYS) return false;
  // A file system without the no-replace flag: look first (a race here can only lose to
  // another program creating `to` in the same instant).
  struct stat info;
  if (::lstat(to.c_str(), &info) == 0) return false;
  return ::rename(from.c_str(), to.c_str()) == 0;
}

bool PosixFileSystem::createFolder(const std::string& path) {
  return ::mkdir(path.c_str(), 0777) == 0;
}

bool PosixFileSystem::directoryExists(const std::string& path) {
  return platform::folderExists(path);
}

bool PosixFileSystem::fileExists(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

}  // namespace quillon::browser
