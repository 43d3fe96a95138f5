#include "shell/ui/record_session.h"

#include <chrono>
#include <cstdio>

#include "audio_io/audio_messages.h"
#include "audio_io/transport.h"
#include "document/edit_commands.h"
#include "document/wave_document.h"
#include "platform/job.h"

namespace quillon::ui {
namespace {

constexpr int kPollMs = 50;

// Runs until Cancel, the input's end (a file input) or the recorder stopping by itself.
class RecordJob final : public Job {
 public:
  explicit RecordJob(Transport& transport) : Job("Record"), transport_(transport) {}

 protected:
  JobResult run() override {
    setLine("Recording", 0);
    startMarquee();
    Recorder& recorder = transport_.recorder();
    const auto start = std::chrono::steady_clock::now();
    while (recorder.isActive() && !recorder.inputExhausted()) {
      const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
      char line[96];
      std::snprintf(line, sizeof line, "%.1f s recorded. Press Cancel to stop.", seconds.count());
      setLine(line, 1);
      if (waitTime(kPollMs) == WaitResult::Cancelled) break;
    }
    return JobResult::Done;
  }

 private:
  Transport& transport_;
};

}  // namespace

bool recordThroughTransport(DocumentView& view, Transport& transport, Interaction& interaction) {
  WaveDocument* document = view.document();
  if (!document) return false;
  view.stopPlayback();
  if (!transport.startRecording(document->audio.sampleRate, document->audio.channels, 0)) {
    interaction.messageBox(messages::kSoundDeviceErrorCaption, messages::kSoundDeviceError,
                           MessageIcon::Error, MessageButtons::Ok);
    return false;
  }
  RecordJob job(transport);
  runJob(job, interaction);
  transport.stopRecording();
  const Clip recorded = transport.recording();
  if (recorded.length() == 0) return false;
  acceptRecording(view, recorded);
  return true;
}

}  // namespace quillon::ui
