#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <string>

namespace quillon {

// Blocks are numbered 0 … 65534; NoBlock names no file and stands for silence.
using BlockId = uint16_t;
inline constexpr BlockId NoBlock = 0xFFFF;

// The process-wide register of blocks. A block is a pair of immutable files in the working
// folder: "%d.aud" holds frames × channels little-endian 32-bit sample words, "%d.grf" holds
// one peak entry per group of 256 frames. A block lives while any Segment names it: the count
// of a number is the number of Segments (and writers) holding it, 0 means free, and 65535
// sticks. Counts change only under one lock; files are deleted outside it.
class BlockStore {
 public:
  static BlockStore& instance();

  // Set once at start-up, before any document exists.
  void setFolder(std::string folder);
  std::string folder() const;

  // The lowest free number with its count set to 1, or NoBlock when all are in use.
  BlockId allocate();
  void addRef(BlockId id);
  // The last release deletes the block's sample file, then its peak file.
  void release(BlockId id);

  std::string samplePath(BlockId id) const;  // "<folder>/<id>.aud"; empty for NoBlock
  std::string peakPath(BlockId id) const;    // "<folder>/<id>.grf"; empty for NoBlock

  // At exit: deletes every "*.aud", then every "*.grf" of the working folder.
  void purgeAll();
  // The same for any folder (block files left there by a process that died).
  static void removeBlockFiles(const std::string& folder);

  uint16_t referenceCount(BlockId id) const;
  // Numbers with a non-zero count.
  int blocksInUse() const;

  static constexpr uint16_t kStickyCount = 0xFFFF;

 private:
  BlockStore() = default;
  std::string pathFor(BlockId id, const char* extension) const;

  mutable std::mutex lock_;
  std::array<uint16_t, 65536> counts_{};
  uint32_t lowestFree_ = 0;  // no number below this one is free
  std::string folder_;
};

}  // namespace quillon
