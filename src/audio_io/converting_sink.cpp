#include "audio_io/converting_sink.h"

#include <algorithm>

#include "effects/format_conversion.h"

namespace quillon {

// The frames written so far, as a source whose length is not final while writing goes on. It
// reports a margin less than it holds, so that the rate stages, which read a little ahead of
// what they report, never read past what was written.
class FifoSource : public SampleSource {
 public:
  static constexpr int32_t kMargin = 1024;

  FifoSource(int32_t sampleRate, int channels) : SampleSource(sampleRate, channels) {}

  void push(const Sample* buffer, int32_t frames) {
    words_.insert(words_.end(), buffer, buffer + size_t(frames) * channels());
    written_ += frames;
  }
  void close() { closed_ = true; }

  int32_t read(Sample* buffer, int32_t frames) override {
    const int ch = channels();
    const int64_t have = std::clamp<int64_t>(written_ - position_, 0, frames);
    const size_t at = size_t(position_ - consumedBase_) * ch;
    std::copy_n(words_.begin() + ptrdiff_t(at), size_t(have) * ch, buffer);
    std::fill(buffer + size_t(have) * ch, buffer + size_t(frames) * ch, 0);
    position_ += frames;
    // Drop what was read, now and then, so the buffer does not grow with the recording.
    const int64_t drop = std::min(position_, written_) - consumedBase_;
    if (drop > 65536) {
      words_.erase(words_.begin(), words_.begin() + ptrdiff_t(size_t(drop) * ch));
      consumedBase_ += drop;
    }
    return frames;
  }
  int32_t position() override { return int32_t(position_); }
  int32_t length() override {
    return int32_t(closed_ ? written_ : std::max<int64_t>(written_ - kMargin, 0));
  }
  bool lengthUnknown() override { return !closed_; }

 private:
  std::vector<Sample> words_;
  int64_t consumedBase_ = 0;  // the frame words_ starts with
  int64_t written_ = 0;
  int64_t position_ = 0;
  bool closed_ = false;
};

ConvertingSink::ConvertingSink(Ref<SampleSink> target, int32_t sampleRate, int channels)
    : SampleSink(sampleRate, channels), target_(std::move(target)) {
  rebuild();
}

ConvertingSink::~ConvertingSink() {
  drain();
}

void ConvertingSink::rebuild() {
  fifo_ = makeRef<FifoSource>(sampleRate(), channels());
  converted_ = convertFormat(fifo_, target_->sampleRate(), target_->channels());
  produced_ = 0;
  scratch_.assign(size_t(8192) * std::max<int>(target_->channels(), channels()), 0);
}

bool ConvertingSink::write(const Sample* buffer, int32_t frames) {
  if (frames <= 0) return !(status() & kSinkFailed);
  fifo_->push(buffer, frames);
  addFramesWritten(frames);
  if (!pull(false)) fail(target_->ioError());
  return !(status() & kSinkFailed);
}

// Passes on the converted frames that are ready (all of them once the input is closed).
bool ConvertingSink::pull(bool all) {
  if (all) fifo_->close();
  const int32_t chunk = int32_t(scratch_.size() / std::max<int>(converted_->channels(), 1));
  for (;;) {
    const int64_t ready = int64_t{converted_->length()} - produced_;
    if (ready <= 0) return true;
    const int32_t n = int32_t(std::min<int64_t>(ready, chunk));
    converted_->read(scratch_.data(), n);
    produced_ += n;
    if (!target_->write(scratch_.data(), n)) return false;
  }
}

void ConvertingSink::seek(int32_t frame) {
  frame = std::clamp(frame, 0, framesWritten());
  if (!pull(true)) fail(target_->ioError());  // the target gets all it is due before the cut
  const int64_t at = int64_t{frame} * target_->sampleRate() / sampleRate();
  target_->seek(int32_t(std::min<int64_t>(at, target_->framesWritten())));
  setFramesWritten(frame);
  rebuild();
}

void ConvertingSink::drain() {
  if (!pull(true)) fail(target_->ioError());
  rebuild();
}

bool ConvertingSink::finish() {
  drain();
  return target_->finish() && !(status() & kSinkFailed);
}

}  // namespace quillon
