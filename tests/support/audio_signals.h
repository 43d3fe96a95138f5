#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

#include "document/sample_types.h"

namespace quillon::testing {

// Reproducible test audio in sample words (full scale 2^19), interleaved. Nothing here is a
// recording: the signals only share the shapes that matter for a waveform display.

// A small random generator with the same sequence everywhere.
class SignalRandom {
 public:
  explicit SignalRandom(uint32_t seed) : state_(seed * 2654435761u + 1) {}
  uint32_t next() {
    state_ = state_ * 1664525u + 1013904223u;
    return state_;
  }
  // Uniform in [0, 1).
  double unit() { return double(next() >> 8) / double(1u << 24); }
  double between(double a, double b) { return a + (b - a) * unit(); }

 private:
  uint32_t state_;
};

// Speech-like: syllables of 80 … 300 ms (a voiced buzz at a gliding pitch through two formant
// resonators, with noisy onsets) grouped into phrases, with short gaps between syllables, pauses
// of 0.4 … 1.2 s between phrases and a faint room noise; the second channel is quieter.
inline std::vector<Sample> speechLike(int32_t rate, int64_t frames, int channels,
                                      uint32_t seed = 1) {
  std::vector<Sample> out(size_t(frames) * channels);
  SignalRandom random(seed);
  int64_t at = int64_t(0.3 * rate);
  // Resonator state.
  double y1a = 0, y2a = 0, y1b = 0, y2b = 0, phase = 0;
  auto resonator = [rate](double f, double bandwidth, double& y1, double& y2, double x) {
    const double r = std::exp(-std::numbers::pi * bandwidth / rate);
    const double y = x + 2 * r * std::cos(2 * std::numbers::pi * f / rate) * y1 - r * r * y2;
    y2 = y1;
    y1 = y;
    return y * (1 - r);
  };
  while (at < frames) {
    const int syllables = 2 + int(random.next() % 9);
    for (int s = 0; s < syllables && at < frames; ++s) {
      const int64_t length = int64_t(random.between(0.08, 0.3) * rate);
      const double loudness = random.between(0.12, 0.75) * kFullScale;
      const double pitch0 = random.between(95, 210), pitch1 = pitch0 * random.between(0.8, 1.2);
      const double f1 = random.between(300, 850), f2 = random.between(900, 2400);
      const double noisy = random.unit() < 0.3 ? 0.6 : 0.1;
      std::vector<double> syllable(size_t(std::min(length, frames - at)));
      double peak = 1e-9;
      for (size_t n = 0; n < syllable.size(); ++n) {
        const double t = double(n) / double(length);
        const double envelope = std::sin(std::numbers::pi * t) * std::sin(std::numbers::pi * t);
        const double pitch = pitch0 + (pitch1 - pitch0) * t;
        phase += pitch / rate;
        const double buzz = phase - std::floor(phase) < 0.08 ? 1.0 : -0.087;
        const double hiss = random.between(-1, 1) * (t < 0.15 ? noisy * 3 : noisy);
        const double x = buzz + hiss;
        const double v = resonator(f1, 90, y1a, y2a, x) * 6 + resonator(f2, 150, y1b, y2b, x) * 3;
        syllable[n] = v * envelope;
        peak = std::max(peak, std::abs(syllable[n]));
      }
      // Each syllable peaks at its own loudness.
      for (size_t n = 0; n < syllable.size(); ++n) {
        const double sample = syllable[n] / peak * loudness;
        for (int c = 0; c < channels; ++c)
          out[(size_t(at) + n) * channels + c] = Sample(sample * (c == 0 ? 1.0 : 0.55));
      }
      at += length + int64_t(random.between(0.02, 0.12) * rate);
    }
    at += int64_t(random.between(0.4, 1.2) * rate);
  }
  for (Sample& s : out)
    s += Sample(random.between(-400, 400));
  return out;
}

// Music-like: a bass note and a three-note chord with harmonics that change every bar, a decaying
// low drum on each beat, stereo by panning the chord and the bass apart, and a loudness that
// builds through the signal (quiet intro, louder middle, fading end).
inline std::vector<Sample> musicLike(int32_t rate, int64_t frames, int channels,
                                     uint32_t seed = 1) {
  std::vector<Sample> out(size_t(frames) * channels);
  SignalRandom random(seed);
  const double beat = 60.0 / random.between(92, 128);
  const int64_t bar = int64_t(4 * beat * rate);
  static constexpr double kRoots[] = {110.0, 98.0, 130.81, 146.83, 123.47, 87.31};
  double bassPhase = 0, chordPhase[3] = {0, 0, 0};
  double root = kRoots[0];
  double ratios[3] = {1.25, 1.5, 2.0};
  for (int64_t n = 0; n < frames; ++n) {
    if (n % bar == 0) {
      root = kRoots[random.next() % 6];
      const bool minor = random.unit() < 0.5;
      ratios[0] = minor ? 1.2 : 1.25;
      ratios[1] = 1.5;
      ratios[2] = random.unit() < 0.5 ? 2.0 : 1.78;
    }
    const double t = double(n) / double(frames);
    const double shape = 0.25 + 0.75 * std::sin(std::numbers::pi * std::min(1.0, t * 1.15));
    const double inBeat = std::fmod(double(n) / rate, beat) / beat;
    const double drum =
        std::exp(-inBeat * 18) * std::sin(2 * std::numbers::pi * 55 * inBeat * beat);
    bassPhase += root / 2 / rate;
    const double bass = std::sin(2 * std::numbers::pi * bassPhase) +
                        0.3 * std::sin(4 * std::numbers::pi * bassPhase);
    double chord = 0;
    for (int k = 0; k < 3; ++k) {
      chordPhase[k] += root * 2 * ratios[k] / rate;
      const double p = 2 * std::numbers::pi * chordPhase[k];
      chord += std::sin(p) + 0.4 * std::sin(2 * p) + 0.2 * std::sin(3 * p);
    }
    const double pulse = 0.6 + 0.4 * std::exp(-inBeat * 4);
    const double left = shape * (0.28 * bass + 0.09 * chord * pulse + 0.35 * drum);
    const double right = shape * (0.22 * bass + 0.12 * chord * pulse + 0.35 * drum);
    for (int c = 0; c < channels; ++c) {
      const double v = channels == 1 ? (left + right) / 2 : (c == 0 ? left : right);
      out[size_t(n) * channels + c] = Sample(std::clamp(v, -0.99, 0.99) * kFullScale);
    }
  }
  return out;
}

}  // namespace quillon::testing
