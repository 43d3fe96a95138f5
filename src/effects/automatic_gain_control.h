#pragma once

#include <cstdint>
#include <vector>

#include "document/wave_document.h"
#include "platform/job.h"

namespace quillon {

// Automatic gain control in two passes over the selection, in blocks of 20 ms (rate / 50 frames,
// 20 … 8192). The analysis pass keeps the raw samples in a temporary file and, per channel and
// block, the level of the signal weighted toward higher frequencies; each channel's loudness is
// the median of its blocks above a gate 15 dB below the loudest eighth. The writing pass follows
// the block levels with a `LevelTracker` and moves each channel's gain toward the curve's target
// over one and a half blocks, then limits the result to 16-bit full scale. The processed range
// (a whole number of blocks) is cut back to the selection's length when it replaces it.
class AutomaticGainControlJob : public Job {
 public:
  explicit AutomaticGainControlJob(Ref<WaveDocument> document);

  // The analysis block length at a rate.
  static int32_t blockFrames(int32_t sampleRate);
  // The loudness of a channel from its histogram of block levels (index level + 128).
  static int gatedMedian(const std::vector<int64_t>& histogram);
  // The gain curve over relative levels (dB of gain for a level relative to the smoothed one).
  static int curve(int relativeLevel);
  // Frames the writing pass produced in the last run (a whole number of blocks).
  int64_t processedFrames() const { return processed_; }

 protected:
  JobResult run() override;

 private:
  Ref<WaveDocument> document_;
  int64_t processed_ = 0;
};

}  // namespace quillon
