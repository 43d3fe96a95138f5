#pragma once

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "document/sample_stream.h"

namespace quillon::testing {

// Interleaved words in memory, silence outside them. Its length can be made "not final" (a file
// still being written), and it remembers how far it was read and how often it was seeked.
class MemorySource : public SampleSource {
 public:
  MemorySource(std::vector<Sample> words, int channels, int32_t rate)
      : SampleSource(rate, channels), words_(std::move(words)) {}
  int32_t read(Sample* buffer, int32_t frames) override {
    const int ch = channels();
    for (int64_t i = 0; i < int64_t{frames} * ch; ++i) {
      const int64_t at = int64_t{position_} * ch + i;
      buffer[i] = at >= 0 && at < int64_t{length()} * ch ? words_[size_t(at)] : 0;
    }
    position_ += frames;
    furthest = std::max(furthest, position_);
    return frames;
  }
  int32_t position() override { return position_; }
  int32_t length() override {
    const int32_t all = int32_t(words_.size() / channels());
    return shown >= 0 ? std::min(shown, all) : all;
  }
  void seek(int32_t frame) override { position_ = frame, ++seeks; }
  bool lengthUnknown() override { return shown >= 0; }
  void markStatus(uint8_t status) { setStatus(status); }
  void markPeakBound(int32_t bound) { setPeakBound(bound); }

  int32_t shown = -1;  // ≥ 0: only so many frames are written yet
  int32_t furthest = 0;
  int seeks = 0;

 private:
  std::vector<Sample> words_;
  int32_t position_ = 0;
};

inline std::vector<Sample> sineWords(double hz, int32_t rate, int32_t frames, double amplitude,
                                     int channels = 1) {
  std::vector<Sample> words;
  for (int32_t n = 0; n < frames; ++n)
    words.insert(words.end(), channels,
                 Sample(std::lround(amplitude * std::sin(2 * std::numbers::pi * hz * n / rate))));
  return words;
}

inline Ref<MemorySource> sineSource(double hz, int32_t rate, int32_t frames, double amplitude,
                                    int channels = 1) {
  return makeRef<MemorySource>(sineWords(hz, rate, frames, amplitude, channels), channels, rate);
}

inline std::vector<Sample> readWords(const Ref<SampleSource>& source, int32_t frames) {
  std::vector<Sample> words(size_t(frames) * source->channels());
  source->read(words.data(), frames);
  return words;
}

// The first channel of `frames` frames, read in blocks of 1000.
inline std::vector<double> readChannel(const Ref<SampleSource>& source, int32_t frames) {
  std::vector<double> out;
  for (int32_t done = 0; done < frames; done += 1000) {
    const std::vector<Sample> words = readWords(source, std::min(1000, frames - done));
    for (size_t i = 0; i < words.size(); i += source->channels())
      out.push_back(words[i]);
  }
  return out;
}

// Least-squares fit of a × sin(ωn) + b × cos(ωn) to `signal`, whose element i is frame
// `start` + i: the amplitude, and the timing error in frames (0 = aligned with sin(ωn)).
struct ToneFit {
  double amplitude, timingFrames;
};
inline ToneFit fitTone(const std::vector<double>& signal, double hz, int32_t rate, int64_t start) {
  const double w = 2 * std::numbers::pi * hz / rate;
  double ss = 0, sc = 0, cc = 0, ys = 0, yc = 0;
  for (size_t i = 0; i < signal.size(); ++i) {
    const double s = std::sin(w * double(start + int64_t(i))),
                 c = std::cos(w * double(start + int64_t(i)));
    ss += s * s, sc += s * c, cc += c * c, ys += signal[i] * s, yc += signal[i] * c;
  }
  const double a = ys * cc - yc * sc, b = yc * ss - ys * sc, det = ss * cc - sc * sc;
  return {std::hypot(a, b) / det, std::atan2(b, a) / w};
}

inline double rmsDecibels(const std::vector<double>& signal, double amplitude) {
  double sum = 0;
  for (double v : signal)
    sum += v * v;
  return 20 * std::log10(std::sqrt(sum / double(signal.size())) / (amplitude / std::sqrt(2.0)));
}

}  // namespace quillon::testing
