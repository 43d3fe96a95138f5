#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "audio_io/audio_device.h"
#include "audio_io/levels.h"
#include "audio_io/player.h"
#include "document/clip.h"
#include "platform/interaction.h"
#include "platform/notice_poster.h"

namespace quillon {

// What the Play Control and Record Control dialogs hear from their logic, on the user-interface
// thread.
class PlayControlListener {
 public:
  virtual ~PlayControlListener() = default;
  // The position or the length changed.
  virtual void positionChanged() {}
  virtual void levelsChanged(const LevelRecord& levels) { (void)levels; }
  // Playing, pausing, stopping, scanning or recording began or ended.
  virtual void stateChanged() {}
  // The audio itself changed (a take was added to the recording).
  virtual void audioChanged() {}
};

// The Play Control dialog without its window: the audio it plays (a Clip of its own), the
// position, a private player that keeps its device and volume under "Player" ("Device",
// "VolumeDB"), and what the buttons, keys, menu items and position bar do. The position is a
// frame of the audio; while the player runs it follows the frame being heard.
class PlayControl : protected PlayerListener {
 public:
  static constexpr int32_t kScanRampFrames = 8000;
  static constexpr int32_t kBarStepMilliseconds = 2000;
  static constexpr int32_t kEndLeadMilliseconds = 1500;
  static constexpr int kStepPercent = 5;

  // A scan plays through the speed ramp from `start` to `end` over kScanRampFrames: forward
  // +1.5 → +7.0, backward −0.5 → −7.0; from the pause loop gently, +1.1 → +3.0 and −0.1 → −3.0.
  struct ScanSpeeds {
    double start;
    double end;
  };
  static ScanSpeeds scanSpeeds(bool forward, bool fromPause);
  // What a scan plays: `audio` from `frame` through the speed ramp, kept within 16-bit full
  // scale (limited before the speed change, so that positions stay those of the audio).
  static Ref<SampleSource> scanSource(const Clip& audio, int32_t frame, ScanSpeeds speeds);

  PlayControl(NoticePoster& poster, AudioDevices& devices, Interaction& interaction);
  ~PlayControl() override;
  PlayControl(const PlayControl&) = delete;
  PlayControl& operator=(const PlayControl&) = delete;

  void setListener(PlayControlListener* listener) { listener_ = listener; }

  // The audio to play; stops the player and keeps the position within the new length.
  void setAudio(const Clip& audio);
  const Clip& audio() const { return audio_; }
  int32_t sampleRate() const { return audio_.sampleRate; }
  // The frames the position runs over (the recording's grows while it records).
  virtual int32_t length() const { return audio_.length(); }
  int32_t position() const { return position_; }
  int32_t positionMilliseconds() const;
  // The position bar: position / length × 100.
  int percent() const;

  // Play (F9): resumes the pause loop, else plays from the position.
  bool play();
  // Pause (F10): plays first when nothing plays, then loops the place audibly.
  bool pause();
  // Space: resumes the pause loop, else pauses.
  bool pauseOrResume();
  virtual void stop();
  // Start (Home) and End (End; while playing 1,500 ms before the end, so that the end is heard).
  void toStart();
  void toEnd();
  // Rewind and Forward held: the scan begins on the press and ends on the release, which returns
  // to what the player did before (stopped, playing, or the pause loop).
  bool beginScan(bool forward);
  void endScan();
  bool scanning() const { return scan_ != ScanFrom::None; }
  // Step Back and Step Forward: ±5 % of the length.
  void stepPercent(int percent);
  // The position bar: a line or page step of ±2,000 ms, a thumb at `percent`.
  void barStep(int direction);
  void setPercent(int percent);
  // Moves the position (a tap on the wave strip, the bar's ends); a running player follows.
  void setPosition(int32_t frame);

  bool isPlaying() const { return player_->isPlaying(); }
  bool isPaused() const { return player_->isPaused(); }

  // "[Default Sound Out]" and the output devices (lists them: call it when the dialog opens).
  std::vector<std::string> outputNames() { return player_->deviceNames(); }
  int outputDevice() { return player_->device().number; }
  void setOutputDevice(int number, const std::string& name);
  int volume() const { return player_->volume(); }
  void setVolume(int decibels) { player_->setVolume(decibels); }
  // Stores "Player"/"Device" and "Player"/"VolumeDB" (the dialog closes).
  virtual void storeSettings();

  Player& player() { return *player_; }
  Interaction& interaction() { return interaction_; }

 protected:
  // Before the player starts (Record Control ends a recording first).
  virtual void beforePlaying() {}
  void movePosition(int32_t frame);
  void tellPosition();
  void tellState();
  void tellLevels(const LevelRecord& levels);
  void tellAudio();
  // Shows "There was an unknown problem when starting the sound device.".
  void showDeviceError();

  void playerStarted(intptr_t user) override;
  void playerStopped(intptr_t user) override;
  void playerPaused(intptr_t user) override;
  void playerPosition(intptr_t user, int32_t milliseconds) override;
  void playerLevels(intptr_t user, const LevelRecord& levels) override;

  Clip audio_;
  int32_t position_ = 0;

 private:
  enum class ScanFrom { None, Stopped, Playing, Paused };

  bool startAt(int32_t frame);
  void followPlayer();
  // The frame a scan has reached after `heard` frames of it.
  int32_t scanPosition(int64_t heard) const;

  Interaction& interaction_;
  std::unique_ptr<Player> player_;
  PlayControlListener* listener_ = nullptr;
  ScanFrom scan_ = ScanFrom::None;
  int32_t scanStart_ = 0;
  ScanSpeeds scanSpeeds_{1, 1};
};

}  // namespace quillon
