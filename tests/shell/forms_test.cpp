// Every declared dialog as the window and quillon-cli will see it: fields, ranges, choices,
// presets, defaults and checks that fit together.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "document/edit_commands.h"
#include "effects/effect_commands.h"
#include "formats/format_table.h"
#include "platform/form.h"
#include "shell/editor.h"

namespace quillon {
namespace {

std::vector<const Form*> allForms() {
  std::vector<const Form*> forms = {&kNewFileForm, &kSilenceDurationForm};
  for (const EffectCommand& effect : effectCommands()) {
    if (effect.form) forms.push_back(effect.form);
  }
  for (const FileFormat& format : fileFormats()) {
    if (format.settings) forms.push_back(format.settings);
  }
  return forms;
}

bool isChoiceValue(const FormField& field, int32_t value) {
  for (const FormChoice& choice : field.choices) {
    if (choice.value == value) return true;
  }
  return false;
}

// A value a preset or the Defaults button gives: a field of the form, and a value its control
// can hold.
void expectFits(const Form& form, const FormValue& value, const std::string& where) {
  const FormField* field = form.field(value.field);
  ASSERT_NE(field, nullptr) << where << " names " << value.field;
  if (field->kind == FieldKind::Choice) {
    EXPECT_TRUE(isChoiceValue(*field, value.value)) << where << ": " << value.value;
  } else if (field->kind != FieldKind::Number || field->choices.empty()) {
    EXPECT_GE(value.value, field->minimum) << where;
    EXPECT_LE(value.value, field->maximum) << where;
  }
}

TEST(FormsTest, EveryFormsPresetsDefaultsAndChecksFitItsFields) {
  // The one preset the effect dialogs list beyond a field's range: the control holds its top.
  const std::string kBeyondRange = "Radio / Telephone Quality Audio";
  for (const Form* form : allForms()) {
    SCOPED_TRACE(form->dialog);
    EXPECT_TRUE(form->caption && *form->caption);
    std::set<std::string> names;
    for (const FormField& field : form->fields) {
      SCOPED_TRACE(field.name);
      EXPECT_TRUE(names.insert(field.name).second) << "one field per name";
      EXPECT_TRUE(field.label && *field.label);
      EXPECT_LE(field.minimum, field.maximum);
      if (field.slider) {
        EXPECT_GT(field.minimum, std::numeric_limits<int32_t>::min()) << "a slider has a range";
      }
      if (field.kind == FieldKind::Decibel) {
        EXPECT_GE(field.minimum, kDecibelOff);
        EXPECT_LE(field.maximum, 127);
      }
      if (field.kind == FieldKind::Choice) {
        EXPECT_TRUE(!field.choices.empty() || field.choiceTexts);
        std::set<int32_t> values;
        std::set<std::string> texts;
        for (const FormChoice& choice : field.choices) {
          EXPECT_TRUE(values.insert(choice.value).second) << choice.text;
          EXPECT_TRUE(texts.insert(choice.text).second) << choice.text;
        }
      }
    }
    for (const FormPreset& preset : form->presets) {
      for (const FormValue& value : preset.values) {
        if (preset.name == kBeyondRange) {
          const FormField& field = *form->field(value.field);
          EXPECT_EQ(field.controlValue(std::to_string(value.value)), field.maximum);
          continue;
        }
        expectFits(*form, value, preset.name);
      }
    }
    for (const FormValue& value : form->defaults)
      expectFits(*form, value, "Defaults");
    for (const FormCheck& check : form->checks) {
      EXPECT_NE(form->field(check.field), nullptr) << check.field;
      EXPECT_TRUE(check.text && *check.text);
    }
  }
}

// The effect dialogs keep every value in "StoredValues", and a value never stored opens as the
// control can show it.
TEST(FormsTest, EffectDialogsStoreEveryFieldWithADefaultTheirControlsHold) {
  for (const EffectCommand& effect : effectCommands()) {
    if (!effect.form) continue;
    SCOPED_TRACE(effect.name);
    EXPECT_FALSE(effect.form->presets.empty());
    for (const FormField& field : effect.form->fields) {
      ASSERT_NE(field.setting, nullptr) << field.name;
      EXPECT_STREQ(field.setting->subKey, settings::kStoredValues);
      const int32_t stored = field.setting->defaultNumber;
      EXPECT_EQ(field.controlValue(std::to_string(stored)), stored) << field.name;
    }
  }
}

}  // namespace
}  // namespace quillon
