#pragma once

#include <string>

namespace quillon::platform {

// The per-user folders of the freedesktop base directory rules. Every call reads the
// environment afresh, so tests can point XDG_CONFIG_HOME and friends at temporary folders.
struct XdgDirs {
  static std::string configHome();  // $XDG_CONFIG_HOME or ~/.config
  static std::string cacheHome();   // $XDG_CACHE_HOME or ~/.cache
  static std::string stateHome();   // $XDG_STATE_HOME or ~/.local/state
  static std::string runtimeDir();  // $XDG_RUNTIME_DIR or a private folder under /tmp
  // The user's music folder from user-dirs.dirs, else ~/Music when it exists; empty when the
  // system has none.
  static std::string musicDir();

  // Quillon's own folders: "<base>/quillon". Not created here.
  static std::string configFolder();   // settings.ini and stored files
  static std::string cacheFolder();    // default working folder for block files
  static std::string stateFolder();    // logs
  static std::string runtimeFolder();  // lock files and sockets
};

// Joins a folder and a name with one '/'.
std::string joinPath(const std::string& folder, const std::string& name);

// The folder part of a path ("" for a bare name, "/" for a file in the root).
std::string parentFolder(const std::string& path);

// The extension of a path: from the last "." after the last "/" or "\", lower-case; none when
// the only such dot is the path's first character.
std::string extensionOf(const std::string& path);
// The extension as the "…FileFormat" settings keep it: without leading "." or "*".
std::string storedExtension(const std::string& path);

// Creates the folder and its missing parents; true when it exists afterwards.
bool makeFolders(const std::string& folder, unsigned mode = 0700);

bool folderExists(const std::string& folder);
bool fileExists(const std::string& path);

}  // namespace quillon::platform
