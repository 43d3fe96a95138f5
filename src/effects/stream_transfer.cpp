#include "effects/stream_transfer.h"

#include <algorithm>
#include <vector>

#include "document/block_writer.h"
#include "document/clip_reader.h"
#include "effects/effect_messages.h"
#include "effects/format_conversion.h"
#include "effects/peak_limiter.h"

namespace quillon {
namespace {

constexpr int32_t kStepFrames = 8192;

}  // namespace

JobResult TransferStream(Job& job, const std::string& text, Ref<SampleSource> source,
                         Ref<SampleSink> sink) {
  job.setLine(text, 0);
  job.setLine(messages::kPleaseWait, 1);
  job.setProgress(0.0);
  if (source->status() != SourceStatus::Ok || (sink->status() & (kSinkNull | kSinkFailed))) {
    return JobResult::Failed;
  }
  Ref<SampleSource> adapted =
      limitTo(convertFormat(std::move(source), sink->sampleRate(), sink->channels()), kFullScale16);
  const int64_t total = int64_t{adapted->length()} - adapted->position();
  const double step = total > 0 ? double(kStepFrames) / double(total) : 1.0;
  std::vector<Sample> buffer(size_t(kStepFrames) * adapted->channels());
  double fraction = 0;
  for (int64_t moved = 0; moved < total;) {
    if (job.checkCancelled()) return JobResult::Cancelled;
    const auto n = int32_t(std::min<int64_t>(total - moved, kStepFrames));
    if (adapted->read(buffer.data(), n) < 0 || !sink->write(buffer.data(), n))
      return JobResult::Failed;
    moved += n;
    job.setProgress(fraction);
    fraction += step;
  }
  return sink->finish() ? JobResult::Done : JobResult::Failed;
}

ClipConversionJob::ClipConversionJob(Clip& clip, int32_t sampleRate, int channels)
    : Job(messages::kConvertingRate), clip_(clip), rate_(sampleRate), channels_(channels) {}

JobResult ClipConversionJob::run() {
  if (clip_.sampleRate == rate_ && clip_.channels == channels_) return JobResult::Done;
  Clip converted;
  auto writer = makeRef<BlockWriter>(converted, rate_, channels_);
  const JobResult result =
      TransferStream(*this, messages::kConvertingRate, makeRef<ClipReader>(clip_), writer);
  writer = nullptr;
  if (result == JobResult::Done) clip_ = std::move(converted);
  return result;
}

}  // namespace quillon
