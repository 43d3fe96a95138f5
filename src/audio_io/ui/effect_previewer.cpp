#include "audio_io/ui/effect_previewer.h"

#include "audio_io/effect_preview.h"
#include "view/ui/qt_notice_poster.h"

namespace quillon::audio_io::ui {
namespace {

// The preview with the poster that brings its player's notices here; the poster goes last.
class QtEffectPreviewer final : public FormPreviewer {
 public:
  QtEffectPreviewer(AudioDevices& devices, const EffectCommand& effect,
                    const WaveDocument& document)
      : preview_(poster_, devices, effect, document) {
    preview_.stateChanged = [this] {
      if (stateChanged) stateChanged();
    };
  }

  bool start(const DialogValues& values) override { return preview_.start(values); }
  void stop() override { preview_.stop(); }
  bool isPlaying() const override { return preview_.isPlaying(); }

 private:
  view::ui::QtNoticePoster poster_;
  EffectPreview preview_;
};

}  // namespace

std::unique_ptr<FormPreviewer> makeEffectPreviewer(const Form& form, const WaveDocument& document,
                                                   AudioDevices& devices) {
  const EffectCommand* effect = findEffectCommand(form);
  if (!effect || !form.preview) return nullptr;
  return std::make_unique<QtEffectPreviewer>(devices, *effect, document);
}

}  // namespace quillon::audio_io::ui
