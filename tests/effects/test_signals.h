#pragma once

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "document/sample_stream.h"
#include "support/memory_source.h"

namespace quillon::testing {

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
