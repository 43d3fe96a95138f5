#include "document/block_store.h"

#include <dirent.h>

#include <algorithm>
#include <vector>

#include "platform/file.h"
#include "platform/xdg_dirs.h"

namespace quillon {

BlockStore& BlockStore::instance() {
  // Never destroyed: Clips held by other static objects release their blocks during exit.
  static BlockStore* store = new BlockStore;
  return *store;
}

void BlockStore::setFolder(std::string folder) {
  std::lock_guard guard(lock_);
  folder_ = std::move(folder);
}

std::string BlockStore::folder() const {
  std::lock_guard guard(lock_);
  return folder_;
}

BlockId BlockStore::allocate() {
  std::lock_guard guard(lock_);
  for (uint32_t id = lowestFree_; id < NoBlock; ++id) {
    if (counts_[id] == 0) {
      counts_[id] = 1;
      lowestFree_ = id + 1;
      return static_cast<BlockId>(id);
    }
  }
  lowestFree_ = NoBlock;
  return NoBlock;
}

void BlockStore::addRef(BlockId id) {
  if (id == NoBlock) return;
  std::lock_guard guard(lock_);
  if (counts_[id] != kStickyCount) ++counts_[id];
}

void BlockStore::release(BlockId id) {
  if (id == NoBlock) return;
  {
    std::lock_guard guard(lock_);
    uint16_t& count = counts_[id];
    if (count > 1) {
      if (count != kStickyCount) --count;
      return;
    }
    // The number stays taken until its files are gone, so a writer allocating meanwhile cannot
    // get it and have its new files deleted.
    count = 1;
  }
  platform::removeFile(samplePath(id));
  platform::removeFile(peakPath(id));
  std::lock_guard guard(lock_);
  counts_[id] = 0;
  lowestFree_ = std::min<uint32_t>(lowestFree_, id);
}

std::string BlockStore::pathFor(BlockId id, const char* extension) const {
  if (id == NoBlock) return {};
  return platform::joinPath(folder(), std::to_string(id) + extension);
}

std::string BlockStore::samplePath(BlockId id) const {
  return pathFor(id, ".aud");
}
std::string BlockStore::peakPath(BlockId id) const {
  return pathFor(id, ".grf");
}

void BlockStore::purgeAll() {
  removeBlockFiles(folder());
}

void BlockStore::removeBlockFiles(const std::string& dir) {
  if (dir.empty()) return;
  auto namesEndingWith = [&dir](const std::string& suffix) {
    std::vector<std::string> names;
    if (DIR* d = ::opendir(dir.c_str())) {
      while (dirent* entry = ::readdir(d)) {
        std::string name = entry->d_name;
        if (name.size() > suffix.size() &&
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0) {
          names.push_back(name);
        }
      }
      ::closedir(d);
    }
    return names;
  };
  for (const char* suffix : {".aud", ".grf"}) {
    for (const std::string& name : namesEndingWith(suffix)) {
      platform::removeFile(platform::joinPath(dir, name));
    }
  }
}

uint16_t BlockStore::referenceCount(BlockId id) const {
  std::lock_guard guard(lock_);
  return counts_[id];
}

int BlockStore::blocksInUse() const {
  std::lock_guard guard(lock_);
  return static_cast<int>(
      std::count_if(counts_.begin(), counts_.begin() + NoBlock, [](uint16_t c) { return c != 0; }));
}

}  // namespace quillon
