#pragma once

#include <cstdint>

namespace quillon {

// The value control of the effect dialogs: a slider of 101 positions (0 … 100) beside a number
// field whose up-down speeds up while it is held. The rules, without the widgets.

inline constexpr int kSliderLastPosition = 100;

// Where the slider stands for a value: trunc((value − minimum) / (maximum − minimum) × 100),
// kept to 0 … 100.
int sliderPositionOf(int32_t value, int32_t minimum, int32_t maximum);
// The value a slider position gives: the smallest value whose position is `position` (when the
// range has at least 100 values every position has one, so the slider never jumps back).
int32_t valueAtSliderPosition(int position, int32_t minimum, int32_t maximum);
// One step of the up-down after it has been held for `heldMs`: `step` during the first second,
// ten steps after 1 s, a hundred after 5 s.
int64_t acceleratedStep(int32_t step, int64_t heldMs);

}  // namespace quillon
