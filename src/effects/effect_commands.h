#pragma once

#include <memory>
#include <span>

#include "document/clip.h"
#include "document/document_view.h"
#include "document/wave_document.h"
#include "effects/effect_descriptor.h"
#include "platform/form.h"
#include "platform/job.h"

namespace quillon {

// The ids of the effect commands: the Effects menu, and Auto Trim on the Edit menu.
namespace command {
inline constexpr int kAutoTrim = 2304;
inline constexpr int kAmplify = 2312;
inline constexpr int kNormalize = 2314;
inline constexpr int kAutomaticGainControl = 2315;
inline constexpr int kCompressor = 2316;
inline constexpr int kHighPass = 2317;
inline constexpr int kEcho = 2318;
inline constexpr int kReverb = 2319;
inline constexpr int kReverse = 2320;
inline constexpr int kFadeIn = 2321;
inline constexpr int kFadeOut = 2322;
inline constexpr int kFadeOutAndTrim = 2323;
}  // namespace command

// How far before the selection playback starts after an effect (when "AutoPlaybackAfterEffects"
// is set): nothing, half a second or one second of the document's rate.
enum class PreRoll { None, HalfSecond, OneSecond };

// One effect command: everything the command table, the menus, quillon-cli and the effect
// dialogs know about it. It processes in one of three ways: a filter through the generic worker
// (`describe`, which also gives the dialog's preview), a job of its own (`makeJob`), or a change
// without samples (`change`).
struct EffectCommand {
  int id;
  const char* menuText;
  const char* name;    // the quillon-cli step
  const char* action;  // the undo action, and the title of the worker's progress dialog
  PreRoll preRoll;
  const Form* form;  // its dialog (null: none); the values are stored once it is confirmed
  std::shared_ptr<const EffectDescriptor> (*describe)(const DialogValues& values,
                                                      const WaveDocument& document) = nullptr;
  std::unique_ptr<Job> (*makeJob)(Ref<WaveDocument> document, const DialogValues& values) = nullptr;
  JobResult (*change)(WaveDocument& document, const DialogValues& values) = nullptr;
  // Works on the whole document whatever is selected and puts the cursor at 0 (Auto Trim).
  bool wholeDocument = false;
  // How the dialog's Preview hears it when that is not `describe` (Amplify: a gain filter).
  std::shared_ptr<const EffectDescriptor> (*describePreview)(
      const DialogValues& values, const WaveDocument& document) = nullptr;
};

// Every effect command, in menu order.
std::span<const EffectCommand> effectCommands();
// The effect command with that id, or null.
const EffectCommand* findEffectCommand(int id);

// The effect command whose dialog is `form`, or null.
const EffectCommand* findEffectCommand(const Form& form);

// What the dialog's Preview plays: `selection` (the document's audio cut to the selection) read
// from its start through the effect, with the values as the dialog holds them now (a value its
// OK check would refuse still plays: the effect keeps it to what it can do). Null when the
// effect has no preview.
Ref<SampleSource> previewStream(const EffectCommand& effect, const DialogValues& values,
                                const Clip& selection, const WaveDocument& document);

// The path every effect command takes: the low-disk guard, stop playback, select everything
// when nothing is selected (not for whole-document effects), the dialog with the last-used
// values, the undo action, the processing under a progress dialog, then commit with the
// effect's pre-roll or roll back. Answers whether the document changed.
bool runEffectCommand(DocumentView& view, const EffectCommand& effect);

}  // namespace quillon
