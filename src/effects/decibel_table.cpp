#include "effects/decibel_table.h"

#include <cmath>

namespace quillon {
namespace {

int32_t toGain(double value) {
  const double scaled = value * 16777216.0 + 0.5;
  return scaled >= 2147483647.0 ? 0x7FFFFFFF : static_cast<int32_t>(scaled);
}

}  // namespace

const DecibelTable& DecibelTable::instance() {
  static const DecibelTable table;
  return table;
}

DecibelTable::DecibelTable() {
  for (int d = -126; d <= 127; ++d) {
    amplitude_[index(d)] = toGain(std::pow(10.0, d * 0.05));
    power_[index(d)] = toGain(std::pow(10.0, d * 0.1));
  }
}

}  // namespace quillon
