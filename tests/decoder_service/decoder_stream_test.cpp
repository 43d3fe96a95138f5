// The decoder stream's arithmetic on figures worked out by hand: the tag size, the Xing record,
// the length estimate, the seek byte and the dithered conversion to sample words.
#include "decoder_service/decoder_stream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace quillon::decoder {
namespace {

TEST(Id3Tag, SizeIsTheSyncsafeNumberPlusTheHeader) {
  const uint8_t tag[10] = {'I', 'D', '3', 3, 0, 0, 0x00, 0x00, 0x02, 0x01};
  EXPECT_EQ(id3TagSize(tag, 10), 267);
  const uint8_t largest[10] = {'I', 'D', '3', 4, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF};  // top bits unused
  EXPECT_EQ(id3TagSize(largest, 10), (1 << 28) - 1 + 10);
  const uint8_t frame[10] = {0xFF, 0xFB, 0x90, 0x64, 0, 0, 0, 0, 2, 1};
  EXPECT_EQ(id3TagSize(frame, 10), 0);
  EXPECT_EQ(id3TagSize(tag, 9), 0);
}

std::vector<unsigned char> xingBytes(uint32_t flags, uint32_t frames, size_t keep = 200) {
  std::vector<unsigned char> bytes = {'X', 'i', 'n', 'g'};
  auto u32 = [&](uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8)
      bytes.push_back(uint8_t(v >> shift));
  };
  u32(flags);
  if (flags & 1) u32(frames);
  if (flags & 2) u32(123456);
  if (flags & 4) {
    for (int i = 0; i < 100; ++i)
      bytes.push_back(uint8_t(i * 255 / 99));
  }
  if (flags & 8) u32(57);
  bytes.resize(std::min(bytes.size(), keep));
  return bytes;
}

bool parse(const std::vector<unsigned char>& bytes, XingRecord& record) {
  mad_bitptr bits;
  mad_bit_init(&bits, bytes.data());
  return parseXingRecord(bits, unsigned(bytes.size() * 8), record);
}

mad_header header(mad_layer layer, unsigned long bitrate, unsigned samplerate, int flags = 0) {
  mad_header h{};
  h.layer = layer;
  h.bitrate = bitrate;
  h.samplerate = samplerate;
  h.flags = flags;
  return h;
}

TEST(XingRecord, ReadsEveryPartInOrderOrNothingWhenCutOrNamedOtherwise) {
  XingRecord record;
  ASSERT_TRUE(parse(xingBytes(15, 1000), record));
  EXPECT_EQ(record.flags, 15u);
  EXPECT_EQ(record.frames, 1000u);
  EXPECT_EQ(record.bytes, 123456u);
  EXPECT_EQ(record.tableOfContents[99], 255);
  EXPECT_EQ(record.quality, 57u);
  EXPECT_FALSE(parse(xingBytes(15, 7, 8 + 4 + 4 + 50), record)) << "table cut short";
  EXPECT_FALSE(parse(xingBytes(1, 7, 11), record)) << "frame count cut short";
  std::vector<unsigned char> info = xingBytes(1, 7);
  std::copy_n("Info", 4, info.begin());
  EXPECT_FALSE(parse(info, record));
  EXPECT_EQ(record.frames, 1000u) << "a failed parse leaves the record alone";
}

TEST(LengthEstimate, XingFrameCountOrTheFileSizeOverTheFrameSize) {
  StreamLayout layout;
  layout.id3Size = 267;
  layout.fileSize = 267 + 1'044'480;
  estimateLength(layout, header(MAD_LAYER_III, 128000, 44100));
  EXPECT_EQ(layout.samplesPerFrame, 1152);
  EXPECT_NEAR(layout.frameSize, 417.96, 0.005);
  EXPECT_NEAR(layout.length, 2'878'800, 100);
  // The average frame size already includes the padding slots: a padded last frame must not
  // shorten the estimate (418.96 bytes would lose 0.24 % of the audio at the end).
  estimateLength(layout, header(MAD_LAYER_III, 128000, 44100, MAD_FLAG_PADDING));
  EXPECT_NEAR(layout.frameSize, 417.96, 0.005);

  ASSERT_TRUE(parse(xingBytes(15, 1000), layout.xing));
  estimateLength(layout, header(MAD_LAYER_III, 128000, 44100));
  EXPECT_EQ(layout.length, 1'152'000) << "whatever the bit rate of the first frame";
  // A count beyond what the file can hold is cut to the frames of the smallest size (32 kbit/s
  // at 44,100 Hz: 104 bytes) that fit the data.
  layout.xing.frames = 0xFFFFFFFF;
  estimateLength(layout, header(MAD_LAYER_III, 128000, 44100));
  EXPECT_EQ(layout.length, 1'044'480 / 104 * 1152);
  estimateLength(layout,
                 header(MAD_LAYER_III, 64000, 22050, MAD_FLAG_LSF_EXT));  // 8 kbit/s: 26 bytes
  EXPECT_EQ(layout.length, 1'044'480 / 26 * 576);
  layout.xing = {};
  for (const mad_header& nonsense :
       {header(MAD_LAYER_III, 0, 44100), header(MAD_LAYER_III, 128000, 0)}) {
    estimateLength(layout, nonsense);
    EXPECT_EQ(layout.length, 0);
  }
  estimateLength(layout, header(MAD_LAYER_I, 64000, 32000));
  EXPECT_EQ(layout.samplesPerFrame, 384);
  estimateLength(layout,
                 header(MAD_LAYER_III, 8000, 8000, MAD_FLAG_LSF_EXT | MAD_FLAG_MPEG_2_5_EXT));
  EXPECT_EQ(layout.samplesPerFrame, 576);
  layout.id3Size = layout.fileSize + 5000;  // a tag larger than the file
  estimateLength(layout, header(MAD_LAYER_III, 128000, 44100));
  EXPECT_EQ(layout.length, 0);
}

TEST(SeekByte, ProportionalOrThroughTheTableOfContents) {
  StreamLayout layout;
  layout.id3Size = 1000;
  layout.fileSize = 1000 + 99000;
  layout.length = 1'152'000;
  EXPECT_EQ(seekByte(layout, 0), 1000) << "frame 0 is the byte after the tag";
  EXPECT_EQ(seekByte(layout, 288'000), 1000 + 99000 / 4);
  layout.xing.flags = XingRecord::kFrames | XingRecord::kTableOfContents;
  for (int i = 0; i < 100; ++i)
    layout.xing.tableOfContents[i] = i * 255 / 99;
  layout.xing.tableOfContents[50] = 128;
  layout.xing.tableOfContents[51] = 130;
  EXPECT_EQ(seekByte(layout, 576'000), 1000 + 99000 / 2) << "128 / 256";
  EXPECT_EQ(seekByte(layout, 576'000 + 5760), 1000 + int64_t(99000 * (129.0 / 256)));
  EXPECT_EQ(seekByte(layout, -5), 1000);
  EXPECT_EQ(seekByte(layout, 5'000'000), layout.fileSize) << "past the end: the end";
  layout.length = 0;
  EXPECT_EQ(seekByte(layout, 1000), 1000);
}

TEST(Conversion, FirstWordsFollowTheNoiseShapedDitherExactly) {
  DitherState state;
  // 2^24 + 256 + (1013904223 & 511 = 351) = 16777823; low 9 bits cleared: 16777728.
  EXPECT_EQ(toSampleWord(1 << 24, state), 32769);
  EXPECT_EQ(state.error[0], -512);
  EXPECT_EQ(state.random, 1013904223u);
  // s = 2^24 − 512; r' = 1013904223 × 1664525 + 1013904223 mod 2^32.
  const uint32_t next = 1013904223u * 1664525u + 1013904223u;
  int64_t o = (1 << 24) - 512 + 256 + int64_t(next & 511) - 351;
  o &= ~int64_t{511};
  EXPECT_EQ(toSampleWord(1 << 24, state), int32_t(o >> 9));
  EXPECT_EQ(state.error[1], -256);
  EXPECT_EQ(state.error[2], 0);
}

TEST(Conversion, FullScaleNeverPassesTwentyBits) {
  for (mad_fixed_t loud : {mad_fixed_t{0x0FFFFFFF}, mad_fixed_t{0x7FFFFFFF},
                           mad_fixed_t{-0x10000000}, mad_fixed_t{-0x7FFFFFFF - 1}}) {
    DitherState state;
    int32_t lowest = 1 << 30, highest = -(1 << 30);
    for (int i = 0; i < 100000; ++i) {
      const int32_t word = toSampleWord(loud, state);
      lowest = std::min(lowest, word), highest = std::max(highest, word);
    }
    EXPECT_LE(highest, 524287) << loud;
    EXPECT_GE(lowest, -524288) << loud;
    EXPECT_GE(loud > 0 ? lowest : -highest, 524286) << "full scale stays at full scale";
  }
}

}  // namespace
}  // namespace quillon::decoder
