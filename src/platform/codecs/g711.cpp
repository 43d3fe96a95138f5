// ITU-T G.711 A-law (format tag 6) and µ-law (tag 7): one byte per sample. A 16-bit sample is
// coded by the decision intervals of the recommendation (A-law on its 13 high bits, µ-law on its
// 14 high bits, negative values by their one's complement, so that both signs are coded alike);
// a code is decoded to the middle of its interval.
#include <array>

#include "platform/codecs/block_codec.h"
#include "platform/codecs/codec_drivers.h"

namespace quillon::platform {
namespace {

using codecs::BlockCodec;

uint8_t encodeALaw(int sample) {
  int magnitude = (sample < 0 ? ~sample : sample) >> 4;
  if (magnitude > 15) {
    int exponent = 1;
    while (magnitude > 16 + 15) {
      magnitude >>= 1;
      ++exponent;
    }
    magnitude = magnitude - 16 + (exponent << 4);
  }
  if (sample >= 0) magnitude |= 0x80;
  return uint8_t(magnitude ^ 0x55);
}

int decodeALaw(uint8_t code) {
  const int bits = (code ^ 0x55) & 0x7F;
  const int exponent = bits >> 4;
  int mantissa = bits & 0x0F;
  if (exponent > 0) mantissa += 16;
  mantissa = (mantissa << 4) + 8;
  if (exponent > 1) mantissa <<= exponent - 1;
  return code > 127 ? mantissa : -mantissa;
}

constexpr int kMuLawBias = 33;

uint8_t encodeMuLaw(int sample) {
  int biased = ((sample < 0 ? ~sample : sample) >> 2) + kMuLawBias;
  if (biased > 0x1FFF) biased = 0x1FFF;
  int segment = 1;
  for (int rest = biased >> 6; rest != 0; rest >>= 1)
    ++segment;
  const int high = 8 - segment;
  const int low = 0x0F - ((biased >> segment) & 0x0F);
  const int code = (high << 4) | low;
  return uint8_t(sample >= 0 ? code | 0x80 : code);
}

int decodeMuLaw(uint8_t code) {
  const int bits = ~code;
  const int exponent = (bits >> 4) & 0x07;
  const int mantissa = bits & 0x0F;
  const int step = 4 << (exponent + 1);
  const int magnitude = (0x80 << exponent) + step * mantissa + step / 2 - 4 * kMuLawBias;
  return code < 0x80 ? -magnitude : magnitude;
}

using DecodingTable = std::array<int16_t, 256>;

template <int (*decode)(uint8_t)>
const DecodingTable& decodingTable() {
  static const DecodingTable table = [] {
    DecodingTable values{};
    for (int code = 0; code < 256; ++code)
      values[size_t(code)] = int16_t(decode(uint8_t(code)));
    return values;
  }();
  return table;
}

// One frame is one block: a byte per channel.
class G711Codec : public BlockCodec {
 public:
  G711Codec(unsigned channels, uint8_t (*encode)(int), const DecodingTable& decoding)
      : BlockCodec(channels, 1, channels), encode_(encode), decoding_(decoding) {}

  void encodeBlock(const int16_t* frames, size_t, uint8_t* block) override {
    for (unsigned ch = 0; ch < channels(); ++ch)
      block[ch] = encode_(frames[ch]);
  }
  size_t framesInTruncatedBlock(size_t) const override { return 0; }
  size_t decodeBlock(const uint8_t* block, size_t bytes, int16_t* frames) override {
    if (bytes < channels()) return 0;
    for (unsigned ch = 0; ch < channels(); ++ch)
      frames[ch] = decoding_[block[ch]];
    return 1;
  }

 private:
  uint8_t (*encode_)(int);
  const DecodingTable& decoding_;
};

class G711Driver : public codecs::SingleTagDriver {
 public:
  G711Driver(uint16_t productId, std::string name, uint16_t tag)
      : SingleTagDriver(productId, std::move(name), tag) {}

 protected:
  WaveFormat standardFormat(uint32_t sampleRate, uint16_t channels) const override {
    return g711Format(tag(), sampleRate, channels);
  }

  std::unique_ptr<BlockCodec> makeCodec(const WaveFormat& format) const override {
    if (format.bitsPerSample != 8 || format.channels == 0 || format.blockAlign != format.channels) {
      return nullptr;
    }
    if (tag() == kALawTag) {
      return std::make_unique<G711Codec>(format.channels, encodeALaw, decodingTable<decodeALaw>());
    }
    return std::make_unique<G711Codec>(format.channels, encodeMuLaw, decodingTable<decodeMuLaw>());
  }
};

}  // namespace

WaveFormat g711Format(uint16_t tag, uint32_t sampleRate, uint16_t channels) {
  WaveFormat format;
  format.tag = tag;
  format.channels = channels;
  format.sampleRate = sampleRate;
  format.blockAlign = channels;
  format.averageBytesPerSecond = sampleRate * channels;
  format.bitsPerSample = 8;
  return format;
}

std::unique_ptr<CodecDriver> makeALawDriver() {
  return std::make_unique<G711Driver>(kALawProductId, "Quillon CCITT A-Law", kALawTag);
}

std::unique_ptr<CodecDriver> makeMuLawDriver() {
  return std::make_unique<G711Driver>(kMuLawProductId, "Quillon CCITT u-Law", kMuLawTag);
}

}  // namespace quillon::platform
