#pragma once

#include <cstdint>

#include "document/sample_types.h"
#include "platform/ref_counted.h"

namespace quillon {

// Status of a source: only Ok is usable.
enum class SourceStatus : uint8_t {
  Ok = 0,
  Null = 1,          // a NullSource: nothing was built
  InnerFailed = 2,   // a wrapping stage whose inner source was not Ok
  Corrupt = 3,       // invalid format: rate or channels missing, corrupt header
  CannotOpen = 4,    // the file cannot be opened
  MissingCodec = 5,  // the file needs a codec that is not available
  Encrypted = 6,
};

// Status bits of a sink.
enum SinkStatus : uint8_t {
  kSinkNull = 0x01,    // a NullSink, or a sink created with an invalid format
  kSinkFailed = 0x02,  // the sink lost data: its file could not be created or written
};

// A pull stream of sample words. Handles are `Ref<SampleSource>`; holders that have nothing
// hold a NullSource, so every handle can be dereferenced.
class SampleSource : public RefCounted {
 public:
  int32_t sampleRate() const { return sampleRate_; }
  uint8_t channels() const { return channels_; }
  // The largest magnitude this source can deliver.
  int32_t peakBound() const { return peakBound_; }
  SourceStatus status() const { return status_; }

  // Fills `buffer` with frames × channels words. Answers `frames`, or −1 when a file the source
  // needs cannot be opened or read.
  virtual int32_t read(Sample* buffer, int32_t frames) = 0;
  // The frame the next read starts at.
  virtual int32_t position() = 0;
  virtual int32_t length() = 0;
  virtual void seek(int32_t frame);
  // True while the length can still grow (a file still being written).
  virtual bool lengthUnknown() { return false; }
  // Lets long loops yield; sleeps by default.
  virtual void pause(int milliseconds);

 protected:
  // A rate ≤ 0 becomes 44100 and a channel count of 0 becomes 1; either marks the source
  // invalid (status Corrupt).
  SampleSource(int32_t sampleRate, int channels);

  void setStatus(SourceStatus status) { status_ = status; }
  void setPeakBound(int32_t bound) { peakBound_ = bound; }
  void setFormat(int32_t sampleRate, int channels);

 private:
  int32_t sampleRate_ = kDefaultSampleRate;
  int32_t peakBound_ = kDefaultPeakBound;
  uint8_t channels_ = 1;
  SourceStatus status_ = SourceStatus::Ok;
};

// A push stream of sample words; its file or block is completed when the last handle goes.
class SampleSink : public RefCounted {
 public:
  int32_t framesWritten() const { return framesWritten_; }
  int32_t sampleRate() const { return sampleRate_; }
  uint8_t channels() const { return channels_; }
  uint8_t status() const { return status_; }
  // The sink lost data (status bit kSinkFailed): its file could not be created or written.
  bool failed() const { return status_ & kSinkFailed; }
  // The system error of the first failed write, 0 when none.
  int ioError() const { return ioError_; }

  // Takes frames × channels words. False once the sink has failed (status bit kSinkFailed).
  virtual bool write(const Sample* buffer, int32_t frames) = 0;
  virtual void seek(int32_t frame);
  // Completes the file or block now, so that a failure of the last writes is seen by the
  // producer: false when the sink failed. The last release completes a sink not finished yet.
  virtual bool finish() { return !failed(); }
  // Whether the file can hold so many frames (a header's size fields have their limits); asked
  // before writing, so that nothing is written that the file could not state.
  virtual bool canHold(int64_t frames) const {
    (void)frames;
    return true;
  }

 protected:
  // A channel count of 0 becomes 1 and sets status bit kSinkNull.
  SampleSink(int32_t sampleRate, int channels);

  // Counts accepted frames; a count that no longer fits 32 bits fails the sink.
  void addFramesWritten(int32_t frames);
  void setFramesWritten(int32_t frames) { framesWritten_ = frames; }
  void setStatusBits(uint8_t bits) { status_ |= bits; }
  void fail(int error) {
    if (!ioError_) ioError_ = error;
    status_ |= kSinkFailed;
  }

 private:
  int32_t framesWritten_ = 0;
  int32_t sampleRate_ = kDefaultSampleRate;
  uint8_t channels_ = 1;
  uint8_t status_ = 0;
  int ioError_ = 0;
};

// 11025 Hz mono, status Null (or the status a failed reader gives it); reads silence, has length
// 0.
class NullSource : public SampleSource {
 public:
  explicit NullSource(SourceStatus status = SourceStatus::Null);
  int32_t read(Sample* buffer, int32_t frames) override;
  int32_t position() override { return 0; }
  int32_t length() override { return 0; }
};

// 44100 Hz mono, status bit 0; discards what it is given.
class NullSink : public SampleSink {
 public:
  NullSink();
  bool write(const Sample*, int32_t frames) override;
};

}  // namespace quillon
