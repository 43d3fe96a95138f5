#include "effects/compressor_filter.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "effects/frame_time.h"
#include "effects/gain_math.h"

namespace quillon {
namespace {

// trunc(v) as a gain; values past the largest gain saturate (a low threshold with a steep ratio
// asks for more make-up gain than 8.24 can hold).
int32_t truncatedGain(double v) {
  if (!(v > 0.0)) return 0;
  if (v >= 2147483647.0) return std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(v);
}

}  // namespace

CompressorFilter::GainCurve CompressorFilter::gainCurve(int thresholdDb, double ratioFactor,
                                                        int kneeDb) {
  const int threshold = std::clamp(thresholdDb, -128, 127);
  double v = 16777216.0;
  if (threshold < 0) v = 16777216.0 / std::pow(ratioFactor, -threshold);
  GainCurve curve{};
  for (int level = -128; level <= 127; ++level) {
    curve[size_t(level + 128)] = truncatedGain(v);
    if (level < threshold) continue;             // below the threshold: the constant make-up gain
    v *= level < kneeDb ? ratioFactor : 0.8913;  // above the knee: a limiter
  }
  return curve;
}

int32_t CompressorFilter::blockFramesFor(int32_t sampleRate, int blockMilliseconds) {
  return std::clamp(millisecondsToFrames(sampleRate, blockMilliseconds), 128, 8192);
}

CompressorFilter::CompressorFilter(Ref<SampleSource> inner, int thresholdDb, double ratioFactor,
                                   int blockMilliseconds, int kneeDb)
    : EffectFilter(std::move(inner)),
      curve_(gainCurve(thresholdDb, ratioFactor, kneeDb)),
      blockFrames_(blockFramesFor(sampleRate(), blockMilliseconds)),
      current_(size_t(blockFrames_) * channels()),
      lookAhead_(size_t(blockFrames_) * channels()),
      readIndex_(blockFrames_) {
  setPeakBound(kPeakBound);
}

int32_t CompressorFilter::read(Sample* buffer, int32_t frames) {
  if (frames <= 0) return 0;
  const int ch = channels();
  if (status() != SourceStatus::Ok) {
    std::fill_n(buffer, size_t(frames) * ch, 0);
    return frames;
  }
  bool failed = false;
  int32_t produced = 0;
  while (produced < frames) {
    if (readIndex_ >= blockFrames_ && !nextBlock()) failed = true;
    const int32_t take = std::min(frames - produced, blockFrames_ - readIndex_);
    const Sample* in = current_.data() + size_t(readIndex_) * ch;
    Sample* out = buffer + size_t(produced) * ch;
    if (gain_ == kUnityGain && increment_ == 0) {
      std::memcpy(out, in, size_t(take) * ch * sizeof(Sample));  // the split multiply at unity
    } else {
      // The ramp never passes its target, so the gain stays within the curve's range.
      for (int32_t f = 0; f < take; ++f, in += ch, out += ch) {
        for (int c = 0; c < ch; ++c)
          out[c] = splitMultiply(gain_, in[c]);
        gain_ += increment_;
      }
    }
    readIndex_ += take;
    produced += take;
  }
  return failed ? -1 : frames;
}

bool CompressorFilter::nextBlock() {
  bool ok = true;
  if (firstBlock_) {
    ok = readBlock(current_);
    gain_ = previousTarget_ = gainOf(current_);
    firstBlock_ = false;
  } else {
    std::swap(current_, lookAhead_);
    previousTarget_ = lookAheadTarget_;
  }
  if (!readBlock(lookAhead_)) ok = false;
  lookAheadTarget_ = gainOf(lookAhead_);

  const int64_t w = blockFrames_;
  const int64_t target = lookAheadTarget_;
  if (target < gain_) {  // attack
    increment_ = static_cast<int32_t>((target - gain_) / (w + w / 4));
  } else {  // release: halfway toward the mean of the two targets; summed in 64 bits
    increment_ = static_cast<int32_t>((((target + previousTarget_) >> 1) - gain_) / (2 * w));
  }
  readIndex_ = 0;
  return ok;
}

bool CompressorFilter::readBlock(std::vector<Sample>& block) {
  return inner_->read(block.data(), blockFrames_) >= 0;
}

int32_t CompressorFilter::gainOf(const std::vector<Sample>& block) const {
  return curve_[size_t(blockLevel(block.data(), block.size()) + 128)];
}

int32_t CompressorFilter::position() {
  const int64_t inner = inner_->position();
  if (firstBlock_) return static_cast<int32_t>(inner);
  return static_cast<int32_t>(std::max<int64_t>(inner + readIndex_ - 2 * int64_t{blockFrames_},
                                                std::numeric_limits<int32_t>::min()));
}

int32_t CompressorFilter::length() {
  const int32_t inner = inner_->length();
  if (!inner_->lengthUnknown()) return inner;
  return static_cast<int32_t>(std::max<int64_t>(int64_t{inner} - 2 * int64_t{blockFrames_}, 0));
}

void CompressorFilter::seek(int32_t frame) {
  inner_->seek(frame);
  firstBlock_ = true;
  readIndex_ = blockFrames_;
}

CompressorDescriptor::CompressorDescriptor(int thresholdDb, int ratioIndex, int limitDb)
    : thresholdDb_(clampDecibels(thresholdDb)),
      // Indexes outside the list take its nearest entry.
      ratioFactor_(kCompressorRatios[size_t(std::clamp(ratioIndex, 0, 6))].factor),
      limitDb_(limitDb) {}

Ref<EffectFilter> CompressorDescriptor::makeFilter(Ref<SampleSource> source) const {
  return makeRef<CompressorFilter>(std::move(source), thresholdDb_, ratioFactor_,
                                   CompressorFilter::kBlockMilliseconds, CompressorFilter::kKneeDb);
}

}  // namespace quillon
