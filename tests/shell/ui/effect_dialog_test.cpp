// The effect dialogs as the user meets them through the Effects menu, offscreen, with the
// preview playing on the file output device under a held clock: the OK checks, what is stored
// and when, the presets, and what Preview plays when a value changes.
#include <gtest/gtest.h>

#include <QAbstractSpinBox>
#include <QComboBox>
#include <QMessageBox>
#include <QPushButton>
#include <QThread>
#include <map>

#include "audio_io/audio_clock.h"
#include "audio_io/clocked_devices.h"
#include "audio_io/ui/effect_previewer.h"
#include "document/clip_editing.h"
#include "document/clip_reader.h"
#include "effects/echo_filter.h"
#include "effects/effect_commands.h"
#include "effects/effect_messages.h"
#include "effects/peak_limiter.h"
#include "platform/settings.h"
#include "shell/ui/form_dialog.h"
#include "shell/ui/main_window.h"
#include "support/memory_source.h"
#include "support/sound_test_support.h"
#include "support/temp_environment.h"
#include "window_test_support.h"

namespace quillon::testing {
namespace {

using namespace command;
using ui::FormDialog;
using ui::MainWindow;

class EffectDialogTest : public DocumentTest {
 protected:
  void SetUp() override {
    window = std::make_unique<MainWindow>();
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    window->qtInteraction().setPreviewerFactory([this](const Form& form) {
      return audio_io::ui::makeEffectPreviewer(form, doc(), devices);
    });
    window->qtInteraction().setHelpOpener([this](const std::string& page) { help = page; });
    // Two seconds of a tone; the second in the middle is selected.
    const std::string path = env.path("tone.wav");
    writeWav16(path, toneWords(2 * 44100, 1, 44100, 150000, 330), 44100, 1);
    ASSERT_TRUE(window->editor().openFile(path));
    doc().selectionStart = 22050;
    doc().selectionEnd = 66150;
    window->editor().refreshCommandStates();
  }
  void TearDown() override {
    clock.release();
    window.reset();
    DocumentTest::TearDown();
  }
  WaveDocument& doc() { return window->editor().document(); }

  // Lets the device play `milliseconds` of the held clock, then runs the notices.
  void play(int milliseconds) {
    clock.advance(int64_t{milliseconds} * 1000);
    clock.waitForBlocked(1);
    settle();
  }
  static void settle() {
    for (int i = 0; i < 5; ++i) {
      QCoreApplication::processEvents();
      QThread::msleep(2);
    }
  }
  static void type(FormDialog& dialog, const char* field, const char* text) {
    auto* box = qobject_cast<QAbstractSpinBox*>(dialog.control(field));
    ASSERT_NE(box, nullptr) << field;
    box->selectAll();
    QTest::keyClicks(box, text);
  }
  // Presses OK, which refuses: answers the refusal and returns its caption and text.
  static std::string pressOkRefused(FormDialog& dialog) {
    std::string shown;
    whenModal<QMessageBox>([&shown](QMessageBox& box) {
      shown = box.windowTitle().toStdString() + ": " + box.text().toStdString();
      box.accept();
    });
    dialog.okButton()->click();
    return shown;
  }
  // What the preview of the selection through an echo sounds like on the device: `frames` of it.
  std::vector<int16_t> echoHeard(int32_t timeMs, int32_t gainPercent, int32_t frames) {
    Clip selection;
    copyRange(doc().audio, 22050, 66150, selection);
    auto echo = makeRef<EchoFilter>(makeRef<ClipReader>(selection), timeMs, gainPercent);
    return toDevice(readWords(limitTo(echo), frames));
  }

  std::unique_ptr<MainWindow> window;
  VirtualClock clock;
  ClockedDevices devices{clock, {}, {}, {"Speakers"}};
  std::string help;
};

// Amplify refuses 401 % on OK with its message and stays open; 400 % is taken. A dialog
// cancelled stores nothing and changes nothing; the values are stored once OK has been pressed.
TEST_F(EffectDialogTest, OkRefusesWhatTheCheckRefusesAndOnlyOkStores) {
  settings::kAmplifyGain.write(150);
  whenModal<FormDialog>([](FormDialog& dialog) {
    type(dialog, "gain", "250");
    dialog.cancelButton()->click();
  });
  window->commandAction(kAmplify)->trigger();
  EXPECT_EQ(settings::kAmplifyGain.read(), 150);
  EXPECT_FALSE(doc().canUndo());

  std::string refusal;
  bool openAfterRefusal = false;
  whenModal<FormDialog>([&](FormDialog& dialog) {
    type(dialog, "gain", "401");
    refusal = pressOkRefused(dialog);
    openAfterRefusal = dialog.isVisible();
    EXPECT_EQ(settings::kAmplifyGain.read(), 150) << "nothing stored before OK is taken";
    dialog.helpButton()->click();
    type(dialog, "gain", "400");
    dialog.okButton()->click();
  });
  window->commandAction(kAmplify)->trigger();
  EXPECT_EQ(refusal, std::string(messages::kInvalidValue) + ": " + messages::kAmplifyTooLarge);
  EXPECT_TRUE(openAfterRefusal);
  EXPECT_EQ(help, "effects");
  EXPECT_EQ(settings::kAmplifyGain.read(), 400);
  EXPECT_TRUE(doc().canUndo());
}

// Echo's Preview plays the selection through the echo from its start; "Select Preset" changes
// nothing; a changed gain starts the preview again from the selection's start with the new gain
// (the device hears both beginnings). A time of 3000 ms plays in the preview but OK refuses it;
// Cancel stops the preview and stores nothing.
TEST_F(EffectDialogTest, PreviewRestartsFromTheSelectionWhenAValueChanges) {
  settings::kEchoTime.write(500);
  settings::kEchoGain.write(20);
  clock.hold();
  std::string refusal;
  bool playedTheLongEcho = false, stoppedOnClose = false;
  std::map<std::string, std::string> beforeSelectPreset, afterSelectPreset;
  QString label;
  whenModal<FormDialog>([&](FormDialog& dialog) {
    ASSERT_TRUE(dialog.previewButton() && dialog.previewButton()->isVisible());
    EXPECT_EQ(dialog.presetList()->itemText(0), kSelectPreset);
    dialog.choosePreset(1);  // "Living Room": 50 ms, 10 %
    devices.outputOptions().path = env.path("first.wav");
    dialog.previewButton()->click();
    settle();
    label = dialog.previewButton()->text();
    play(300);

    beforeSelectPreset = dialog.values().values;
    dialog.choosePreset(0);
    afterSelectPreset = dialog.values().values;

    devices.outputOptions().path = env.path("second.wav");
    type(dialog, "gain", "75");
    play(300);

    devices.outputOptions().path = env.path("third.wav");
    type(dialog, "time", "3000");
    settle();
    playedTheLongEcho = dialog.previewButton()->text() == "Stop";
    refusal = pressOkRefused(dialog);
    ASSERT_TRUE(dialog.isVisible());
    dialog.cancelButton()->click();
    stoppedOnClose = dialog.previewButton()->text() == "Preview";
  });
  window->commandAction(kEcho)->trigger();

  EXPECT_EQ(label, "Stop");
  EXPECT_EQ(beforeSelectPreset["time"], "50");
  EXPECT_EQ(afterSelectPreset, beforeSelectPreset) << "Select Preset changes nothing";
  EXPECT_TRUE(playedTheLongEcho);
  EXPECT_EQ(refusal, std::string(messages::kInvalidValue) + ": " + messages::kEchoTimeRange);
  EXPECT_TRUE(stoppedOnClose);
  EXPECT_EQ(settings::kEchoTime.read(), 500);
  EXPECT_EQ(settings::kEchoGain.read(), 20);
  EXPECT_FALSE(doc().canUndo());

  const std::vector<int16_t> first = readWav16(env.path("first.wav"));
  const std::vector<int16_t> second = readWav16(env.path("second.wav"));
  ASSERT_EQ(first.size(), 13230u) << "300 ms of the first preview";
  ASSERT_EQ(second.size(), 13230u) << "300 ms from the restart";
  EXPECT_EQ(first, echoHeard(50, 10, 13230));
  EXPECT_EQ(second, echoHeard(50, 75, 13230)) << "the selection's start, with the new gain";
  EXPECT_NE(first, second);
}

}  // namespace
}  // namespace quillon::testing
