#pragma once

#include <cstdint>
#include <vector>

namespace quillon {

// A Kaiser-windowed sinc low-pass tabulated finely, for reading a stream at any fractional frame
// and at any speed. Its stopband starts at the input's Nyquist frequency (attenuation about
// 80 dB, passband to 0.42 × the input rate). At a speed s above 1 the kernel is stretched by s,
// which lowers the cutoff by s: what would fold back above the output's Nyquist frequency is
// removed before it can. Between table points the kernel is interpolated linearly.
class SincInterpolator {
 public:
  static constexpr int kHalfWidth = 32;       // input frames each side of the point at speed ≤ 1
  static constexpr int kStepsPerFrame = 512;  // table points per input frame
  static constexpr double kCutoff = 0.4608;   // the transition's centre, in cycles per frame
  static constexpr double kBeta = 7.857;      // Kaiser shape for 80 dB

  static const SincInterpolator& instance();

  // The most weights `weightsAt` writes at `speed`.
  static int maxWeights(double speed);
  // The weights for the value at `time` (in input frames) read at `speed`: writes them to
  // `weights`, sets `first` to the input frame that weights[0] applies to, and answers the count.
  int weightsAt(double time, double speed, int64_t& first, float* weights) const;

 private:
  SincInterpolator();
  std::vector<float> values_;  // the kernel at 0, 1/kStepsPerFrame, … kHalfWidth frames
  std::vector<float> slopes_;  // the difference to the next table point
};

}  // namespace quillon
