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

// Creates the folder and its missing parents; true when it exists afterwards.
bool makeFolders(const std::string& folder, unsigned mode = 0700);

bool folderExists(const std::string& folder);
bool fileExists(const std::string& path);

}  // namespace quillon::platform
