#pragma once

#include <memory>

#include "audio_io/player.h"
#include "document/clip.h"
#include "effects/effect_commands.h"
#include "platform/form_previewer.h"

namespace quillon {

// An effect dialog's Preview: a private player on the device of "Player"/"Device" plays a copy
// of the selection through the effect with the dialog's current values, from the selection's
// start. Each start builds the effect anew, so changed values are heard from the beginning.
class EffectPreview final : public FormPreviewer, private PlayerListener {
 public:
  // Copies the document's audio cut to its selection; `document` must outlive the preview.
  EffectPreview(NoticePoster& poster, AudioDevices& devices, const EffectCommand& effect,
                const WaveDocument& document);
  ~EffectPreview() override;

  bool start(const DialogValues& values) override;
  void stop() override;
  bool isPlaying() const override;

  Player& player() { return *player_; }
  const Clip& selection() const { return selection_; }

 private:
  void playerStarted(intptr_t) override;
  void playerStopped(intptr_t) override;
  void changed();

  const EffectCommand& effect_;
  const WaveDocument& document_;
  Clip selection_;
  std::unique_ptr<Player> player_;
};

}  // namespace quillon
