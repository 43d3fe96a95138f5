#pragma once

#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "platform/interaction.h"
#include "platform/settings.h"

namespace quillon {

// A dialog that edits named values, declared once as data: the effect dialogs, the format
// settings, the raw layout, New File, the silence duration. The window builds its controls from
// a form, quillon-cli takes its words, checks and help from it, and `askForm` runs it.

// How a field is edited.
enum class FieldKind {
  Number,   // a signed number in [minimum, maximum]
  Decibel,  // a decibel value in [minimum, maximum]; kDecibelOff shows as "off"
  Choice,   // one of a list: the value is the chosen entry's value (or text, for texts filled
            // at run time)
  Check,    // a check box: 1 or 0
  Text,     // free text
};

// The decibel value that means "off" (minus infinity).
inline constexpr int32_t kDecibelOff = -127;

// The first entry of an effect dialog's preset list, which changes nothing.
inline constexpr char kSelectPreset[] = "Select Preset";

// One entry of a choice list: its text and the value it stands for.
struct FormChoice {
  const char* text;
  int32_t value;
};

// The sample rates the program reads and writes: a file whose header states another rate is
// corrupt, and no dialog stores one (a rate field offers only these).
inline constexpr int32_t kLowestSampleRate = 1000;
inline constexpr int32_t kHighestSampleRate = 196000;

// Lists that several dialogs offer: the channels, and the sample rates of an editable rate list.
inline constexpr FormChoice kChannelChoices[] = {{"Mono", 1}, {"Stereo", 2}};
inline constexpr FormChoice kSampleRateChoices[] = {
    {"6000", 6000},   {"8000", 8000},   {"11025", 11025}, {"16000", 16000},
    {"22050", 22050}, {"32000", 32000}, {"44100", 44100}, {"48000", 48000},
    {"64000", 64000}, {"88200", 88200}, {"96000", 96000}, {"196000", 196000}};

// A value a preset or the Defaults button gives a field (for a choice, the entry's value).
struct FormValue {
  const char* field;
  int32_t value;
};

struct FormPreset {
  const char* name;
  std::span<const FormValue> values;
};

// An OK check: the field's value must lie in [minimum, maximum], else the refusal is shown and
// the dialog stays open.
struct FormCheck {
  const char* field;
  int32_t minimum;
  int32_t maximum;
  const char* caption;
  const char* text;
  MessageIcon icon = MessageIcon::Exclamation;
};

struct FormField {
  const char* name;  // the value's name in DialogValues, and quillon-cli's word
  FieldKind kind;
  const char* label;
  const char* unit = "";  // "%", "ms", "Hz", "dB"…
  // The range a Number or Decibel control offers (it keeps its value within it).
  int32_t minimum = std::numeric_limits<int32_t>::min();
  int32_t maximum = std::numeric_limits<int32_t>::max();
  // The up-down control's step; 0: (maximum − minimum) / 32, at least 1. A value control with
  // a slider speeds it up tenfold after one second and a hundredfold after five.
  int32_t step = 0;
  // A Number shown as the value control: a slider of 101 positions beside the number field.
  bool slider = false;
  // Choice: the entries. Number: values offered in an editable list (sample rates).
  std::span<const FormChoice> choices = {};
  // Choice: entries known only at run time (the codec manager's formats); the value is the text.
  std::vector<std::string> (*choiceTexts)() = nullptr;
  // Where the value is read from before the dialog opens and stored after OK (null: the caller
  // presets and stores it).
  const settings::NumberSetting* setting = nullptr;
  // A Number typed as 0 stands for this value (0: a 0 stays 0).
  int32_t zeroAs = 0;
  // A check box kept as a flag ("1"/"0") rather than a number: read before the dialog opens and
  // stored after OK, as `setting` is.
  const settings::FlagSetting* flag = nullptr;

  // The up-down control's step.
  int32_t upDownStep() const;
  // The lowest and highest value the control offers (a choice: its lowest and highest entry).
  std::pair<int32_t, int32_t> range() const;
  int32_t lowest() const { return range().first; }
  int32_t highest() const { return range().second; }
  // The number a value's text stands for: a choice's text becomes its value (a number names
  // itself), a decibel's "off" kDecibelOff, a 0 `zeroAs`. Not for texts.
  int32_t typedValue(const std::string& text) const;
  // The typed value as the control holds it: kept within its range.
  int32_t controlValue(const std::string& text) const;
  // Whether the field's value is a number (everything but Text and run-time choices).
  bool isNumber() const { return kind != FieldKind::Text && !choiceTexts; }
};

struct Form {
  const char* dialog;   // the resource name, and the name in DialogValues ("LEfAmplifyDlg")
  const char* caption;  // the window title
  std::span<const FormField> fields;
  std::span<const FormPreset> presets = {};  // an effect dialog's preset list
  std::span<const FormValue> defaults = {};  // what the Defaults button sets (none: no button)
  std::span<const FormCheck> checks = {};    // in order; the first that refuses is shown
  // A check that a range cannot say (the WAV format picker: is there such a format?).
  std::optional<Refusal> (*check)(const DialogValues& values) = nullptr;
  bool preview = false;            // the dialog plays the selection through the effect
  const char* helpPage = nullptr;  // the help page its Help opens ("effects")

  const FormField* field(std::string_view name) const;
};

// What OK on these values shows: nothing when the form accepts them, else the first refusal.
// Checks see the typed values, before they are kept to their range (a typed 401 is refused, not
// made 400).
std::optional<Refusal> refusalFor(const Form& form, const DialogValues& values);

// As `refusalFor`, for values some of which (`typed`) were given as words that no control kept
// to its range (quillon-cli): each such word must first be a value its field takes (a whole
// number, a choice's text or value, a decibel field's "off"); then the form's checks refuse with
// the dialog's own messages; then a number outside its field's range is refused.
std::optional<Refusal> refusalForWords(const Form& form, const DialogValues& values,
                                       const std::vector<std::string>& typed);

// What a field takes, as the refusals and the help say it: "a whole number from 1 to 400 %",
// "Mono or Stereo (or 1 or 2)".
std::string fieldTakes(const FormField& field);

// Fields that several dialogs share: the channel list ("Mono" 1, "Stereo" 2), and the sample rate
// typed or picked from kSampleRateChoices.
constexpr FormField channelsField(const settings::NumberSetting* setting = nullptr) {
  return {.name = "channels",
          .kind = FieldKind::Choice,
          .label = "Channels",
          .choices = kChannelChoices,
          .setting = setting};
}
constexpr FormField sampleRateField(const settings::NumberSetting* setting = nullptr,
                                    int32_t zeroAs = 0) {
  return {.name = "rate",
          .kind = FieldKind::Number,
          .label = "Sample Rate",
          .unit = "Hz",
          .minimum = kLowestSampleRate,
          .maximum = kHighestSampleRate,
          .choices = kSampleRateChoices,
          .setting = setting,
          .zeroAs = zeroAs};
}

// Gives the fields the caller did not preset the values stored in their settings (kept to their
// range), as the dialog opens on them.
void presetFromSettings(const Form& form, DialogValues& values);

// Runs a form: fields the caller did not preset start from their settings (kept to their
// range), the dialog is shown, and on OK every number is made the control's value (choice texts
// become their values, numbers are kept to their range) and fields with a setting are stored.
// False when the user cancelled: nothing is stored then.
bool askForm(Interaction& owner, const Form& form, DialogValues& values);

}  // namespace quillon
