#include "effects/sinc_interpolator.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace quillon {
namespace {

// The modified Bessel function of order 0, summed until the terms no longer count.
double besselI0(double x) {
  const double quarterSquare = x * x / 4;
  double term = 1, sum = 1;
  for (int k = 1; k < 100 && term > sum * 1e-17; ++k) {
    term *= quarterSquare / (double(k) * k);
    sum += term;
  }
  return sum;
}

}  // namespace

const SincInterpolator& SincInterpolator::instance() {
  static const SincInterpolator interpolator;
  return interpolator;
}

SincInterpolator::SincInterpolator() {
  const int points = kHalfWidth * kStepsPerFrame;
  values_.assign(size_t(points) + 2, 0.0f);
  slopes_.assign(size_t(points) + 2, 0.0f);
  const double windowNorm = besselI0(kBeta);
  for (int i = 0; i < points; ++i) {
    const double x = double(i) / kStepsPerFrame;
    const double ratio = x / kHalfWidth;
    const double window = besselI0(kBeta * std::sqrt(1 - ratio * ratio)) / windowNorm;
    const double angle = std::numbers::pi * 2 * kCutoff * x;
    const double sinc = i == 0 ? 1.0 : std::sin(angle) / angle;
    values_[size_t(i)] = static_cast<float>(2 * kCutoff * sinc * window);
  }
  for (int i = 0; i <= points; ++i)
    slopes_[size_t(i)] = values_[size_t(i) + 1] - values_[size_t(i)];
}

int SincInterpolator::maxWeights(double speed) {
  const double stretch = std::max(1.0, std::abs(speed));
  return 2 * static_cast<int>(std::ceil(kHalfWidth * stretch)) + 2;
}

int SincInterpolator::weightsAt(double time, double speed, int64_t& first, float* weights) const {
  const double stretch = std::max(1.0, std::abs(speed));
  const double reach = kHalfWidth * stretch;
  first = static_cast<int64_t>(std::floor(time - reach)) + 1;
  const int64_t last = static_cast<int64_t>(std::ceil(time + reach)) - 1;
  const int count = static_cast<int>(last - first + 1);
  const double toTable = kStepsPerFrame / stretch;
  const float gain = static_cast<float>(1 / stretch);
  const double limit = double(kHalfWidth) * kStepsPerFrame;
  for (int k = 0; k < count; ++k) {
    const double at = std::abs(double(first + k) - time) * toTable;
    if (at >= limit) {
      weights[k] = 0;
      continue;
    }
    const int index = static_cast<int>(at);
    const float fraction = static_cast<float>(at - index);
    weights[k] = (values_[size_t(index)] + fraction * slopes_[size_t(index)]) * gain;
  }
  return count;
}

}  // namespace quillon
