#include "audio_io/play_control.h"

#include <algorithm>

#include "audio_io/audio_messages.h"
#include "audio_io/audio_settings.h"
#include "document/clip_reader.h"
#include "effects/frame_time.h"
#include "effects/speed_stream.h"

namespace quillon {

PlayControl::ScanSpeeds PlayControl::scanSpeeds(bool forward, bool fromPause) {
  if (forward) return fromPause ? ScanSpeeds{1.1, 3.0} : ScanSpeeds{1.5, 7.0};
  return fromPause ? ScanSpeeds{-0.1, -3.0} : ScanSpeeds{-0.5, -7.0};
}

PlayControl::PlayControl(NoticePoster& poster, AudioDevices& devices, Interaction& interaction)
    : interaction_(interaction),
      player_(std::make_unique<Player>(
          poster, devices, PlayerSettings{settings::kPlayerDevice, settings::kPlayerVolumeDb})) {
  player_->addListener(this);
}

PlayControl::~PlayControl() {
  player_->removeListener(this);
  player_.reset();
}

void PlayControl::setAudio(const Clip& audio) {
  scan_ = ScanFrom::None;
  player_->stop();
  audio_ = audio;
  position_ = std::clamp(position_, 0, length());
  tellAudio();
  tellPosition();
}

int32_t PlayControl::positionMilliseconds() const {
  const int64_t rate = std::max(sampleRate(), 1);
  return int32_t(position_ / rate * 1000 + position_ % rate * 1000 / rate);
}

int PlayControl::percent() const {
  const int32_t total = length();
  return total > 0 ? int(int64_t{position_} * 100 / total) : 0;
}

// Playing.

bool PlayControl::startAt(int32_t frame) {
  beforePlaying();
  auto reader = makeRef<ClipReader>(audio_);
  if (frame > 0) reader->seek(frame);
  if (!player_->start(reader)) {
    showDeviceError();
    tellState();
    return false;
  }
  return true;
}

bool PlayControl::play() {
  if (player_->isPaused()) {
    player_->resume();
    return true;
  }
  return startAt(position_);
}

bool PlayControl::pause() {
  if (!player_->isPlaying() && !play()) return false;
  player_->pause();
  return true;
}

bool PlayControl::pauseOrResume() {
  if (player_->isPaused()) return play();
  return pause();
}

void PlayControl::stop() {
  scan_ = ScanFrom::None;
  player_->stop();
  tellState();
}

void PlayControl::toStart() {
  setPosition(0);
}

void PlayControl::toEnd() {
  const int32_t end = length();
  setPosition(player_->isPlaying()
                  ? std::max(end - millisecondsToFrames(sampleRate(), kEndLeadMilliseconds), 0)
                  : end);
}

bool PlayControl::beginScan(bool forward) {
  if (scanning()) return true;
  const ScanFrom from = player_->isPaused()    ? ScanFrom::Paused
                        : player_->isPlaying() ? ScanFrom::Playing
                                               : ScanFrom::Stopped;
  player_->stop();  // the position becomes the frame heard last
  beforePlaying();
  const ScanSpeeds speeds = scanSpeeds(forward, from == ScanFrom::Paused);
  auto reader = makeRef<ClipReader>(audio_);
  if (position_ > 0) reader->seek(position_);
  if (!player_->start(
          makeRef<SpeedRampStream>(reader, speeds.start, speeds.end, kScanRampFrames))) {
    showDeviceError();
    tellState();
    return false;
  }
  scan_ = from;
  tellState();
  return true;
}

void PlayControl::endScan() {
  if (!scanning()) return;
  const ScanFrom from = scan_;
  scan_ = ScanFrom::None;
  player_->stop();
  if (from == ScanFrom::Paused) {
    pause();
  } else if (from == ScanFrom::Playing) {
    play();
  }
  tellState();
}

// The position.

void PlayControl::setPosition(int32_t frame) {
  frame = std::clamp(frame, 0, length());
  position_ = frame;
  if (player_->isPlaying()) player_->seek(frame);
  tellPosition();
}

void PlayControl::movePosition(int32_t frame) {
  position_ = std::clamp(frame, 0, length());
  tellPosition();
}

void PlayControl::stepPercent(int percent) {
  setPosition(int32_t(std::clamp<int64_t>(position_ + int64_t{length()} * percent / 100, 0,
                                          length())));
}

void PlayControl::barStep(int direction) {
  const int64_t step = millisecondsToFrames(sampleRate(), kBarStepMilliseconds);
  setPosition(int32_t(std::clamp<int64_t>(position_ + direction * step, 0, length())));
}

void PlayControl::setPercent(int percent) {
  setPosition(int32_t(int64_t{length()} * std::clamp(percent, 0, 100) / 100));
}

void PlayControl::followPlayer() {
  position_ = std::clamp(player_->position(), 0, length());
}

// Device and volume.

void PlayControl::setOutputDevice(int number, const std::string& name) {
  player_->setDevice({number, name});
}

void PlayControl::storeSettings() {
  settings::kPlayerDevice.write(player_->device().name);
  settings::kPlayerVolumeDb.write(player_->volume());
}

// The player's news.

void PlayControl::playerStarted(intptr_t) {
  tellState();
}

void PlayControl::playerStopped(intptr_t) {
  followPlayer();
  LevelRecord silent{uint8_t(std::max<int>(audio_.channels, 1)), {}};
  silent.decibels.fill(int8_t(kSilentLevel));
  tellLevels(silent);
  tellPosition();
  tellState();
}

void PlayControl::playerPaused(intptr_t) {
  tellState();
}

void PlayControl::playerPosition(intptr_t, int32_t) {
  if (player_->isPlaying()) followPlayer();
  tellPosition();
}

void PlayControl::playerLevels(intptr_t, const LevelRecord& levels) {
  tellLevels(levels);
}

void PlayControl::tellPosition() {
  if (listener_) listener_->positionChanged();
}

void PlayControl::tellState() {
  if (listener_) listener_->stateChanged();
}

void PlayControl::tellLevels(const LevelRecord& levels) {
  if (listener_) listener_->levelsChanged(levels);
}

void PlayControl::tellAudio() {
  if (listener_) listener_->audioChanged();
}

void PlayControl::showDeviceError() {
  interaction_.messageBox(messages::kSoundDeviceErrorCaption, messages::kSoundDeviceError,
                          MessageIcon::Error, MessageButtons::Ok);
}

}  // namespace quillon
