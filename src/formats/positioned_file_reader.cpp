#include "formats/positioned_file_reader.h"

#include <algorithm>
#include <limits>

namespace quillon {
namespace {

constexpr int32_t kFramesPerStep = 8192;

int32_t toFrames(int64_t frames) {
  return static_cast<int32_t>(std::clamp<int64_t>(frames, 0, std::numeric_limits<int32_t>::max()));
}

}  // namespace

PositionedFileReader::PositionedFileReader(platform::File file, const Layout& layout)
    : SampleSource(layout.sampleRate, layout.channels),
      file_(std::move(file)),
      encoding_(layout.encoding),
      dataStart_(layout.dataStart),
      sizeFieldOffset_(layout.sizeFieldOffset),
      bytesPerFrame_(channels() * bytesPerSample(layout.encoding)),
      fileOffset_(layout.dataStart) {
  if (bytesPerFrame_ <= 0 || layout.channels <= 0) {
    setStatus(SourceStatus::Corrupt);
    bytesPerFrame_ = 2;
  }
  declaredFrames_ = layout.dataBytes < 0 ? -1 : framesThere(layout.dataBytes);
  setPeakBound(peakBoundOf(encoding_));
  buffer_.resize(size_t(kFramesPerStep) * size_t(bytesPerFrame_));
}

// A declared size is believed only as far as the file holds data: a header that claims more
// than the file has (a hostile or a truncated file) yields the frames that are there.
int64_t PositionedFileReader::framesThere(int64_t declaredBytes) {
  const int64_t there = std::max<int64_t>(file_.size() - dataStart_, 0);
  return std::min(declaredBytes, there) / bytesPerFrame_;
}

int32_t PositionedFileReader::length() {
  if (declaredFrames_ >= 0) return toFrames(declaredFrames_);
  if (sizeFieldOffset_ >= 0) {
    uint8_t field[4];
    if (file_.readAt(field, 4, sizeFieldOffset_) == 4) {
      const auto size = int32_t(uint32_t(field[0]) | uint32_t(field[1]) << 8 |
                                uint32_t(field[2]) << 16 | uint32_t(field[3]) << 24);
      if (size >= 0) {
        declaredFrames_ = framesThere(size);
        return toFrames(declaredFrames_);
      }
    }
  }
  return toFrames((file_.size() - dataStart_) / bytesPerFrame_);
}

int32_t PositionedFileReader::read(Sample* buffer, int32_t frames) {
  if (frames <= 0) return 0;
  const int ch = channels();
  const int64_t oldPosition = position_;
  const int64_t newPosition = oldPosition + frames;
  position_ = toFrames(newPosition);

  // Silence before the start.
  const int64_t lead = std::clamp<int64_t>(-oldPosition, 0, frames);
  std::fill_n(buffer, size_t(lead) * ch, 0);
  Sample* out = buffer + size_t(lead) * ch;
  const int64_t wanted = frames - lead;

  // Frames the data holds from here on.
  int64_t take = wanted;
  if (declaredFrames_ >= 0) {
    take = std::clamp<int64_t>(declaredFrames_ - std::max<int64_t>(oldPosition, 0), 0, wanted);
  }
  int64_t delivered = 0;
  while (delivered < take) {
    const int64_t step = std::min<int64_t>(take - delivered, kFramesPerStep);
    const int64_t got = file_.readAt(buffer_.data(), size_t(step) * bytesPerFrame_, fileOffset_);
    const int64_t whole = got > 0 ? got / bytesPerFrame_ : 0;
    decodeSamples(encoding_, buffer_.data(), size_t(whole) * ch, out + size_t(delivered) * ch);
    fileOffset_ += whole * bytesPerFrame_;
    delivered += whole;
    if (whole < step) break;  // the file ends early
  }
  std::fill(out + size_t(delivered) * ch, out + size_t(wanted) * ch, 0);
  return frames;
}

void PositionedFileReader::seek(int32_t frame) {
  position_ = frame;
  fileOffset_ =
      frame > 0 ? dataStart_ + int64_t{std::min(frame, length())} * bytesPerFrame_ : dataStart_;
}

}  // namespace quillon
