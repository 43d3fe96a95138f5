#pragma once

#include <functional>
#include <string>
#include <vector>

#include "browser/browser_entry.h"

namespace quillon::browser {

// Receives a folder's entries in batches while it is being read: `done` is set on the last one.
// Answering false stops the listing.
using ListingBatch = std::function<bool(std::vector<BrowserEntry>& batch, bool done)>;

// Everything the browser does to files goes through this, so that tests can give it a fake.
// Paths are full paths with "/" separators.
class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // Lists a folder without "." and "..": name, full path, kind, size of files and the time of
  // the last write, in no particular order. False (after an empty last batch) when the folder
  // cannot be read.
  virtual bool list(const std::string& folder, const ListingBatch& batch) = 0;
  // The process's current folder.
  virtual std::string currentFolder() = 0;
  // Hands the entry to the desktop: a file opens in its program, a folder in the file manager.
  virtual bool openInShell(const BrowserEntry& entry) = 0;
  // Removes a file or link, or a directory with everything in it (never following links).
  virtual bool remove(const BrowserEntry& entry) = 0;
  // Renames without replacing: fails when `to` exists.
  virtual bool rename(const std::string& from, const std::string& to) = 0;
  virtual bool createFolder(const std::string& path) = 0;
  virtual bool directoryExists(const std::string& path) = 0;
  // True for an existing entry that is not a directory.
  virtual bool fileExists(const std::string& path) = 0;

  // The whole listing at once.
  std::vector<BrowserEntry> listAll(const std::string& folder);
};

}  // namespace quillon::browser
