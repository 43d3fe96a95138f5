#include "shell/value_control.h"

#include <algorithm>
#include <cmath>

namespace quillon {

int sliderPositionOf(int32_t value, int32_t minimum, int32_t maximum) {
  if (maximum <= minimum) return 0;
  // In whole numbers: 0.29 × 100 in floating point is 28.999…, which would truncate to 28.
  const int64_t offset =
      std::clamp<int64_t>(int64_t{value} - minimum, 0, int64_t{maximum} - minimum);
  return int(offset * kSliderLastPosition / (int64_t{maximum} - minimum));
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
