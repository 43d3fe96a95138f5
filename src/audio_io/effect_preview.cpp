#include "audio_io/effect_preview.h"

#include <algorithm>

#include "audio_io/audio_settings.h"
#include "document/clip_editing.h"

namespace quillon {

EffectPreview::EffectPreview(NoticePoster& poster, AudioDevices& devices,
                             const EffectCommand& effect, const WaveDocument& document)
    : effect_(effect),
      document_(document),
      player_(std::make_unique<Player>(
          poster, devices, PlayerSettings{settings::kPlayerDevice, settings::kPlayerVolumeDb})) {
  const int32_t length = document.audio.length();
  const int32_t a = std::clamp(document.selectionStart, 0, length);
  const int32_t b = std::clamp(document.selectionEnd, a, length);
  copyRange(document.audio, a, b, selection_);
  player_->addListener(this);
}

EffectPreview::~EffectPreview() {
  player_->removeListener(this);
  player_->stop();
}

bool EffectPreview::start(const DialogValues& values) {
  player_->stop();
  Ref<SampleSource> stream = previewStream(effect_, values, selection_, document_);
  // A stream that cannot be read simply does not play.
  if (!stream || stream->status() != SourceStatus::Ok || selection_.length() == 0) return false;
  const bool started = player_->start(std::move(stream));
  changed();
  return started;
}

void EffectPreview::stop() {
  if (!player_->isPlaying()) return;
  player_->stop();
  changed();
}

bool EffectPreview::isPlaying() const {
  return player_->isPlaying();
}

void EffectPreview::playerStarted(intptr_t) {
  changed();
}

void EffectPreview::playerStopped(intptr_t) {
  changed();
}

void EffectPreview::changed() {
  if (stateChanged) stateChanged();
}

}  // namespace quillon
