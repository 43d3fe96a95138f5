// The preferences' sound pages on the file devices: the test sound, the input meter, and what
// OK and Cancel store.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

#include "audio_io/audio_clock.h"
#include "audio_io/audio_settings.h"
#include "audio_io/clocked_devices.h"
#include "audio_io/test_sound.h"
#include "audio_io/ui/db_slider.h"
#include "audio_io/ui/dialog_test_support.h"
#include "audio_io/ui/level_meter.h"
#include "audio_io/ui/preferences_dialog.h"
#include "platform/scripted_interaction.h"
#include "support/sound_test_support.h"
#include "support/temp_environment.h"
#include "view/ui/qt_notice_poster.h"

namespace quillon::testing {
namespace {

using audio_io::ui::PreferencesDialog;

class PreferencesDialogTest : public DocumentTest {
 protected:
  PreferencesDialogTest() {
    devices.outputOptions().path = env.path("out.wav");
    devices.inputOptions().path = env.path("in.wav");
  }

  VirtualClock clock;
  ClockedDevices devices{clock, {}, {}, {"Speakers", "Headset"}};
  ScriptedInteraction ui;
  view::ui::QtNoticePoster poster;
};

// The test sound is the program's chime, played whole on the chosen device at the chosen
// volume (0 dB: bit for bit).
TEST_F(PreferencesDialogTest, TestSoundPlaysTheChimeOnTheChosenDevice) {
  PreferencesDialog dialog(ui, nullptr, devices);
  dialog.show();
  dialog.playDevices()->setCurrentIndex(2);
  dialog.playVolume()->setValue(0);
  QTest::mouseClick(dialog.testSoundButton(), Qt::LeftButton);
  pumpUntil([&] { return !dialog.testPlayer().isPlaying(); });
  EXPECT_EQ(devices.lastOutputNumber(), 2);
  auto chime = makeRef<TestSoundSource>();
  const std::vector<int16_t> expected = toDevice(readWords(chime, chime->length()));
  EXPECT_EQ(readWav16(env.path("out.wav")), expected);
  EXPECT_EQ(chime->length(), 4 * 44100 * 240 / 1000) << "four tones of 180 ms, 60 ms apart";
  dialog.reject();
}

// The microphone page listens while it is shown: a loud input lights its meter. OK stores the
// devices and volumes and hands them to the main player; Cancel stores nothing.
TEST_F(PreferencesDialogTest, MicrophonePageListensAndOkStoresWhatCancelDoesNot) {
  writeWav16(env.path("in.wav"), toneWords(44100, 2, 44100, 1 << 17), 44100, 2);
  Player mainPlayer(poster, devices);
  {
    PreferencesDialog dialog(ui, &mainPlayer, devices);
    dialog.playDevices()->setCurrentIndex(1);
    dialog.playVolume()->setValue(-12);
    dialog.pages()->setCurrentIndex(PreferencesDialog::kMicrophone);
    clock.hold();
    dialog.show();
    ASSERT_TRUE(dialog.monitor().isListening());
    clock.advance(300000);
    clock.waitForBlocked(1);
    pumpUntil([&] { return dialog.recordMeter()->model().level(0) > -36; });
    EXPECT_EQ(dialog.recordMeter()->model().level(0), 0) << "a tone at 2^17 is 0 dB";
    dialog.recordDevices()->setCurrentIndex(2);
    dialog.recordVolume()->setValue(6);
    dialog.reject();
    EXPECT_FALSE(dialog.monitor().isListening()) << "closing stops listening";
    clock.release();
  }
  EXPECT_EQ(settings::kSoundDevice.read(), "");
  EXPECT_EQ(settings::kPlayVolume.read(), 0);
  EXPECT_EQ(settings::kRecordDevice.read(), "");
  EXPECT_EQ(settings::kRecordVolume.read(), 0);

  {
    PreferencesDialog dialog(ui, &mainPlayer, devices);
    dialog.show();
    dialog.playDevices()->setCurrentIndex(1);
    dialog.playVolume()->setValue(-12);
    dialog.recordDevices()->setCurrentIndex(2);
    dialog.recordVolume()->setValue(6);
    dialog.accept();
  }
  EXPECT_EQ(settings::kSoundDevice.read(), "Speakers");
  EXPECT_EQ(settings::kPlayVolume.read(), -12);
  EXPECT_EQ(settings::kRecordDevice.read(), "Headset");
  EXPECT_EQ(settings::kRecordVolume.read(), 6);
  EXPECT_EQ(mainPlayer.device().number, 1);
  EXPECT_EQ(mainPlayer.volume(), -12);
}

}  // namespace
}  // namespace quillon::testing
