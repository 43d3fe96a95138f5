#include "effects/rate_converter.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>
#include <numbers>
#include <numeric>

#if defined(__x86_64__)
#include <immintrin.h>

#include "platform/saturate.h"
#endif

namespace quillon {
namespace {

constexpr int kCentreTap = 31;
constexpr int kLowerTaps = 32;  // taps 0 … 31 form the lower half sum, 32 … 62 the upper
constexpr int32_t kCompactionPoint = 32511;  // more frames available than this: move the tail
constexpr int32_t kLiveMinimumRead = 64;

std::atomic<bool> plainKernelForced{false};

int64_t floorDiv(int64_t a, int64_t b) {
  const int64_t q = a / b;
  return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

uint32_t magnitude(int32_t v) {
  return v < 0 ? 0u - static_cast<uint32_t>(v) : static_cast<uint32_t>(v);
}

// One run of output frames: frames are produced until the request is met or the read position
// reaches the frames available (a refill is due). Position and phase are carried in and out.
struct FilterRun {
  const int32_t* history;
  int32_t stride;
  int channels;
  const int32_t* table;
  int32_t phases;
  int32_t stepWhole;
  int32_t stepPart;
  int32_t available;
  int outputShift;
  int64_t rounding;
  int32_t position;
  int32_t phase;
};

// The output from the two half sums, each halved before they are added.
inline Sample scaleOutput(const FilterRun& run, int64_t lower, int64_t upper) {
  const int64_t sum = (lower >> 1) + (upper >> 1);
  // A history normalised by more than 15 bits (samples beyond 2^30) needs a left shift.
  const int64_t out = run.outputShift >= 0 ? (sum + run.rounding) >> run.outputShift
                                           : sum * (int64_t{1} << -run.outputShift);
  return saturate32(out);
}

inline void advance(FilterRun& run) {
  run.position += run.stepWhole;
  run.phase += run.stepPart;
  if (run.phase >= run.phases) {
    run.phase -= run.phases;
    ++run.position;
  }
}

// The two half sums of each output sample are accumulated in 64 bits. Each product would fit 32
// bits (the history is normalised to |h| ≤ 0x8000 and no coefficient exceeds 0.975 × 2^16), but
// a sum of 32 of them may not: a full-scale signal whose signs follow the coefficients' would
// overflow. Wherever 32-bit sums would not overflow, the result is the same.
int32_t runPlain(FilterRun& run, Sample* out, int32_t frames) {
  int32_t f = 0;
  for (; f < frames && run.position < run.available; ++f, advance(run)) {
    const int32_t* row = run.table + size_t(run.phase) * RateConverter::kRowLength;
    for (int c = 0; c < run.channels; ++c) {
      const int32_t* history = run.history + size_t(c) * run.stride + run.position;
      int64_t lower = 0, upper = 0;
      for (int j = 0; j < kLowerTaps; ++j)
        lower += int64_t{history[j]} * row[j];
      for (int j = kLowerTaps; j < RateConverter::kRowLength; ++j)
        upper += int64_t{history[j]} * row[j];
      out[size_t(f) * run.channels + c] = scaleOutput(run, lower, upper);
    }
  }
  return f;
}

#if defined(__x86_64__)

bool useAvx2() {
  static const bool avx2 = __builtin_cpu_supports("avx2");
  return avx2 && !plainKernelForced.load(std::memory_order_relaxed);
}

// Eight taps at a time, as 64-bit products of the even lanes and of the odd lanes (moved down),
// so that the products never need widening. `odd` holds the row's odd taps moved down.
__attribute__((target("avx2"))) inline __m256i products(const int32_t* history, __m256i row,
                                                        __m256i odd) {
  const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(history));
  return _mm256_add_epi64(_mm256_mul_epi32(x, row),
                          _mm256_mul_epi32(_mm256_srli_epi64(x, 32), odd));
}

__attribute__((target("avx2"))) inline int64_t horizontalSum(__m256i v) {
  const __m128i pair = _mm_add_epi64(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
  return _mm_cvtsi128_si64(pair) + _mm_extract_epi64(pair, 1);
}

__attribute__((target("avx2"))) int32_t runAvx2(FilterRun& run, Sample* out, int32_t frames) {
  int32_t f = 0;
  for (; f < frames && run.position < run.available; ++f, advance(run)) {
    const auto* row =
        reinterpret_cast<const __m256i*>(run.table + size_t(run.phase) * RateConverter::kRowLength);
    __m256i taps[8], odd[8];
    for (int k = 0; k < 8; ++k) {
      taps[k] = _mm256_loadu_si256(row + k);
      odd[k] = _mm256_srli_epi64(taps[k], 32);
    }
    for (int c = 0; c < run.channels; ++c) {
      const int32_t* h = run.history + size_t(c) * run.stride + run.position;
      const __m256i lower = _mm256_add_epi64(
          _mm256_add_epi64(products(h, taps[0], odd[0]), products(h + 8, taps[1], odd[1])),
          _mm256_add_epi64(products(h + 16, taps[2], odd[2]), products(h + 24, taps[3], odd[3])));
      const __m256i upper = _mm256_add_epi64(
          _mm256_add_epi64(products(h + 32, taps[4], odd[4]), products(h + 40, taps[5], odd[5])),
          _mm256_add_epi64(products(h + 48, taps[6], odd[6]), products(h + 56, taps[7], odd[7])));
      out[size_t(f) * run.channels + c] =
          scaleOutput(run, horizontalSum(lower), horizontalSum(upper));
    }
  }
  return f;
}

#endif

}  // namespace

double besselI0SixTerms(double x) {
  const double quarterSquare = x * x / 4;
  double term = 1, sum = 1;
  for (int k = 1; k <= 6; ++k) {
    term *= quarterSquare / (double(k) * k);
    sum += term;
  }
  return sum;
}

RateStagePlan planRateStage(int32_t fromRate, int32_t toRate, bool firstOfTwo) {
  RateStagePlan plan;
  plan.inputRate = fromRate > 0 ? fromRate : kDefaultSampleRate;
  plan.outputRate = toRate > 0 ? toRate : kDefaultSampleRate;
  plan.firstOfTwo = firstOfTwo;
  const int64_t a = plan.inputRate, b = plan.outputRate;
  // The smallest d with ((a mod b) × d) mod b = 0 is b / gcd(a, b).
  const int64_t phases = b / std::gcd(a, b);
  const int64_t step = a * phases / b;
  plan.phases = static_cast<int32_t>(phases);
  plan.inputStep = saturate32(step == 0 ? 1 : step);
  if (a < b) {
    plan.cutoff = 0.975;
    plan.beta = 2.12;
  } else {
    plan.cutoff = double(b) / double(a) - (firstOfTwo ? 0.09375 : 0.046875);
    plan.beta = 4.538;
  }
  return plan;
}

std::vector<RateStagePlan> planRateConversion(int32_t fromRate, int32_t toRate) {
  if (toRate <= 0) toRate = kDefaultSampleRate;
  if (fromRate <= 0) fromRate = kDefaultSampleRate;
  if (toRate < fromRate / 4) {
    return {planRateStage(fromRate, 2 * toRate, true), planRateStage(2 * toRate, toRate, false)};
  }
  return {planRateStage(fromRate, toRate, false)};
}

RateConverter::RateConverter(Ref<SampleSource> inner, int32_t targetRate, bool firstOfTwo)
    : EffectFilter(inner, targetRate, inner->channels()) {
  // The base has made a non-positive target 44,100 Hz with status Corrupt, and status InnerFailed
  // of a failed inner source.
  const int channels = inner_->channels();
  plan_ = planRateStage(inner_->sampleRate(), targetRate, firstOfTwo);
  // Peak: twice the inner bound; above 0x100000 the inner bound stands, as doubling it would
  // leave the 32-bit range the bounds are kept in.
  if (inner_->peakBound() <= 0x100000) setPeakBound(2 * inner_->peakBound());

  usable_ = plan_.phases <= kMaxPhases &&
            int64_t{plan_.inputStep} <= int64_t{kMaxInputStep} * plan_.phases;
  if (!usable_) {
    if (status() == SourceStatus::Ok) setStatus(SourceStatus::Corrupt);
    return;
  }
  stepWhole_ = plan_.inputStep / plan_.phases;
  stepPart_ = plan_.inputStep % plan_.phases;
  buildTable();
  history_.assign(size_t(historyStride_) * channels, 0);
  scratch_.assign(size_t(kRefillFrames) * channels, 0);
  nextInput_ = inner_->position();
}

void RateConverter::buildTable() {
  const int32_t phases = plan_.phases;
  const double cutoff = plan_.cutoff, beta = plan_.beta;
  const double scale = cutoff * 65536.0 / besselI0SixTerms(beta);
  table_.assign(size_t(phases) * kRowLength, 0);
  for (int32_t p = 0; p < phases; ++p) {
    int32_t* row = table_.data() + size_t(p) * kRowLength;
    for (int j = 0; j < kTaps; ++j) {
      const double x = double(j - kCentreTap) - double(p) / double(phases);
      if (x == 0) {
        row[j] = static_cast<int32_t>(std::trunc(cutoff * 65536.0 + 0.5));
        continue;
      }
      const double angle = std::numbers::pi * cutoff * x;
      const double window = besselI0SixTerms(beta * std::sqrt(1 - x * x / 1024));
      row[j] = static_cast<int32_t>(std::round(std::sin(angle) / angle * window * scale));
    }
  }
}

void RateConverter::forcePlainKernel(bool plain) {
  plainKernelForced.store(plain, std::memory_order_relaxed);
}

int32_t RateConverter::coefficient(int32_t phase, int tap) const {
  if (table_.empty() || phase < 0 || phase >= plan_.phases || tap < 0 || tap >= kTaps) return 0;
  return table_[size_t(phase) * kRowLength + size_t(tap)];
}

int32_t RateConverter::read(Sample* buffer, int32_t frames) {
  if (frames <= 0) return 0;
  const int channelCount = channels();
  if (!usable_) {
    std::fill_n(buffer, size_t(frames) * channelCount, 0);
    return frames;
  }
  bool failed = false;
  for (int32_t done = 0; done < frames;) {
    while (readPosition_ >= available_) {
      if (!refill()) failed = true;
    }
    FilterRun run{history_.data(), historyStride_, channelCount,  table_.data(),
                  plan_.phases,    stepWhole_,     stepPart_,     available_,
                  outputShift_,    rounding_,      readPosition_, phase_};
    Sample* out = buffer + size_t(done) * channelCount;
#if defined(__x86_64__)
    done += useAvx2() ? runAvx2(run, out, frames - done) : runPlain(run, out, frames - done);
#else
    done += runPlain(run, out, frames - done);
#endif
    readPosition_ = run.position;
    phase_ = run.phase;
  }
  return failed ? -1 : frames;
}

bool RateConverter::refill() {
  const int channelCount = channels();
  // Past the compaction point (or when a large step has run far ahead), the 63 frames that
  // follow the ones consumed move to the start of the history.
  if (available_ > kCompactionPoint || readPosition_ > kHistoryFrames - kRowLength) {
    for (int c = 0; c < channelCount; ++c) {
      int32_t* plane = history_.data() + size_t(c) * historyStride_;
      std::copy_n(plane + available_, kTaps, plane);
    }
    readPosition_ -= available_;
    available_ = 0;
  }
  // Undo the normalisation of the kept frames; a value that would leave 32 bits saturates.
  if (shift_ > 0) {
    for (int c = 0; c < channelCount; ++c) {
      int32_t* kept = history_.data() + size_t(c) * historyStride_ + available_;
      for (int i = 0; i < kTaps; ++i)
        kept[i] = saturate32(int64_t{kept[i]} * (int64_t{1} << shift_));
    }
  }
  int32_t count = std::min(kHistoryFrames - readPosition_, kRefillFrames);
  if (inner_->lengthUnknown()) {
    const int64_t ready = int64_t{inner_->length()} - nextInput_;
    count =
        static_cast<int32_t>(std::min<int64_t>(count, std::max<int64_t>(ready, kLiveMinimumRead)));
  }
  const bool ok = readInner(count, available_ + kTaps);

  // Normalise kept and new frames to 16 bits with one shift for all channels.
  uint32_t peak = 0;
  const int32_t span = kTaps + count;
  for (int c = 0; c < channelCount; ++c) {
    const int32_t* from = history_.data() + size_t(c) * historyStride_ + available_;
    for (int32_t i = 0; i < span; ++i)
      peak = std::max(peak, magnitude(from[i]));
  }
  int n = 0;
  while (n < 31 && (peak >> n) > 0x7FFF)
    ++n;
  if (n > 0) {
    const int64_t half = int64_t{1} << (n - 1);
    for (int c = 0; c < channelCount; ++c) {
      int32_t* from = history_.data() + size_t(c) * historyStride_ + available_;
      for (int32_t i = 0; i < span; ++i)
        from[i] = static_cast<int32_t>((int64_t{from[i]} + half) >> n);
    }
  }
  shift_ = n;
  outputShift_ = 15 - n;
  rounding_ = outputShift_ > 0 ? (int64_t{1} << outputShift_) >> 1 : 0;
  available_ += count;
  return ok;
}

bool RateConverter::readInner(int32_t frames, int32_t at) {
  const int channelCount = channels();
  const int32_t silent =
      nextInput_ < 0 ? static_cast<int32_t>(std::min<int64_t>(-nextInput_, frames)) : 0;
  for (int c = 0; c < channelCount; ++c)
    std::fill_n(history_.data() + size_t(c) * historyStride_ + at, silent, 0);
  bool ok = true;
  const int32_t count = frames - silent;
  if (count > 0) {
    ok = inner_->read(scratch_.data(), count) >= 0;
    for (int c = 0; c < channelCount; ++c) {
      int32_t* plane = history_.data() + size_t(c) * historyStride_ + at + silent;
      const Sample* from = scratch_.data() + c;
      for (int32_t i = 0; i < count; ++i)
        plane[i] = from[size_t(i) * channelCount];
    }
  }
  nextInput_ += frames;
  return ok;
}

int32_t RateConverter::position() {
  const int64_t centre = nextInput_ - available_ - 32 + readPosition_;
  return saturate32(floorDiv(centre * plan_.phases + phase_, plan_.inputStep));
}

int32_t RateConverter::length() {
  int64_t frames = inner_->length();
  if (inner_->lengthUnknown()) frames = std::max<int64_t>(frames - 33, 0);
  return saturate32(frames * plan_.phases / plan_.inputStep);
}

void RateConverter::seek(int32_t frame) {
  const int64_t time = int64_t{frame} * plan_.inputStep;
  const int64_t input = floorDiv(time, plan_.phases);
  const int64_t first = input - kCentreTap;
  inner_->seek(saturate32(std::max<int64_t>(first, 0)));
  nextInput_ = first;
  if (!usable_) return;
  phase_ = static_cast<int32_t>(time - input * plan_.phases);
  std::fill(history_.begin(), history_.end(), 0);
  readPosition_ = 32;
  available_ = 0;
  shift_ = 0;
  outputShift_ = 15;
  rounding_ = int64_t{1} << 14;
  // The 31 frames before the target sit just before the frames the first refill reads.
  readInner(kCentreTap, kTaps - kCentreTap);
}

}  // namespace quillon
