#pragma once

#include <cstdint>
#include <vector>

#include "document/wave_document.h"
#include "platform/job.h"

namespace quillon {

// Where Auto Trim cuts: from the peak bytes of the whole document (groups of 256 frames ×
// channels entries of a maximum and a minimum byte), the first loud group after group 0 (one
// group earlier) and the last loud complete group, loud meaning a byte above the threshold
// relative to the loudest byte.
struct TrimRange {
  int32_t start = 0;
  int32_t end = 0;
};
TrimRange findTrimRange(const std::vector<uint8_t>& peaks, int channels, int32_t totalFrames,
                        int thresholdDb);

// The peak table of a Clip, read from its blocks' peak files and scaled by the Segments' gains
// (entries of silence and of unreadable peak files stay 0).
std::vector<uint8_t> collectPeaks(const Clip& clip);

// Auto Trim: removes quiet lead-in and tail of the whole document using the peak files, moves
// or drops the bookmarks and puts the cursor at 0. It has no cancel point.
class AutoTrimJob : public Job {
 public:
  AutoTrimJob(Ref<WaveDocument> document, int thresholdDb);
  TrimRange range() const { return range_; }

 protected:
  JobResult run() override;

 private:
  Ref<WaveDocument> document_;
  int threshold_;
  TrimRange range_;
};

}  // namespace quillon
