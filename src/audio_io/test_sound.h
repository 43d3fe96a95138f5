#pragma once

#include <cstdint>

#include "document/sample_stream.h"
#include "platform/ref_counted.h"

namespace quillon {

// The test sound of the "Sound Output & Volume" page: a rising chime of four tones (C, E, G and
// the octave above C), each 180 ms with soft edges, 60 ms apart, at a quarter of full scale —
// made by the program, so it needs no file.
class TestSoundSource final : public SampleSource {
 public:
  static constexpr int kTones = 4;
  static constexpr int32_t kToneMilliseconds = 180;
  static constexpr int32_t kGapMilliseconds = 60;
  static constexpr int32_t kAmplitude = 1 << 17;

  explicit TestSoundSource(int32_t sampleRate = 44100, int channels = 2);

  int32_t read(Sample* buffer, int32_t frames) override;
  int32_t position() override { return position_; }
  int32_t length() override { return length_; }
  void seek(int32_t frame) override;

  // The sample of frame `frame` (the same on every channel).
  Sample sampleAt(int32_t frame) const;

 private:
  int32_t toneFrames_;
  int32_t gapFrames_;
  int32_t length_;
  int32_t position_ = 0;
};

}  // namespace quillon
