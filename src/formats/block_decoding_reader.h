#pragma once

#include <cstdint>
#include <vector>

#include "document/sample_stream.h"
#include "platform/file.h"

namespace quillon {

// A SampleSource over a file of equal blocks, each decoding to the same number of frames (GSM
// frames, ADPCM blocks). It decodes one block at a time and keeps the rest of a partly consumed
// block for the next read. Frames before 0 and past the end read as silence; a seek restarts the
// decoder at the block that holds the frame.
class BlockDecodingReader : public SampleSource {
 public:
  struct Layout {
    int32_t sampleRate = 0;
    int channels = 1;
    int64_t dataStart = 0;
    int64_t dataBytes = -1;  // negative: up to the end of the file
    size_t blockBytes = 0;
    int32_t framesPerBlock = 0;
    int64_t frames = -1;  // the exact length when known (a "fact" chunk; at most what the
                          // blocks hold), else from blocks
  };

  int32_t read(Sample* buffer, int32_t frames) override;
  int32_t position() override { return position_; }
  int32_t length() override;
  void seek(int32_t frame) override;
  bool lengthUnknown() override { return dataBytes_ < 0; }

 protected:
  // Takes over the file; a layout without blocks gets status Corrupt.
  BlockDecodingReader(platform::File file, const Layout& layout);
  // Decodes one block into framesPerBlock × channels words; false when it cannot.
  virtual bool decodeBlock(const uint8_t* block, Sample* out) = 0;
  // Reading restarts somewhere else: a decoder with state starts afresh.
  virtual void restart() {}

 private:
  int64_t blockCount();
  bool loadBlock(int64_t index);

  platform::File file_;
  int64_t dataStart_;
  int64_t dataBytes_;
  size_t blockBytes_;
  int32_t framesPerBlock_;
  int64_t knownFrames_;
  int32_t position_ = 0;
  int64_t nextBlock_ = 0;      // the block the next decode reads
  int32_t decodedUsed_ = 0;    // frames of `decoded_` already delivered
  int32_t decodedFrames_ = 0;  // frames held in `decoded_`
  std::vector<uint8_t> block_;
  std::vector<Sample> decoded_;
};

}  // namespace quillon
