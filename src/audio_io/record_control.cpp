#include "audio_io/record_control.h"

#include <algorithm>

#include "audio_io/audio_settings.h"
#include "document/block_writer.h"
#include "document/clip_editing.h"
#include "effects/frame_time.h"

namespace quillon {
namespace {

constexpr FormField kAdvancedRecordFields[] = {
    {.name = "autostart",
     .kind = FieldKind::Check,
     .label = "Auto Start Recording",
     .flag = &settings::kRecorderAutostart},
    {.name = "autotrim",
     .kind = FieldKind::Check,
     .label = "AutoTrim Recording",
     .flag = &settings::kRecorderAutotrim},
    {.name = "vor",
     .kind = FieldKind::Check,
     .label = "Voice Activated Recording",
     .flag = &settings::kRecorderVor},
    {.name = "threshold",
     .kind = FieldKind::Decibel,
     .label = "Threshold",
     .unit = "dB",
     .minimum = settings::kThresholdMinimum,
     .maximum = settings::kThresholdMaximum,
     .slider = true,
     .setting = &settings::kRecorderThreshold},
};

constexpr int32_t kVoiceActivatedSilence = 5000;

}  // namespace

const Form kAdvancedRecordSettingsForm = {.dialog = "LRecordDlgAdvanced",
                                          .caption = "Advanced Settings",
                                          .fields = kAdvancedRecordFields};

// Writes a take into a new block while counting its frames from `offset`, the take's start in
// the recording, so that the recorder's times are times of the whole recording.
class RecordControl::TakeSink final : public SampleSink {
 public:
  TakeSink(Clip& take, int32_t offset, int32_t sampleRate, int channels)
      : SampleSink(sampleRate, channels),
        writer_(makeRef<BlockWriter>(take, sampleRate, channels)),
        offset_(offset) {
    setFramesWritten(offset);
    setStatusBits(writer_->status());
  }

  bool write(const Sample* buffer, int32_t frames) override {
    const bool written = writer_->write(buffer, frames);
    follow();
    return written;
  }
  // The recording before the take stays: a cut ends at the take's start at the earliest.
  void seek(int32_t frame) override {
    writer_->seek(std::max(frame - offset_, 0));
    follow();
  }
  bool finish() override {
    writer_->finish();
    follow();
    return !failed();
  }

 private:
  void follow() {
    setFramesWritten(offset_ + writer_->framesWritten());
    if (writer_->failed()) fail(writer_->ioError());
  }

  Ref<BlockWriter> writer_;
  int32_t offset_;
};

RecordControl::RecordControl(NoticePoster& poster, AudioDevices& devices, Interaction& interaction,
                             int32_t sampleRate, int channels)
    : PlayControl(poster, devices, interaction),
      recorder_(std::make_unique<Recorder>(poster, devices)),
      channel_(settings::kRecordDeviceChannel.read()),
      recordVolume_(std::clamp(settings::kRecordVolume.read(), -36, 12)) {
  audio_.sampleRate = sampleRate;
  audio_.channels = uint8_t(std::clamp(channels, 1, 255));
  recorder_->setListener(this);
  recorder_->setVolume(recordVolume_);
}

RecordControl::~RecordControl() {
  recorder_->setListener(nullptr);
  recorder_->stop();
  take_ = nullptr;
}

int32_t RecordControl::length() const {
  return isRecording() ? std::max(audio_.length(), position_) : audio_.length();
}

// Inputs.

std::vector<std::string> RecordControl::inputNames() {
  inputNames_ = recorder_->deviceNames();
  const std::string stored = settings::kRecordDevice.read();
  const auto found = std::find(inputNames_.begin() + 1, inputNames_.end(), stored);
  inputDevice_ = found == inputNames_.end() ? 0 : int(found - inputNames_.begin());
  recorder_->setDevice(inputDevice_);
  return inputNames_;
}

void RecordControl::setInputDevice(int number) {
  inputDevice_ = std::clamp(number, 0, std::max(int(inputNames_.size()) - 1, 0));
  recorder_->setDevice(inputDevice_);
  channel_ = 0;
}

std::vector<std::string> RecordControl::channelNames() const {
  if (size_t(inputDevice_) < inputNames_.size()) return {inputNames_[size_t(inputDevice_)]};
  return {};
}

void RecordControl::setRecordVolume(int decibels) {
  recordVolume_ = std::clamp(decibels, -36, 12);
  recorder_->setVolume(recordVolume_);
}

void RecordControl::storeSettings() {
  PlayControl::storeSettings();
  if (size_t(inputDevice_) < inputNames_.size()) {
    settings::kRecordDevice.write(inputDevice_ == 0 ? "" : inputNames_[size_t(inputDevice_)]);
  }
  settings::kRecordDeviceChannel.write(channel_);
  settings::kRecordVolume.write(recordVolume_);
}

bool RecordControl::editAdvancedSettings() {
  DialogValues values;
  return askForm(interaction(), kAdvancedRecordSettingsForm, values);
}

void RecordControl::opened() {
  if (settings::kRecorderAutostart.read()) record();
}

// Takes.

void RecordControl::beforePlaying() {
  if (isRecording()) recorder_->stop();  // ends the take
}

bool RecordControl::startTake(int32_t frame) {
  error_.clear();
  PlayControl::stop();
  if (isRecording()) recorder_->stop();
  takeStart_ = std::clamp(frame, 0, audio_.length());
  taken_ = Clip();
  take_ = makeRef<TakeSink>(taken_, takeStart_, audio_.sampleRate, audio_.channels);
  recorder_->setVolume(recordVolume_);
  const int threshold = settings::kRecorderAutotrim.read()
                            ? std::clamp(settings::kRecorderThreshold.read(),
                                         settings::kThresholdMinimum, settings::kThresholdMaximum)
                            : Recorder::kOff;
  const int32_t silence =
      settings::kRecorderVor.read() ? kVoiceActivatedSilence : Recorder::kEndlessSilence;
  movePosition(takeStart_);
  if (!recorder_->start(take_, 0, threshold, silence)) {
    error_ = recorder_->lastError();
    take_ = nullptr;
    taken_ = Clip();
    tellState();
    return false;
  }
  tellState();
  return true;
}

// The recorder has stopped (asked to, or its input ended): the take joins the recording.
void RecordControl::endTake() {
  if (!take_) return;
  if (!take_->finish()) error_ = "The recording could not be written.";
  take_ = nullptr;  // the last reference: the take's block is complete
  if (taken_.length() > 0) {
    replaceRange(audio_, takeStart_, audio_.length(), taken_);
    position_ = takeStart_ + taken_.length();
  }
  taken_ = Clip();
  position_ = std::clamp(position_, 0, audio_.length());
  tellAudio();
  tellPosition();
}

void RecordControl::stop() {
  PlayControl::stop();
  recorder_->stop();
  tellState();
}

const Clip& RecordControl::recording() {
  recorder_->stop();
  return audio_;
}

void RecordControl::recorderStopped() {
  endTake();
  LevelRecord silent{audio_.channels, {}};
  silent.decibels.fill(int8_t(kSilentLevel));
  tellLevels(silent);
  tellState();
}

// While recording the position is the end of what is kept so far (the length grows with it).
void RecordControl::recorderPosition(int32_t milliseconds) {
  position_ = std::max(millisecondsToFrames(audio_.sampleRate, milliseconds), takeStart_);
  tellPosition();
}

}  // namespace quillon
