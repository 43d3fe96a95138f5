#pragma once

#include <algorithm>
#include <cstring>
#include <vector>

#include "document/sample_stream.h"

namespace quillon::bench {

// Interleaved stereo words held by the caller, read from memory so that a figure is the stage's
// alone; silence before frame 0 and after the end.
class MemorySource : public SampleSource {
 public:
  MemorySource(const std::vector<Sample>& words, int32_t rate)
      : SampleSource(rate, 2), words_(words) {}
  int32_t read(Sample* buffer, int32_t frames) override {
    const int64_t count = int64_t{frames} * 2;
    const int64_t at = int64_t{position_} * 2;
    const int64_t from = std::clamp<int64_t>(at, 0, int64_t(words_.size()));
    const int64_t to = std::clamp<int64_t>(at + count, 0, int64_t(words_.size()));
    std::fill(buffer, buffer + count, 0);
    if (to > from) std::memcpy(buffer + (from - at), words_.data() + from, size_t(to - from) * 4);
    position_ += frames;
    return frames;
  }
  int32_t position() override { return position_; }
  int32_t length() override { return int32_t(words_.size() / 2); }
  void seek(int32_t frame) override { position_ = frame; }

 private:
  const std::vector<Sample>& words_;
  int32_t position_ = 0;
};

}  // namespace quillon::bench
