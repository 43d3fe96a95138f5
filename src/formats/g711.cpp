#include "formats/g711.h"

#include <array>
#include <cstdlib>

namespace quillon {
namespace {

constexpr int32_t kMuLawBase[8] = {0, 2112, 6336, 14784, 31680, 65408, 133056, 268224};
constexpr int32_t kMuLawThreshold[8] = {0, 1984, 6080, 14272, 30656, 63360, 128960, 260032};
constexpr int32_t kALawBase[8] = {128, 4224, 8448, 16896, 33792, 67584, 135168, 270336};
constexpr int32_t kALawStep[8] = {256, 256, 512, 1024, 2048, 4096, 8192, 16384};
constexpr int32_t kALawThreshold[8] = {0, 4096, 8192, 16384, 32768, 65536, 131072, 262144};

constexpr std::array<Sample, 256> muLawTable() {
  std::array<Sample, 256> table{};
  for (int u = 0; u < 256; ++u) {
    const int v = ~u & 0xFF;
    const int segment = (v >> 4) & 7;
    const int32_t magnitude = kMuLawBase[segment] + ((v & 15) << (segment + 7));
    table[size_t(u)] = (v & 0x80) ? -magnitude : magnitude;
  }
  return table;
}

constexpr std::array<Sample, 256> aLawTable() {
  std::array<Sample, 256> table{};
  for (int a = 0; a < 256; ++a) {
    const int segment = ((a >> 4) & 7) ^ 5;
    const int mantissa = (a & 15) ^ 5;
    const int32_t magnitude = kALawBase[segment] + kALawStep[segment] * mantissa;
    table[size_t(a)] = (a & 0x80) ? magnitude : -magnitude;
  }
  return table;
}

constexpr std::array<Sample, 256> kMuLaw = muLawTable();
constexpr std::array<Sample, 256> kALaw = aLawTable();

int segmentOf(int64_t magnitude, const int32_t (&thresholds)[8]) {
  int segment = 7;
  while (segment > 0 && magnitude < thresholds[segment])
    --segment;
  return segment;
}

}  // namespace

Sample muLawToWord(uint8_t byte) {
  return kMuLaw[byte];
}
Sample aLawToWord(uint8_t byte) {
  return kALaw[byte];
}

uint8_t wordToMuLaw(Sample word) {
  const int sign = word < 0 ? 0x80 : 0;
  const int64_t magnitude = std::llabs(int64_t{word});
  const int segment = segmentOf(magnitude, kMuLawThreshold);
  const int64_t mantissa =
      std::min<int64_t>(15, (magnitude - kMuLawThreshold[segment]) >> (segment + 7));
  return uint8_t(~(sign | segment << 4 | int(mantissa)));
}

uint8_t wordToALaw(Sample word) {
  const int sign = word >= 0 ? 0x80 : 0;
  const int64_t magnitude = std::llabs(int64_t{word});
  const int segment = segmentOf(magnitude, kALawThreshold);
  const int64_t mantissa =
      std::min<int64_t>(15, (magnitude - kALawThreshold[segment]) / kALawStep[segment]);
  return uint8_t((sign | segment << 4 | int(mantissa)) ^ 0x55);
}

}  // namespace quillon
