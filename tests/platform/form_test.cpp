#include "platform/form.h"

#include <gtest/gtest.h>

#include <limits>
#include <map>

#include "platform/scripted_interaction.h"
#include "support/temp_environment.h"

namespace quillon {
namespace {

constexpr settings::NumberSetting kLevel{"FormTest", "Level", 250};
constexpr settings::NumberSetting kMode{"FormTest", "Mode", 1};
constexpr settings::FlagSetting kLoud{"FormTest", "Loud", true};
constexpr FormChoice kModes[] = {{"Soft", 0}, {"Hard", 1}, {"Off Limits", 2}};
constexpr FormField kFields[] = {
    {.name = "level",
     .kind = FieldKind::Number,
     .label = "Level",
     .minimum = 10,
     .maximum = 200,
     .slider = true,
     .setting = &kLevel},
    {.name = "mode",
     .kind = FieldKind::Choice,
     .label = "Mode",
     .choices = kModes,
     .setting = &kMode},
    {.name = "wet",
     .kind = FieldKind::Decibel,
     .label = "Wet",
     .minimum = kDecibelOff,
     .maximum = 127},
    {.name = "size", .kind = FieldKind::Number, .label = "Size", .zeroAs = 16},
    {.name = "loud", .kind = FieldKind::Check, .label = "Loud", .flag = &kLoud},
};
constexpr FormCheck kChecks[] = {
    {"level", std::numeric_limits<int32_t>::min(), 300, "Invalid value", "Too loud."},
    {"mode", 0, 1, "", "Not that one.", MessageIcon::Error}};
constexpr Form kForm{.dialog = "LTestDlg", .caption = "Test", .fields = kFields, .checks = kChecks};

class FormTest : public ::testing::Test {
 protected:
  testing::TempEnvironment env;
  ScriptedInteraction ui;
};

// Values start from their settings as the controls show them, a preset of the caller wins, and
// only OK makes them the controls' values and stores them.
TEST_F(FormTest, ValuesStartFromSettingsAndAreStoredOnlyAfterOk) {
  DialogValues values;
  values.set("wet", -300);
  ASSERT_TRUE(askForm(ui, kForm, values));
  const DialogValues& shown = ui.dialogsShown.back();
  EXPECT_EQ(shown.dialog, "LTestDlg");
  EXPECT_EQ(shown.text("level"), "200") << "the stored 250 as the control shows it";
  EXPECT_EQ(shown.text("mode"), "1");
  EXPECT_EQ(shown.text("wet"), "-300") << "the caller's preset";
  EXPECT_EQ(shown.text("loud"), "1") << "a flag setting's default";
  EXPECT_FALSE(shown.values.count("size")) << "no setting, no preset";
  EXPECT_EQ(values.number("wet"), kDecibelOff);
  EXPECT_EQ(kLevel.read(), 200);

  ui.queueDialog(
      "LTestDlg",
      {{"level", "150"}, {"mode", "soft"}, {"wet", "off"}, {"size", "0"}, {"loud", "0"}});
  values = {};
  ASSERT_TRUE(askForm(ui, kForm, values));
  EXPECT_EQ(values.number("level"), 150);
  EXPECT_EQ(values.number("mode"), 0) << "a choice's name is its value";
  EXPECT_EQ(values.number("wet"), kDecibelOff);
  EXPECT_EQ(values.number("size"), 16);
  EXPECT_EQ(kLevel.read(), 150);
  EXPECT_EQ(kMode.read(), 0);
  EXPECT_FALSE(kLoud.read());
  EXPECT_EQ(settings::readText("FormTest", "Loud"), "0") << "a flag is written as a flag";
}

// OK sees what was typed, before the control keeps it to its range; the first refusing check is
// shown with its own caption and icon, and the dialog counts as not confirmed.
TEST_F(FormTest, ChecksSeeTypedValuesInTheirOrder) {
  struct Case {
    std::map<std::string, std::string> answers;
    const char* refusal;  // null: accepted
  };
  const Case cases[] = {
      {{{"level", "301"}}, "Too loud."},
      {{{"level", "250"}}, nullptr},
      {{{"mode", "Off Limits"}}, "Not that one."},
      {{{"mode", "2"}, {"level", "999"}}, "Too loud."},
  };
  for (const Case& c : cases) {
    DialogValues values(kForm.dialog, c.answers);
    const std::optional<Refusal> refusal = refusalFor(kForm, values);
    EXPECT_EQ(refusal.has_value(), c.refusal != nullptr);
    if (!refusal || !c.refusal) continue;
    EXPECT_EQ(refusal->text, c.refusal);

    ui.queueDialog("LTestDlg", c.answers);
    DialogValues asked;
    EXPECT_FALSE(askForm(ui, kForm, asked));
    EXPECT_EQ(ui.shown.back().text, c.refusal);
    EXPECT_EQ(ui.shown.back().icon, refusal->icon);
  }
  EXPECT_EQ(refusalFor(kForm, DialogValues(kForm.dialog, {{"mode", "Off Limits"}}))->icon,
            MessageIcon::Error);
  EXPECT_EQ(kLevel.read(), 250) << "a refused dialog stores nothing";
  // A typed word that passes the checks but lies outside its field's range has no control to
  // keep it there: it is refused, after the checks, and nothing is stored.
  DialogValues typed(kForm.dialog, {{"level", "250"}});
  ui.queueDialog("LTestDlg", typed.values);
  EXPECT_FALSE(askForm(ui, kForm, typed));
  EXPECT_EQ(ui.shown.back().caption, "Invalid value");
  EXPECT_EQ(ui.shown.back().text,
            "\"250\" is not a value for level: it takes a whole number from 10 to 200.");
  EXPECT_EQ(kLevel.read(), 250);
}

}  // namespace
}  // namespace quillon
