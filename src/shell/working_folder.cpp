#include "shell/working_folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

#include "platform/disk_space.h"
#include "platform/settings.h"
#include "platform/xdg_dirs.h"

namespace quillon {
namespace {

std::string userName() {
  if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_name) return pw->pw_name;
  const char* name = std::getenv("USER");
  return name ? name : "";
}

std::vector<std::string> splitFolders(const std::string& list) {
  std::vector<std::string> folders;
  size_t start = 0;
  while (start <= list.size()) {
    size_t end = list.find(':', start);
    if (end == std::string::npos) end = list.size();
    if (end > start) folders.push_back(list.substr(start, end - start));
    start = end + 1;
  }
  return folders;
}

// The subfolders of a mount root that may be cards, by name.
std::vector<std::string> candidateMounts(const std::string& root, bool mountPointsOnly) {
  struct stat rootStat {};
  if (::stat(root.c_str(), &rootStat) != 0) return {};
  std::vector<std::string> names;
  if (DIR* dir = ::opendir(root.c_str())) {
    while (dirent* entry = ::readdir(dir)) {
      const std::string name = entry->d_name;
      if (name == "." || name == "..") continue;
      struct stat st {};
      if (::stat(platform::joinPath(root, name).c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        continue;
      }
      if (mountPointsOnly && st.st_dev == rootStat.st_dev) continue;
      names.push_back(name);
    }
    ::closedir(dir);
  }
  std::sort(names.begin(), names.end());
  for (std::string& name : names)
    name = platform::joinPath(root, name);
  return names;
}

std::optional<uint64_t> freeMegabytes(const StorageCardSearch& search, const std::string& folder) {
  std::optional<uint64_t> bytes =
      search.freeSpace ? search.freeSpace(folder) : platform::freeBytesAvailable(folder);
  if (!bytes) return std::nullopt;
  return *bytes >> 20;
}

}  // namespace

StorageCardSearch StorageCardSearch::system() {
  StorageCardSearch search;
  if (const char* roots = std::getenv("QUILLON_MEDIA_ROOTS")) {
    search.mountRoots = splitFolders(roots);
    search.mountPointsOnly = false;
    return search;
  }
  const std::string user = userName();
  if (!user.empty()) search.mountRoots = {"/media/" + user, "/run/media/" + user};
  return search;
}

std::string defaultWorkingFolder() {
  std::string folder = platform::XdgDirs::cacheFolder();
  platform::makeFolders(folder);
  return folder;
}

bool probeFolder(const std::string& folder) {
  if (!platform::makeFolders(folder)) return false;
  const std::string probe = platform::joinPath(folder, kProbeFileName);
  const int flags = O_NOFOLLOW | O_CLOEXEC;
  int fd = ::open(probe.c_str(), O_RDWR | O_CREAT | O_TRUNC | flags, 0600);
  if (fd < 0) return false;
  static const char kZeros[4] = {};
  const bool written = ::write(fd, kZeros, sizeof kZeros) == ssize_t(sizeof kZeros);
  if (::close(fd) != 0 || !written) return false;
  // Read back through a new descriptor, as the card's file system now has it.
  fd = ::open(probe.c_str(), O_RDONLY | flags);
  if (fd < 0) return false;
  char back[8];
  const bool fourBytes = ::read(fd, back, sizeof back) == 4;
  ::close(fd);
  return fourBytes && ::unlink(probe.c_str()) == 0;
}

std::string findStorageCardFolder(const StorageCardSearch& search) {
  for (const std::string& root : search.mountRoots) {
    for (const std::string& mount : candidateMounts(root, search.mountPointsOnly)) {
      const std::string folder = platform::joinPath(mount, kCardFolderName);
      if (!probeFolder(folder)) continue;
      const std::optional<uint64_t> card = freeMegabytes(search, folder);
      const std::optional<uint64_t> main = freeMegabytes(search, defaultWorkingFolder());
      if (card && main && *main < *card) return folder;
    }
  }
  return {};
}

std::string workingFolder(const std::string& cardFolder) {
  const std::string byDefault = cardFolder.empty() ? defaultWorkingFolder() : cardFolder;
  if (settings::kUseDefaultWorkingDir.read()) return byDefault;
  const std::string chosen = settings::kWorkingFolder.read(byDefault);
  return platform::makeFolders(chosen) ? chosen : defaultWorkingFolder();
}

}  // namespace quillon
