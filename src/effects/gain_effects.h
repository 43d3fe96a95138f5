#pragma once

#include <cstdint>
#include <memory>

#include "document/wave_document.h"
#include "effects/effect_descriptor.h"
#include "effects/effect_worker.h"
#include "platform/job.h"

namespace quillon {

// Amplify: the selection's segment gains times percent / 100; no sample is touched.
void amplify(WaveDocument& document, int32_t percent);

// The largest magnitude of `count` sample words: max(largest, −smallest), 0 for silence.
int64_t peakOf(const Sample* samples, size_t count);
// Normalize's amplification: (level × 0x7FFF0) / peak in percent, at most 400; 100 when the
// peak is 0 (nothing to change).
int32_t normalizePercent(int64_t peak, int32_t levelPercent);

// Normalize: scans the selection's peak, then amplifies it to `levelPercent` of full scale.
class NormalizeJob : public Job {
 public:
  NormalizeJob(Ref<WaveDocument> document, int32_t levelPercent);
  int32_t appliedPercent() const { return applied_; }

 protected:
  JobResult run() override;

 private:
  Ref<WaveDocument> document_;
  int32_t level_;
  int32_t applied_ = 100;
};

// Reverse: the selection's frames in reverse order (channels kept in order within a frame).
class ReverseJob : public Job {
 public:
  explicit ReverseJob(Ref<WaveDocument> document);

 protected:
  JobResult run() override;

 private:
  Ref<WaveDocument> document_;
};

// The fades: a two-point linear envelope over [a, b), named "Envelope".
enum class Fade { In, Out };
std::shared_ptr<const EffectDescriptor> fadeDescriptor(Fade fade, int32_t a, int32_t b);

// Fade Out and Trim: fades the selection out, then removes everything after it.
class FadeOutAndTrimJob : public EffectWorker {
 public:
  explicit FadeOutAndTrimJob(Ref<WaveDocument> document);

 protected:
  JobResult run() override;

 private:
  Ref<WaveDocument> document_;
};

}  // namespace quillon
