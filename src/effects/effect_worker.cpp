#include "effects/effect_worker.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "document/block_writer.h"
#include "document/clip_editing.h"
#include "document/clip_reader.h"
#include "document/document_messages.h"
#include "effects/effect_messages.h"
#include "platform/text_format.h"

namespace quillon {
namespace {

constexpr int32_t kBlockFrames = 8192;

}  // namespace

JobResult readFailed(Job& job) {
  job.reportError(messages::kCannotReadAudio);
  return JobResult::Failed;
}

JobResult writeFailed(Job& job, int error) {
  job.reportError(error == ENOSPC || error == EDQUOT
                      ? std::string(messages::kLowDiskBeforeAction)
                      : formatMessage(messages::kCannotWriteAudio, {std::strerror(error)}));
  return JobResult::Failed;
}

JobResult copyBlocks(Job& job, SampleSource& source, SampleSink& sink, int32_t a, int32_t b) {
  job.setLine(messages::kPleaseWait, 1);
  if (a > 0) source.seek(a);
  const int64_t total = int64_t{b} - a;
  std::vector<Sample> buffer(size_t(kBlockFrames) * source.channels());
  for (int64_t done = 0;;) {
    if (job.checkCancelled()) return JobResult::Cancelled;
    if (done >= total) return JobResult::Done;
    const auto n = int32_t(std::min<int64_t>(total - done, kBlockFrames));
    if (source.read(buffer.data(), n) < 0) return readFailed(job);
    if (!sink.write(buffer.data(), n)) return writeFailed(job, sink.ioError());
    done += n;
    job.setProgress(double(done) / double(total));
  }
}

void selectAllWhenNothingSelected(WaveDocument& document) {
  if (document.hasSelection()) return;
  document.selectionStart = 0;
  document.selectionEnd = document.audio.length();
}

EffectWorker::EffectWorker(std::string title, Ref<WaveDocument> document,
                           std::shared_ptr<const EffectDescriptor> descriptor)
    : Job(std::move(title)), document_(std::move(document)), descriptor_(std::move(descriptor)) {}

JobResult EffectWorker::run() {
  const int32_t a = document_->selectionStart, b = document_->selectionEnd;
  if (b <= a) return JobResult::Done;
  setLine(descriptor_->name(), 0);
  Ref<EffectFilter> filter = descriptor_->makeFilter(makeRef<ClipReader>(document_->audio));
  if (filter->status() != SourceStatus::Ok) return JobResult::Failed;
  Clip processed;
  auto writer =
      makeRef<BlockWriter>(processed, document_->audio.sampleRate, document_->audio.channels);
  const JobResult result = copyBlocks(*this, *filter, *writer, a, b);
  if (result != JobResult::Done) return result;
  if (!writer->finish()) return writeFailed(*this, writer->ioError());
  replaceRange(document_->audio, a, b, processed);
  return JobResult::Done;
}

}  // namespace quillon
