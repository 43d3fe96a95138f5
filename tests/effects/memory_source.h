#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "document/sample_stream.h"
#include "platform/ref_counted.h"

namespace quillon::testing {

// A SampleSource over interleaved words in memory; silence outside them.
class MemorySource : public SampleSource {
 public:
  MemorySource(std::vector<Sample> words, int channels, int32_t sampleRate = kDefaultSampleRate,
               bool growing = false)
      : SampleSource(sampleRate, channels), words_(std::move(words)), growing_(growing) {}

  int32_t read(Sample* buffer, int32_t frames) override {
    for (int32_t f = 0; f < frames; ++f, ++position_) {
      for (int c = 0; c < channels(); ++c) {
        const int64_t at = int64_t{position_} * channels() + c;
        *buffer++ = at >= 0 && at < int64_t(words_.size()) ? words_[size_t(at)] : 0;
      }
    }
    return frames;
  }
  int32_t position() override { return position_; }
  int32_t length() override { return int32_t(words_.size() / channels()); }
  void seek(int32_t frame) override { position_ = frame; }
  bool lengthUnknown() override { return growing_; }

 private:
  std::vector<Sample> words_;
  bool growing_;
  int32_t position_ = 0;
};

inline Ref<SampleSource> memorySource(std::vector<Sample> words, int channels = 1,
                                      int32_t sampleRate = kDefaultSampleRate) {
  return makeRef<MemorySource>(std::move(words), channels, sampleRate);
}

// Reads `frames` frames from a source in one go.
inline std::vector<Sample> readFrames(SampleSource& source, int32_t frames) {
  std::vector<Sample> out(size_t(frames) * source.channels());
  source.read(out.data(), frames);
  return out;
}

// A reproducible noise of `count` words within ±amplitude.
inline std::vector<Sample> noise(size_t count, int32_t amplitude, uint32_t seed = 1) {
  std::vector<Sample> words(count);
  for (Sample& w : words) {
    seed = seed * 1664525 + 1013904223;
    w = Sample(int64_t(seed >> 8) % (2 * int64_t{amplitude} + 1) - amplitude);
  }
  return words;
}

}  // namespace quillon::testing
