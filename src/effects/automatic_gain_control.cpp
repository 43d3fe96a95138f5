#include "effects/automatic_gain_control.h"

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <numbers>

#include "document/block_store.h"
#include "document/block_writer.h"
#include "document/clip_editing.h"
#include "document/clip_reader.h"
#include "effects/decibel_table.h"
#include "effects/effect_messages.h"
#include "effects/effect_worker.h"
#include "effects/format_conversion.h"
#include "effects/gain_math.h"
#include "effects/level_tracker.h"
#include "effects/peak_limiter.h"
#include "platform/file.h"
#include "platform/saturate.h"

namespace quillon {
namespace {

constexpr int kTrackerWindow = 50;

// A scratch file in the working folder (where there is room for audio), unlinked at once so that
// it disappears with its handle whatever happens.
platform::File scratchFile() {
  std::string pattern = BlockStore::instance().folder() + "/tmpXXXXXX";
  platform::File file;
  const int fd = ::mkstemp(pattern.data());
  if (fd < 0) return file;
  ::close(fd);
  file.open(pattern, platform::File::Mode::ReadWrite);
  ::unlink(pattern.c_str());
  return file;
}

int highPassCoefficient(double frequency, int32_t rate) {
  if (rate <= 0) return 0;
  return int((1.0 - std::exp(-2.0 * std::numbers::pi * frequency / rate)) * 256.0);
}

// The writing pass: the raw samples again, each channel's gain moving block by block toward the
// target that the tracked level gives.
class SecondPass : public SampleSource {
 public:
  SecondPass(platform::File& samples, platform::File& levels, int32_t rate, int channels,
             int32_t block, int64_t blocks, std::vector<int> loudness)
      : SampleSource(rate, channels),
        samples_(samples),
        levels_(levels),
        block_(block),
        blocks_(blocks),
        loudness_(std::move(loudness)),
        tracker_(kTrackerWindow, -2, 8),
        gains_(size_t(channels), 0),
        increments_(size_t(channels), 0) {
    for (int i = 0; i <= kTrackerWindow; ++i)
      insertNextLevel();
    for (int c = 0; c < channels; ++c)
      gains_[size_t(c)] = target(c);
  }

  int32_t read(Sample* buffer, int32_t frames) override {
    if (frames <= 0) return 0;
    const int ch = channels();
    const size_t count = size_t(frames) * ch;
    const int64_t got = samples_.readAt(buffer, count * sizeof(Sample), position_ * ch * 4);
    std::fill(buffer + std::max<int64_t>(got, 0) / 4, buffer + count, 0);
    for (int32_t f = 0; f < frames; ++f, ++position_) {
      if (position_ % block_ == 0) startBlock();
      for (int c = 0; c < ch; ++c) {
        buffer[f * ch + c] = splitMultiply(gains_[size_t(c)], buffer[f * ch + c]);
        gains_[size_t(c)] += increments_[size_t(c)];
      }
    }
    return frames;
  }

  int32_t position() override { return int32_t(std::min<int64_t>(position_, INT32_MAX)); }
  int32_t length() override { return int32_t(std::min<int64_t>(blocks_ * block_, INT32_MAX)); }

 private:
  static int clamp(int64_t v) { return clampDecibels(v); }

  int32_t target(int c) const {
    const int s = tracker_.smoothed();
    return DecibelTable::instance().amplitude(
        clamp(AutomaticGainControlJob::curve(clamp(tracker_.current() - s)) +
              clamp(-s - loudness_[size_t(c)])));
  }

  // Levels of the next block relative to each channel's loudness; the louder of the first two
  // channels goes into the tracker.
  bool insertNextLevel() {
    std::vector<int8_t> record(loudness_.size());
    if (record.empty() ||
        levels_.readAt(record.data(), record.size(), levelOffset_) != int64_t(record.size())) {
      tracker_.advance();
      return false;
    }
    levelOffset_ += int64_t(record.size());
    int level = -127;
    for (size_t c = 0; c < std::min<size_t>(record.size(), 2); ++c) {
      level = std::max(level, clamp(record[c] - loudness_[c]));
    }
    tracker_.insert(level);
    return true;
  }

  void startBlock() {
    const int64_t remaining = blocks_ - done_;
    for (int c = 0; c < channels(); ++c) {
      const int32_t gain = gains_[size_t(c)];
      increments_[size_t(c)] = remaining > 1
                                   ? int32_t((int64_t{target(c)} - gain) / (block_ + block_ / 2))
                                   : -(gain / block_);
    }
    ++done_;
    if (blocks_ - done_ > kTrackerWindow) {
      insertNextLevel();
    } else {
      tracker_.advance();
    }
  }

  platform::File& samples_;
  platform::File& levels_;
  int32_t block_;
  int64_t blocks_;
  std::vector<int> loudness_;
  LevelTracker tracker_;
  std::vector<int32_t> gains_;
  std::vector<int32_t> increments_;
  int64_t position_ = 0;
  int64_t done_ = 0;
  int64_t levelOffset_ = 0;
};

}  // namespace

AutomaticGainControlJob::AutomaticGainControlJob(Ref<WaveDocument> document)
    : Job("Automatic Gain Control"), document_(std::move(document)) {}

int32_t AutomaticGainControlJob::blockFrames(int32_t sampleRate) {
  return std::clamp(sampleRate / 50, 20, 8192);
}

int AutomaticGainControlJob::curve(int x) {
  if (x < -9) return 5;
  if (x <= 1) return x < 0 ? (-x + 1) / 2 : -((x + 1) / 2);  // −x / 2, halves away from zero
  return std::max(-(x - 1), -127);
}

int AutomaticGainControlJob::gatedMedian(const std::vector<int64_t>& histogram) {
  auto count = [&](int level) { return histogram[size_t(level + 128)]; };
  // Walks up from `from`, dropping counts, until at most `keep` remain; answers the level reached.
  auto walk = [&](int from, int64_t remaining, int64_t keep) {
    int level = from;
    while (remaining > keep && level < 127)
      remaining -= count(level++);
    return level;
  };
  int64_t total = 0;
  for (int level = -127; level <= 127; ++level)
    total += count(level);
  const int loudest = walk(-127, total, (total + 8) >> 3);
  const int gate = loudest > -113 ? loudest - 15 : -127;
  int64_t above = 0;
  for (int level = gate; level <= 127; ++level)
    above += count(level);
  return clampDecibels(walk(gate, above, (above + 2) >> 1));
}

JobResult AutomaticGainControlJob::run() {
  setLine(messages::kPerformingAgc, 0);
  setLine(messages::kPleaseWait, 1);
  const int32_t a = document_->selectionStart, b = document_->selectionEnd;
  if (b <= a) return JobResult::Done;
  Clip range;
  copyRange(document_->audio, a, b, range);
  auto source = makeRef<ClipReader>(range);
  Clip processed;
  auto sink =
      makeRef<BlockWriter>(processed, document_->audio.sampleRate, document_->audio.channels);
  if (source->status() != SourceStatus::Ok) return readFailed(*this);
  if (sink->status() != 0) return writeFailed(*this, sink->ioError());

  const int32_t block = blockFrames(source->sampleRate());
  platform::File samples = scratchFile(), levels = scratchFile();
  if (!samples.isOpen() || !levels.isOpen()) return writeFailed(*this, errno ? errno : EIO);
  const int k1 = highPassCoefficient(450, source->sampleRate());
  const int k2 = highPassCoefficient(2200, source->sampleRate());
  const int ch = source->channels();
  std::vector<Sample> buffer(size_t(std::max<int>(ch, sink->channels())) * block);
  std::vector<int64_t> lowState(size_t(ch), 0), highState(size_t(ch), 0);
  std::vector<std::vector<int64_t>> histograms(size_t(ch), std::vector<int64_t>(256, 0));
  const double scale = 1.0 / (2.0 * std::max(source->length(), 1));

  // Analysis.
  int64_t blocks = 0, sampleBytes = 0;
  std::vector<int8_t> record(static_cast<size_t>(ch));
  for (bool analysed = false; !analysed;) {
    if (checkCancelled()) return JobResult::Cancelled;
    if (source->read(buffer.data(), block) < 0) return readFailed(*this);
    setProgress(source->position() * scale);
    const size_t bytes = size_t(block) * ch * sizeof(Sample);
    if (!samples.writeAt(buffer.data(), bytes, sampleBytes))
      return writeFailed(*this, samples.error());
    sampleBytes += int64_t(bytes);
    for (int c = 0; c < ch; ++c) {
      int64_t& d = lowState[size_t(c)];
      int64_t& e = highState[size_t(c)];
      for (int32_t i = 0; i < block; ++i) {
        Sample& x = buffer[size_t(i) * ch + c];
        const int64_t f = x - (d >> 8);
        const int64_t l = f - (e >> 8);
        x = saturate32(f + l);
        d += f * k1;
        e += l * k2;
      }
      const int level = blockLevel(buffer.data() + c, size_t(block), size_t(ch));
      ++histograms[size_t(c)][size_t(level + 128)];
      record[size_t(c)] = int8_t(level);
    }
    if (!levels.writeAt(record.data(), record.size(), blocks * ch))
      return writeFailed(*this, levels.error());
    ++blocks;
    analysed = source->position() >= source->length();
  }
  std::vector<int> loudness;
  for (const auto& histogram : histograms)
    loudness.push_back(gatedMedian(histogram));

  // Writing: the second pass, in the sink's format, limited to 16-bit full scale.
  auto secondPass = makeRef<SecondPass>(samples, levels, source->sampleRate(), ch, block, blocks,
                                        std::move(loudness));
  Ref<SampleSource> stream =
      limitTo(convertFormat(secondPass, sink->sampleRate(), sink->channels()), kFullScale16);
  processed_ = int64_t{blocks} * block;
  const int64_t wanted = int64_t{b} - a;  // the rest of the last block is padding
  int64_t written = 0;
  while (stream->position() < stream->length()) {
    if (checkCancelled()) return JobResult::Cancelled;
    if (stream->read(buffer.data(), block) < 0) return readFailed(*this);
    const auto n = int32_t(std::min<int64_t>(block, wanted - written));
    if (n > 0 && !sink->write(buffer.data(), n)) return writeFailed(*this, sink->ioError());
    written += std::max(n, 0);
    setProgress(0.5 + secondPass->position() * scale);
  }
  if (checkCancelled()) return JobResult::Cancelled;
  if (!sink->finish()) return writeFailed(*this, sink->ioError());
  replaceRange(document_->audio, a, b, processed);
  return JobResult::Done;
}

}  // namespace quillon
