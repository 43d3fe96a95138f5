// IMA ADPCM (format tag 0x11) in the block layout of WAV files. A block starts with a 4-byte
// header per channel (the first sample as int16 little-endian, the step index, a zero byte);
// then come the other samples as 4-bit codes in 4-byte groups, one group of 8 samples per
// channel in turn, the low nibble first.
#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <vector>

#include "platform/codecs/block_codec.h"
#include "platform/codecs/codec_drivers.h"

namespace quillon::platform {
namespace {

using codecs::BlockCodec;
using codecs::clamp16;

constexpr int kStepSizes[] = {
    7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,   21,    23,
    25,    28,    31,    34,    37,    41,    45,    50,    55,    60,    66,   73,    80,
    88,    97,    107,   118,   130,   143,   157,   173,   190,   209,   230,  253,   279,
    307,   337,   371,   408,   449,   494,   544,   598,   658,   724,   796,  876,   963,
    1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,  2272,  2499,  2749, 3024,  3327,
    3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,  9493, 10442, 11487,
    12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};
constexpr int kMaxStepIndex = 88;
static_assert(std::size(kStepSizes) == kMaxStepIndex + 1);
constexpr int kIndexAdjust[8] = {-1, -1, -1, -1, 2, 4, 6, 8};

constexpr size_t kGroupFrames = 8;  // samples of one channel in a 4-byte group

// The predictor of one channel: the last sample and the step index.
struct ImaState {
  int sample = 0;
  int index = 0;

  // The sample that `code` makes of the current one (nothing changes).
  int next(unsigned code) const {
    const int step = kStepSizes[index];
    int delta = step >> 3;
    if (code & 4) delta += step;
    if (code & 2) delta += step >> 1;
    if (code & 1) delta += step >> 2;
    return clamp16(code & 8 ? sample - delta : sample + delta);
  }
  void apply(unsigned code) {
    sample = next(code);
    index = std::clamp(index + kIndexAdjust[code & 7], 0, kMaxStepIndex);
  }
  // The code that brings this sample and the next nearest to their targets (squared errors,
  // the next one coded as well as it can be), applied. Looking one sample ahead keeps the step
  // from shrinking just before a steep stretch. Only the eight codes of the difference's sign
  // are tried.
  unsigned encode(int target, const int* following) {
    const unsigned sign = target < sample ? 8 : 0;
    unsigned best = sign;
    int64_t bestError = INT64_MAX;
    for (unsigned code = sign; code < sign + 8; ++code) {
      ImaState trial = *this;
      trial.apply(code);
      int64_t error = square(trial.sample - target);
      if (following != nullptr) error += square(trial.next(trial.nearest(*following)) - *following);
      if (error < bestError) {
        bestError = error;
        best = code;
      }
    }
    apply(best);
    return best;
  }

  // The code whose result lies nearest to `target`: the reference quantizer rounds the
  // difference down, so it is its code or the next larger one.
  unsigned nearest(int target) const {
    const unsigned sign = target < sample ? 8 : 0;
    int difference = std::abs(target - sample);
    int step = kStepSizes[index];
    unsigned magnitude = 0;
    for (unsigned bit = 4; bit != 0; bit >>= 1, step >>= 1) {
      if (difference >= step) {
        magnitude |= bit;
        difference -= step;
      }
    }
    if (magnitude < 7 && std::abs(next(sign | (magnitude + 1)) - target) <
                             std::abs(next(sign | magnitude) - target)) {
      ++magnitude;
    }
    return sign | magnitude;
  }

  static int64_t square(int value) { return int64_t(value) * value; }
};

class ImaAdpcmCodec : public BlockCodec {
 public:
  ImaAdpcmCodec(unsigned channels, size_t blockBytes)
      : BlockCodec(channels, 1 + (blockBytes - 4 * channels) * 2 / channels, blockBytes),
        encoders_(channels) {}

  void reset() override { std::fill(encoders_.begin(), encoders_.end(), ImaState{}); }

  void encodeBlock(const int16_t* frames, size_t, uint8_t* block) override {
    const unsigned channels = this->channels();
    for (unsigned ch = 0; ch < channels; ++ch) {
      ImaState& state = encoders_[ch];
      state.sample = frames[ch];
      codecs::storeS16(block + 4 * ch, state.sample);
      block[4 * ch + 2] = uint8_t(state.index);
      block[4 * ch + 3] = 0;
    }
    // Sample j after the header sits in group j / 8 of its channel, nibble j % 8.
    const size_t coded = framesPerBlock() - 1;
    for (unsigned ch = 0; ch < channels; ++ch) {
      const int16_t* in = frames + channels + ch;
      for (size_t j = 0; j < coded; ++j) {
        const int following = j + 1 < coded ? in[(j + 1) * channels] : 0;
        const unsigned code =
            encoders_[ch].encode(in[j * channels], j + 1 < coded ? &following : nullptr);
        uint8_t& out = block[4 * (channels * (j / kGroupFrames + 1) + ch) + j % kGroupFrames / 2];
        out = j % 2 == 0 ? uint8_t(code) : uint8_t(out | (code << 4));
      }
    }
  }

  size_t framesInTruncatedBlock(size_t bytes) const override {
    const size_t header = 4 * size_t(channels());
    if (bytes < header) return 0;
    return std::min(framesPerBlock(), 1 + kGroupFrames * ((bytes - header) / header));
  }

  size_t decodeBlock(const uint8_t* block, size_t bytes, int16_t* frames) override {
    const unsigned channels = this->channels();
    const size_t count = bytes >= blockBytes() ? framesPerBlock() : framesInTruncatedBlock(bytes);
    if (count == 0) return 0;
    const size_t groups = (count - 1) / kGroupFrames;
    for (unsigned ch = 0; ch < channels; ++ch) {
      ImaState state;
      state.sample = codecs::loadS16(block + 4 * ch);
      // An index out of range is taken as 0, as other decoders do.
      state.index = block[4 * ch + 2] <= kMaxStepIndex ? block[4 * ch + 2] : 0;
      frames[ch] = int16_t(state.sample);
      for (size_t group = 0; group < groups; ++group) {
        const uint8_t* in = block + 4 * (channels * (group + 1) + ch);
        int16_t* out = frames + (1 + group * kGroupFrames) * channels + ch;
        for (size_t i = 0; i < kGroupFrames; i += 2) {
          state.apply(in[i / 2] & 0x0F);
          out[i * channels] = int16_t(state.sample);
          state.apply(in[i / 2] >> 4);
          out[(i + 1) * channels] = int16_t(state.sample);
        }
      }
    }
    return count;
  }

 private:
  std::vector<ImaState> encoders_;  // carried from block to block: the step index
};

class ImaAdpcmDriver : public codecs::SingleTagDriver {
 public:
  ImaAdpcmDriver() : SingleTagDriver(kImaAdpcmProductId, "Quillon IMA ADPCM", kImaAdpcmTag) {}

 protected:
  WaveFormat standardFormat(uint32_t sampleRate, uint16_t channels) const override {
    return imaAdpcmFormat(sampleRate, channels);
  }

  std::unique_ptr<BlockCodec> makeCodec(const WaveFormat& format) const override {
    const size_t channels = format.channels;
    const size_t header = 4 * channels;
    if (format.bitsPerSample != 4 || channels == 0 || format.blockAlign < header ||
        (format.blockAlign - header) % header != 0 || format.extra.size() < 2) {
      return nullptr;
    }
    const size_t samplesPerBlock = size_t(format.extra[0] | (format.extra[1] << 8));
    if (samplesPerBlock != 1 + (format.blockAlign - header) * 2 / channels) return nullptr;
    return std::make_unique<ImaAdpcmCodec>(format.channels, format.blockAlign);
  }
};

}  // namespace

WaveFormat imaAdpcmFormat(uint32_t sampleRate, uint16_t channels, uint16_t blockAlign) {
  // Per channel a 4-byte header holding the first sample.
  return codecs::adpcmFormat(kImaAdpcmTag, sampleRate, channels, blockAlign, 4, 1);
}

std::unique_ptr<CodecDriver> makeImaAdpcmDriver() {
  return std::make_unique<ImaAdpcmDriver>();
}

}  // namespace quillon::platform
