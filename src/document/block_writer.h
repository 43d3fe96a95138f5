#pragma once

#include <cstdint>
#include <vector>

#include "document/clip.h"
#include "document/sample_stream.h"
#include "platform/file.h"

namespace quillon {

// A SampleSink that writes a new block: the samples into its sample file and, in the same pass,
// one peak entry per 256 frames into its peak file. When the last handle goes, the target Clip
// is replaced by one Segment {new block, frames written, unity gain, offset 0}.
//
// A writer that got no block number, or whose files could not be created or written (disk
// full, folder gone), sets status bit kSinkFailed and keeps the system error; its target then
// receives silence of the written length and the partial block is deleted. Producers must check
// the status: a failed writer never passes for a good one.
class BlockWriter : public SampleSink {
 public:
  // The target must outlive the writer. A channel count of 0 writes as 1 channel and sets
  // status bit kSinkNull.
  BlockWriter(Clip& target, int32_t sampleRate, int channels);
  ~BlockWriter() override;

  bool write(const Sample* buffer, int32_t frames) override;
  // Completes the block and hands it to the target now; later writes are refused.
  bool finish() override;
  // Writing after a seek overwrites from there; a seek past what was written leaves a gap
  // whose frames the block does not hold (the producer's business not to do that). Every group that
  // receives frames gets its peak entry rewritten from the frames it received since the last seek:
  // a partly covered group therefore summarises only the frames written after the seek.
  void seek(int32_t frame) override;

  BlockId block() const { return segment_.block(); }

 private:
  void summarise(const Sample* samples, int32_t frames);
  void flushGroup();
  void writePendingPeaks();
  void failWith(int error);

  Clip& target_;
  Segment segment_;
  platform::File samples_;
  platform::File peaks_;
  int64_t sampleOffset_ = 0;
  int64_t peakOffset_ = 0;
  int32_t groupFill_ = 0;
  bool groupTouched_ = false;    // the current group received frames since its last flush
  std::vector<int32_t> maxima_;  // per channel, of the current group; start at 0
  std::vector<int32_t> minima_;
  std::vector<uint8_t> pendingPeaks_;  // entries of groups completed during this write
  bool finished_ = false;
};

}  // namespace quillon
