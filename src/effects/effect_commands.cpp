#include "effects/effect_commands.h"

#include <algorithm>
#include <functional>
#include <memory>

#include "document/action_scope.h"
#include "document/document_messages.h"
#include "document/low_disk_guard.h"
#include "document/wave_document.h"
#include "effects/auto_trim.h"
#include "effects/automatic_gain_control.h"
#include "effects/compressor_filter.h"
#include "effects/echo_filter.h"
#include "effects/effect_messages.h"
#include "effects/effect_worker.h"
#include "effects/gain_effects.h"
#include "effects/high_pass_filter.h"
#include "effects/reverb_filter.h"
#include "platform/job.h"
#include "platform/settings.h"

namespace quillon {
namespace {

// The start of the common path: the document, once the guard passed and playback stopped, with
// everything selected when nothing was; null when the command must stop.
WaveDocument* prepare(DocumentView& view, bool selectAllFirst = true) {
  WaveDocument* document = view.document();
  if (!document) return nullptr;
  if (!lowDiskGuard(&view, GuardMode::WorkingFolder, messages::kLowDiskBeforeAction)) {
    return nullptr;
  }
  view.stopPlayback();
  if (selectAllFirst) selectAllWhenNothingSelected(*document);
  return document;
}

// The undo action around the processing, committed with the selection start and the pre-roll
// when the processing was done.
bool process(DocumentView& view, const char* action, int32_t preRoll,
             const std::function<JobResult(WaveDocument&)>& work) {
  ActionScope scope(&view, action);
  if (!scope.begun()) return false;
  WaveDocument& document = *scope.document();
  if (work(document) != JobResult::Done) return false;
  return scope.commit(document.selectionStart, preRoll);
}

bool runEffectJob(DocumentView& view, const char* action, int32_t preRoll,
                  const std::function<std::unique_ptr<Job>(Ref<WaveDocument>)>& makeJob) {
  return process(view, action, preRoll, [&](WaveDocument& document) {
    std::unique_ptr<Job> job = makeJob(Ref<WaveDocument>(&document));
    return runJob(*job, view.interaction());
  });
}

// A filter effect through the generic worker.
bool runWorker(DocumentView& view, const char* action, int32_t preRoll,
               std::shared_ptr<const EffectDescriptor> descriptor) {
  return runEffectJob(view, action, preRoll, [&](Ref<WaveDocument> document) {
    return std::make_unique<EffectWorker>(action, std::move(document), descriptor);
  });
}

int32_t oneSecond(const WaveDocument& document) {
  return document.audio.sampleRate;
}
int32_t halfSecond(const WaveDocument& document) {
  return document.audio.sampleRate / 2;
}

std::optional<Refusal> refuse(const char* text) {
  return Refusal{messages::kInvalidValue, text};
}

bool ask(DocumentView& view, DialogValues& dialog, const DialogCheck& check = {}) {
  return view.interaction().editDialog(
      dialog, check ? check : [](const DialogValues&) { return std::optional<Refusal>(); });
}

}  // namespace

int compressorRatioIndex(const std::string& text) {
  for (size_t i = 0; i < kCompressorRatios.size(); ++i) {
    if (text == kCompressorRatios[i].name) return int(i);
  }
  return settings::parseLeadingNumber(text);
}

bool amplifyCommand(DocumentView& view) {
  WaveDocument* document = prepare(view);
  if (!document) return false;
  DialogValues dialog{"LEfAmplifyDlg", {}};
  dialog.set("gain", settings::kAmplifyGain.read());
  dialog.setRange("gain", 1, 400);
  if (!ask(view, dialog, [](const DialogValues& v) {
        return v.number("gain") > 400 ? refuse(messages::kAmplifyTooLarge) : std::nullopt;
      })) {
    return false;
  }
  const int32_t percent = dialog.bounded("gain");
  settings::kAmplifyGain.write(percent);
  return process(view, "Amplify", oneSecond(*document), [&](WaveDocument& doc) {
    amplify(doc, percent);
    return JobResult::Done;
  });
}

bool normalizeCommand(DocumentView& view) {
  WaveDocument* document = prepare(view);
  if (!document) return false;
  DialogValues dialog{"LEfNormalizeDlg", {}};
  dialog.set("level", settings::kNormalizePeakLevel.read());
  dialog.setRange("level", 0, 100);
  if (!ask(view, dialog)) return false;
  const int32_t level = dialog.bounded("level");
  settings::kNormalizePeakLevel.write(level);
  return runEffectJob(view, "Normalize", halfSecond(*document), [&](Ref<WaveDocument> doc) {
    return std::make_unique<NormalizeJob>(std::move(doc), level);
  });
}

bool automaticGainControlCommand(DocumentView& view) {
  if (!prepare(view)) return false;
  return runEffectJob(view, "Automatic Gain Control", 0, [](Ref<WaveDocument> doc) {
    return std::make_unique<AutomaticGainControlJob>(std::move(doc));
  });
}

bool compressorCommand(DocumentView& view) {
  WaveDocument* document = prepare(view);
  if (!document) return false;
  DialogValues dialog{"LEfCompressorDlg", {}};
  dialog.set("threshold", settings::kCompressorThreshold.read());
  dialog.set("ratio", settings::kCompressorRatio.read());
  dialog.set("limit", settings::kCompressorLimit.read());
  dialog.setRange("threshold", -40, 0);
  dialog.setRange("ratio", 0, int32_t(kCompressorRatios.size()) - 1);
  dialog.setRange("limit", 0, 12);
  if (!ask(view, dialog)) return false;
  dialog.set("ratio", compressorRatioIndex(dialog.text("ratio")));
  const int threshold = dialog.bounded("threshold");
  const int ratio = dialog.bounded("ratio");
  const int limit = dialog.bounded("limit");
  settings::kCompressorThreshold.write(threshold);
  settings::kCompressorRatio.write(ratio);
  settings::kCompressorLimit.write(limit);
  return runWorker(view, "Dynamic Range Compressor", halfSecond(*document),
                   std::make_shared<CompressorDescriptor>(threshold, ratio, limit));
}

bool highPassCommand(DocumentView& view) {
  WaveDocument* document = prepare(view);
  if (!document) return false;
  DialogValues dialog{"LEfHighPassFilterDlg", {}};
  dialog.set("freq", settings::kLowCutFreq.read());
  dialog.setRange("freq", 20, 2000);
  if (!ask(view, dialog)) return false;
  const int32_t frequency = dialog.bounded("freq");
  settings::kLowCutFreq.write(frequency);
  return runWorker(view, "High-Pass Filter", halfSecond(*document),
                   std::make_shared<HighPassDescriptor>(frequency));
}

bool echoCommand(DocumentView& view) {
  WaveDocument* document = prepare(view);
  if (!document) return false;
  DialogValues dialog{"LEfEchoDlg", {}};
  dialog.set("time", settings::kEchoTime.read());
  dialog.set("gain", settings::kEchoGain.read());
  dialog.setRange("time", 10, 2999);
  dialog.setRange("gain", 1, 99);
  if (!ask(view, dialog, [](const DialogValues& v) {
        const int32_t time = v.number("time");
        if (time < 10 || time > 2999) return refuse(messages::kEchoTimeRange);
        if (v.number("gain") >= 100) return refuse(messages::kEchoGainTooLarge);
        return std::optional<Refusal>();
      })) {
    return false;
  }
  const int32_t time = dialog.bounded("time");
  const int32_t gain = dialog.bounded("gain");
  settings::kEchoTime.write(time);
  settings::kEchoGain.write(gain);
  return runWorker(view, "Echo", halfSecond(*document),
                   std::make_shared<EchoDescriptor>(time, gain));
}

bool reverbCommand(DocumentView& view) {
  WaveDocument* document = prepare(view);
  if (!document) return false;
  DialogValues dialog{"LEfReverb2Dlg", {}};
  dialog.set("decay", settings::kReverbDecay.read());
  dialog.set("predelay", settings::kReverbPredelay.read());
  dialog.set("diffusion", settings::kReverbDiffusion.read());
  dialog.set("wet", std::clamp(settings::kDbWet.read(), -127, 127));
  dialog.set("dry", std::clamp(settings::kDbDry.read(), -127, 127));
  dialog.setRange("decay", 1, 2000);
  dialog.setRange("predelay", 1, 1000);
  dialog.setRange("diffusion", 1, 100);
  dialog.setRange("wet", -127, 127);
  dialog.setRange("dry", -127, 127);
  if (!ask(view, dialog)) return false;
  const int32_t decay = dialog.bounded("decay");
  const int32_t predelay = dialog.bounded("predelay");
  const int32_t diffusion = dialog.bounded("diffusion");
  const int wet = dialog.bounded("wet");
  const int dry = dialog.bounded("dry");
  settings::kReverbDecay.write(decay);
  settings::kReverbPredelay.write(predelay);
  settings::kReverbDiffusion.write(diffusion);
  settings::kDbWet.write(wet);
  settings::kDbDry.write(dry);
  return runWorker(view, "Reverb", oneSecond(*document),
                   std::make_shared<ReverbDescriptor>(decay, predelay, diffusion, wet, dry));
}

bool reverseCommand(DocumentView& view) {
  WaveDocument* document = prepare(view);
  if (!document) return false;
  return runEffectJob(view, "Reverse", halfSecond(*document), [](Ref<WaveDocument> doc) {
    return std::make_unique<ReverseJob>(std::move(doc));
  });
}

bool fadeInCommand(DocumentView& view) {
  WaveDocument* document = prepare(view);
  if (!document) return false;
  return runWorker(view, "Fade In", halfSecond(*document),
                   fadeDescriptor(Fade::In, document->selectionStart, document->selectionEnd));
}

bool fadeOutCommand(DocumentView& view) {
  WaveDocument* document = prepare(view);
  if (!document) return false;
  return runWorker(view, "Fade Out", halfSecond(*document),
                   fadeDescriptor(Fade::Out, document->selectionStart, document->selectionEnd));
}

bool fadeOutAndTrimCommand(DocumentView& view) {
  WaveDocument* document = prepare(view);
  if (!document) return false;
  return runEffectJob(view, "Fade Out and Trim", halfSecond(*document), [](Ref<WaveDocument> doc) {
    return std::make_unique<FadeOutAndTrimJob>(std::move(doc));
  });
}

bool autoTrimCommand(DocumentView& view) {
  if (!prepare(view, false)) return false;
  const int threshold = settings::kAutoTrimThreshold.read();
  ActionScope scope(&view, "Auto Trim");
  if (!scope.begun()) return false;
  AutoTrimJob job(Ref<WaveDocument>(scope.document()), threshold);
  if (runJob(job, view.interaction()) != JobResult::Done) return false;
  return scope.commit(0, 0);
}

}  // namespace quillon
