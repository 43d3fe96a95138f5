#include "shell/clip_services.h"

#include "document/wave_document.h"
#include "effects/stream_transfer.h"
#include "formats/open_pipeline.h"
#include "platform/job.h"

namespace quillon {
namespace {

class PipelineClipServices : public ClipServices {
 public:
  JobResult loadFile(const std::string& path, Clip& clip, Interaction& owner) override {
    FileLoader loader;
    Ref<WaveDocument> loaded = WaveDocument::createFromFile(path, owner, loader);
    if (loaded->loadFailed) return JobResult::Failed;
    clip = std::move(loaded->audio);
    return JobResult::Done;
  }

  JobResult convert(Clip& clip, int32_t sampleRate, int channels, Interaction& owner) override {
    ClipConversionJob job(clip, sampleRate, channels);
    return runJob(job, owner);
  }

  std::vector<FileChooserRequest::FileType> openableTypes() const override {
    return openableFileTypes();
  }
};

}  // namespace

std::unique_ptr<ClipServices> makeClipServices() {
  return std::make_unique<PipelineClipServices>();
}

}  // namespace quillon
