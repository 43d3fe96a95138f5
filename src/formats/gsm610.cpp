#include "formats/gsm610.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace quillon::gsm610 {
namespace {

// ---------------------------------------------------------------------------------------------
// The standard's 16-bit fractional arithmetic. Values are computed in 32 bits and saturated
// where the standard's operators saturate; every other intermediate is bounded well inside 32
// bits by the ranges of its operands.

constexpr int16_t kMinWord = -32768;
constexpr int16_t kMaxWord = 32767;

// Saturation is rare, so it is written as branches the processor predicts rather than
// conditional moves that would lengthen the filters' dependency chains.
inline int16_t saturate(int32_t value) {
  if (value > kMaxWord) [[unlikely]]
    return kMaxWord;
  if (value < kMinWord) [[unlikely]]
    return kMinWord;
  return int16_t(value);
}
inline int16_t add(int32_t a, int32_t b) {
  return saturate(a + b);
}
inline int16_t sub(int32_t a, int32_t b) {
  return saturate(a - b);
}
// The products: (a × b) >> 15 and, rounded, (a × b + 2^14) >> 15. The standard saturates the one
// product out of range, −1 × −1; in this codec one factor is always a coefficient or a table
// value, none of which is −1 (reflection coefficients stop at −32767), so no product reaches it.
inline int16_t mult(int16_t a, int16_t b) {
  return int16_t((int32_t(a) * b) >> 15);
}
inline int16_t multR(int16_t a, int16_t b) {
  return int16_t((int32_t(a) * b + 16384) >> 15);
}
inline int16_t absWord(int16_t a) {
  return a == kMinWord ? kMaxWord : int16_t(a < 0 ? -a : a);
}
// Left shifts that bring a positive value into [2^30, 2^31).
inline int norm(int32_t positive) {
  return std::countl_zero(uint32_t(positive)) - 1;
}
// a << n on 16 bits, keeping the low 16 bits of the product.
inline int16_t shiftLeftWord(int32_t a, int n) {
  return int16_t(uint16_t(uint32_t(a) << n));
}
// num / denom as a 15-bit fraction, 0 ≤ num ≤ denom.
int16_t divide(int16_t num, int16_t denom) {
  if (num == 0) return 0;
  int32_t remainder = num;
  int16_t quotient = 0;
  for (int k = 0; k < 15; ++k) {
    quotient = int16_t(quotient << 1);
    remainder <<= 1;
    if (remainder >= denom) {
      remainder -= denom;
      ++quotient;
    }
  }
  return quotient;
}

// ---------------------------------------------------------------------------------------------
// Tables of the standard.

// Quantization of the log area ratios: LARc = A × LAR + B, within MIC…MAC; INVA = 1 / A.
constexpr int16_t kLarA[8] = {20480, 20480, 20480, 20480, 13964, 15360, 8534, 9036};
constexpr int16_t kLarB[8] = {0, 0, 2048, -2560, 94, -1792, -341, -1144};
constexpr int16_t kLarMin[8] = {-32, -32, -16, -16, -8, -8, -4, -4};
constexpr int16_t kLarMax[8] = {31, 31, 15, 15, 7, 7, 3, 3};
constexpr int16_t kLarInverseA[8] = {13107, 13107, 13107, 13107, 19223, 17476, 31454, 29708};
// Long-term predictor gain: decision levels (DLB) and quantized levels (QLB).
constexpr int16_t kGainDecisions[4] = {6554, 16384, 26214, 32767};
constexpr int16_t kGainLevels[4] = {3277, 11469, 21299, 32767};
// Impulse response of the RPE weighting filter (H).
constexpr int16_t kWeighting[11] = {-134, -374, 0, 2054, 5741, 8192, 5741, 2054, 0, -374, -134};
// Normalized inverse mantissa (NRFAC) and mantissa (FAC) of the block amplitude.
constexpr int16_t kInverseMantissa[8] = {29128, 26215, 23832, 21846, 20165, 18725, 17476, 16384};
constexpr int16_t kMantissa[8] = {18431, 20479, 22527, 24575, 26623, 28671, 30719, 32767};

// The four parts of a frame over which the reflection coefficients are interpolated.
struct FramePart {
  int start;
  int length;
};
constexpr FramePart kParts[4] = {{0, 13}, {13, 14}, {27, 13}, {40, 120}};

// ---------------------------------------------------------------------------------------------
// Parts shared by the encoder and the decoder.

// Decoded log area ratios LARpp from their codes.
void decodeLar(const int16_t larc[8], int16_t larpp[8]) {
  for (int i = 0; i < 8; ++i) {
    int16_t temp = shiftLeftWord(add(larc[i], kLarMin[i]), 10);
    temp = sub(temp, kLarB[i] * 2);
    temp = multR(kLarInverseA[i], temp);
    larpp[i] = add(temp, temp);
  }
}

// The reflection coefficients rp of one part of the frame: the log area ratios interpolated
// between the previous and the current frame, then converted.
void reflectionForPart(int part, const int16_t previous[8], const int16_t current[8],
                       int16_t rp[8]) {
  for (int i = 0; i < 8; ++i) {
    int16_t larp;
    switch (part) {
      case 0:
        larp = add(add(previous[i] >> 2, current[i] >> 2), previous[i] >> 1);
        break;
      case 1:
        larp = add(previous[i] >> 1, current[i] >> 1);
        break;
      case 2:
        larp = add(add(previous[i] >> 2, current[i] >> 2), current[i] >> 1);
        break;
      default:
        larp = current[i];
        break;
    }
    int16_t magnitude = absWord(larp);
    if (magnitude < 11059) {
      magnitude = int16_t(magnitude << 1);
    } else if (magnitude < 20070) {
      magnitude = int16_t(magnitude + 11059);
    } else {
      magnitude = add(magnitude >> 2, 26112);
    }
    rp[i] = larp < 0 ? int16_t(-magnitude) : magnitude;
  }
}

// Exponent and mantissa of a coded block amplitude: exp in −4…6, mant in 0…7.
void splitAmplitude(int16_t xmaxc, int& exponent, int& mantissa) {
  exponent = xmaxc > 15 ? (xmaxc >> 3) - 1 : 0;
  mantissa = xmaxc - (exponent << 3);
  if (mantissa == 0) {
    exponent = -4;
    mantissa = 7;
    return;
  }
  while (mantissa <= 7) {
    mantissa = mantissa << 1 | 1;
    --exponent;
  }
  mantissa -= 8;
}

// APCM inverse quantization and RPE grid positioning: the excitation of one sub-frame.
void decodeExcitation(const SubframeParameters& sub, int16_t excitation[kSubframeSamples]) {
  int exponent, mantissa;
  splitAmplitude(sub.xmax, exponent, mantissa);
  const int16_t factor = kMantissa[mantissa];
  const int shift = 6 - exponent;  // 0…10
  const int16_t rounding = shift > 0 ? int16_t(1 << (shift - 1)) : 0;
  std::fill_n(excitation, kSubframeSamples, int16_t(0));
  for (int i = 0; i < kPulses; ++i) {
    const int16_t signedPulse = int16_t((sub.pulses[i] * 2 - 7) * 4096);
    excitation[sub.grid + 3 * i] = int16_t(add(multR(factor, signedPulse), rounding) >> shift);
  }
}

// ---------------------------------------------------------------------------------------------
// LPC analysis.

// Autocorrelation of the frame, computed on a scaled copy kept within ±2048 so that the sums
// cannot overflow. The frame comes back rescaled, having lost the bits of the scaling as in
// the standard, and the short-term analysis filters this rescaled signal. The rescaling is a
// plain 16-bit shift: a sample that rounded up to +2048 comes back as −32768, exactly as in the
// reference arithmetic (a rising edge held at full scale reaches this).
void autocorrelation(int16_t s[kFrameSamples], int32_t acf[9]) {
  int16_t smax = 0;
  for (int k = 0; k < kFrameSamples; ++k)
    smax = std::max(smax, absWord(s[k]));
  const int scaling = smax == 0 ? 0 : 4 - norm(int32_t(smax) << 16);
  if (scaling > 0) {
    const int16_t factor = int16_t(16384 >> (scaling - 1));
    for (int k = 0; k < kFrameSamples; ++k)
      s[k] = multR(s[k], factor);
  }
  for (int lag = 0; lag < 9; ++lag) {
    int32_t sum = 0;
    for (int i = lag; i < kFrameSamples; ++i)
      sum += int32_t(s[i]) * s[i - lag];
    acf[lag] = sum * 2;
  }
  if (scaling > 0) {
    for (int k = 0; k < kFrameSamples; ++k)
      s[k] = shiftLeftWord(s[k], scaling);
  }
}

// Reflection coefficients by Schur's recursion.
void schur(const int32_t lacf[9], int16_t r[8]) {
  std::fill_n(r, 8, int16_t(0));
  if (lacf[0] == 0) return;
  const int shift = norm(lacf[0]);
  int16_t p[9], k[9];
  for (int i = 0; i < 9; ++i) {
    // |lacf[i]| ≤ lacf[0], so the shifted value stays within 32 bits.
    p[i] = k[i] = int16_t((lacf[i] * (int32_t(1) << shift)) >> 16);
  }
  for (int n = 1; n <= 8; ++n) {
    if (p[0] < absWord(p[1])) return;  // the remaining coefficients stay 0
    int16_t rn = divide(absWord(p[1]), p[0]);
    if (p[1] > 0) rn = int16_t(-rn);
    r[n - 1] = rn;
    if (n == 8) return;
    p[0] = add(p[0], multR(p[1], rn));
    for (int m = 1; m <= 8 - n; ++m) {
      p[m] = add(p[m + 1], multR(k[m], rn));
      k[m] = add(k[m], multR(p[m + 1], rn));
    }
  }
}

// Reflection coefficients to log area ratios, quantized and coded.
void codeLar(const int16_t r[8], int16_t larc[8]) {
  for (int i = 0; i < 8; ++i) {
    int16_t magnitude = absWord(r[i]);
    if (magnitude < 22118) {
      magnitude = int16_t(magnitude >> 1);
    } else if (magnitude < 31130) {
      magnitude = int16_t(magnitude - 11059);
    } else {
      magnitude = int16_t((magnitude - 26112) << 2);
    }
    const int16_t lar = r[i] < 0 ? int16_t(-magnitude) : magnitude;
    int16_t temp = add(add(mult(kLarA[i], lar), kLarB[i]), 256);
    temp = int16_t(std::clamp<int>(temp >> 9, kLarMin[i], kLarMax[i]));
    larc[i] = int16_t(temp - kLarMin[i]);
  }
}

// ---------------------------------------------------------------------------------------------
// RPE encoding of one sub-frame.

// Weighting filter: x = e convolved with H, e being zero outside the sub-frame.
void weightingFilter(const int16_t e[kSubframeSamples], int16_t x[kSubframeSamples]) {
  int16_t padded[kSubframeSamples + 10] = {};
  std::copy_n(e, kSubframeSamples, padded + 5);
  for (int k = 0; k < kSubframeSamples; ++k) {
    int32_t sum = 4096;  // rounding
    for (int i = 0; i < 11; ++i)
      sum += int32_t(padded[k + i]) * kWeighting[i];
    x[k] = saturate(sum >> 13);
  }
}

// Chooses the grid of 13 pulses with the most energy and quantizes them (APCM).
void quantizeExcitation(const int16_t x[kSubframeSamples], SubframeParameters& out) {
  int32_t bestEnergy = 0;
  int grid = 0;
  for (int m = 0; m < 4; ++m) {
    int32_t energy = 0;
    for (int i = 0; i < kPulses; ++i) {
      const int32_t scaled = x[m + 3 * i] >> 2;
      energy += scaled * scaled;
    }
    if (energy > bestEnergy) {
      bestEnergy = energy;
      grid = m;
    }
  }
  int16_t xm[kPulses];
  int16_t xmax = 0;
  for (int i = 0; i < kPulses; ++i) {
    xm[i] = x[grid + 3 * i];
    xmax = std::max(xmax, absWord(xm[i]));
  }
  // Block amplitude: exponent from the bits above the ninth, then 3 bits of mantissa.
  int exponent = 0;
  bool small = false;
  for (int i = 0, temp = xmax >> 9; i <= 5; ++i, temp >>= 1) {
    small = small || temp <= 0;
    if (!small) ++exponent;
  }
  out.grid = int16_t(grid);
  out.xmax = add(xmax >> (exponent + 5), exponent << 3);

  int mantissa;
  splitAmplitude(out.xmax, exponent, mantissa);
  const int shift = 6 - exponent;  // 0…10; xM << shift stays within 16 bits
  const int16_t inverse = kInverseMantissa[mantissa];
  for (int i = 0; i < kPulses; ++i) {
    const int16_t normalized = int16_t(xm[i] * (1 << shift));
    out.pulses[i] = int16_t((mult(normalized, inverse) >> 12) + 4);
  }
}

template <typename Frame, typename Visit>
void forEachField(Frame& frame, Visit visit) {
  static constexpr int kLarBits[8] = {6, 6, 5, 5, 4, 4, 3, 3};
  for (int i = 0; i < 8; ++i)
    visit(frame.lar[i], kLarBits[i]);
  for (auto& sub : frame.subframes) {
    visit(sub.lag, 7);
    visit(sub.gain, 2);
    visit(sub.grid, 2);
    visit(sub.xmax, 6);
    for (auto& pulse : sub.pulses)
      visit(pulse, 3);
  }
}

inline uint32_t lowBits(int32_t value, int width) {
  return uint32_t(value) & ((1u << width) - 1);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Encoder

void Encoder::encode(const int16_t input[kFrameSamples], FrameParameters& out) {
  int16_t signal[kFrameSamples];
  std::copy_n(input, kFrameSamples, signal);

  int32_t acf[9];
  int16_t r[8];
  autocorrelation(signal, acf);
  schur(acf, r);
  codeLar(r, out.lar);

  shortTermAnalysis(out.lar, signal);  // the signal becomes the short-term residual d
  for (int j = 0; j < kSubframes; ++j)
    encodeSubframe(signal + j * kSubframeSamples, out.subframes[j]);
}

void Encoder::shortTermAnalysis(const int16_t lar[8], int16_t s[kFrameSamples]) {
  int16_t larpp[8];
  decodeLar(lar, larpp);
  int16_t* u = analysisState_;
  for (int part = 0; part < 4; ++part) {
    int16_t rp[8];
    reflectionForPart(part, previousLarpp_, larpp, rp);
    for (int k = kParts[part].start, end = k + kParts[part].length; k < end; ++k) {
      int16_t di = s[k];
      int16_t sav = di;
      for (int i = 0; i < 8; ++i) {
        const int16_t ui = u[i];
        u[i] = sav;
        sav = add(ui, multR(rp[i], di));
        di = add(di, multR(rp[i], ui));
      }
      s[k] = di;
    }
  }
  std::copy_n(larpp, 8, previousLarpp_);
}

void Encoder::encodeSubframe(const int16_t d[kSubframeSamples], SubframeParameters& out) {
  // Long-term predictor lag: the cross-correlation of the sub-frame, scaled to at most 9 bits so
  // the sums stay within 32 bits, with the past residual at every lag from 40 to 120.
  int16_t dmax = 0;
  for (int k = 0; k < kSubframeSamples; ++k)
    dmax = std::max(dmax, absWord(d[k]));
  const int normShift = dmax == 0 ? 0 : norm(int32_t(dmax) << 16);
  const int scaling = normShift > 6 ? 0 : 6 - normShift;
  int16_t wt[kSubframeSamples];
  for (int k = 0; k < kSubframeSamples; ++k)
    wt[k] = int16_t(d[k] >> scaling);

  const int16_t* history = residualHistory_ + 120;  // history[−120…−1]
  int32_t bestCorrelation = 0;
  int lag = 40;
  for (int lambda = 40; lambda <= 120; ++lambda) {
    const int16_t* past = history - lambda;
    int32_t correlation = 0;
    for (int k = 0; k < kSubframeSamples; ++k)
      correlation += int32_t(wt[k]) * past[k];
    if (correlation > bestCorrelation) {
      bestCorrelation = correlation;
      lag = lambda;
    }
  }
  const int32_t lMax = (bestCorrelation * 2) >> (6 - scaling);

  // Long-term predictor gain: the correlation against the power of the past residual.
  int32_t power = 0;
  for (int k = 0; k < kSubframeSamples; ++k) {
    const int32_t scaled = history[k - lag] >> 3;
    power += scaled * scaled;
  }
  power *= 2;
  int gain;
  if (lMax <= 0) {
    gain = 0;
  } else if (lMax >= power) {
    gain = 3;
  } else {
    const int shift = norm(power);
    const int16_t rr = int16_t((lMax << shift) >> 16);
    const int16_t ss = int16_t((power << shift) >> 16);
    for (gain = 0; gain < 3; ++gain) {
      if (rr <= mult(ss, kGainDecisions[gain])) break;
    }
  }
  out.lag = int16_t(lag);
  out.gain = int16_t(gain);

  // Long-term analysis filtering, then the RPE coding of its residual e.
  int16_t prediction[kSubframeSamples];
  int16_t e[kSubframeSamples];
  for (int k = 0; k < kSubframeSamples; ++k) {
    prediction[k] = multR(kGainLevels[gain], history[k - lag]);
    e[k] = sub(d[k], prediction[k]);
  }
  int16_t x[kSubframeSamples];
  weightingFilter(e, x);
  quantizeExcitation(x, out);

  // The reconstructed residual, as the decoder will see it, becomes the newest history.
  int16_t excitation[kSubframeSamples];
  decodeExcitation(out, excitation);
  std::memmove(residualHistory_, residualHistory_ + kSubframeSamples,
               sizeof(int16_t) * (120 - kSubframeSamples));
  int16_t* newest = residualHistory_ + 120 - kSubframeSamples;
  for (int k = 0; k < kSubframeSamples; ++k)
    newest[k] = add(excitation[k], prediction[k]);
}

// ---------------------------------------------------------------------------------------------
// Decoder

void Decoder::decode(const FrameParameters& in, int16_t output[kFrameSamples]) {
  FrameParameters frame = in;
  forEachField(frame, [](int16_t& field, int width) { field = int16_t(lowBits(field, width)); });

  int16_t excitation[kFrameSamples];
  for (int j = 0; j < kSubframes; ++j) {
    const SubframeParameters& sub = frame.subframes[j];
    int16_t erp[kSubframeSamples];
    decodeExcitation(sub, erp);

    // Long-term synthesis; a lag outside 40…120 repeats the last valid one.
    const int lag = sub.lag < 40 || sub.lag > 120 ? previousLag_ : sub.lag;
    previousLag_ = int16_t(lag);
    const int16_t gain = kGainLevels[sub.gain];
    int16_t* drp = excitation + j * kSubframeSamples;
    const int16_t* history = excitationHistory_ + 120;
    for (int k = 0; k < kSubframeSamples; ++k)
      drp[k] = add(erp[k], multR(gain, history[k - lag]));
    std::memmove(excitationHistory_, excitationHistory_ + kSubframeSamples,
                 sizeof(int16_t) * (120 - kSubframeSamples));
    std::copy_n(drp, kSubframeSamples, excitationHistory_ + 120 - kSubframeSamples);
  }
  shortTermSynthesis(frame.lar, excitation, output);
}

void Decoder::shortTermSynthesis(const int16_t lar[8], const int16_t wt[kFrameSamples],
                                 int16_t sr[kFrameSamples]) {
  int16_t larpp[8];
  decodeLar(lar, larpp);
  int16_t* v = synthesisState_;
  for (int part = 0; part < 4; ++part) {
    int16_t rrp[8];
    reflectionForPart(part, previousLarpp_, larpp, rrp);
    for (int k = kParts[part].start, end = k + kParts[part].length; k < end; ++k) {
      int16_t sri = sub(wt[k], multR(rrp[7], v[7]));
      for (int i = 6; i >= 0; --i) {
        sri = sub(sri, multR(rrp[i], v[i]));
        v[i + 1] = add(v[i], multR(rrp[i], sri));
      }
      v[0] = sri;
      sr[k] = sri;
    }
  }
  std::copy_n(larpp, 8, previousLarpp_);
}

// ---------------------------------------------------------------------------------------------
// Pre- and post-processing on sample words. The sums are kept in 64 bits so that no word, however
// far beyond full scale, can overflow them.

void WordPreprocessor::process(const Sample words[kFrameSamples], int16_t out[kFrameSamples]) {
  for (int k = 0; k < kFrameSamples; ++k) {
    const int64_t b = accumulator_ + (words[k] - previousInput_) * 1024;
    const int64_t c = (b + 512) >> 10;
    accumulator_ = b - c;
    previousInput_ = words[k];
    const int64_t emphasized = (c - ((previousCompensated_ * 880 + 512) >> 10) + 16) >> 5;
    previousCompensated_ = c;
    out[k] = int16_t(std::clamp<int64_t>(emphasized, kMinWord, kMaxWord));
  }
}

void WordPostprocessor::process(const int16_t in[kFrameSamples], Sample words[kFrameSamples]) {
  for (int k = 0; k < kFrameSamples; ++k) {
    // |y| stays below 2^20 / (1 − 880/1024) < 2^23, well inside a word.
    previousOutput_ = ((previousOutput_ * 880 + 512) >> 10) + int64_t{in[k]} * 32;
    words[k] = Sample(previousOutput_);
  }
}

// ---------------------------------------------------------------------------------------------
// Packing

namespace {

class MsbFirstWriter {
 public:
  explicit MsbFirstWriter(uint8_t* out) : out_(out) {}
  void put(int32_t value, int width) {
    bits_ = bits_ << width | lowBits(value, width);
    count_ += width;
    while (count_ >= 8) {
      count_ -= 8;
      *out_++ = uint8_t(bits_ >> count_);
    }
  }

 private:
  uint8_t* out_;
  uint32_t bits_ = 0;
  int count_ = 0;
};

class MsbFirstReader {
 public:
  explicit MsbFirstReader(const uint8_t* in) : in_(in) {}
  int16_t get(int width) {
    while (count_ < width) {
      bits_ = bits_ << 8 | *in_++;
      count_ += 8;
    }
    count_ -= width;
    return int16_t(lowBits(int32_t(bits_ >> count_), width));
  }

 private:
  const uint8_t* in_;
  uint32_t bits_ = 0;
  int count_ = 0;
};

class LsbFirstWriter {
 public:
  explicit LsbFirstWriter(uint8_t* out) : out_(out) {}
  void put(int32_t value, int width) {
    bits_ |= lowBits(value, width) << count_;
    count_ += width;
    while (count_ >= 8) {
      *out_++ = uint8_t(bits_);
      bits_ >>= 8;
      count_ -= 8;
    }
  }

 private:
  uint8_t* out_;
  uint32_t bits_ = 0;
  int count_ = 0;
};

class LsbFirstReader {
 public:
  explicit LsbFirstReader(const uint8_t* in) : in_(in) {}
  int16_t get(int width) {
    while (count_ < width) {
      bits_ |= uint32_t(*in_++) << count_;
      count_ += 8;
    }
    const int16_t value = int16_t(lowBits(int32_t(bits_), width));
    bits_ >>= width;
    count_ -= width;
    return value;
  }

 private:
  const uint8_t* in_;
  uint32_t bits_ = 0;
  int count_ = 0;
};

}  // namespace

void packFrame(const FrameParameters& frame, uint8_t out[kFrameBytes]) {
  MsbFirstWriter writer(out);
  writer.put(kFrameSignature, 4);
  forEachField(frame, [&](int16_t field, int width) { writer.put(field, width); });
}

bool unpackFrame(const uint8_t in[kFrameBytes], FrameParameters& frame) {
  MsbFirstReader reader(in);
  const bool signature = reader.get(4) == kFrameSignature;
  forEachField(frame, [&](int16_t& field, int width) { field = reader.get(width); });
  return signature;
}

void packMsBlock(const FrameParameters& first, const FrameParameters& second,
                 uint8_t out[kMsBlockBytes]) {
  LsbFirstWriter writer(out);
  auto put = [&](int16_t field, int width) { writer.put(field, width); };
  forEachField(first, put);
  forEachField(second, put);
}

void unpackMsBlock(const uint8_t in[kMsBlockBytes], FrameParameters& first,
                   FrameParameters& second) {
  LsbFirstReader reader(in);
  auto get = [&](int16_t& field, int width) { field = reader.get(width); };
  forEachField(first, get);
  forEachField(second, get);
}

}  // namespace quillon::gsm610
