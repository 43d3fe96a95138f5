// Microsoft ADPCM (format tag 2). A block starts with a header for all channels, field by field:
// a predictor index byte per channel, then per channel the int16 step (delta), the int16 second
// sample and the int16 first sample. The other samples follow as 4-bit codes interleaved by
// channel, the high nibble first. Each sample is predicted from the two before it with the
// coefficient pair that the block's predictor index names; the record carries the pairs.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <vector>

#include "platform/codecs/block_codec.h"
#include "platform/codecs/codec_drivers.h"

namespace quillon::platform {
namespace {

using codecs::BlockCodec;

constexpr int kAdaptation[16] = {230, 230, 230, 230, 307, 409, 512, 614,
                                 768, 614, 512, 409, 307, 230, 230, 230};
constexpr int16_t kStandardCoefficients[7][2] = {{256, 0}, {512, -256}, {0, 0},     {192, 64},
                                                 {240, 0}, {460, -208}, {392, -232}};
constexpr size_t kMinCoefficients = 7;
constexpr size_t kMaxCoefficients = 256;
constexpr int64_t kMinDelta = 16;
// The step grows by at most 3 per sample; a hostile block may drive it up without end, so it is
// held below a bound that valid streams never reach and that keeps code × step within 64 bits.
constexpr int64_t kMaxDelta = int64_t(1) << 30;
// A block header holds the step as int16.
constexpr int64_t kMaxHeaderDelta = 32767;
// The work spent choosing a block's predictor: that many predicted samples over all candidates.
constexpr size_t kTrialBudget = 32768;

struct CoefficientPair {
  int first = 0;   // weighs the newest sample
  int second = 0;  // weighs the one before it
};

// The predictor of one channel within a block.
struct MsState {
  CoefficientPair pair;
  int64_t delta = kMinDelta;
  int sample1 = 0;  // the newest sample
  int sample2 = 0;  // the one before it

  int64_t predict() const {
    return (int64_t(sample1) * pair.first + int64_t(sample2) * pair.second) >> 8;
  }
  void apply(unsigned code, int64_t prediction) {
    const int64_t signedCode = code & 8 ? int64_t(code) - 16 : int64_t(code);
    const int value = int(std::clamp<int64_t>(prediction + signedCode * delta, -32768, 32767));
    delta = std::clamp<int64_t>((kAdaptation[code] * delta) >> 8, kMinDelta, kMaxDelta);
    sample2 = sample1;
    sample1 = value;
  }
  // The code nearest to `target`, applied.
  unsigned encode(int target) {
    const int64_t prediction = predict();
    const int64_t error = target - prediction;
    const int64_t half = delta / 2;
    int64_t code = (error >= 0 ? error + half : error - half) / delta;
    code = std::clamp<int64_t>(code, -8, 7);
    const unsigned nibble = unsigned(code) & 0x0F;
    apply(nibble, prediction);
    return nibble;
  }
};

class MsAdpcmCodec : public BlockCodec {
 public:
  MsAdpcmCodec(unsigned channels, size_t framesPerBlock, size_t blockBytes,
               std::vector<CoefficientPair> pairs)
      : BlockCodec(channels, framesPerBlock, blockBytes),
        pairs_(std::move(pairs)),
        lastDeltas_(channels, kMinDelta),
        states_(channels) {}

  void reset() override { std::fill(lastDeltas_.begin(), lastDeltas_.end(), kMinDelta); }

  void encodeBlock(const int16_t* frames, size_t signal, uint8_t* block) override {
    const unsigned channels = this->channels();
    std::memset(block + 7 * channels, 0, blockBytes() - 7 * channels);
    for (unsigned ch = 0; ch < channels; ++ch)
      encodeChannel(frames + ch, ch, signal, block);
  }

  size_t framesInTruncatedBlock(size_t bytes) const override {
    const size_t header = 7 * size_t(channels());
    if (bytes < header) return 0;
    return std::min(framesPerBlock(), 2 + 2 * (bytes - header) / channels());
  }

  size_t decodeBlock(const uint8_t* block, size_t bytes, int16_t* frames) override {
    const unsigned channels = this->channels();
    const size_t count = bytes >= blockBytes() ? framesPerBlock() : framesInTruncatedBlock(bytes);
    if (count == 0) return 0;
    for (unsigned ch = 0; ch < channels; ++ch) {
      MsState& state = states_[ch];
      // A predictor index beyond the pairs is taken as 0, as other decoders do.
      const size_t predictor = block[ch] < pairs_.size() ? block[ch] : 0;
      state.pair = pairs_[predictor];
      state.delta = codecs::loadS16(block + channels + 2 * ch);
      state.sample1 = codecs::loadS16(block + 3 * channels + 2 * ch);
      state.sample2 = codecs::loadS16(block + 5 * channels + 2 * ch);
      frames[ch] = int16_t(state.sample2);
      frames[channels + ch] = int16_t(state.sample1);
    }
    const uint8_t* codes = block + 7 * channels;
    const size_t total = (count - 2) * channels;
    int16_t* out = frames + 2 * channels;
    unsigned ch = 0;
    for (size_t k = 0; k < total; ++k) {
      const unsigned nibble = k % 2 == 0 ? codes[k / 2] >> 4 : codes[k / 2] & 0x0F;
      MsState& state = states_[ch];
      state.apply(nibble, state.predict());
      out[k] = int16_t(state.sample1);
      if (++ch == channels) ch = 0;
    }
    return count;
  }

 private:
  // Chooses the channel's predictor and first step by trying each pair, with the step the last
  // block ended on and with one fitted to the block's first prediction errors, on the block's
  // first samples (not on the silence that pads a last block); then writes its header fields and
  // codes.
  void encodeChannel(const int16_t* samples, unsigned ch, size_t signal, uint8_t* block) {
    const unsigned channels = this->channels();
    const size_t count = framesPerBlock();
    const auto sampleAt = [&](size_t i) { return int(samples[i * channels]); };
    const size_t trialFrames =
        std::min(signal, std::max<size_t>(16, kTrialBudget / (2 * pairs_.size())));
    MsState best;
    uint64_t bestError = UINT64_MAX;
    for (size_t predictor = 0; predictor < pairs_.size(); ++predictor) {
      for (int64_t delta : {lastDeltas_[ch], fittedDelta(samples, predictor)}) {
        MsState state = startState(samples, predictor, delta);
        const MsState start = state;
        uint64_t error = 0;
        for (size_t i = 2; i < trialFrames && error < bestError; ++i) {
          state.encode(sampleAt(i));
          const int64_t difference = state.sample1 - sampleAt(i);
          error += uint64_t(difference * difference);
        }
        if (error < bestError) {
          bestError = error;
          best = start;
          block[ch] = uint8_t(predictor);
        }
      }
    }
    MsState state = best;  // the first candidate wins when all are equal
    codecs::storeS16(block + channels + 2 * ch, int(state.delta));
    codecs::storeS16(block + 3 * channels + 2 * ch, state.sample1);
    codecs::storeS16(block + 5 * channels + 2 * ch, state.sample2);
    uint8_t* codes = block + 7 * channels;
    for (size_t i = 2; i < count; ++i) {
      const unsigned nibble = state.encode(sampleAt(i));
      const size_t k = (i - 2) * channels + ch;
      codes[k / 2] |= uint8_t(k % 2 == 0 ? nibble << 4 : nibble);
    }
    lastDeltas_[ch] = std::min<int64_t>(state.delta, kMaxHeaderDelta);
  }

  // The state after the two header samples.
  MsState startState(const int16_t* samples, size_t predictor, int64_t delta) const {
    MsState state;
    state.pair = pairs_[predictor];
    state.delta = delta;
    state.sample2 = samples[0];
    state.sample1 = samples[channels()];
    return state;
  }

  // A first step for the average prediction error of the block's next few samples: a step that
  // codes the error as ±4 leaves the step about where it is.
  int64_t fittedDelta(const int16_t* samples, size_t predictor) const {
    const unsigned channels = this->channels();
    const CoefficientPair pair = pairs_[predictor];
    int64_t sum = 0, terms = 0;
    for (size_t i = 2; i < std::min<size_t>(framesPerBlock(), 6); ++i, ++terms) {
      const int64_t prediction = (int64_t(samples[(i - 1) * channels]) * pair.first +
                                  int64_t(samples[(i - 2) * channels]) * pair.second) >>
                                 8;
      sum += std::abs(samples[i * channels] - prediction);
    }
    return terms == 0 ? kMinDelta
                      : std::clamp<int64_t>(sum / terms / 4, kMinDelta, kMaxHeaderDelta);
  }

  std::vector<CoefficientPair> pairs_;
  std::vector<int64_t> lastDeltas_;  // the encoder's step at the end of the last block
  std::vector<MsState> states_;      // the decoder's, one per channel
};

// The bytes a block of `samplesPerBlock` frames needs: the header and the codes.
size_t blockBytesFor(size_t channels, size_t samplesPerBlock) {
  return 7 * channels + ((samplesPerBlock - 2) * channels + 1) / 2;
}

class MsAdpcmDriver : public codecs::SingleTagDriver {
 public:
  MsAdpcmDriver() : SingleTagDriver(kMsAdpcmProductId, "Quillon Microsoft ADPCM", kMsAdpcmTag) {}

 protected:
  WaveFormat standardFormat(uint32_t sampleRate, uint16_t channels) const override {
    return msAdpcmFormat(sampleRate, channels);
  }

  std::unique_ptr<BlockCodec> makeCodec(const WaveFormat& format) const override {
    const std::vector<uint8_t>& extra = format.extra;
    if (format.bitsPerSample != 4 || format.channels == 0 || extra.size() < 4) return nullptr;
    const size_t samplesPerBlock = size_t(extra[0] | (extra[1] << 8));
    const size_t coefficients = size_t(extra[2] | (extra[3] << 8));
    if (coefficients < kMinCoefficients || coefficients > kMaxCoefficients ||
        extra.size() < 4 + 4 * coefficients || samplesPerBlock < 2 ||
        blockBytesFor(format.channels, samplesPerBlock) > format.blockAlign) {
      return nullptr;
    }
    std::vector<CoefficientPair> pairs(coefficients);
    for (size_t i = 0; i < coefficients; ++i) {
      pairs[i].first = codecs::loadS16(&extra[4 + 4 * i]);
      pairs[i].second = codecs::loadS16(&extra[6 + 4 * i]);
    }
    return std::make_unique<MsAdpcmCodec>(format.channels, samplesPerBlock, format.blockAlign,
                                          std::move(pairs));
  }
};

}  // namespace

WaveFormat msAdpcmFormat(uint32_t sampleRate, uint16_t channels, uint16_t blockAlign) {
  // Per channel a 7-byte header holding the first two samples, then the coefficient table.
  WaveFormat format = codecs::adpcmFormat(kMsAdpcmTag, sampleRate, channels, blockAlign, 7, 2);
  format.extra.push_back(uint8_t(std::size(kStandardCoefficients)));
  format.extra.push_back(0);
  for (const auto& pair : kStandardCoefficients) {
    for (int16_t coefficient : pair) {
      format.extra.push_back(uint8_t(coefficient));
      format.extra.push_back(uint8_t(uint16_t(coefficient) >> 8));
    }
  }
  return format;
}

std::unique_ptr<CodecDriver> makeMsAdpcmDriver() {
  return std::make_unique<MsAdpcmDriver>();
}

}  // namespace quillon::platform
