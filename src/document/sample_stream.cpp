#include "document/sample_stream.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <limits>
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
    status_ = SourceStatus::Corrupt;
  }
  if (channels <= 0 || channels > 255) {
    channels_ = 1;
    status_ = SourceStatus::Corrupt;
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

void SampleSink::addFramesWritten(int32_t frames) {
  const int64_t total = int64_t{framesWritten_} + frames;
  if (total > std::numeric_limits<int32_t>::max()) {
    framesWritten_ = std::numeric_limits<int32_t>::max();
    fail(EFBIG);
    return;
  }
  framesWritten_ = static_cast<int32_t>(total);
}

NullSource::NullSource(SourceStatus status) : SampleSource(11025, 1) {
  setStatus(status);
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
