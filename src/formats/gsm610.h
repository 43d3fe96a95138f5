#pragma once

// GSM 06.10 full-rate speech codec: 160 samples of 8,000 Hz per 260-bit frame.
//
// The encoder and decoder cores follow the standard's fixed-point arithmetic bit for bit, from
// the pre-processed signal to the output of the short-term synthesis filter. Around them the
// program does its own pre- and post-processing on sample words (`WordPreprocessor`,
// `WordPostprocessor`) in place of the standard's 16-bit stages. Two packings of the 76
// parameters are offered: the common 33-byte frame of raw ".gsm" files and the 65-byte block of
// two frames stored in WAV files with format tag 49.
#include <cstddef>
#include <cstdint>

#include "document/sample_types.h"

namespace quillon::gsm610 {

constexpr int kFrameSamples = 160;
constexpr int kSubframes = 4;
constexpr int kSubframeSamples = 40;
constexpr int kPulses = 13;
constexpr size_t kFrameBytes = 33;
constexpr size_t kMsBlockBytes = 65;
constexpr int kMsBlockSamples = 2 * kFrameSamples;
constexpr uint8_t kFrameSignature = 0xD;

// The coded parameters of one 5 ms sub-frame, with their sizes in bits.
struct SubframeParameters {
  int16_t lag = 0;               // Nc, long-term predictor lag, 7 bits (40…120 from the encoder)
  int16_t gain = 0;              // bc, long-term predictor gain, 2 bits
  int16_t grid = 0;              // Mc, position of the regular pulse excitation grid, 2 bits
  int16_t xmax = 0;              // xmaxc, block amplitude, 6 bits
  int16_t pulses[kPulses] = {};  // xMc, the excitation pulses, 3 bits each

  bool operator==(const SubframeParameters&) const = default;
};

// The 76 coded parameters of one frame.
struct FrameParameters {
  int16_t lar[8] = {};  // LARc, log area ratios: 6, 6, 5, 5, 4, 4, 3 and 3 bits
  SubframeParameters subframes[kSubframes];

  bool operator==(const FrameParameters&) const = default;
};

// LPC analysis, short-term analysis filtering, long-term prediction and RPE encoding.
class Encoder {
 public:
  // `input` is the pre-processed signal of one frame.
  void encode(const int16_t input[kFrameSamples], FrameParameters& out);

 private:
  void shortTermAnalysis(const int16_t lar[8], int16_t signal[kFrameSamples]);
  void encodeSubframe(const int16_t residual[kSubframeSamples], SubframeParameters& out);

  int16_t previousLarpp_[8] = {};      // decoded log area ratios of the previous frame
  int16_t analysisState_[8] = {};      // u[0…7] of the short-term analysis lattice
  int16_t residualHistory_[120] = {};  // dp[−120…−1], the reconstructed short-term residual
};

// RPE decoding, long-term synthesis and short-term synthesis. Parameters out of their bit
// ranges are reduced to them, as a pack and unpack would.
class Decoder {
 public:
  // `output` is the short-term synthesis output, before post-processing.
  void decode(const FrameParameters& in, int16_t output[kFrameSamples]);

 private:
  void shortTermSynthesis(const int16_t lar[8], const int16_t excitation[kFrameSamples],
                          int16_t output[kFrameSamples]);

  int16_t previousLarpp_[8] = {};
  int16_t synthesisState_[8] = {};       // v[0…7] of the short-term synthesis lattice
  int16_t excitationHistory_[120] = {};  // drp[−120…−1]
  int16_t previousLag_ = 40;             // nrp, the last valid lag
};

// The encoder's pre-processing on sample words: offset compensation (accumulator A, previous
// input x′) B = A + (x − x′) × 1024, c = (B + 512) >> 10, A = B − c; then pre-emphasis
// (c − ((c′ × 880 + 512) >> 10) + 16) >> 5, saturated to 16 bits. State persists between frames.
class WordPreprocessor {
 public:
  void process(const Sample words[kFrameSamples], int16_t out[kFrameSamples]);

 private:
  int64_t accumulator_ = 0;
  int64_t previousInput_ = 0;
  int64_t previousCompensated_ = 0;
};

// The decoder's de-emphasis to sample words: y = ((y′ × 880 + 512) >> 10) + s × 32.
class WordPostprocessor {
 public:
  void process(const int16_t in[kFrameSamples], Sample words[kFrameSamples]);

 private:
  int64_t previousOutput_ = 0;
};

// The common 33-byte frame: the signature nibble 0xD, then the parameters most significant bit
// first.
void packFrame(const FrameParameters& frame, uint8_t out[kFrameBytes]);
// Fills `frame` whatever the first nibble holds; answers whether it held the signature 0xD.
bool unpackFrame(const uint8_t in[kFrameBytes], FrameParameters& frame);

// The Microsoft packing (WAV format tag 49): two frames of 260 bits in 65 bytes, each parameter
// least significant bit first, the second frame starting in the high nibble of byte 32.
void packMsBlock(const FrameParameters& first, const FrameParameters& second,
                 uint8_t out[kMsBlockBytes]);
void unpackMsBlock(const uint8_t in[kMsBlockBytes], FrameParameters& first,
                   FrameParameters& second);

}  // namespace quillon::gsm610
