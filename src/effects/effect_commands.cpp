#include "effects/effect_commands.h"

#include <algorithm>

#include "document/action_scope.h"
#include "document/clip_reader.h"
#include "document/document_messages.h"
#include "document/low_disk_guard.h"
#include "effects/effect_worker.h"

namespace quillon {
namespace {

int32_t preRollFrames(PreRoll preRoll, const WaveDocument& document) {
  switch (preRoll) {
    case PreRoll::None:
      return 0;
    case PreRoll::HalfSecond:
      return document.audio.sampleRate / 2;
    case PreRoll::OneSecond:
      return document.audio.sampleRate;
  }
  return 0;
}

JobResult process(DocumentView& view, const EffectCommand& effect, const DialogValues& values,
                  WaveDocument& document) {
  if (effect.change) return effect.change(document, values);
  std::unique_ptr<Job> job =
      effect.makeJob ? effect.makeJob(Ref<WaveDocument>(&document), values)
                     : std::make_unique<EffectWorker>(effect.action, Ref<WaveDocument>(&document),
                                                      effect.describe(values, document));
  return runJob(*job, view.interaction());
}

}  // namespace

const EffectCommand* findEffectCommand(int id) {
  const std::span<const EffectCommand> all = effectCommands();
  auto it =
      std::find_if(all.begin(), all.end(), [id](const EffectCommand& e) { return e.id == id; });
  return it == all.end() ? nullptr : &*it;
}

const EffectCommand* findEffectCommand(const Form& form) {
  const std::span<const EffectCommand> all = effectCommands();
  auto it = std::find_if(all.begin(), all.end(),
                         [&form](const EffectCommand& e) { return e.form == &form; });
  return it == all.end() ? nullptr : &*it;
}

Ref<SampleSource> previewStream(const EffectCommand& effect, const DialogValues& values,
                                const Clip& selection, const WaveDocument& document) {
  const auto describe = effect.describePreview ? effect.describePreview : effect.describe;
  if (!effect.form || !effect.form->preview || !describe) return nullptr;
  Ref<SampleSource> filter = describe(values, document)->makeFilter(makeRef<ClipReader>(selection));
  filter->seek(0);
  return filter;
}

bool runEffectCommand(DocumentView& view, const EffectCommand& effect) {
  WaveDocument* document = view.document();
  if (!document) return false;
  if (!lowDiskGuard(&view, GuardMode::WorkingFolder, messages::kLowDiskBeforeAction)) {
    return false;
  }
  view.stopPlayback();
  if (!effect.wholeDocument) selectAllWhenNothingSelected(*document);
  DialogValues values;
  if (effect.form && !askForm(view.interaction(), *effect.form, values)) return false;

  ActionScope scope(&view, effect.action);
  if (!scope.begun()) return false;
  WaveDocument& changing = *scope.document();
  if (process(view, effect, values, changing) != JobResult::Done) return false;
  if (effect.wholeDocument) return scope.commit(0, 0);
  return scope.commit(changing.selectionStart, preRollFrames(effect.preRoll, changing));
}

}  // namespace quillon
