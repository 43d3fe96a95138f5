#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "document/sample_stream.h"
#include "formats/sample_encoding.h"
#include "platform/file.h"

namespace quillon {

// Turns sample words into the bytes of a file's data. Block codecs keep an incomplete block
// until more frames arrive or the file ends.
class DataEncoder {
 public:
  virtual ~DataEncoder() = default;
  // Appends the bytes for `frames` frames to `out`; false when the codec fails.
  virtual bool encode(const Sample* words, int32_t frames, std::vector<uint8_t>& out) = 0;
  // Appends what is still kept, completed to a whole block, at the end of the file.
  virtual bool finish(std::vector<uint8_t>& out) {
    (void)out;
    return true;
  }
  // Bytes of one frame when every frame has bytes of its own (the file can then be cut back to
  // a frame); 0 for block codecs.
  virtual int bytesPerFrame() const { return 0; }
  // The bytes `frames` frames take, at most (a block codec counts whole blocks).
  virtual int64_t bytesFor(int64_t frames) const { return frames * bytesPerFrame(); }
};

// Frames stored one by one in a sample encoding.
class SampleDataEncoder : public DataEncoder {
 public:
  SampleDataEncoder(SampleEncoding encoding, int channels)
      : encoding_(encoding), channels_(channels) {}
  bool encode(const Sample* words, int32_t frames, std::vector<uint8_t>& out) override;
  int bytesPerFrame() const override { return channels_ * bytesPerSample(encoding_); }

 private:
  SampleEncoding encoding_;
  int channels_;
};

// A file's header for the data written so far: called at creation (final false) and when the
// file is finished (final true). Both calls must give the same number of bytes.
using HeaderBuilder =
    std::function<std::vector<uint8_t>(bool final, int64_t dataBytes, int32_t framesWritten)>;

// A SampleSink writing a file: a header, then the encoded data. The file is created (replacing
// an existing one) with a provisional header, so a file that is still being written can be
// read; `finish` (or the last release) writes the rest of the data and the final header.
// A file that cannot be created, or a header that would state a rate outside kLowestSampleRate …
// kHighestSampleRate, gives status bit kSinkNull; a failed write gives kSinkFailed with the
// system error, and everything after it is refused. A header whose size fields hold at most
// `maxDataBytes` (−1: headerless, no limit) refuses data beyond that (EFBIG) rather than
// stating a wrapped size.
class HeaderedFileWriter : public SampleSink {
 public:
  HeaderedFileWriter(const std::string& path, int32_t sampleRate, int channels,
                     std::unique_ptr<DataEncoder> encoder, HeaderBuilder header,
                     int64_t maxDataBytes = -1);
  ~HeaderedFileWriter() override;

  bool write(const Sample* buffer, int32_t frames) override;
  // Cuts the file back to `frame` (not beyond what was written); only for per-frame encodings.
  void seek(int32_t frame) override;
  bool finish() override;
  bool canHold(int64_t frames) const override;

 private:
  bool writeHeader(bool final);
  bool append(const std::vector<uint8_t>& bytes);

  platform::File file_;
  std::unique_ptr<DataEncoder> encoder_;
  HeaderBuilder header_;
  int64_t maxDataBytes_;
  int64_t headerSize_ = 0;
  int64_t dataBytes_ = 0;
  std::vector<uint8_t> bytes_;
  bool finished_ = false;
};

}  // namespace quillon
