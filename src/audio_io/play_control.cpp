#include "audio_io/play_control.h"

#include <algorithm>
#include <cmath>

#include "audio_io/audio_messages.h"
#include "audio_io/audio_settings.h"
#include "document/clip_reader.h"
#include "effects/frame_time.h"
#include "effects/peak_limiter.h"
#include "effects/speed_stream.h"

namespace quillon {

Ref<SampleSource> PlayControl::scanSource(const Clip& audio, int32_t frame, ScanSpeeds speeds) {
  auto reader = makeRef<ClipReader>(audio);
  if (frame > 0) reader->seek(frame);
  return atChangedSpeed(
      makeRef<SpeedRampStream>(limitTo(reader), speeds.start, speeds.end, kScanRampFrames));
}

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
  if (!player_->start(scanSource(audio_, position_, speeds))) {
    showDeviceError();
    tellState();
    return false;
  }
  scan_ = from;
  scanStart_ = position_;
  scanSpeeds_ = speeds;
  tellState();
  return true;
}

void PlayControl::endScan() {
  if (!scanning()) return;
  const ScanFrom from = scan_;
  const int32_t reached = scanPosition(player_->framesHeard());
  scan_ = ScanFrom::None;
  player_->stop();
  movePosition(reached);
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
  setPosition(
      int32_t(std::clamp<int64_t>(position_ + int64_t{length()} * percent / 100, 0, length())));
}

void PlayControl::barStep(int direction) {
  const int64_t step = millisecondsToFrames(sampleRate(), kBarStepMilliseconds);
  setPosition(int32_t(std::clamp<int64_t>(position_ + direction * step, 0, length())));
}

void PlayControl::setPercent(int percent) {
  setPosition(int32_t(int64_t{length()} * std::clamp(percent, 0, 100) / 100));
}

void PlayControl::followPlayer() {
  const int32_t frame = scanning() ? scanPosition(player_->framesHeard()) : player_->position();
  position_ = std::clamp(frame, 0, length());
}

// The speed moves linearly from start to end over kScanRampFrames frames heard, then holds: the
// distance is the sum of the speeds of the frames heard.
int32_t PlayControl::scanPosition(int64_t heard) const {
  const double ramped = double(std::min<int64_t>(heard, kScanRampFrames));
  const double slope = (scanSpeeds_.end - scanSpeeds_.start) / kScanRampFrames;
  const double distance = ramped * scanSpeeds_.start + slope * ramped * (ramped - 1) / 2 +
                          double(std::max<int64_t>(heard - kScanRampFrames, 0)) * scanSpeeds_.end;
  const double frame = std::floor(scanStart_ + distance);
  return int32_t(std::clamp(frame, 0.0, double(length())));
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
