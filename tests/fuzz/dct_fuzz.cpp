// Dictation files of any content: every DCT header check and the DART wrapping, then the WAV
// reader on whatever was unwrapped. A converted file must never have shown a message.
#include <cstdlib>
#include <functional>

#include "formats/dictation_files.h"
#include "formats/wav.h"
#include "fuzz_file.h"
#include "platform/scripted_interaction.h"

namespace {

class ConvertJob : public quillon::Job {
 public:
  explicit ConvertJob(std::function<quillon::JobResult(quillon::Job&)> work)
      : Job("Loading Audio File Source"), work_(std::move(work)) {}

 protected:
  quillon::JobResult run() override { return work_(*this); }

 private:
  std::function<quillon::JobResult(quillon::Job&)> work_;
};

void convertAndRead(const std::function<quillon::JobResult(quillon::Job&)>& convert,
                    const std::string& wavPath) {
  quillon::ScriptedInteraction ui;
  ConvertJob job(convert);
  const quillon::JobResult result = quillon::runJob(job, ui);
  if (result == quillon::JobResult::Done) {
    if (!ui.shown.empty()) std::abort();
    quillon::fuzz::exercise(quillon::OpenWavSource(wavPath));
  } else if (result != quillon::JobResult::Failed || ui.shown.size() > 1) {
    std::abort();
  }
  quillon::platform::removeFile(wavPath);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = quillon::fuzz::inputFile(data, size);
  const std::string wavPath = path + ".wav";
  convertAndRead([&](quillon::Job& job) { return quillon::ConvertDctToWav(job, path, wavPath); },
                 wavPath);
  convertAndRead([&](quillon::Job& job) { return quillon::ConvertDartToWav(job, path, wavPath); },
                 wavPath);
  return 0;
}
