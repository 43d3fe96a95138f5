#include "formats/block_decoding_reader.h"

#include <algorithm>
#include <limits>

namespace quillon {

BlockDecodingReader::BlockDecodingReader(platform::File file, const Layout& layout)
    : SampleSource(layout.sampleRate, layout.channels),
      file_(std::move(file)),
      dataStart_(layout.dataStart),
      dataBytes_(layout.dataBytes),
      blockBytes_(layout.blockBytes),
      framesPerBlock_(layout.framesPerBlock),
      knownFrames_(layout.frames) {
  if (blockBytes_ == 0 || framesPerBlock_ <= 0) {
    setStatus(SourceStatus::Corrupt);
    blockBytes_ = 1;
    framesPerBlock_ = 1;
  }
  // A declared data size is believed only as far as the file holds data.
  if (dataBytes_ >= 0)
    dataBytes_ = std::min(dataBytes_, std::max<int64_t>(file_.size() - dataStart_, 0));
  block_.resize(blockBytes_);
  decoded_.resize(size_t(framesPerBlock_) * channels());
}

int64_t BlockDecodingReader::blockCount() {
  const int64_t bytes =
      dataBytes_ >= 0 ? dataBytes_ : std::max<int64_t>(file_.size() - dataStart_, 0);
  return bytes / int64_t(blockBytes_);
}

// A declared frame count ("fact") is believed only as far as the blocks there hold frames; a
// file still growing reads what it has so far.
int32_t BlockDecodingReader::length() {
  int64_t frames = blockCount() * framesPerBlock_;
  if (knownFrames_ >= 0) frames = std::min(frames, knownFrames_);
  return int32_t(std::min<int64_t>(frames, std::numeric_limits<int32_t>::max()));
}

bool BlockDecodingReader::loadBlock(int64_t index) {
  if (index >= blockCount()) return false;
  const int64_t offset = dataStart_ + index * int64_t(blockBytes_);
  if (file_.readAt(block_.data(), blockBytes_, offset) != int64_t(blockBytes_)) return false;
  if (!decodeBlock(block_.data(), decoded_.data())) return false;
  nextBlock_ = index + 1;
  decodedUsed_ = 0;
  decodedFrames_ = framesPerBlock_;
  return true;
}

int32_t BlockDecodingReader::read(Sample* buffer, int32_t frames) {
  if (frames <= 0) return 0;
  const int ch = channels();
  const int32_t end = length();
  int32_t done = 0;
  while (done < frames) {
    const int64_t at = int64_t{position_} + done;
    if (at < 0 || at >= end) {  // silence outside the data
      const int64_t quiet = at < 0 ? std::min<int64_t>(-at, frames - done) : frames - done;
      std::fill_n(buffer + size_t(done) * ch, size_t(quiet) * ch, 0);
      done += int32_t(quiet);
      continue;
    }
    if (decodedUsed_ == decodedFrames_ && !loadBlock(nextBlock_)) {
      std::fill_n(buffer + size_t(done) * ch, size_t(frames - done) * ch, 0);
      done = frames;
      break;
    }
    const int32_t n = std::min({frames - done, decodedFrames_ - decodedUsed_, int32_t(end - at)});
    std::copy_n(decoded_.data() + size_t(decodedUsed_) * ch, size_t(n) * ch,
                buffer + size_t(done) * ch);
    decodedUsed_ += n;
    done += n;
  }
  position_ =
      int32_t(std::min<int64_t>(int64_t{position_} + frames, std::numeric_limits<int32_t>::max()));
  return frames;
}

void BlockDecodingReader::seek(int32_t frame) {
  position_ = frame;
  restart();
  decodedUsed_ = decodedFrames_ = 0;
  const int64_t from = std::max(frame, 0);
  nextBlock_ = from / framesPerBlock_;
  if (from % framesPerBlock_ && loadBlock(nextBlock_))
    decodedUsed_ = int32_t(from % framesPerBlock_);
}

}  // namespace quillon
