#include "platform/xdg_dirs.h"

#include <cctype>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <fstream>

#include <cerrno>
#include <cstdlib>

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

std::string joinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  if (folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

std::string parentFolder(const std::string& path) {
  auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return {};
  if (slash == 0) return "/";
  return path.substr(0, slash);
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

std::string extensionOf(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  const size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash) || dot == 0) {
    return {};
  }
  std::string extension = path.substr(dot);
  for (char& c : extension)
    c = char(std::tolower(static_cast<unsigned char>(c)));
  return extension;
}

std::string storedExtension(const std::string& path) {
  std::string extension = extensionOf(path);
  extension.erase(0, extension.find_first_not_of(".*"));
  return extension;
}

}  // namespace quillon::platform
