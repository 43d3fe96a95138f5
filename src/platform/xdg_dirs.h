#pragma once

#include <string>

namespace quillon::platform {

// The per-user folders of the freedesktop base directory rules. Every call reads the
// environment afresh, so tests can point XDG_CONFIG_HOME and friends at temporary folders.
struct XdgDirs {
  static std::string configHome();  // $XDG_CONFIG_HOME or ~/.config
  static std::string cacheHome();   // $XDG_CACHE_HOME or ~/.cache
  static std::string stateHome();   // $XDG_STATE_HOME or ~/.local/state
  // $XDG_RUNTIME_DIR, else "quillon-runtime-<uid>" in $TMPDIR or /tmp (made and checked by
  // `privateRuntimeFolder`, never used unchecked).
  static std::string runtimeDir();
  // The user's music folder from user-dirs.dirs, else ~/Music when it exists; empty when the
  // system has none.
  static std::string musicDir();

  // Quillon's own folders: "<base>/quillon". Not created here.
  static std::string configFolder();   // settings.ini and stored files
  static std::string cacheFolder();    // default working folder for block files
  static std::string stateFolder();    // logs
  static std::string runtimeFolder();  // lock files and sockets: see privateRuntimeFolder

  // The runtime folder where lock files, state files and the editor's socket go, made when
  // missing and checked before every use: it and, for the fallback under /tmp, its base must be
  // private folders (`makePrivateFolder`), so that no other user can plant links or files there
  // or read what is kept there. "" when either is not, with the message that says why in
  // `refusal`.
  static std::string privateRuntimeFolder(std::string* refusal = nullptr);
};

// Makes `folder` with mode 0700 when it is missing (with its missing parents) and checks that it
// is private: a real folder (not a symbolic link) that this user owns and that no one else may
// read, write or enter. Answers "" when it is, else the message for the user.
std::string makePrivateFolder(const std::string& folder);

// Creates the folder and its missing parents; true when it exists afterwards.
bool makeFolders(const std::string& folder, unsigned mode = 0700);

bool folderExists(const std::string& folder);
bool fileExists(const std::string& path);

}  // namespace quillon::platform
