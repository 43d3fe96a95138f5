#pragma once

#include <cstdint>

#include "document/clip.h"
#include "document/sample_stream.h"
#include "platform/file.h"

namespace quillon {

// A SampleSource over its own copy of a Clip, so later edits of the Clip do not disturb it.
// Each Segment's gain is applied while reading (nothing is done at unity); positions before 0
// and past the end read as silence.
class ClipReader : public SampleSource {
 public:
  explicit ClipReader(const Clip& clip);

  int32_t read(Sample* buffer, int32_t frames) override;
  int32_t position() override { return position_; }
  int32_t length() override { return length_; }
  void seek(int32_t frame) override;

 private:
  // Opens the sample file of a Segment at `intoSegment` frames; false when it cannot.
  bool openSegment(const Segment& segment, int64_t intoSegment);

  Clip clip_;
  size_t next_ = 0;  // the Segment to open when the current one is used up
  int32_t position_ = 0;
  int32_t length_ = 0;
  platform::File file_;
  int32_t framesLeft_ = 0;
  int32_t coarseGain_ = kUnityCoarseGain;
};

}  // namespace quillon
