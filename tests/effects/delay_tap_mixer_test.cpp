#include "effects/delay_tap_mixer.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "effects/decibel_table.h"
#include "effects/mix_kernels.h"
#include "support/memory_source.h"

namespace quillon {
namespace {

// A source with the zeros around it that the mixer may read.
struct PaddedSource {
  std::vector<Sample> storage;
  int64_t peak;
  // Noise within ±amplitude; a negative amplitude: every word that large (a worst case).
  PaddedSource(size_t count, int32_t amplitude, uint32_t seed) : peak(std::abs(amplitude)) {
    const std::vector<Sample> words = amplitude < 0 ? std::vector<Sample>(count, amplitude)
                                                    : testing::noise(count, amplitude, seed);
    storage.assign(count + 2 * kDelayTapPadding, 0);
    std::copy(words.begin(), words.end(), storage.begin() + kDelayTapPadding);
  }
  const Sample* words() const { return storage.data() + kDelayTapPadding; }
  size_t count() const { return storage.size() - 2 * kDelayTapPadding; }
};

// Every way of adding (word by word, AVX2, AVX-512, as far as this processor has them) gives the
// words of the saturating loop, tap by tap: for taps of every kind (gains below 1/4096, gains
// whose high product fits 32 bits, gains whose does not, sources too large for 16-bit halves),
// at every offset and length (shorter than a stretch, ending mid-stretch, overlapping), and for
// crowds of small taps whose 16-bit sums must be widened on the way.
TEST(DelayTapMixerTest, EveryWayGivesTheSaturatingSums) {
  const DecibelTable& db = DecibelTable::instance();
  struct Case {
    const char* name;
    int32_t amplitudes[3];  // of the three sources
    int tapCount;
    int lowestDb, highestDb;  // gains from the decibel table
    size_t spacing;           // 0: random offsets; else offsets this far apart
  };
  const Case cases[] = {
      {"16-bit sources, every kind of gain", {524288, 2621440, 300}, 400, -127, 6, 0},
      {"crowded small gains", {2621440, 2621440, 2621440}, 1500, -80, -60, 37},
      {"crowded small gains on loud sources", {-2621440, -2621440, 2621440}, 1500, -74, -73, 5},
      {"sources too large for 16 bits", {100000000, 70000000, 67108863}, 200, -127, -40, 0},
      {"large gains on small sources", {4000, 9000, 16000}, 100, 0, 40, 0},
  };
  const int widest = int(widestMixLanes());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const PaddedSource sources[3] = {
        {20000, c.amplitudes[0], 1}, {777, c.amplitudes[1], 2}, {5, c.amplitudes[2], 3}};
    std::vector<DelayTap> taps;
    uint32_t seed = 7;
    auto next = [&seed](uint32_t range) {
      seed = seed * 1664525 + 1013904223;
      return (seed >> 8) % range;
    };
    for (int k = 0; k < c.tapCount; ++k) {
      const PaddedSource& source = sources[k % 3 == 0 ? 0 : k % 7 == 1 ? 2 : 1];
      const size_t offset = c.spacing ? size_t(k) * c.spacing : next(60000);
      const int decibels = c.lowestDb + int(next(uint32_t(c.highestDb - c.lowestDb + 1)));
      const int32_t gain = db.amplitude(decibels);
      if (!scalesIn32Bits(gain, source.peak)) continue;
      taps.push_back({source.words(), offset, source.count(), gain, source.peak});
    }
    std::vector<Sample> expected = testing::noise(120000, 1000000, 9);
    int64_t bound = peakMagnitude(expected.data(), expected.size());
    for (const DelayTap& tap : taps) {
      bound += scaledBound(tap.gain, tap.peak);
      mixScaled(expected.data() + tap.offset, tap.source, tap.count, tap.gain);
    }
    ASSERT_LE(bound, INT32_MAX) << "the case must keep every sum within 32 bits";
    for (int lanes = 0; lanes <= widest; ++lanes) {
      SCOPED_TRACE(lanes);
      std::vector<Sample> mix = testing::noise(120000, 1000000, 9);
      DelayTapMixer mixer;
      for (int call = 0; call < 2; ++call) {  // the second call reuses the working buffers
        std::vector<Sample> once = mix;
        mixer.add(once.data(), taps.data(), taps.size(), MixLanes(lanes));
        ASSERT_EQ(once, expected);
      }
    }
  }
}

}  // namespace
}  // namespace quillon
