#include "platform/xdg_dirs.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <fstream>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

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

bool haveRuntimeDir() {
  const char* value = std::getenv("XDG_RUNTIME_DIR");
  return value && value[0] == '/';
}

std::string octal(unsigned mode) {
  char text[8];
  std::snprintf(text, sizeof text, "%04o", mode);
  return text;
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
  if (haveRuntimeDir()) return std::getenv("XDG_RUNTIME_DIR");
  const char* temp = std::getenv("TMPDIR");
  const std::string base = temp && temp[0] == '/' ? temp : "/tmp";
  return joinPath(base, "quillon-runtime-" + std::to_string(::getuid()));
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

std::string XdgDirs::privateRuntimeFolder(std::string* refusal) {
  std::string why;
  // The fallback base lies in the shared /tmp, where anyone may have made it first.
  if (!haveRuntimeDir()) why = makePrivateFolder(runtimeDir());
  const std::string folder = runtimeFolder();
  if (why.empty()) why = makePrivateFolder(folder);
  if (refusal) *refusal = why;
  return why.empty() ? folder : std::string();
}

std::string makePrivateFolder(const std::string& folder) {
  if (folder.empty()) return "No folder was given for Quillon's private files.";
  if (::mkdir(folder.c_str(), 0700) != 0 && errno == ENOENT) {
    makeFolders(parentFolder(folder));
    ::mkdir(folder.c_str(), 0700);
  }
  struct stat st {};
  if (::lstat(folder.c_str(), &st) != 0) {
    return "The folder \"" + folder +
           "\" for Quillon's private files cannot be made: " + std::strerror(errno) + ".";
  }
  if (!S_ISDIR(st.st_mode) || st.st_uid != ::geteuid() || (st.st_mode & 077) != 0) {
    return "The folder \"" + folder +
           "\" for Quillon's private files is refused: it must be a real folder of your own "
           "that no one else may open (mode 0700), and it is " +
           (S_ISLNK(st.st_mode)        ? std::string("a symbolic link")
            : !S_ISDIR(st.st_mode)     ? std::string("not a folder")
            : st.st_uid != ::geteuid() ? "owned by user " + std::to_string(st.st_uid)
                                       : "open to others (mode " + octal(st.st_mode & 0777) + ")") +
           ". Remove it, or set XDG_RUNTIME_DIR to a private folder.";
  }
  return {};
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
