// The effect commands as data: each effect's dialog (fields, ranges, presets, OK checks), how its
// values become its processing, and its row. A new effect is its own file plus one block here.
#include <algorithm>
#include <array>
#include <limits>

#include "effects/auto_trim.h"
#include "effects/automatic_gain_control.h"
#include "effects/compressor_filter.h"
#include "effects/echo_filter.h"
#include "effects/effect_commands.h"
#include "effects/effect_messages.h"
#include "effects/gain_effects.h"
#include "effects/gain_filter.h"
#include "effects/high_pass_filter.h"
#include "effects/reverb_filter.h"
#include "platform/settings.h"

namespace quillon {
namespace {

using namespace command;
constexpr int32_t kNoLimit = std::numeric_limits<int32_t>::min();
constexpr char kHelp[] = "effects";

// A value control (slider and number field) of an effect dialog.
constexpr FormField valueControl(const char* name, const char* label, const char* unit,
                                 int32_t minimum, int32_t maximum,
                                 const settings::NumberSetting& setting) {
  return {.name = name,
          .kind = FieldKind::Number,
          .label = label,
          .unit = unit,
          .minimum = minimum,
          .maximum = maximum,
          .slider = true,
          .setting = &setting};
}

constexpr FormField decibelField(const char* name, const char* label, int32_t minimum,
                                 int32_t maximum, const settings::NumberSetting& setting) {
  return {.name = name,
          .kind = FieldKind::Decibel,
          .label = label,
          .unit = "dB",
          .minimum = minimum,
          .maximum = maximum,
          .setting = &setting};
}

constexpr FormCheck refuse(const char* field, int32_t minimum, int32_t maximum, const char* text) {
  return {field, minimum, maximum, messages::kInvalidValue, text};
}

// Amplify: the segment gains of the selection, no samples.
constexpr FormField kAmplifyFields[] = {
    valueControl("gain", "Gain", "%", 1, 400, settings::kAmplifyGain)};
constexpr FormValue kQuarter[] = {{"gain", 25}}, kHalf[] = {{"gain", 50}},
                    kDouble[] = {{"gain", 200}}, kTriple[] = {{"gain", 300}};
constexpr FormPreset kAmplifyPresets[] = {{"Quarter Volume", kQuarter},
                                          {"Half Volume", kHalf},
                                          {"Double Volume", kDouble},
                                          {"Triple Volume", kTriple}};
constexpr FormCheck kAmplifyChecks[] = {refuse("gain", kNoLimit, 400, messages::kAmplifyTooLarge)};
constexpr Form kAmplifyForm{.dialog = "LEfAmplifyDlg",
                            .caption = "Amplify",
                            .fields = kAmplifyFields,
                            .presets = kAmplifyPresets,
                            .checks = kAmplifyChecks,
                            .preview = true,
                            .helpPage = kHelp};

JobResult amplifyChange(WaveDocument& document, const DialogValues& values) {
  amplify(document, values.number("gain"));
  return JobResult::Done;
}

// Amplify's preview: the gain as a filter over the selection.
class AmplifyPreview : public EffectDescriptor {
 public:
  explicit AmplifyPreview(int32_t percent) : percent_(percent) {}
  std::string name() const override { return "Amplify"; }
  Ref<EffectFilter> makeFilter(Ref<SampleSource> source) const override {
    return makeRef<GainFilter>(std::move(source), GainFilter::gainForPercent(percent_));
  }

 private:
  int32_t percent_;
};

std::shared_ptr<const EffectDescriptor> describeAmplifyPreview(const DialogValues& values,
                                                               const WaveDocument&) {
  // A typed gain the OK check refuses still plays, kept to what the gain word can carry.
  return std::make_shared<AmplifyPreview>(std::clamp(values.number("gain"), 0, 400));
}

// Normalize.
constexpr FormField kNormalizeFields[] = {
    valueControl("level", "Peak Level", "%", 0, 100, settings::kNormalizePeakLevel)};
constexpr FormValue kVerySoft[] = {{"level", 20}}, kSoft[] = {{"level", 40}},
                    kNormal[] = {{"level", 75}}, kMaximum[] = {{"level", 100}};
constexpr FormPreset kNormalizePresets[] = {{"Very Soft Audio Level", kVerySoft},
                                            {"Soft Audio Level", kSoft},
                                            {"Normal Audio Level", kNormal},
                                            {"Maximum Audio Level", kMaximum}};
constexpr Form kNormalizeForm{.dialog = "LEfNormalizeDlg",
                              .caption = "Normalize",
                              .fields = kNormalizeFields,
                              .presets = kNormalizePresets,
                              .helpPage = kHelp};

std::unique_ptr<Job> normalizeJob(Ref<WaveDocument> document, const DialogValues& values) {
  return std::make_unique<NormalizeJob>(std::move(document), values.number("level"));
}

// Dynamic Range Compressor.
constexpr auto kRatioChoices = [] {
  std::array<FormChoice, kCompressorRatios.size()> choices{};
  for (size_t i = 0; i < choices.size(); ++i)
    choices[i] = {kCompressorRatios[i].name, int32_t(i)};
  return choices;
}();
constexpr FormField kCompressorFields[] = {
    decibelField("threshold", "Threshold", -40, 0, settings::kCompressorThreshold),
    {.name = "ratio",
     .kind = FieldKind::Choice,
     .label = "Ratio",
     .choices = kRatioChoices,
     .setting = &settings::kCompressorRatio},
    decibelField("limit", "Limit", 0, 12, settings::kCompressorLimit)};
constexpr FormValue kVoice[] = {{"threshold", -10}, {"ratio", 1}, {"limit", 4}},
                    kAdvertisement[] = {{"threshold", -6}, {"ratio", 2}, {"limit", 3}};
constexpr FormPreset kCompressorPresets[] = {{"General Voice Level", kVoice},
                                             {"TV / Radio Advertisement", kAdvertisement}};
constexpr Form kCompressorForm{.dialog = "LEfCompressorDlg",
                               .caption = "Dynamic Range Compressor",
                               .fields = kCompressorFields,
                               .presets = kCompressorPresets,
                               .preview = true,
                               .helpPage = kHelp};

std::shared_ptr<const EffectDescriptor> describeCompressor(const DialogValues& values,
                                                           const WaveDocument&) {
  return std::make_shared<CompressorDescriptor>(values.number("threshold"), values.number("ratio"),
                                                values.number("limit"));
}

// High-Pass Filter. The second preset lies above the field's range, which keeps it to 2000 Hz.
constexpr FormField kHighPassFields[] = {
    valueControl("freq", "Frequency", "Hz", 20, 2000, settings::kLowCutFreq)};
constexpr FormValue kCleanup[] = {{"freq", 200}}, kTelephone[] = {{"freq", 4000}};
constexpr FormPreset kHighPassPresets[] = {{"General Audio Cleanup", kCleanup},
                                           {"Radio / Telephone Quality Audio", kTelephone}};
constexpr Form kHighPassForm{.dialog = "LEfHighPassFilterDlg",
                             .caption = "High-Pass Filter",
                             .fields = kHighPassFields,
                             .presets = kHighPassPresets,
                             .preview = true,
                             .helpPage = kHelp};

std::shared_ptr<const EffectDescriptor> describeHighPass(const DialogValues& values,
                                                         const WaveDocument&) {
  return std::make_shared<HighPassDescriptor>(values.number("freq"));
}

// Echo.
constexpr FormField kEchoFields[] = {
    valueControl("time", "Time", "ms", 10, 2999, settings::kEchoTime),
    valueControl("gain", "Gain", "%", 1, 99, settings::kEchoGain)};
constexpr FormValue kEchoRoom[] = {{"time", 50}, {"gain", 10}},
                    kCave[] = {{"time", 400}, {"gain", 40}},
                    kCanyon[] = {{"time", 750}, {"gain", 75}};
constexpr FormPreset kEchoPresets[] = {
    {"Living Room", kEchoRoom}, {"Cave", kCave}, {"Grand Canyon", kCanyon}};
constexpr FormCheck kEchoChecks[] = {refuse("time", 10, 2999, messages::kEchoTimeRange),
                                     refuse("gain", kNoLimit, 99, messages::kEchoGainTooLarge)};
constexpr Form kEchoForm{.dialog = "LEfEchoDlg",
                         .caption = "Echo",
                         .fields = kEchoFields,
                         .presets = kEchoPresets,
                         .checks = kEchoChecks,
                         .preview = true,
                         .helpPage = kHelp};

// The dialog's values are kept to 10 … 3000 ms and at most 99 %: OK refuses a time of 3000 ms,
// which the preview plays.
std::shared_ptr<const EffectDescriptor> describeEcho(const DialogValues& values,
                                                     const WaveDocument&) {
  return std::make_shared<EchoDescriptor>(std::clamp(values.number("time"), 10, 3000),
                                          std::clamp(values.number("gain"), 0, 99));
}

// Reverb.
constexpr FormField kReverbFields[] = {
    valueControl("decay", "Decay", "ms", 1, 2000, settings::kReverbDecay),
    valueControl("predelay", "Pre-delay", "ms", 1, 1000, settings::kReverbPredelay),
    valueControl("diffusion", "Diffusion", "%", 1, 100, settings::kReverbDiffusion),
    decibelField("wet", "Wet", kDecibelOff, 127, settings::kDbWet),
    decibelField("dry", "Dry", kDecibelOff, 127, settings::kDbDry)};
constexpr FormValue kReverbRoom[] = {{"decay", 50}, {"predelay", 25}, {"diffusion", 50}},
                    kBathroom[] = {{"decay", 250}, {"predelay", 50}, {"diffusion", 50}},
                    kAuditorium[] = {{"decay", 500}, {"predelay", 75}, {"diffusion", 50}},
                    kHangar[] = {{"decay", 1000}, {"predelay", 100}, {"diffusion", 50}};
constexpr FormPreset kReverbPresets[] = {{"Living Room", kReverbRoom},
                                         {"Bathroom", kBathroom},
                                         {"Auditorium", kAuditorium},
                                         {"Hangar", kHangar}};
constexpr Form kReverbForm{.dialog = "LEfReverb2Dlg",
                           .caption = "Reverb",
                           .fields = kReverbFields,
                           .presets = kReverbPresets,
                           .preview = true,
                           .helpPage = kHelp};

std::shared_ptr<const EffectDescriptor> describeReverb(const DialogValues& values,
                                                       const WaveDocument&) {
  return std::make_shared<ReverbDescriptor>(values.number("decay"), values.number("predelay"),
                                            values.number("diffusion"), values.number("wet"),
                                            values.number("dry"));
}

// The effects without a dialog.
std::unique_ptr<Job> automaticGainControlJob(Ref<WaveDocument> document, const DialogValues&) {
  return std::make_unique<AutomaticGainControlJob>(std::move(document));
}
std::unique_ptr<Job> reverseJob(Ref<WaveDocument> document, const DialogValues&) {
  return std::make_unique<ReverseJob>(std::move(document));
}
std::shared_ptr<const EffectDescriptor> describeFadeIn(const DialogValues&,
                                                       const WaveDocument& document) {
  return fadeDescriptor(Fade::In, document.selectionStart, document.selectionEnd);
}
std::shared_ptr<const EffectDescriptor> describeFadeOut(const DialogValues&,
                                                        const WaveDocument& document) {
  return fadeDescriptor(Fade::Out, document.selectionStart, document.selectionEnd);
}
std::unique_ptr<Job> fadeOutAndTrimJob(Ref<WaveDocument> document, const DialogValues&) {
  return std::make_unique<FadeOutAndTrimJob>(std::move(document));
}
// Auto Trim's threshold is a setting without a dialog.
std::unique_ptr<Job> autoTrimJob(Ref<WaveDocument> document, const DialogValues&) {
  return std::make_unique<AutoTrimJob>(std::move(document), settings::kAutoTrimThreshold.read());
}

using P = PreRoll;
const EffectCommand kEffects[] = {
    {kAutoTrim, "Auto Trim", "auto-trim", "Auto Trim", P::None, nullptr, nullptr, autoTrimJob,
     nullptr, true},
    {kAmplify, "&Amplify...", "amplify", "Amplify", P::OneSecond, &kAmplifyForm, nullptr, nullptr,
     amplifyChange, false, describeAmplifyPreview},
    {kNormalize, "&Normalize...", "normalize", "Normalize", P::HalfSecond, &kNormalizeForm, nullptr,
     normalizeJob},
    {kAutomaticGainControl, "Automatic &Gain Control", "agc", "Automatic Gain Control", P::None,
     nullptr, nullptr, automaticGainControlJob},
    {kCompressor, "Dynamic Range Co&mpressor...", "compressor", "Dynamic Range Compressor",
     P::HalfSecond, &kCompressorForm, describeCompressor},
    {kHighPass, "&High-Pass Filter...", "high-pass", "High-Pass Filter", P::HalfSecond,
     &kHighPassForm, describeHighPass},
    {kEcho, "Ech&o...", "echo", "Echo", P::HalfSecond, &kEchoForm, describeEcho},
    {kReverb, "&Reverb...", "reverb", "Reverb", P::OneSecond, &kReverbForm, describeReverb},
    {kReverse, "Re&verse", "reverse", "Reverse", P::HalfSecond, nullptr, nullptr, reverseJob},
    {kFadeIn, "&Fade In", "fade-in", "Fade In", P::HalfSecond, nullptr, describeFadeIn},
    {kFadeOut, "&Fade Out", "fade-out", "Fade Out", P::HalfSecond, nullptr, describeFadeOut},
    {kFadeOutAndTrim, "Fade Out and &Trim", "fade-out-trim", "Fade Out and Trim", P::HalfSecond,
     nullptr, nullptr, fadeOutAndTrimJob},
};

}  // namespace

std::span<const EffectCommand> effectCommands() {
  return kEffects;
}

}  // namespace quillon
