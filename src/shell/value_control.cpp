#include "shell/value_control.h"

#include <algorithm>
#include <cmath>

namespace quillon {

int sliderPositionOf(int32_t value, int32_t minimum, int32_t maximum) {
  if (maximum <= minimum) return 0;
  const double fraction = (double(value) - minimum) / (double(maximum) - minimum);
  return std::clamp(int(std::trunc(fraction * kSliderLastPosition)), 0, kSliderLastPosition);
}

int32_t valueAtSliderPosition(int position, int32_t minimum, int32_t maximum) {
  if (maximum <= minimum) return minimum;
  position = std::clamp(position, 0, kSliderLastPosition);
  const int64_t range = int64_t{maximum} - minimum;
  // ceil(range × position / 100), in whole numbers.
  const int64_t offset = (range * position + kSliderLastPosition - 1) / kSliderLastPosition;
  return int32_t(std::min<int64_t>(minimum + offset, maximum));
}

int64_t acceleratedStep(int32_t step, int64_t heldMs) {
  if (heldMs >= 5000) return int64_t{step} * 100;
  if (heldMs >= 1000) return int64_t{step} * 10;
  return step;
}

}  // namespace quillon
