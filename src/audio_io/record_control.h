#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "audio_io/play_control.h"
#include "audio_io/recorder.h"
#include "platform/form.h"

namespace quillon {

// Record Control's "Advanced Settings": "Auto Start Recording" ("Autostart"), "AutoTrim
// Recording" ("Autotrim"), "Voice Activated Recording" ("Vor") and the "Threshold" (−40 … −6 dB),
// all stored by OK.
extern const Form kAdvancedRecordSettingsForm;

// The Record Control dialog without its window: Play Control over a recording of its own (the
// document's rate and channels, empty at first) and a private recorder. Record takes from the
// position on: what lay before it stays, what lay after it is replaced by the take. The input
// device, its input and the record volume are kept under "Settings" ("RecordDevice",
// "RecordDeviceChannel", "RecordVolume"); the recorder's options under "Recorder".
class RecordControl : public PlayControl, private RecorderListener {
 public:
  RecordControl(NoticePoster& poster, AudioDevices& devices, Interaction& interaction,
                int32_t sampleRate, int channels);
  ~RecordControl() override;

  // Record (F8): a take from the position on. Retake (F6): from 0. False when no input opened
  // (lastError says why).
  bool record() { return startTake(position_); }
  bool retake() { return startTake(0); }
  // Stops the player and the recorder; a take in progress becomes part of the recording.
  void stop() override;
  bool isRecording() const { return recorder_->isActive(); }
  // Recorder::kIdle, kWaiting (for sound) or kRecording.
  int recorderState() const { return recorder_->state(); }
  // Losses of the input device during the take in progress or the last one.
  int dropouts() const { return recorder_->dropouts(); }
  const std::string& lastError() const { return error_; }
  int32_t length() const override;

  // "[Default Sound In]" and the input devices (lists them: call it when the dialog opens);
  // the stored device is chosen when it is among them.
  std::vector<std::string> inputNames();
  int inputDevice() const { return inputDevice_; }
  void setInputDevice(int number);
  // The inputs the chosen device offers: the device layer gives one input per device, its own.
  std::vector<std::string> channelNames() const;
  int channel() const { return channel_; }
  void setChannel(int channel) { channel_ = channel; }
  int recordVolume() const { return recordVolume_; }
  void setRecordVolume(int decibels);

  // "Advanced Settings" through the interaction; OK stores its four values.
  bool editAdvancedSettings();
  // The dialog has opened: with "Autostart" on, recording starts at once.
  void opened();
  // Also stores "RecordDevice", "RecordDeviceChannel" and "RecordVolume".
  void storeSettings() override;

  // The recording, with the take in progress ended first.
  const Clip& recording();
  Recorder& recorder() { return *recorder_; }

 private:
  class TakeSink;

  bool startTake(int32_t frame);
  void endTake();
  void beforePlaying() override;

  void recorderRecording() override { tellState(); }
  void recorderWaiting() override { tellState(); }
  void recorderStopped() override;
  void recorderPosition(int32_t milliseconds) override;
  void recorderLevels(const LevelRecord& levels) override { tellLevels(levels); }

  std::unique_ptr<Recorder> recorder_;
  std::vector<std::string> inputNames_;
  int inputDevice_ = 0;
  int channel_ = 0;
  int recordVolume_ = 0;
  std::string error_;
  // The take in progress: it replaces the recording from takeStart_ on.
  Ref<TakeSink> take_;
  Clip taken_;
  int32_t takeStart_ = 0;
};

}  // namespace quillon
