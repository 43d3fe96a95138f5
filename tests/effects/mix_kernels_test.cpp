#include "effects/mix_kernels.h"

#include <gtest/gtest.h>

#include "support/memory_source.h"

namespace quillon {
namespace {

// The 32-bit lanes (AVX-512, AVX2 and the scalar tail) against the saturating 64-bit loop, for
// gains whose high part times the peak fits 32 bits and for gains where it does not.
TEST(MixKernelsTest, LanesGiveTheSaturatingResultWithinTheirBounds) {
  for (int32_t peak : {524288, 2621440, 40000000}) {
    for (int32_t gain : {1677721, 16777216, 8408526, 4095, 0}) {
      if (!scalesIn32Bits(gain, peak)) continue;
      for (size_t count : {size_t(1), size_t(15), size_t(37), size_t(1000)}) {
        const std::vector<Sample> source = testing::noise(count, peak, uint32_t(gain + 1));
        std::vector<Sample> fast = testing::noise(count, 1000000, 9), slow = fast;
        ASSERT_LE(peakMagnitude(source.data(), count), peak);
        mixScaledUnchecked(fast.data(), source.data(), count, gain, peak);
        mixScaled(slow.data(), source.data(), count, gain);
        ASSERT_EQ(fast, slow) << peak << " " << gain << " " << count;
      }
    }
  }
  std::vector<Sample> words = {3, -7, 12, 0, -12, -2};
  EXPECT_EQ(peakMagnitude(words.data(), words.size()), 12);
  EXPECT_EQ(peakMagnitude(words.data(), 0), 0);
  EXPECT_FALSE(scalesIn32Bits(0x7FFFFFFF, 0x7FFFFFFF));
}

}  // namespace
}  // namespace quillon
