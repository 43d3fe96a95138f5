#include "browser/memory_file_system.h"

#include "platform/xdg_dirs.h"

namespace quillon::browser {
namespace {

bool isBelow(const std::string& path, const std::string& folder) {
  if (folder == "/") return path.size() > 1 && path[0] == '/';
  return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
         path[folder.size()] == '/';
}

}  // namespace

MemoryFileSystem::MemoryFileSystem() {
  nodes_["/"].kind = BrowserEntry::Kind::Directory;
}

void MemoryFileSystem::addFolder(const std::string& path, int64_t modified) {
  if (path.empty() || nodes_.count(path)) return;
  addFolder(platform::parentFolder(path));
  Node& node = nodes_[path];
  node.kind = BrowserEntry::Kind::Directory;
  node.modified = modified;
}

void MemoryFileSystem::addFile(const std::string& path, int64_t size, int64_t modified) {
  addFolder(platform::parentFolder(path));
  nodes_[path] = Node{BrowserEntry::Kind::File, size, modified, {}};
}

void MemoryFileSystem::addLink(const std::string& path, const std::string& target) {
  addFolder(platform::parentFolder(path));
  nodes_[path] = Node{BrowserEntry::Kind::Link, 0, 0, target};
}

void MemoryFileSystem::erase(const std::string& path) {
  for (auto it = nodes_.begin(); it != nodes_.end();) {
    it = it->first == path || isBelow(it->first, path) ? nodes_.erase(it) : std::next(it);
  }
}

int64_t MemoryFileSystem::sizeOf(const std::string& path) const {
  const Node* node = resolve(path);
  return node ? node->size : -1;
}

const MemoryFileSystem::Node* MemoryFileSystem::resolve(const std::string& path) const {
  std::string at = path;
  for (int hops = 0; hops < 8; ++hops) {
    auto it = nodes_.find(at);
    if (it == nodes_.end()) return nullptr;
    if (it->second.kind != BrowserEntry::Kind::Link) return &it->second;
    at = it->second.target;
  }
  return nullptr;
}

bool MemoryFileSystem::list(const std::string& folder, const ListingBatch& batch) {
  ++listings;
  std::vector<BrowserEntry> pending;
  if (!directoryExists(folder) || failing.count(folder)) {
    batch(pending, true);
    return false;
  }
  for (const auto& [path, node] : nodes_) {
    if (path == "/" || platform::parentFolder(path) != folder) continue;
    BrowserEntry& entry = pending.emplace_back();
    entry.kind = node.kind;
    entry.name = path.substr(path.find_last_of('/') + 1);
    entry.path = path;
    const Node* target = resolve(path);
    entry.opensAsFolder = target && target->kind == BrowserEntry::Kind::Directory;
    entry.size = target && target->kind == BrowserEntry::Kind::File ? target->size : 0;
    entry.modified = target ? target->modified : 0;
    if (batchSize && pending.size() == batchSize) {
      if (!batch(pending, false)) return true;
      pending.clear();
    }
  }
  batch(pending, true);
  return true;
}

bool MemoryFileSystem::openInShell(const BrowserEntry& entry) {
  openedInShell.push_back(entry.path);
  return true;
}

bool MemoryFileSystem::remove(const BrowserEntry& entry) {
  if (failing.count(entry.path) || !nodes_.count(entry.path) || entry.path == "/") return false;
  erase(entry.path);
  return true;
}

bool MemoryFileSystem::rename(const std::string& from, const std::string& to) {
  if (failing.count(from) || failing.count(to) || !nodes_.count(from) || nodes_.count(to) ||
      !directoryExists(platform::parentFolder(to)) || isBelow(to, from)) {
    return false;
  }
  std::map<std::string, Node> moved;
  for (auto it = nodes_.begin(); it != nodes_.end();) {
    if (it->first == from || isBelow(it->first, from)) {
      moved[to + it->first.substr(from.size())] = it->second;
      it = nodes_.erase(it);
    } else {
      ++it;
    }
  }
  nodes_.merge(moved);
  return true;
}

bool MemoryFileSystem::createFolder(const std::string& path) {
  if (failing.count(path) || nodes_.count(path) || !directoryExists(platform::parentFolder(path))) {
    return false;
  }
  nodes_[path].kind = BrowserEntry::Kind::Directory;
  return true;
}

bool MemoryFileSystem::directoryExists(const std::string& path) {
  const Node* node = resolve(path);
  return node && node->kind == BrowserEntry::Kind::Directory;
}

bool MemoryFileSystem::fileExists(const std::string& path) {
  const Node* node = resolve(path);
  return node && node->kind == BrowserEntry::Kind::File;
}

}  // namespace quillon::browser
