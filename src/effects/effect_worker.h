#pragma once

#include <cstdint>
#include <memory>

#include "document/sample_stream.h"
#include "document/wave_document.h"
#include "effects/effect_descriptor.h"
#include "platform/job.h"

namespace quillon {

// The block loop shared by every effect: copies the frames [a, b) (a below 0 counts as 0) from
// the source to the sink in blocks of at most 8192 frames, asking for cancel before every block,
// the first and one after the last included, and reporting progress after each. Fails, saying
// why, when a read failed or the sink lost data.
JobResult copyBlocks(Job& job, SampleSource& source, SampleSink& sink, int32_t a, int32_t b);

// The failures of a processing loop, told through the job before it fails: the document's audio
// could not be read, or the new block could not be written (`error` the system's reason; a full
// working folder shows the low-disk message). Both answer Failed.
JobResult readFailed(Job& job);
JobResult writeFailed(Job& job, int error);

// When the document has no selection, selects all of it (the cursor stays).
void selectAllWhenNothingSelected(WaveDocument& document);

// The generic effect job: runs the descriptor's filter over the document's selection [a, b),
// reading the document from a (so memory starts empty there and nothing is added after b), into
// a new block that replaces the range. An empty range changes nothing. The job's title is the
// undo action's name.
class EffectWorker : public Job {
 public:
  EffectWorker(std::string title, Ref<WaveDocument> document,
               std::shared_ptr<const EffectDescriptor> descriptor);

 protected:
  JobResult run() override;

 private:
  Ref<WaveDocument> document_;
  std::shared_ptr<const EffectDescriptor> descriptor_;
};

}  // namespace quillon
