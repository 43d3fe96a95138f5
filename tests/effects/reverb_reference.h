#pragma once

// The reverb as first written, kept as the reference for the filter's fast paths: every step one
// word at a time in 64-bit arithmetic, every sum saturated, in the order the steps are described
// (reflections, then for each diffuser its taps and its late echoes, then the wet/dry mix). The
// filter must give the same words bit for bit, whatever lanes it adds in.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "effects/decibel_table.h"
#include "effects/frame_time.h"
#include "effects/gain_math.h"

namespace quillon::testing {

class ReferenceReverb {
 public:
  ReferenceReverb(int32_t rate, int channels, int32_t decayMs, int32_t predelayMs, int wetDb,
                  int dryDb)
      : channels_(channels),
        wet_(DecibelTable::instance().amplitude(clampDecibels(wetDb))),
        dry_(DecibelTable::instance().amplitude(clampDecibels(dryDb))) {
    static constexpr double kFactors[41] = {
        1.0,  2.0,  2.52, 2.56, 2.58, 2.63, 2.75, 2.78, 2.79, 2.8,  3.0, 3.2,  3.24, 3.25,
        3.26, 3.5,  3.51, 3.53, 3.6,  5.0,  5.1,  4.6,  5.0,  5.06, 5.6, 5.63, 5.69, 5.7,
        6.15, 6.17, 6.23, 6.28, 6.58, 6.66, 7.1,  7.2,  7.22, 7.26, 7.5, 7.5,  7.75};
    const int64_t predelay = std::max(millisecondsToFrames(rate, predelayMs), 0);
    tail_ = std::max<int64_t>(2 * int64_t{std::max(millisecondsToFrames(rate, decayMs), 0)}, 1);
    int64_t longest = 0;
    for (int k = 0; k < 41; ++k) {
      const int order = k < 6 ? 3 : k < 21 ? 4 : 5;
      delays_[k] = int32_t(std::min(kFactors[k] * 256.0 + double(predelay), 2147483647.0));
      attenuations_[k] = decibels(std::round(-120.0 * delays_[k] / double(tail_) - 2.0 * order));
      longest = std::max<int64_t>(longest, delays_[k]);
    }
    const int64_t frames =
        std::max(tail_ + int64_t(7.75 * double(predelay)) + kBlock, longest + kBlock);
    accumulator_.assign(size_t(frames * channels), 0);
    for (auto& d : diffused_)
      d.assign(size_t((kBlock + kOverlap) * channels), 0);
  }

  // One read of `input.size() / channels` frames, in blocks of at most 8192 frames.
  std::vector<Sample> process(const std::vector<Sample>& input) {
    std::vector<Sample> out(input.size());
    const size_t blockWords = size_t(kBlock) * channels_;
    for (size_t at = 0; at < input.size(); at += blockWords) {
      const size_t words = std::min(blockWords, input.size() - at);
      processBlock(input.data() + at, out.data() + at, words);
    }
    return out;
  }

 private:
  static constexpr int64_t kBlock = 8192, kOverlap = 1359;
  struct Diffuser {
    int32_t taps[5], firstOffset, period, shrink;
  };
  static constexpr Diffuser kDiffusers[3] = {{{260, 327, 579, 665, 808}, 510, 2064, 110},
                                             {{525, 673, 842, 1042, 1359}, 767, 1812, 65},
                                             {{608, 813, 871, 876, 1274}, 423, 2513, 42}};

  static int decibels(double value) { return int(std::clamp(value, -127.0, 127.0)); }
  static Sample saturated(int64_t v) {
    return Sample(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(),
                                      std::numeric_limits<int32_t>::max()));
  }
  // A gain of 0 adds nothing; it is also the gain of a late echo that reaches past the tail's
  // end, and of the accumulator's end, so it must not be walked.
  void add(size_t at, const Sample* source, size_t count, int32_t gain) {
    if (gain == 0) return;
    for (size_t j = 0; j < count; ++j)
      accumulator_[at + j] =
          saturated(int64_t{accumulator_[at + j]} + splitMultiply(gain, source[j]));
  }

  void processBlock(const Sample* in, Sample* out, size_t words) {
    const DecibelTable& db = DecibelTable::instance();
    const size_t ch = size_t(channels_);
    const int64_t frames = int64_t(words / ch);
    const int level = blockLevel(in, words);
    const bool silent = std::all_of(in, in + words, [](Sample s) { return s == 0; });
    if (!silent) {
      for (int k = 0; k < 41; ++k)
        add(ch * size_t(delays_[k]), in, words,
            db.amplitude(clampDecibels(level + attenuations_[k])));
      const int64_t section = kOverlap + frames;
      for (int d = 0; d < 3; ++d) {
        const Diffuser& diffuser = kDiffusers[d];
        std::vector<Sample>& diffused = diffused_[size_t(d)];
        std::fill_n(diffused.begin(), size_t(section) * ch, 0);
        for (size_t i = 0; i < words; ++i) {
          for (int32_t tap : diffuser.taps) {
            Sample& at = diffused[i + ch * size_t(tap)];
            at = saturated(int64_t{at} + in[i]);
          }
        }
        int64_t e = diffuser.firstOffset, m = diffuser.period, h = section + e;
        do {
          const int32_t gain = db.amplitude(decibels(double(h) / double(tail_) * -107.0 - 20.0));
          add(ch * size_t(e), diffused.data(), size_t(section) * ch, gain);
          const int64_t z = (diffuser.period - diffuser.shrink) * h / tail_;
          e += m;
          m = diffuser.period - z;
          h = e + section;
        } while (tail_ >= h);
      }
    }
    for (size_t i = 0; i < words; ++i)
      out[i] =
          saturated(int64_t{splitMultiply(wet_, accumulator_[i])} + splitMultiply(dry_, in[i]));
    std::copy(accumulator_.begin() + long(words), accumulator_.end(), accumulator_.begin());
    std::fill(accumulator_.end() - long(words), accumulator_.end(), 0);
  }

  int channels_;
  int32_t wet_, dry_;
  int64_t tail_ = 1;
  std::array<int32_t, 41> delays_{};
  std::array<int, 41> attenuations_{};
  std::vector<Sample> accumulator_;
  std::array<std::vector<Sample>, 3> diffused_;
};

}  // namespace quillon::testing
