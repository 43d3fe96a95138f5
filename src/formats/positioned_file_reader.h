#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "document/sample_stream.h"
#include "formats/sample_encoding.h"
#include "platform/file.h"

namespace quillon {

// A SampleSource over a region of a file holding frames in one sample encoding (WAV PCM and
// float, AU, AIFF, headerless raw). Position 0 is the first data byte; frames before 0 and past
// the declared end read as silence, and so do frames a truncated file does not have.
//
// The declared frame count may be unknown (a data size of 0xFFFFFFFF or another negative value):
// the length is then taken from the file size at every call, and `lengthUnknown` is true. When
// `sizeFieldOffset` is given (WAV), the size field is read again there first: a writer that has
// since finished makes the count final. A declared count never exceeds the frames the file holds
// when it is read.
class PositionedFileReader : public SampleSource {
 public:
  struct Layout {
    int32_t sampleRate = 0;
    int channels = 0;
    SampleEncoding encoding = SampleEncoding::Pcm16Le;
    int64_t dataStart = 0;
    int64_t dataBytes = -1;        // negative: unknown
    int64_t sizeFieldOffset = -1;  // little-endian 32-bit data size to re-read, or none
  };

  // Takes over the file handle. A layout with no bytes per frame gets status Corrupt.
  PositionedFileReader(platform::File file, const Layout& layout);

  int32_t read(Sample* buffer, int32_t frames) override;
  int32_t position() override { return position_; }
  int32_t length() override;
  void seek(int32_t frame) override;
  bool lengthUnknown() override { return declaredFrames_ < 0; }

 private:
  int64_t framesThere(int64_t declaredBytes);

  platform::File file_;
  SampleEncoding encoding_;
  int64_t dataStart_;
  int64_t sizeFieldOffset_;
  int32_t bytesPerFrame_;
  int64_t declaredFrames_;
  int32_t position_ = 0;
  int64_t fileOffset_;  // where the next file read starts
  std::vector<uint8_t> buffer_;
};

}  // namespace quillon
