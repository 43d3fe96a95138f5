#pragma once

#include <algorithm>
#include <vector>

#include "document/sample_stream.h"

namespace quillon::testing {

// A SampleSource over interleaved words held in memory; silence outside them.
class ArraySource : public SampleSource {
 public:
  ArraySource(std::vector<Sample> words, int channels, int32_t sampleRate = 44100,
              int32_t peakBound = kDefaultPeakBound, bool live = false)
      : SampleSource(sampleRate, channels), words_(std::move(words)), live_(live) {
    setPeakBound(peakBound);
  }

  int32_t read(Sample* buffer, int32_t frames) override {
    const int ch = channels();
    for (int32_t f = 0; f < frames; ++f, ++position_) {
      for (int c = 0; c < ch; ++c) {
        const int64_t at = int64_t{position_} * ch + c;
        buffer[size_t(f) * ch + c] =
            at >= 0 && at < int64_t(words_.size()) ? words_[size_t(at)] : 0;
      }
    }
    return frames;
  }
  int32_t position() override { return position_; }
  int32_t length() override { return int32_t(words_.size() / size_t(channels())); }
  void seek(int32_t frame) override { position_ = frame; }
  bool lengthUnknown() override { return live_; }
  void fail() { setStatus(kSourceCannotOpen); }

 private:
  std::vector<Sample> words_;
  int32_t position_ = 0;
  bool live_;
};

// Reads `frames` frames from a source.
inline std::vector<Sample> readFrames(SampleSource& source, int32_t frames) {
  std::vector<Sample> out(size_t(frames) * source.channels());
  source.read(out.data(), frames);
  return out;
}

}  // namespace quillon::testing
