#pragma once

#include <algorithm>
#include <vector>

#include "document/sample_stream.h"
#include "platform/ref_counted.h"

namespace quillon::testing {

// Interleaved words in memory, silence outside them. Its length can be made "not final" (a file
// still being written), it remembers how far it was read and how often it was seeked, and it can
// be made to fail (as a file that can no longer be read) from a frame on.
class MemorySource : public SampleSource {
 public:
  MemorySource(std::vector<Sample> words, int channels, int32_t rate = kDefaultSampleRate,
               bool growing = false)
      : SampleSource(rate, channels), words_(std::move(words)) {
    if (growing) shown = length();
  }
  int32_t read(Sample* buffer, int32_t frames) override {
    const int ch = channels();
    for (int64_t i = 0; i < int64_t{frames} * ch; ++i) {
      const int64_t at = int64_t{position_} * ch + i;
      buffer[i] = at >= 0 && at < int64_t{length()} * ch ? words_[size_t(at)] : 0;
    }
    const bool fails = failFrom >= 0 && int64_t{position_} + frames > failFrom;
    if (fails) std::fill_n(buffer, size_t(frames) * ch, 0);
    position_ += frames;
    furthest = std::max(furthest, position_);
    return fails ? -1 : frames;
  }
  int32_t position() override { return position_; }
  int32_t length() override {
    const int32_t all = int32_t(words_.size() / channels());
    return shown >= 0 ? std::min(shown, all) : all;
  }
  void seek(int32_t frame) override { position_ = frame, ++seeks; }
  bool lengthUnknown() override { return shown >= 0; }
  void markStatus(SourceStatus status) { setStatus(status); }
  void markPeakBound(int32_t bound) { setPeakBound(bound); }

  int32_t shown = -1;     // ≥ 0: only so many frames are written yet
  int32_t failFrom = -1;  // ≥ 0: a read that reaches this frame fails (−1, silence)
  int32_t furthest = 0;
  int seeks = 0;

 private:
  std::vector<Sample> words_;
  int32_t position_ = 0;
};

// A memory source with a given peak bound, whose length may be marked as not final.
inline Ref<MemorySource> memorySource(std::vector<Sample> words, int channels = 1,
                                      int32_t rate = kDefaultSampleRate,
                                      int32_t peakBound = kDefaultPeakBound, bool live = false) {
  auto source = makeRef<MemorySource>(std::move(words), channels, rate);
  source->markPeakBound(peakBound);
  if (live) source->shown = source->length();
  return source;
}

inline std::vector<Sample> readWords(const Ref<SampleSource>& source, int32_t frames) {
  std::vector<Sample> words(size_t(frames) * source->channels());
  source->read(words.data(), frames);
  return words;
}

inline std::vector<Sample> readFrames(SampleSource& source, int32_t frames) {
  std::vector<Sample> words(size_t(frames) * source.channels());
  source.read(words.data(), frames);
  return words;
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
