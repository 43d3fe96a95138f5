#include "formats/vox.h"

#include <algorithm>
#include <vector>

#include "formats/headered_file_writer.h"
#include "platform/file.h"

namespace quillon {
namespace {

constexpr int32_t kSteps[49] = {16,  17,  19,  21,  23,  25,   28,   31,   34,   37,  41,  45,  50,
                                55,  60,  66,  73,  80,  88,   97,   107,  118,  130, 143, 157, 173,
                                190, 209, 230, 253, 279, 307,  337,  371,  408,  449, 494, 544, 598,
                                658, 724, 796, 876, 963, 1060, 1166, 1282, 1411, 1552};
constexpr int kIndexChange[8] = {-1, -1, -1, -1, 2, 4, 6, 8};

int32_t multiplier(int nibble) {
  const int32_t m = (2 * (nibble & 7) + 1) * 16;
  return (nibble & 8) ? -m : m;
}

constexpr int32_t kFramesPerStep = 8192;

class VoxReader : public SampleSource {
 public:
  VoxReader(platform::File file, int32_t sampleRate)
      : SampleSource(sampleRate, 1), file_(std::move(file)), bytes_(kFramesPerStep / 2 + 1) {}

  int32_t read(Sample* buffer, int32_t frames) override {
    if (frames <= 0) return 0;
    int32_t done = 0;
    for (; done < frames && position_ < 0; ++done, ++position_)
      buffer[done] = 0;
    while (done < frames) {
      if (pendingNibble_ >= 0) {
        buffer[done++] = codec_.decode(pendingNibble_);
        pendingNibble_ = -1;
        ++position_;
        continue;
      }
      const int32_t pairs = std::min<int32_t>((frames - done + 1) / 2, kFramesPerStep / 2);
      const int64_t got = file_.readAt(bytes_.data(), size_t(pairs), offset_);
      if (got <= 0) break;
      offset_ += got;
      for (int64_t i = 0; i < got; ++i) {
        buffer[done++] = codec_.decode(bytes_[size_t(i)] >> 4);
        ++position_;
        if (done == frames) {
          pendingNibble_ = bytes_[size_t(i)] & 15;  // the low nibble waits for the next read
          break;
        }
        buffer[done++] = codec_.decode(bytes_[size_t(i)] & 15);
        ++position_;
      }
    }
    std::fill(buffer + done, buffer + frames, 0);  // past the end
    position_ += frames - done;
    return frames;
  }

  int32_t position() override { return position_; }
  int32_t length() override { return int32_t(std::min<int64_t>(file_.size() * 2, 0x7FFFFFFF)); }

  void seek(int32_t frame) override {
    position_ = frame;
    pendingNibble_ = -1;
    offset_ = std::max(frame, 0) / 2;
    if (frame > 0 && frame % 2) {  // an odd frame starts at the low nibble of its byte
      uint8_t byte = 0;
      if (file_.readAt(&byte, 1, offset_) == 1) {
        codec_.decode(byte >> 4);
        pendingNibble_ = byte & 15;
        ++offset_;
      }
    }
  }

 private:
  platform::File file_;
  std::vector<uint8_t> bytes_;
  VoxCodec codec_;
  int32_t position_ = 0;
  int64_t offset_ = 0;
  int pendingNibble_ = -1;
};

class VoxEncoder : public DataEncoder {
 public:
  bool encode(const Sample* words, int32_t frames, std::vector<uint8_t>& out) override {
    for (int32_t i = 0; i < frames; ++i) {
      const int code = codec_.encode(words[i]);
      if (pendingNibble_ < 0) {
        pendingNibble_ = code;
      } else {
        out.push_back(uint8_t(pendingNibble_ << 4 | code));
        pendingNibble_ = -1;
      }
    }
    return true;
  }

 private:
  VoxCodec codec_;
  int pendingNibble_ = -1;  // an odd final sample is dropped
};

}  // namespace

Sample VoxCodec::decode(int nibble) {
  stepIndex_ = std::clamp(stepIndex_, 0, 48);
  predictor_ = predictor_ - (predictor_ >> 6) + multiplier(nibble) * kSteps[stepIndex_];
  stepIndex_ += kIndexChange[nibble & 7];
  return predictor_;
}

int VoxCodec::encode(Sample word) {
  stepIndex_ = std::clamp(stepIndex_, 0, 48);
  predictor_ -= predictor_ >> 6;
  const int32_t step = kSteps[stepIndex_];
  int64_t d = (int64_t{word} - predictor_) / step;
  int code = 0;
  if (d < 0) {
    code = 8;
    d = -d;
  }
  if (d >= 132) code |= 4, d -= 132;
  if (d >= 66) code |= 2, d -= 66;
  if (d >= 33) code |= 1;
  predictor_ += multiplier(code) * step;
  stepIndex_ += kIndexChange[code & 7];
  return code;
}

Ref<SampleSource> OpenVoxSource(const std::string& path, int32_t sampleRate) {
  platform::File file;
  if (!file.open(path, platform::File::Mode::Read))
    return makeRef<NullSource>(SourceStatus::CannotOpen);
  return makeRef<VoxReader>(std::move(file), sampleRate);
}

Ref<SampleSink> CreateVoxSink(const std::string& path, int32_t sampleRate) {
  return makeRef<HeaderedFileWriter>(path, sampleRate, 1, std::make_unique<VoxEncoder>(),
                                     HeaderBuilder());
}

}  // namespace quillon
