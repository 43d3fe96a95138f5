#include "effects/gain_effects.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "document/block_writer.h"
#include "document/clip_editing.h"
#include "document/clip_reader.h"
#include "effects/effect_messages.h"
#include "effects/effect_worker.h"
#include "effects/gain_filter.h"

namespace quillon {
namespace {

constexpr int32_t kBlockFrames = 8192;

// Frame i of `out` is frame n − 1 − i of `in`, channels in their order.
void reverseFrames(const Sample* in, Sample* out, int32_t n, int ch) {
  if (ch == 1) {
    std::reverse_copy(in, in + n, out);
  } else if (ch == 2) {
    for (int32_t i = 0; i < n; ++i) {
      out[2 * i] = in[2 * (n - 1 - i)];
      out[2 * i + 1] = in[2 * (n - 1 - i) + 1];
    }
  } else {
    for (int32_t i = 0; i < n; ++i)
      std::copy_n(in + size_t(n - 1 - i) * ch, ch, out + size_t(i) * ch);
  }
}

class EnvelopeDescriptor : public EffectDescriptor {
 public:
  explicit EnvelopeDescriptor(std::vector<EnvelopePoint> points) : points_(std::move(points)) {}
  std::string name() const override { return messages::kEnvelope; }
  Ref<EffectFilter> makeFilter(Ref<SampleSource> source) const override {
    return makeRef<EnvelopeFilter>(std::move(source), points_);
  }

 private:
  std::vector<EnvelopePoint> points_;
};

}  // namespace

void amplify(WaveDocument& document, int32_t percent) {
  scaleRange(document.audio, document.selectionStart, document.selectionEnd, percent);
}

int64_t peakOf(const Sample* samples, size_t count) {
  Sample largest = 0, smallest = 0;
  for (size_t i = 0; i < count; ++i) {
    largest = std::max(largest, samples[i]);
    smallest = std::min(smallest, samples[i]);
  }
  return std::max<int64_t>(largest, -int64_t{smallest});
}

int32_t normalizePercent(int64_t peak, int32_t levelPercent) {
  if (peak <= 0) return 100;
  return int32_t(std::min<int64_t>((int64_t{levelPercent} * kFullScale16) / peak, 400));
}

NormalizeJob::NormalizeJob(Ref<WaveDocument> document, int32_t levelPercent)
    : Job("Normalize"), document_(std::move(document)), level_(levelPercent) {}

JobResult NormalizeJob::run() {
  setLine(messages::kNormalizing, 0);
  setLine(messages::kPleaseWait, 1);
  const int32_t a = document_->selectionStart, b = document_->selectionEnd;
  if (a >= b) return JobResult::Done;
  const int32_t from = std::max(a, 0);
  const int64_t total = std::max<int64_t>(int64_t{b} - from, 1);
  auto reader = makeRef<ClipReader>(document_->audio);
  reader->seek(from);
  const int ch = reader->channels();
  std::vector<Sample> buffer(size_t(kBlockFrames) * ch);
  int64_t peak = 0;
  for (int64_t done = 0; done < total;) {
    if (checkCancelled()) return JobResult::Cancelled;
    const auto n = int32_t(std::min<int64_t>(total - done, kBlockFrames));
    if (reader->read(buffer.data(), n) < 0) return readFailed(*this);
    peak = std::max(peak, peakOf(buffer.data(), size_t(n) * ch));
    done += n;
    setProgress(double(done) / double(total));
  }
  applied_ = normalizePercent(peak, level_);
  scaleRange(document_->audio, a, b, applied_);
  return JobResult::Done;
}

ReverseJob::ReverseJob(Ref<WaveDocument> document)
    : Job("Reverse"), document_(std::move(document)) {}

JobResult ReverseJob::run() {
  setLine(messages::kReversingSound, 0);
  setLine(messages::kPleaseWait, 1);
  const int32_t a = document_->selectionStart, b = document_->selectionEnd;
  if (b <= a) return JobResult::Done;
  auto reader = makeRef<ClipReader>(document_->audio);
  Clip reversed;
  auto writer =
      makeRef<BlockWriter>(reversed, document_->audio.sampleRate, document_->audio.channels);
  const int ch = reader->channels();
  std::vector<Sample> in(size_t(kBlockFrames) * ch), out(in.size());
  const double step = 10000.0 / double(int64_t{b} - a);
  double progress = 0;
  int64_t remaining = int64_t{b} - a, p = b;
  while (remaining > 0) {
    if (checkCancelled()) return JobResult::Cancelled;
    progress += step;
    setProgress(progress);
    const auto n = int32_t(std::min<int64_t>(remaining, kBlockFrames));
    p -= n;
    reader->seek(int32_t(p));
    if (reader->read(in.data(), n) < 0) return readFailed(*this);
    reverseFrames(in.data(), out.data(), n, ch);
    if (!writer->write(out.data(), n)) return writeFailed(*this, writer->ioError());
    remaining -= n;
  }
  if (checkCancelled()) return JobResult::Cancelled;
  if (!writer->finish()) return writeFailed(*this, writer->ioError());
  replaceRange(document_->audio, a, b, reversed);
  return JobResult::Done;
}

std::shared_ptr<const EffectDescriptor> fadeDescriptor(Fade fade, int32_t a, int32_t b) {
  const int32_t first = fade == Fade::In ? 0 : kUnityGain;
  return std::make_shared<EnvelopeDescriptor>(
      std::vector<EnvelopePoint>{{a, first}, {b, kUnityGain - first}});
}

FadeOutAndTrimJob::FadeOutAndTrimJob(Ref<WaveDocument> document)
    : EffectWorker("Fade Out", document,
                   fadeDescriptor(Fade::Out, document->selectionStart, document->selectionEnd)),
      document_(std::move(document)) {}

JobResult FadeOutAndTrimJob::run() {
  const JobResult result = EffectWorker::run();
  if (result == JobResult::Done) deleteFrom(document_->audio, document_->selectionEnd);
  return result;
}

}  // namespace quillon
