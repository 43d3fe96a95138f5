#include "platform/xdg_dirs.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <fstream>

#include <cerrno>
#include <cstdlib>

#include "platform/paths.h"

namespace quillon::platform {
namespace {

std::string homeFolder() {
  if (const char* home = std::getenv("HOME"); home && *home) return home;
  if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) return pw->pw_dir;
  return "/tmp";
}

// An XDG variable counts only when it holds an absolute path.
std::string fromEnv(const char* name, const std::string& fallbackUnderHome) {
  if (const char* value = std::getenv(name); value && value[0] == '/') return value;
  return joinPath(homeFolder(), fallbackUnderHome);
}

// Reads XDG_MUSIC_DIR="$HOME/Music" from user-dirs.dirs.
std::string userDirsMusic() {
  std::ifstream in(joinPath(XdgDirs::configHome(), "user-dirs.dirs"));
  std::string line;
  const std::string key = "XDG_MUSIC_DIR=";
  while (std::getline(in, line)) {
    if (line.compare(0, key.size(), key) != 0) continue;
    std::string value = line.substr(key.size());
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
      value = value.substr(1, value.size() - 2);
    }
    if (value.compare(0, 5, "$HOME") == 0) value = homeFolder() + value.substr(5);
    // A music folder equal to the home folder means the user switched it off.
    if (value.empty() || value[0] != '/' || value == homeFolder() || value == homeFolder() + "/") {
      return {};
    }
    return value;
  }
  return {};
}

}  // namespace

std::string XdgDirs::configHome() {
  return fromEnv("XDG_CONFIG_HOME", ".config");
}
std::string XdgDirs::cacheHome() {
  return fromEnv("XDG_CACHE_HOME", ".cache");
}
std::string XdgDirs::stateHome() {
  return fromEnv("XDG_STATE_HOME", ".local/state");
}

std::string XdgDirs::runtimeDir() {
  if (const char* value = std::getenv("XDG_RUNTIME_DIR"); value && value[0] == '/') return value;
  return "/tmp/quillon-runtime-" + std::to_string(getuid());
}

std::string XdgDirs::musicDir() {
  std::string music = userDirsMusic();
  if (!music.empty()) return music;
  std::string fallback = joinPath(homeFolder(), "Music");
  return folderExists(fallback) ? fallback : std::string();
}

std::string XdgDirs::configFolder() {
  return joinPath(configHome(), "quillon");
}
std::string XdgDirs::cacheFolder() {
  return joinPath(cacheHome(), "quillon");
}
std::string XdgDirs::stateFolder() {
  return joinPath(stateHome(), "quillon");
}
std::string XdgDirs::runtimeFolder() {
  return joinPath(runtimeDir(), "quillon");
}

bool makeFolders(const std::string& folder, unsigned mode) {
  if (folder.empty()) return false;
  if (folderExists(folder)) return true;
  std::string parent = parentFolder(folder);
  if (!parent.empty() && parent != folder && !folderExists(parent)) makeFolders(parent, mode);
  if (::mkdir(folder.c_str(), mode) == 0 || errno == EEXIST) return folderExists(folder);
  return false;
}

bool folderExists(const std::string& folder) {
  struct stat st {};
  return ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool fileExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace quillon::platform
