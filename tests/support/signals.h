#pragma once

#include <vector>

#include "document/sample_types.h"

namespace quillon::testing {

// `count` sample words rising from `first` by `step`: audio whose every word tells where it came
// from.
inline std::vector<Sample> ramp(int count, Sample first = 1, Sample step = 1) {
  std::vector<Sample> words(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i)
    words[size_t(i)] = first + i * step;
  return words;
}

}  // namespace quillon::testing
