#pragma once

#include <cstdint>
#include <vector>

#include "document/sample_stream.h"
#include "platform/ref_counted.h"

namespace quillon {

class FifoSource;

// A sink in one format that passes what it is given on to a sink in another, through the
// program's channel and rate converters: the recorder's way from the format a device opened
// with to the recording's. Frames are held back only as long as the converters need input
// after them; `drain` pushes the rest through. Positions (framesWritten, seek) count frames of
// this sink's own format.
class ConvertingSink : public SampleSink {
 public:
  ConvertingSink(Ref<SampleSink> target, int32_t sampleRate, int channels);
  ~ConvertingSink() override;

  bool write(const Sample* buffer, int32_t frames) override;
  // Cuts the recording back: what is held is dropped and the target continues from the frame
  // that corresponds to `frame`.
  void seek(int32_t frame) override;
  bool finish() override;
  // Passes everything held on to the target.
  void drain();

  SampleSink& target() { return *target_; }

 private:
  void rebuild();
  bool pull(bool all);

  Ref<SampleSink> target_;
  Ref<FifoSource> fifo_;
  Ref<SampleSource> converted_;
  int64_t produced_ = 0;
  std::vector<Sample> scratch_;
};

}  // namespace quillon
