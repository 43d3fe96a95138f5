#include "effects/format_conversion.h"

#include <gtest/gtest.h>

#include "effects/channel_converter.h"
#include "effects/rate_converter.h"
#include "test_signals.h"

namespace quillon {
namespace {

using namespace testing;

TEST(ChannelConverterTest, StereoToMonoAveragesAndMonoToStereoDuplicates) {
  const std::vector<Sample> pairs = {1000, -1000, 3, 4, -3, -4, INT32_MAX, INT32_MAX};
  Ref<SampleSource> mono = convertFormat(makeRef<MemorySource>(pairs, 2, 44100), 44100, 1);
  EXPECT_EQ(mono->channels(), 1);
  // (l + r) >> 1, an arithmetic shift: (3, 4) gives 3, (−3, −4) gives −4; no overflow.
  EXPECT_EQ(readWords(mono, 4), (std::vector<Sample>{0, 3, -4, INT32_MAX}));
  mono->seek(1);
  EXPECT_EQ(readWords(mono, 1), std::vector<Sample>{3});

  Ref<SampleSource> both = convertFormat(makeRef<MemorySource>(pairs, 1, 8000), 8000, 2);
  EXPECT_EQ(readWords(both, 2), (std::vector<Sample>{1000, 1000, -1000, -1000}));
  EXPECT_EQ(both->length(), 8);

  // More than the 8192-frame buffer at once.
  Ref<SampleSource> many = convertFormat(sineSource(1000, 44100, 20000, 1e5, 2), 44100, 1);
  EXPECT_EQ(readWords(many, 20000), sineWords(1000, 44100, 20000, 1e5));
}

TEST(FormatConversionTest, ChainOrderAndPassThrough) {
  auto stereo = sineSource(440, 44100, 1000, 1000, 2);
  EXPECT_EQ(convertFormat(stereo, 44100, 2).get(), stereo.get());  // nothing differs
  EXPECT_EQ(convertFormat(stereo, 44100, 6).get(), stereo.get());  // not a mono/stereo pair

  // Fewer channels: the reduction first, then the two rate stages to 8,000.
  Ref<SampleSource> down = convertFormat(stereo, 8000, 1);
  auto* second = dynamic_cast<RateConverter*>(down.get());
  ASSERT_NE(second, nullptr);
  auto* first = dynamic_cast<RateConverter*>(second->inner().get());
  ASSERT_NE(first, nullptr);
  EXPECT_TRUE(first->plan().firstOfTwo);
  EXPECT_NE(dynamic_cast<ChannelConverter*>(first->inner().get()), nullptr);
  EXPECT_EQ(down->sampleRate(), 8000);
  EXPECT_EQ(down->channels(), 1);

  // More channels: the rate stage works on mono, the expansion comes last.
  Ref<SampleSource> up = convertFormat(sineSource(440, 22050, 1000, 1000), 44100, 2);
  auto* expand = dynamic_cast<ChannelConverter*>(up.get());
  ASSERT_NE(expand, nullptr);
  EXPECT_EQ(dynamic_cast<RateConverter&>(*expand->inner()).channels(), 1);
  EXPECT_EQ(up->length(), 2000);
}

}  // namespace
}  // namespace quillon
