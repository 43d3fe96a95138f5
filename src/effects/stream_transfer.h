#pragma once

#include <string>

#include "document/clip.h"
#include "document/sample_stream.h"
#include "platform/job.h"
#include "platform/ref_counted.h"

namespace quillon {

// The one loop that copies a source into a sink: loading a file into a block, saving a document
// to a file, converting a clip to another format. The source is first adapted to the sink
// (channels reduced, rate converted, channels expanded) and, when its peak bound passes 16-bit
// full scale, limited to it. It moves length − position frames in steps of 8192, asking for
// cancel before each step. Fails on an unusable source or sink, a read that failed, or a sink
// that lost data (including when it is finished here).
JobResult TransferStream(Job& job, const std::string& text, Ref<SampleSource> source,
                         Ref<SampleSink> sink);

// Converts a clip to a rate and channel count under a job titled "Converting Rate" (Paste and
// Insert File use it): the clip becomes one Segment over a new block. Nothing happens, with
// result Done, when the format already matches; on cancel or failure the clip stays as it was.
class ClipConversionJob : public Job {
 public:
  ClipConversionJob(Clip& clip, int32_t sampleRate, int channels);

 protected:
  JobResult run() override;

 private:
  Clip& clip_;
  int32_t rate_;
  int channels_;
};

}  // namespace quillon
