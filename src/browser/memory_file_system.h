#pragma once

#include <map>
#include <set>
#include <string>

#include "browser/file_system.h"

namespace quillon::browser {

// A file system held in memory: folders, files with sizes and times, links to either. For tests
// and for pictures of the browser without touching real files. Operations can be made to fail.
class MemoryFileSystem : public FileSystem {
 public:
  MemoryFileSystem();  // holds the root folder "/"

  // Adds a folder and its missing parents.
  void addFolder(const std::string& path, int64_t modified = 0);
  // Adds a file (and its folder).
  void addFile(const std::string& path, int64_t size = 0, int64_t modified = 0);
  // Adds a link to `target` (which need not exist).
  void addLink(const std::string& path, const std::string& target);
  // Removes a folder with everything below it, or a file, behind the browser's back.
  void erase(const std::string& path);
  bool exists(const std::string& path) const { return nodes_.count(path) != 0; }
  int64_t sizeOf(const std::string& path) const;

  // Paths on which remove, rename or createFolder fail; folders that cannot be listed.
  std::set<std::string> failing;
  // Entries per batch of a listing (0: one batch).
  size_t batchSize = 0;
  std::string current = "/";
  std::vector<std::string> openedInShell;
  int listings = 0;

  bool list(const std::string& folder, const ListingBatch& batch) override;
  std::string currentFolder() override { return current; }
  bool openInShell(const BrowserEntry& entry) override;
  bool remove(const BrowserEntry& entry) override;
  bool rename(const std::string& from, const std::string& to) override;
  bool createFolder(const std::string& path) override;
  bool directoryExists(const std::string& path) override;
  bool fileExists(const std::string& path) override;

 private:
  struct Node {
    BrowserEntry::Kind kind = BrowserEntry::Kind::File;
    int64_t size = 0;
    int64_t modified = 0;
    std::string target;  // links
  };
  // What a path names after following links (nullptr: nothing).
  const Node* resolve(const std::string& path) const;
  std::map<std::string, Node> nodes_;
};

}  // namespace quillon::browser
