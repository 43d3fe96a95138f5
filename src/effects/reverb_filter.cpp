#include "effects/reverb_filter.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <vector>

#include "effects/decibel_table.h"
#include "effects/frame_time.h"
#include "effects/gain_math.h"
#include "effects/mix_kernels.h"
#include "platform/saturate.h"

namespace quillon {
namespace {

// Reflection delays in units of 256 frames, at every rate: six of order 3, fifteen of order 4,
// twenty of order 5.
// clang-format off
constexpr std::array<double, ReverbFilter::kReflectionCount> kReflectionFactors = {
    1.0, 2.0, 2.52, 2.56, 2.58, 2.63,
    2.75, 2.78, 2.79, 2.8, 3.0, 3.2, 3.24, 3.25, 3.26, 3.5, 3.51, 3.53, 3.6, 5.0, 5.1,
    4.6, 5.0, 5.06, 5.6, 5.63, 5.69, 5.7, 6.15, 6.17, 6.23,
    6.28, 6.58, 6.66, 7.1, 7.2, 7.22, 7.26, 7.5, 7.5, 7.75};
// clang-format on

int orderOf(int reflection) {
  return reflection < 6 ? 3 : reflection < 21 ? 4 : 5;
}

// A decibel value from a double: clamped to −127 … 127 before it becomes an integer, which
// truncates or rounds the same as clamping afterwards.
int clampedDecibels(double decibels) {
  return static_cast<int>(std::clamp(decibels, -127.0, 127.0));
}

}  // namespace

const std::array<ReverbFilter::Diffuser, 3> ReverbFilter::kDiffusers = {{
    {{260, 327, 579, 665, 808}, 510, 2064, 110},   // 1.0, 1.26, 2.23, 2.56, 3.11
    {{525, 673, 842, 1042, 1359}, 767, 1812, 65},  // 2.02, 2.59, 3.24, 4.01, 5.23
    {{608, 813, 871, 876, 1274}, 423, 2513, 42},   // 2.34, 3.13, 3.35, 3.37, 4.9
}};

ReverbFilter::ReverbFilter(Ref<SampleSource> inner, int32_t decayMs, int32_t predelayMs,
                           int32_t diffusionPercent, int wetDb, int dryDb)
    : EffectFilter(std::move(inner)),
      diffusionPercent_(diffusionPercent),
      wetGain_(DecibelTable::instance().amplitude(clampDecibels(wetDb))),
      dryGain_(DecibelTable::instance().amplitude(clampDecibels(dryDb))) {
  const int32_t rate = sampleRate();
  const int64_t ch = channels();
  decayFrames_ = std::max(millisecondsToFrames(rate, decayMs), 0);
  predelayFrames_ = std::max(millisecondsToFrames(rate, predelayMs), 0);
  // A decay of no frames still counts one frame of tail, so that the ratios below stay finite.
  tailFrames_ = std::max<int64_t>(2 * int64_t{decayFrames_}, 1);
  const double tail = double(tailFrames_);

  int64_t longestDelay = 0;
  for (int k = 0; k < kReflectionCount; ++k) {
    Reflection& r = reflections_[size_t(k)];
    const double delay = std::min(kReflectionFactors[size_t(k)] * 256.0 + predelayFrames_,
                                  double(std::numeric_limits<int32_t>::max()));
    r.delay = static_cast<int32_t>(delay);
    r.order = orderOf(k);
    r.attenuation = clampedDecibels(std::round(-120.0 * r.delay / tail - 2.0 * r.order));
    longestDelay = std::max<int64_t>(longestDelay, r.delay);
  }

  // The accumulator holds the whole tail and what the pre-delay pushes beyond it; it is made
  // long enough for the latest reflection of a full block too (which short decays with short
  // pre-delays would otherwise place past its end).
  const int64_t frames = std::max(tailFrames_ + int64_t(7.75 * predelayFrames_) + kBlockFrames,
                                  longestDelay + kBlockFrames);
  const int64_t words = frames * ch;
  if (words <= std::numeric_limits<int32_t>::max()) {
    accumulatorWords_ = size_t(words);
    // Only the first (block + overlap) frames of a diffuser are ever written or read.
    diffuserWords_ = size_t((kBlockFrames + kDiffuserOverlap) * ch);
    accumulator_.reset(new (std::nothrow) Sample[2 * accumulatorWords_]());
    input_.allocate(size_t(kBlockFrames * ch));
    for (PaddedWords& d : diffused_)
      d.allocate(diffuserWords_);
  }
  const bool allocated =
      accumulator_ && input_.words &&
      std::all_of(diffused_.begin(), diffused_.end(), [](auto& d) { return bool(d.words); });
  if (!allocated) {
    accumulator_.reset();
    setStatus(SourceStatus::InnerFailed);
  }
}

int32_t ReverbFilter::read(Sample* buffer, int32_t frames) {
  if (frames <= 0) return 0;
  const int ch = channels();
  if (!accumulator_) {
    std::fill_n(buffer, size_t(frames) * ch, 0);
    return frames;
  }
  bool failed = false;
  for (int32_t done = 0; done < frames;) {
    const int32_t n = std::min(frames - done, kBlockFrames);
    if (inner_->read(input_.words, n) < 0) failed = true;
    processBlock(buffer + size_t(done) * ch, n);
    done += n;
  }
  return failed ? -1 : frames;
}

void ReverbFilter::processBlock(Sample* out, int32_t frames) {
  const size_t ch = channels();
  const size_t words = size_t(frames) * ch;
  Sample* in = input_.words;
  Sample* acc = accumulator_.get() + accumulatorStart_;
  const DecibelTable& db = DecibelTable::instance();

  const int level = blockLevel(in, words);
  const int64_t peak = peakMagnitude(in, words);
  if (peak > 0) {  // a silent block excites nothing: every reflection and echo would add 0
    std::array<int32_t, kReflectionCount> reflectionGains;
    for (size_t k = 0; k < reflections_.size(); ++k)
      reflectionGains[k] = db.amplitude(clampDecibels(level + reflections_[k].attenuation));

    // Late echoes, for each diffuser: sections of K = overlap + block frames at offsets that
    // thin out from every period toward every shrink frames, fading from −20 to −127 dB.
    const int64_t sectionFrames = kDiffuserOverlap + frames;
    const double tail = double(tailFrames_);
    std::array<std::vector<LateEcho>, 3>& echoes = lateEchoes_;
    for (size_t d = 0; d < kDiffusers.size(); ++d) {
      const Diffuser& diffuser = kDiffusers[d];
      echoes[d].clear();
      int64_t e = diffuser.firstOffset, m = diffuser.period, h = sectionFrames + e;
      do {
        const int32_t gain = db.amplitude(clampedDecibels(double(h) / tail * -107.0 - 20.0));
        // A section reaching the tail's end is at −127 dB and adds nothing.
        if (gain != 0) echoes[d].push_back({e, gain});
        const int64_t z = (diffuser.period - diffuser.shrink) * h / tailFrames_;
        e += m;
        m = diffuser.period - z;
        h = e + sectionFrames;
      } while (tailFrames_ >= h);
    }

    // Every sum fits 32 bits when the accumulator's peak plus the bounds of everything added
    // to one word does; then the 32-bit lanes give exactly the saturating result.
    const int64_t diffusedPeak = 5 * peak;  // a diffused word sums at most five input words
    int64_t added = 0;
    bool fast = diffusedPeak <= std::numeric_limits<int32_t>::max();
    for (int32_t g : reflectionGains) {
      if (g == 0) continue;
      added += scaledBound(g, peak);
      fast = fast && scalesIn32Bits(g, peak);
    }
    for (const auto& list : echoes) {
      for (const LateEcho& echo : list) {
        added += scaledBound(echo.gain, diffusedPeak);
        fast = fast && scalesIn32Bits(echo.gain, diffusedPeak);
      }
    }
    // The accumulator's bound grows with what is added; it is measured again only when it
    // would decide against the fast way.
    if (accumulatorBound_ + added > std::numeric_limits<int32_t>::max())
      accumulatorBound_ = peakMagnitude(acc, accumulatorWords_);
    fast = fast && accumulatorBound_ + added <= std::numeric_limits<int32_t>::max();
    accumulatorBound_ = std::min(accumulatorBound_ + added, int64_t{1} << 31);

    const size_t sectionWords = size_t(sectionFrames) * ch;
    if (fast) {
      // Reflections and late echoes are taps added all at once, in any order: no sum leaves 32
      // bits.
      taps_.clear();
      std::fill_n(in + words, kDelayTapPadding, 0);  // what the last taps read past the block
      for (size_t k = 0; k < reflections_.size(); ++k) {
        if (reflectionGains[k] != 0) {
          taps_.push_back(
              {in, ch * size_t(reflections_[k].delay), words, reflectionGains[k], peak});
        }
      }
      for (size_t d = 0; d < kDiffusers.size(); ++d) {
        Sample* diffused = diffused_[d].words;
        std::fill_n(diffused, sectionWords + kDelayTapPadding, 0);
        for (int32_t tap : kDiffusers[d].taps)
          mixAddedUnchecked(diffused + ch * size_t(tap), in, words);
        for (const LateEcho& echo : echoes[d]) {
          taps_.push_back(
              {diffused, ch * size_t(echo.offset), sectionWords, echo.gain, diffusedPeak});
        }
      }
      tapMixer_.add(acc, taps_.data(), taps_.size(), mixLanes_);
    } else {
      // Saturating sums depend on their order: early reflections, scaled with the level of this
      // block, then for each diffuser its five unit-gain taps, word by word, tap by tap, and its
      // late echoes.
      for (size_t k = 0; k < reflections_.size(); ++k) {
        if (reflectionGains[k] == 0) continue;
        mixScaled(acc + ch * size_t(reflections_[k].delay), in, words, reflectionGains[k]);
      }
      for (size_t d = 0; d < kDiffusers.size(); ++d) {
        Sample* diffused = diffused_[d].words;
        std::fill_n(diffused, sectionWords, 0);
        for (size_t i = 0; i < words; ++i) {
          for (int32_t tap : kDiffusers[d].taps) {
            Sample& at = diffused[i + ch * size_t(tap)];
            at = saturate32(int64_t{at} + in[i]);
          }
        }
        for (const LateEcho& echo : echoes[d])
          mixScaled(acc + ch * size_t(echo.offset), diffused, sectionWords, echo.gain);
      }
    }
  }

  // Wet and dry mix; both products may be large, so the sum saturates (in 32-bit lanes when it
  // cannot overflow).
  const int64_t accumulatedPeak = peakMagnitude(acc, words);
  if (scalesIn32Bits(wetGain_, accumulatedPeak) && scalesIn32Bits(dryGain_, peak) &&
      scaledBound(wetGain_, accumulatedPeak) + scaledBound(dryGain_, peak) <=
          std::numeric_limits<int32_t>::max()) {
    std::fill_n(out, words, 0);
    mixScaledUnchecked(out, in, words, dryGain_, peak);
    mixScaledUnchecked(out, acc, words, wetGain_, accumulatedPeak);
  } else {
    for (size_t i = 0; i < words; ++i) {
      out[i] =
          saturate32(int64_t{splitMultiply(wetGain_, acc[i])} + splitMultiply(dryGain_, in[i]));
    }
  }
  // The accumulator moves down by one block: the words past its end are still zero, until they
  // run out.
  accumulatorStart_ += words;
  if (accumulatorStart_ + accumulatorWords_ > 2 * accumulatorWords_) {
    Sample* storage = accumulator_.get();
    std::memmove(storage, storage + accumulatorStart_,
                 (2 * accumulatorWords_ - accumulatorStart_) * sizeof(Sample));
    std::fill(storage + 2 * accumulatorWords_ - accumulatorStart_, storage + 2 * accumulatorWords_,
              0);
    accumulatorStart_ = 0;
  }
}

bool ReverbFilter::PaddedWords::allocate(size_t count) {
  storage.reset(new (std::nothrow) Sample[count + 2 * kDelayTapPadding]());
  words = storage ? storage.get() + kDelayTapPadding : nullptr;
  return words != nullptr;
}

ReverbDescriptor::ReverbDescriptor(int32_t decayMs, int32_t predelayMs, int32_t diffusionPercent,
                                   int wetDb, int dryDb)
    : decayMs_(decayMs),
      predelayMs_(predelayMs),
      diffusionPercent_(diffusionPercent),
      wetDb_(clampDecibels(wetDb)),
      dryDb_(clampDecibels(dryDb)) {}

Ref<EffectFilter> ReverbDescriptor::makeFilter(Ref<SampleSource> source) const {
  return makeRef<ReverbFilter>(std::move(source), decayMs_, predelayMs_, diffusionPercent_, wetDb_,
                               dryDb_);
}

}  // namespace quillon
