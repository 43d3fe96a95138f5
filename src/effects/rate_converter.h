#pragma once

#include <cstdint>
#include <vector>

#include "document/sample_stream.h"
#include "effects/effect_filter.h"
#include "platform/ref_counted.h"

namespace quillon {

// One stage of a sample-rate conversion, as chosen from its two rates: the output advances the
// input by `inputStep` / `phases` frames per output frame, through a 63-tap Kaiser-windowed sinc
// low-pass with the given cutoff (a fraction of the input's Nyquist frequency) and window shape.
struct RateStagePlan {
  int32_t inputRate = 0;
  int32_t outputRate = 0;
  int32_t phases = 1;     // L = outputRate / gcd(inputRate, outputRate)
  int32_t inputStep = 1;  // M = inputRate × L / outputRate, at least 1
  double cutoff = 0;      // 0.975 upwards; b / a − 0.046875 (− 0.09375 for the first of two)
  double beta = 0;        // 2.12 upwards, 4.538 downwards
  bool firstOfTwo = false;
};

// The stages that take `fromRate` to `toRate`: two when `toRate` < `fromRate` / 4 (the first to
// 2 × `toRate`), otherwise one. A non-positive target is taken as 44,100 Hz.
std::vector<RateStagePlan> planRateConversion(int32_t fromRate, int32_t toRate);
RateStagePlan planRateStage(int32_t fromRate, int32_t toRate, bool firstOfTwo);

// The modified Bessel function of order 0 as the filter design sums it: 1 and six terms.
double besselI0SixTerms(double x);

// One stage of the polyphase resampler. Every output sample is 63 integer multiplies of a
// history normalised to 16 bits by coefficients with 2^16 as unity; no floating point is used
// after construction.
//
// Positions: output frame y sits at input time y × M / L. The output position is mapped back
// from the frame the stage has read up to, the history it holds and its phase; the length is the
// inner length × L / M (computed from the inner length less 33 frames while that length can still
// grow, since each output needs 32 frames of input after it). A seek to y seeks the inner source
// 31 frames before frame y × M / L and reads those 31 frames back, so the output after a seek is
// what a continuous read gives at that point, up to the rounding of the history's normalisation.
//
// A target rate ≤ 0 converts to 44,100 Hz and marks the stage invalid (status Corrupt); so does a
// pair of rates that would need more than kMaxPhases phases or an input step of more than
// kMaxInputStep frames per output frame, and such a stage reads silence.
class RateConverter : public EffectFilter {
 public:
  static constexpr int kTaps = 63;
  static constexpr int kRowLength = 64;  // a row of the table, padded with one zero tap
  static constexpr int32_t kHistoryFrames = 32768;
  static constexpr int32_t kRefillFrames = 8192;
  static constexpr int32_t kMaxPhases = 1 << 18;
  static constexpr int32_t kMaxInputStep = 16384;

  RateConverter(Ref<SampleSource> inner, int32_t targetRate, bool firstOfTwo = false);

  // For tests: run the plain loop even where the AVX2 one could run (the results are identical).
  static void forcePlainKernel(bool plain);

  const RateStagePlan& plan() const { return plan_; }
  // The coefficient of `tap` (0 … 62) in `phase` (0 … L − 1); 0 when the stage has no table.
  int32_t coefficient(int32_t phase, int tap) const;

  int32_t read(Sample* buffer, int32_t frames) override;
  int32_t position() override;
  int32_t length() override;
  void seek(int32_t frame) override;

 private:
  void buildTable();
  // Makes room and reads the next frames into the history, renormalising it; false when the
  // inner source failed to read.
  bool refill();
  // Reads `frames` frames from nextInput_ on into the history at frame `at` (frames before 0 are
  // silence); false when the inner read failed.
  bool readInner(int32_t frames, int32_t at);

  RateStagePlan plan_;
  bool usable_ = true;
  int32_t stepWhole_ = 0;         // M / L
  int32_t stepPart_ = 0;          // M mod L
  std::vector<int32_t> table_;    // L rows of kRowLength coefficients
  std::vector<int32_t> history_;  // one plane of (kHistoryFrames + kRowLength) per channel
  std::vector<Sample> scratch_;   // kRefillFrames interleaved frames read from the inner source
  int32_t historyStride_ = kHistoryFrames + kRowLength;
  int32_t readPosition_ = 32;
  int32_t available_ = 0;
  int32_t phase_ = 0;  // the accumulator, kept below L
  int shift_ = 0;      // normalisation shift n
  int outputShift_ = 15;
  int64_t rounding_ = 1 << 14;
  int64_t nextInput_ = 0;  // the inner frame the next refill starts at
};

}  // namespace quillon
