#pragma once

#include <cstdint>
#include <vector>

#include "document/sample_stream.h"
#include "effects/effect_filter.h"
#include "platform/ref_counted.h"

namespace quillon {

// Plays an inner source at a speed that may change, as a tape would: pitch follows speed. At
// speed s each output frame advances s inner frames; a negative speed plays backwards. The output
// has the inner rate and channels. Values between inner frames come from the band-limited
// `SincInterpolator`, whose cutoff drops with the speed above 1, so speeding up does not fold
// high frequencies back and scanning sounds clean.
//
// Position and length count inner frames, like the inner source: position() is the inner frame
// the next output frame is taken from (rounded down), length() is the inner length, so that a
// player's "remaining" is the distance to the inner end. seek(f) moves the play point to inner
// frame f and leaves the speed where it is. Played backwards the stream stops at frame 0 and then
// reads silence; forwards past the end it reads what the inner source gives there (silence).
// Backwards play reads the inner source in blocks, seeking back one block at a time.
class VariableSpeedStream : public EffectFilter {
 public:
  static constexpr double kMaxSpeed = 16;
  static constexpr int32_t kBlockFrames = 8192;
  static constexpr int32_t kWindowFrames = 4 * kBlockFrames;

  int32_t read(Sample* buffer, int32_t frames) override;
  int32_t position() override;
  void seek(int32_t frame) override;

  // The speed of the next output frame.
  double currentSpeed() const { return speedAt(produced_); }

 protected:
  // Speed moves linearly from `startSpeed` to `endSpeed` over `rampFrames` output frames, then
  // stays at `endSpeed`; speeds are limited to ±kMaxSpeed.
  VariableSpeedStream(Ref<SampleSource> inner, double startSpeed, double endSpeed,
                      int32_t rampFrames);

 private:
  double speedAt(int64_t frame) const;
  // Inner frames travelled by the first `frame` output frames.
  double travelled(int64_t frame) const;
  double timeOf(int64_t frame) const { return origin_ + travelled(frame); }
  // Makes the window hold inner frames [first, end); false when the inner source failed.
  bool cover(int64_t first, int64_t end);
  // Reads `count` inner frames from `from` on into the window at index `at`.
  bool fetch(int64_t from, int32_t count, int32_t at);

  double startSpeed_;
  double endSpeed_;
  int32_t rampFrames_;
  int64_t produced_ = 0;  // output frames read since construction
  double origin_ = 0;     // the time of output frame 0, in inner frames

  // A window of inner frames as floats, one plane of kWindowFrames per channel.
  std::vector<float> planes_;
  int64_t windowStart_ = 0;
  int32_t windowFrames_ = 0;
  int64_t innerNext_ = 0;  // the frame the inner source reads next
  std::vector<Sample> scratch_;
  std::vector<float> weights_;
};

// Playback at a fixed speed factor of 0.5 … 1.5 (values outside are clamped). A factor of exactly
// 1 reads the inner source straight through, bit for bit.
class SpeedChangeStream : public VariableSpeedStream {
 public:
  static constexpr double kMinFactor = 0.5;
  static constexpr double kMaxFactor = 1.5;

  SpeedChangeStream(Ref<SampleSource> inner, double factor);

  int32_t read(Sample* buffer, int32_t frames) override;
  int32_t position() override;
  void seek(int32_t frame) override;

 private:
  bool identity_;
};

// Scanning: the speed ramps from `startSpeed` to `endSpeed` over `rampFrames` output frames and
// then holds; negative speeds play backwards (see VariableSpeedStream).
class SpeedRampStream : public VariableSpeedStream {
 public:
  SpeedRampStream(Ref<SampleSource> inner, double startSpeed, double endSpeed, int32_t rampFrames);
};

// A speed-changed stream of a source already limited to 16-bit full scale, kept there by clipping
// the interpolator's rare overshoots, so that a player needs no limiter behind the speed change:
// a limiter's look-ahead counts frames of its input, and behind a stream that moves more or less
// than one frame a frame the position it reports would be off from what is heard.
Ref<SampleSource> atChangedSpeed(Ref<SampleSource> speedChanged);

}  // namespace quillon
