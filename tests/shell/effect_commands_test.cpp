// The effect commands through the dispatcher: the common path around each effect (dialogs,
// stored values, undo entries, rollback, pre-roll). The processing itself has its own tests.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <csignal>
#include <numbers>

#include "platform/settings.h"
#include "shell_fixture.h"

namespace quillon::testing {
namespace {

using namespace command;

std::vector<Sample> tone(int frames, int channels = 1, double amplitude = 200000) {
  std::vector<Sample> words(size_t(frames) * channels);
  for (int i = 0; i < frames; ++i) {
    for (int c = 0; c < channels; ++c) {
      words[size_t(i) * channels + c] =
          Sample(amplitude * std::sin(2 * std::numbers::pi * 440 * i / 44100.0 + c));
    }
  }
  return words;
}

class EffectCommandsTest : public ShellTest {
 protected:
  void select(int32_t a, int32_t b) {
    doc().selectionStart = a;
    doc().selectionEnd = b;
  }
  ScriptedInteraction& ui() { return window.ui; }
};

// Every effect runs from the menu, names its undo entry and changes the audio.
TEST_F(EffectCommandsTest, EveryEffectChangesTheSelectionUnderItsOwnName) {
  struct Case {
    int id;
    const char* name;
    std::map<std::string, std::string> answers;
    const char* dialog;
  };
  const Case cases[] = {
      {kAmplify, "Amplify", {{"gain", "50"}}, "LEfAmplifyDlg"},
      {kNormalize, "Normalize", {{"level", "50"}}, "LEfNormalizeDlg"},
      {kAutomaticGainControl, "Automatic Gain Control", {}, nullptr},
      {kCompressor,
       "Dynamic Range Compressor",
       {{"threshold", "-20"}, {"ratio", "Limit"}},
       "LEfCompressorDlg"},
      {kHighPass, "High-Pass Filter", {{"freq", "1000"}}, "LEfHighPassFilterDlg"},
      {kEcho, "Echo", {{"time", "10"}, {"gain", "50"}}, "LEfEchoDlg"},
      {kReverb, "Reverb", {}, "LEfReverb2Dlg"},
      {kReverse, "Reverse", {}, nullptr},
      {kFadeIn, "Fade In", {}, nullptr},
      {kFadeOut, "Fade Out", {}, nullptr},
      {kFadeOutAndTrim, "Fade Out and Trim", {}, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    openSamples(tone(20000));
    select(5000, 15000);
    const std::vector<Sample> before = audio();
    const size_t dialogs = ui().dialogsShown.size();
    if (c.dialog) ui().queueDialog(c.dialog, c.answers);
    ASSERT_TRUE(run(c.id));
    EXPECT_TRUE(editor->lastCommandDone());
    EXPECT_EQ(doc().undoRing.undoName(), c.name);
    EXPECT_EQ(ui().dialogsShown.size(), dialogs + (c.dialog ? 1 : 0));
    const std::vector<Sample> after = audio();
    ASSERT_GE(after.size(), 15000u);
    EXPECT_EQ(std::vector<Sample>(after.begin(), after.begin() + 5000),
              std::vector<Sample>(before.begin(), before.begin() + 5000))
        << "nothing before the selection changes";
    EXPECT_NE(std::vector<Sample>(after.begin() + 5000, after.begin() + 15000),
              std::vector<Sample>(before.begin() + 5000, before.begin() + 15000));
    EXPECT_EQ(after.size(), c.id == kFadeOutAndTrim ? 15000u : 20000u);
    EXPECT_EQ(doc().cursor, 5000);
    ASSERT_TRUE(run(kUndo));
    EXPECT_EQ(audio(), before);
  }
}

// Every row of the effect table is a command of its own name that opens its own dialog with the
// stored values (here the defaults) and changes nothing when the dialog is cancelled.
TEST_F(EffectCommandsTest, EveryEffectCommandReachesItsForm) {
  openSamples(tone(5000));
  const std::vector<Sample> before = audio();
  ui().cancelDialogs = true;
  for (const EffectCommand& effect : effectCommands()) {
    SCOPED_TRACE(effect.name);
    EXPECT_EQ(commandIdByName(effect.name), effect.id);
    if (!effect.form) continue;
    const size_t shown = ui().dialogsShown.size();
    ASSERT_TRUE(run(effect.id));
    EXPECT_FALSE(editor->lastCommandDone());
    ASSERT_EQ(ui().dialogsShown.size(), shown + 1);
    const DialogValues& dialog = ui().dialogsShown.back();
    EXPECT_EQ(dialog.dialog, effect.form->dialog);
    for (const FormField& field : effect.form->fields)
      EXPECT_EQ(dialog.number(field.name), field.setting->defaultNumber) << field.name;
  }
  EXPECT_EQ(audio(), before);
  EXPECT_FALSE(doc().canUndo());
}

TEST_F(EffectCommandsTest, ConfirmedValuesAreStoredAndPresetTheNextDialog) {
  openSamples(tone(5000));
  ui().queueDialog("LEfEchoDlg", {{"time", "400"}, {"gain", "40"}});
  ASSERT_TRUE(run(kEcho));
  EXPECT_EQ(settings::kEchoTime.read(), 400);
  EXPECT_EQ(settings::kEchoGain.read(), 40);
  ASSERT_TRUE(run(kEcho));  // OK on the unchanged dialog
  EXPECT_EQ(ui().dialogsShown.back().number("time"), 400);
  EXPECT_EQ(ui().dialogsShown.back().number("gain"), 40);

  ui().queueDialog("LEfCompressorDlg", {{"threshold", "-6"}, {"ratio", "2:1"}, {"limit", "3"}});
  ASSERT_TRUE(run(kCompressor));
  EXPECT_EQ(settings::kCompressorThreshold.read(), -6);
  EXPECT_EQ(settings::kCompressorRatio.read(), 2);
  EXPECT_EQ(settings::kCompressorLimit.read(), 3);

  // A typed word beyond its field's range, or no number at all, is refused (no control kept it
  // to the range) and nothing is stored.
  const struct {
    const char* dialog;
    const char* field;
    const char* word;
    int command;
    const settings::NumberSetting* setting;
  } refused[] = {
      {"LEfReverb2Dlg", "decay", "99999", kReverb, &settings::kReverbDecay},
      {"LEfReverb2Dlg", "wet", "-300", kReverb, &settings::kDbWet},
      {"LEfHighPassFilterDlg", "freq", "4000", kHighPass, &settings::kLowCutFreq},
      {"LEfHighPassFilterDlg", "freq", "abc", kHighPass, &settings::kLowCutFreq},
      {"LEfAmplifyDlg", "gain", "abc", kAmplify, &settings::kAmplifyGain},
      {"LEfAmplifyDlg", "gain", "-5", kAmplify, &settings::kAmplifyGain},
      {"LEfAmplifyDlg", "gain", "1e9", kAmplify, &settings::kAmplifyGain},
      {"LEfAmplifyDlg", "gain", "", kAmplify, &settings::kAmplifyGain},
  };
  const std::vector<Sample> before = audio();
  for (const auto& r : refused) {
    SCOPED_TRACE(std::string(r.field) + "=" + r.word);
    const int32_t stored = r.setting->read();
    ui().shown.clear();
    ui().queueDialog(r.dialog, {{r.field, r.word}});
    ASSERT_TRUE(run(r.command));
    EXPECT_FALSE(editor->lastCommandDone());
    ASSERT_FALSE(ui().shown.empty());
    EXPECT_EQ(ui().shown.back().caption, "Invalid value");
    EXPECT_EQ(r.setting->read(), stored);
  }
  EXPECT_EQ(audio(), before);
}

// A working folder that takes no more data while an effect writes its result: the effect fails
// and says why (a failure, not a cancel), and the document stays as it was. Each effect runs in
// a child process whose file-size limit stops the new block files.
TEST_F(EffectCommandsTest, AWorkingFolderThatTakesNoMoreFailsTheEffectWithAMessage) {
  openSamples(tone(200000));
  const std::vector<Sample> before = audio();
  for (int id : {kEcho, kReverse, kAutomaticGainControl, kReverb, kFadeIn}) {
    SCOPED_TRACE(id);
    const pid_t child = fork();
    if (child == 0) {
      std::signal(SIGXFSZ, SIG_IGN);
      rlimit limit{4096, 4096};
      setrlimit(RLIMIT_FSIZE, &limit);
      ui().shown.clear();
      run(id);
      int failures = 0;
      if (editor->lastCommandDone()) failures |= 1;
      if (ui().shown.empty() || ui().shown.back().buttons != MessageButtons::Ok ||
          ui().shown.back().text.find("could not be written") == std::string::npos) {
        failures |= 2;
      }
      if (audio() != before) failures |= 4;
      _exit(failures);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: done, 2: no message, 4: the audio changed";
  }
}

TEST_F(EffectCommandsTest, RefusedOrCancelledDialogsChangeNothing) {
  openSamples(tone(5000));
  const std::vector<Sample> before = audio();
  ui().queueDialog("LEfAmplifyDlg", {{"gain", "401"}});
  ASSERT_TRUE(run(kAmplify));
  EXPECT_FALSE(editor->lastCommandDone());
  ASSERT_FALSE(ui().shown.empty());
  EXPECT_EQ(ui().shown.back().caption, "Invalid value");
  EXPECT_EQ(ui().shown.back().text, "Amplify Gain must be less than 400%. Please try again.");
  EXPECT_EQ(settings::kAmplifyGain.read(), 100) << "a refused value is not stored";

  ui().queueDialog("LEfEchoDlg", {{"time", "3000"}, {"gain", "100"}});
  ASSERT_TRUE(run(kEcho));
  EXPECT_EQ(ui().shown.back().text, "Echo time must be between 10 and 3000ms. Please try again.")
      << "the time is checked first";
  ui().queueDialog("LEfEchoDlg", {{"time", "2999"}, {"gain", "100"}});
  ASSERT_TRUE(run(kEcho));
  EXPECT_EQ(ui().shown.back().text, "Echo Gain must be less than 100%. Please try again.");

  ui().cancelDialogs = true;
  ASSERT_TRUE(run(kNormalize));
  EXPECT_FALSE(editor->lastCommandDone());
  EXPECT_EQ(audio(), before);
  EXPECT_FALSE(doc().canUndo());
  EXPECT_FALSE(doc().modified);

  // 400 itself is accepted.
  ui().cancelDialogs = false;
  ui().queueDialog("LEfAmplifyDlg", {{"gain", "400"}});
  ASSERT_TRUE(run(kAmplify));
  EXPECT_TRUE(editor->lastCommandDone());
}

TEST_F(EffectCommandsTest, CancelDuringProcessingRollsBackButKeepsTheValues) {
  openSamples(tone(50000, 2), 2);
  const std::vector<Sample> before = audio();
  ui().cancelAfterReports = 1;
  ui().queueDialog("LEfReverb2Dlg", {{"decay", "500"}});
  ASSERT_TRUE(run(kReverb));
  EXPECT_FALSE(editor->lastCommandDone());
  EXPECT_EQ(audio(), before);
  EXPECT_FALSE(doc().canUndo()) << "no undo entry for the cancelled effect";
  EXPECT_EQ(settings::kReverbDecay.read(), 500);
}

TEST_F(EffectCommandsTest, WithoutASelectionTheWholeDocumentIsProcessedAndSelected) {
  openSamples(tone(10000));
  select(0, 0);
  doc().cursor = 1234;
  ASSERT_TRUE(run(kReverse));
  EXPECT_EQ(doc().selectionStart, 0);
  EXPECT_EQ(doc().selectionEnd, 10000);
  const std::vector<Sample> reversed = audio();
  const std::vector<Sample> original = tone(10000);
  EXPECT_EQ(std::vector<Sample>(reversed.rbegin(), reversed.rend()), original);
}

TEST_F(EffectCommandsTest, AutoPlaybackStartsThePreRollBeforeTheSelection) {
  settings::kAutoPlaybackAfterEffects.write(true);
  openSamples(tone(100000));
  select(1000, 50000);
  ASSERT_TRUE(run(kEcho));
  EXPECT_TRUE(view().playing);
  EXPECT_EQ(view().playedFrom, 0) << "1000 − 22050 clamps to 0";
  select(60000, 90000);
  ASSERT_TRUE(run(kAmplify));
  EXPECT_EQ(view().playedFrom, 60000 - 44100) << "Amplify's pre-roll is one second";
  select(60000, 90000);
  ASSERT_TRUE(run(kAutomaticGainControl));
  EXPECT_EQ(view().playedFrom, 60000) << "no pre-roll";
}

TEST_F(EffectCommandsTest, AutoTrimWorksOnTheWholeDocumentAndPutsTheCursorAtZero) {
  std::vector<Sample> words(44100 * 2, 0);
  const std::vector<Sample> loud = tone(44100);
  std::copy(loud.begin(), loud.end(), words.begin() + 22050);
  openSamples(words);
  Bookmark early, middle;
  early.position = 100;
  middle.position = 44100;
  doc().markers = {early, middle};
  select(30000, 40000);  // ignored: Auto Trim looks at everything
  ASSERT_TRUE(run(kAutoTrim));
  EXPECT_EQ(doc().undoRing.undoName(), "Auto Trim");
  EXPECT_LT(doc().audio.length(), 2 * 44100);
  EXPECT_GE(doc().audio.length(), 44100);
  EXPECT_EQ(doc().cursor, 0);
  ASSERT_EQ(doc().markers.size(), 1u) << "the marker in the trimmed lead-in is dropped";
  EXPECT_LT(doc().markers[0].position, 44100);
}

}  // namespace
}  // namespace quillon::testing
