#include "effects/echo_filter.h"

#include <gtest/gtest.h>

#include "effects/frame_time.h"
#include "support/memory_source.h"

namespace quillon {
namespace {

using testing::memorySource;
using testing::readFrames;

TEST(FrameTimeTest, MillisecondsToFramesStaysExact) {
  EXPECT_EQ(millisecondsToFrames(44100, 800), 35280);
  EXPECT_EQ(millisecondsToFrames(44100, 45), 1984);  // 1984.5 truncated
  EXPECT_EQ(millisecondsToFrames(44100, 2999), 132255);
  EXPECT_EQ(millisecondsToFrames(1000, 10), 10);
  // 48,000 × 100,000,000 would overflow 32 bits as one product.
  EXPECT_EQ(millisecondsToFrames(48000, 100000000), 2147483647);  // saturates
  EXPECT_EQ(millisecondsToFrames(8000, 44999), 359992);
}

TEST(EchoFilterTest, ImpulseComesBackHalvedEachDelay) {
  const EchoDescriptor descriptor(800, 50);
  EXPECT_EQ(descriptor.name(), "Echo");
  std::vector<Sample> impulse(80000, 0);
  impulse[0] = 100000;
  Ref<EffectFilter> filter = descriptor.makeFilter(memorySource(impulse));
  const auto& echo = static_cast<const EchoFilter&>(*filter);
  EXPECT_EQ(echo.delayWords(), 35280);
  EXPECT_EQ(echo.feedback(), 256);
  std::vector<Sample> out;
  for (int i = 0; i < 10; ++i) {  // in blocks, across the line's wrap
    const std::vector<Sample> block = readFrames(*filter, 8000);
    out.insert(out.end(), block.begin(), block.end());
  }
  std::vector<Sample> expected(80000, 0);
  expected[0] = 100000;
  expected[35280] = 50000;
  expected[70560] = 25000;
  EXPECT_EQ(out, expected);

  // A seek clears the line: the same input gives the same output again.
  filter->seek(0);
  EXPECT_EQ(readFrames(*filter, 80000), expected);
}

TEST(EchoFilterTest, StereoChannelsEchoApart) {
  std::vector<Sample> input(2 * 1000, 0);
  input[0] = 8000;                                         // left, frame 0
  input[21] = -800;                                        // right, frame 10
  EchoFilter echo(memorySource(input, 2, 8000), 100, 25);  // 800 frames, g = 128
  EXPECT_EQ(echo.delayWords(), 1600);
  const std::vector<Sample> out = readFrames(echo, 1000);
  EXPECT_EQ(out[1600], 2000);  // left, frame 800
  EXPECT_EQ(out[1601], 0);     // right, frame 800
  EXPECT_EQ(out[1621], -200);  // right, frame 810
  EXPECT_EQ(out[1620], 0);
}

TEST(EchoFilterTest, ShortDelayIsAtLeastTwentyWords) {
  EXPECT_EQ(EchoFilter(memorySource({}, 1, 1000), 10, 50).delayWords(), 20);  // 10 raised
  EXPECT_EQ(EchoFilter(memorySource({}, 2, 1000), 10, 50).delayWords(), 20);
  EXPECT_EQ(EchoFilter(memorySource({}, 2, 1000), 20, 50).delayWords(), 40);
  EXPECT_EQ(EchoFilter(memorySource({}, 1, 1000), 20, 99).feedback(), 506);
}

}  // namespace
}  // namespace quillon
