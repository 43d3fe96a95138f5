#include "audio_io/transport.h"

#include <algorithm>

#include "audio_io/audio_settings.h"
#include "document/block_writer.h"
#include "document/clip_editing.h"
#include "document/clip_reader.h"
#include "effects/loop_stream.h"
#include "effects/peak_limiter.h"
#include "effects/speed_stream.h"

namespace quillon {

Transport::Transport(NoticePoster& poster, AudioDevices& devices)
    : poster_(poster), devices_(devices) {}

Transport::~Transport() {
  if (recorder_) stopRecording();
  if (player_) player_->removeListener(this);
}

Player& Transport::player() {
  if (!player_) {
    player_ = std::make_unique<Player>(poster_, devices_);
    player_->addListener(this);
  }
  return *player_;
}

Recorder& Transport::recorder() {
  if (!recorder_) recorder_ = std::make_unique<Recorder>(poster_, devices_);
  return *recorder_;
}

Ref<SampleSource> Transport::playSource(WaveDocument& document, int speedIndex, bool loop) {
  const int32_t length = document.audio.length();
  Ref<SampleSource> source;
  if (document.hasSelection()) {
    Clip part;
    copyRange(document.audio, 0, document.selectionEnd, part);
    source = makeRef<ClipReader>(part);
  } else {
    source = makeRef<ClipReader>(document.audio);
  }
  int32_t start = 0;
  if (document.cursor >= 0 && document.cursor < length) {
    start = document.cursor;
  } else if (document.hasSelection()) {
    start = document.selectionStart;
  }
  if (start != 0) source->seek(start);
  if (speedIndex == 0 || speedIndex == 2) {
    // Limited before the speed change, so that the position stays the frame being heard.
    source = atChangedSpeed(makeRef<SpeedChangeStream>(limitTo(source), (speedIndex + 1) * 0.5));
  }
  if (loop) {
    auto looped = makeRef<LoopStream>(source, document.selectionOrStart(), length);
    if (looped->status() == SourceStatus::Ok) source = looped;  // an empty range plays once
  }
  return source;
}

bool Transport::play(WaveDocument& document) {
  error_.clear();
  if (isPlaying()) return true;
  const int speed = std::clamp(settings::kPlaySpeed.read(), 0, 2);
  Ref<SampleSource> source = playSource(document, speed, settings::kPlayRepeat.read());
  playing_ = Ref<WaveDocument>(&document);
  if (!player().start(source)) {
    error_ = player().lastError();
    playing_ = nullptr;
    return false;
  }
  return true;
}

void Transport::stop() {
  if (player_) player_->stop();
  playing_ = nullptr;
}

void Transport::seek(int32_t frame) {
  if (isPlaying()) player_->seek(frame);
}

void Transport::changeVolume(int steps) {
  Player& p = player();
  for (; steps > 0; --steps)
    p.volumeUp();
  for (; steps < 0; ++steps)
    p.volumeDown();
}

void Transport::playerPosition(intptr_t, int32_t) {
  if (follower_ && player_) follower_(player_->position());
}

bool Transport::startRecording(int32_t sampleRate, int channels, int32_t timeLimit) {
  error_.clear();
  stopRecording();
  stop();
  Recorder& r = recorder();
  r.setDeviceByName(settings::kRecordDevice.read());
  r.setVolume(settings::kRecordVolume.read());
  const bool trim = settings::kRecorderAutotrim.read();
  const int threshold = trim ? settings::kRecorderThreshold.read() : Recorder::kOff;
  const int32_t silence = settings::kRecorderVor.read() ? 5000 : Recorder::kEndlessSilence;
  recording_ = Clip();
  recording_.sampleRate = sampleRate;
  recording_.channels = channels;
  writer_ = makeRef<BlockWriter>(recording_, sampleRate, channels);
  if (!r.start(writer_, timeLimit, threshold, silence)) {
    error_ = r.lastError();
    writer_ = nullptr;
    recording_ = Clip();
    return false;
  }
  return true;
}

void Transport::stopRecording() {
  if (recorder_) recorder_->stop();
  if (writer_) {
    if (!writer_->finish()) error_ = "the recording could not be written";
    writer_ = nullptr;
  }
}

}  // namespace quillon
