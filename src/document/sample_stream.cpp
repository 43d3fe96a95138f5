#include "document/sample_stream.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace quillon {

SampleSource::SampleSource(int32_t sampleRate, int channels) {
  setFormat(sampleRate, channels);
}

void SampleSource::setFormat(int32_t sampleRate, int channels) {
  sampleRate_ = sampleRate;
  channels_ = static_cast<uint8_t>(channels);
  if (sampleRate <= 0) {
    sampleRate_ = kDefaultSampleRate;
    status_ = kSourceCorrupt;
  }
  if (channels <= 0 || channels > 255) {
    channels_ = 1;
    status_ = kSourceCorrupt;
  }
}

void SampleSource::seek(int32_t) {}

void SampleSource::pause(int milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(std::max(milliseconds, 0)));
}

SampleSink::SampleSink(int32_t sampleRate, int channels)
    : sampleRate_(sampleRate), channels_(static_cast<uint8_t>(channels)) {
  if (channels <= 0 || channels > 255) {
    channels_ = 1;
    status_ |= kSinkNull;
  }
}

void SampleSink::seek(int32_t) {}

NullSource::NullSource() : SampleSource(11025, 1) {
  setStatus(kSourceNull);
}

int32_t NullSource::read(Sample* buffer, int32_t frames) {
  if (frames <= 0) return 0;
  std::fill_n(buffer, frames, 0);
  return frames;
}

NullSink::NullSink() : SampleSink(kDefaultSampleRate, 1) {
  setStatusBits(kSinkNull);
}

bool NullSink::write(const Sample*, int32_t frames) {
  addFramesWritten(frames);
  return true;
}

}  // namespace quillon
