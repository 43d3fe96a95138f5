#include "shell/cli_sound.h"

#include <cstdio>
#include <cstdlib>

#include "audio_io/audio_settings.h"
#include "audio_io/system_audio_devices.h"
#include "document/edit_commands.h"
#include "shell/command_table.h"
#include "shell/editor.h"

namespace quillon {
namespace {

constexpr int kLoopMilliseconds = 20;

// A flag word: "1" or "0".
bool parseFlag(const std::string& text, bool& flag) {
  if (text != "0" && text != "1") return false;
  flag = text == "1";
  return true;
}

bool parseNumber(const std::string& text, long low, long high, long& number) {
  char* end = nullptr;
  number = std::strtol(text.c_str(), &end, 10);
  return !text.empty() && !*end && number >= low && number <= high;
}

}  // namespace

CliSound::CliSound(std::ostream& err, volatile std::sig_atomic_t& interrupted)
    : err_(err), interrupted_(interrupted) {}

CliSound::~CliSound() {
  transport_.reset();
  notices_.runPending();
}

Transport& CliSound::transport() {
  if (!transport_) transport_ = std::make_unique<Transport>(notices_, systemAudioDevices());
  return *transport_;
}

int CliSound::fail(const std::string& text) {
  err_ << "quillon-cli: " << text << "\n";
  return 2;
}

void CliSound::play(WaveDocument& document) {
  Transport& t = transport();
  // The main window's cursor follows the play position.
  t.setPositionFollower(
      [playing = Ref<WaveDocument>(&document)](int32_t frame) { playing->cursor = frame; });
  t.play(document);
}

int CliSound::playStep(Editor& editor) {
  if (!editor.dispatchCommand(command::kPlay)) return fail("\"play\" is not available now");
  Transport& t = transport();
  if (!t.lastError().empty())
    return fail("the sound device could not be started: " + t.lastError());
  while (t.isPlaying()) {
    if (interrupted_) {
      t.stop();
      return 1;
    }
    notices_.waitAndRun(kLoopMilliseconds);
  }
  return 0;
}

int CliSound::recordStep(Editor& editor, const std::map<std::string, std::string>& words) {
  // The words set what Record Control's "Advanced Settings" keep, as its OK does.
  long seconds = 0, threshold = 0;
  bool flag = false;
  for (const auto& [name, value] : words) {
    if (name == "seconds") {
      if (!parseNumber(value, 1, 24 * 3600, seconds)) return fail("seconds must be 1 or more");
    } else if (name == "threshold") {
      if (!parseNumber(value, settings::kThresholdMinimum, settings::kThresholdMaximum,
                       threshold)) {
        return fail("the threshold must be between -40 and -6 dB");
      }
      settings::kRecorderThreshold.write(int32_t(threshold));
    } else {
      if (!parseFlag(value, flag)) return fail(name + " must be 0 or 1");
      if (name == "autotrim") settings::kRecorderAutotrim.write(flag);
      if (name == "vor") settings::kRecorderVor.write(flag);
      if (name == "autostart") settings::kRecorderAutostart.write(flag);
    }
  }
  recordSeconds_ = int32_t(seconds);
  recordFailed_ = false;
  const bool ran = editor.dispatchCommand(command::kRecord);
  if (recordFailed_) return 2;
  if (!ran) return fail("\"record\" is not available now");
  return editor.lastCommandDone() ? 0 : 1;
}

// Records until the time is up, Ctrl-C, or a file input has given all it has; then the
// recording takes the place of the selection (or goes in at the cursor) as the action "Record".
bool CliSound::record(DocumentView& view) {
  WaveDocument* document = view.document();
  if (!document) return false;
  Transport& t = transport();
  if (!t.startRecording(document->audio.sampleRate, document->audio.channels,
                        recordSeconds_ * 1000)) {
    recordFailed_ = true;
    fail("the sound input could not be started: " + t.lastError());
    return false;
  }
  Recorder& recorder = t.recorder();
  while (recorder.isActive() && !interrupted_ && !recorder.inputExhausted()) {
    notices_.waitAndRun(kLoopMilliseconds);
  }
  interrupted_ = 0;  // Ctrl-C ended the recording, not the run
  t.stopRecording();
  notices_.runPending();
  const Clip& recorded = t.recording();
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%.3f",
                double(recorded.length()) / std::max(recorded.sampleRate, 1));
  err_ << "quillon-cli: recorded " << seconds << " s, " << recorder.dropouts()
       << (recorder.dropouts() == 1 ? " dropout" : " dropouts") << "\n";
  if (!t.lastError().empty()) {
    recordFailed_ = true;
    fail(t.lastError());
    return false;
  }
  if (recorded.length() == 0) return false;
  acceptRecording(view, recorded);
  return true;
}

}  // namespace quillon
