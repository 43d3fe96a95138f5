#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "document/clip.h"
#include "platform/file.h"

namespace quillon {

// A stretch of a Clip that lies in one Segment, with the peak entries of the block groups that
// hold it. Group i of `entries` covers the Clip frames [groupStart + 256 i, groupStart + 256 (i +
// 1)) as far as they lie in [start, end); groupStart is at or before start, because a Segment need
// not begin on a group boundary of its block.
struct PeakSpan {
  int64_t start = 0;
  int64_t end = 0;
  int64_t groupStart = 0;
  int32_t gain = kUnityGain;         // the Segment's gain, 8.24
  const uint8_t* entries = nullptr;  // channels × 2 bytes per group; null for silence
  int64_t groups = 0;
};

// The peaks of a Clip, read from its blocks' peak files (per 256 frames and channel a maximum
// and a negated-minimum byte) instead of the samples. Silent Segments open no file; a peak file
// that cannot be opened or is short reads as silence. Used on worker threads and by jobs, never
// while painting.
class ClipPeakReader {
 public:
  // Entries are read in batches of at most so many groups.
  static constexpr int64_t kBatchGroups = 10000;

  // Reads through `clip`, which must outlive the reader and stay unchanged while it reads.
  explicit ClipPeakReader(const Clip& clip);

  int channels() const { return channels_; }
  int64_t length() const { return length_; }

  // Calls `visit` for the stretches that cover [from, to) of the Clip, in order, each with at most
  // kBatchGroups entries. `visit` answers false to stop the walk; the walk then answers false.
  bool forEachSpan(int64_t from, int64_t to, const std::function<bool(const PeakSpan&)>& visit);

  // `groups` entries of Segment `index`'s block, from the group that holds the Segment's first
  // frame on, each byte seen through the Segment's gain: min(255, byte × (gain >> 16) >> 8).
  // Entries of silence, of a missing peak file and past its end are zero. Answers the entries
  // read from the file.
  int64_t readSegmentPeaks(size_t index, int64_t groups, uint8_t* out);

 private:
  // Opens the peak file of a Segment's block, keeping it open while the next Segments use the
  // same block. False when it cannot be opened.
  bool openBlock(BlockId block);
  // Reads entries [firstGroup, firstGroup + groups) of the open block into the buffer; answers the
  // entries read (the rest of the buffer is zero).
  int64_t readGroups(int64_t firstGroup, int64_t groups);

  const Clip& clip_;
  int channels_;
  int64_t length_ = 0;
  std::vector<int64_t> starts_;  // the first Clip frame of each Segment
  std::vector<uint8_t> buffer_;
  platform::File file_;
  BlockId openBlock_ = NoBlock;
};

// A peak byte seen through a gain factor in 8.8 form (256 is unity): min(255, byte × factor >> 8).
inline uint8_t peakThroughGain(int32_t byte, int32_t factor) {
  const int64_t v = (int64_t{byte} * factor) >> 8;
  return uint8_t(v > 255 ? 255 : v < 0 ? 0 : v);
}

}  // namespace quillon
