#pragma once

#include "browser/file_system.h"

namespace quillon::browser {

// The browser's file system on the real folders. A listing reads the folder once and takes each
// entry's kind, size and time from one stat on the folder's descriptor; files are never opened.
// Batches go out whenever `batchInterval` milliseconds have passed since the last one, so that a
// slow folder shows its first rows while the rest is still being read. Opening in the shell
// needs a desktop and is left to a subclass (answers false here).
class PosixFileSystem : public FileSystem {
 public:
  int batchIntervalMs = 100;

  bool list(const std::string& folder, const ListingBatch& batch) override;
  std::string currentFolder() override;
  bool openInShell(const BrowserEntry& entry) override;
  bool remove(const BrowserEntry& entry) override;
  bool rename(const std::string& from, const std::string& to) override;
  bool createFolder(const std::string& path) override;
  bool directoryExists(const std::string& path) override;
  bool fileExists(const std::string& path) override;
};

// Removes `name` in the folder `parentFd`: a directory with everything below it, anything else
// (links included) by unlinking it. Links are never followed. False when anything is left.
bool removeTree(int parentFd, const char* name);

}  // namespace quillon::browser
