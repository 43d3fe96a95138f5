// The Play Control dialog through real key and mouse events, on the file output device and a
// virtual clock: what the buttons and keys do to the position, and what the device received.
#include <gtest/gtest.h>

#include <QAction>
#include <QKeyEvent>
#include <QLabel>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>

#include "audio_io/audio_clock.h"
#include "audio_io/clocked_devices.h"
#include "audio_io/ui/dialog_test_support.h"
#include "audio_io/ui/play_control_dialog.h"
#include "document/clip_reader.h"
#include "effects/peak_limiter.h"
#include "effects/speed_stream.h"
#include "platform/scripted_interaction.h"
#include "support/sound_test_support.h"
#include "support/temp_environment.h"
#include "view/time_texts.h"

namespace quillon::testing {
namespace {

using audio_io::ui::PlayControlDialog;
using Button = PlayControlDialog::Button;

class PlayControlDialogTest : public DocumentTest {
 protected:
  PlayControlDialogTest() {
    devices.outputOptions().path = env.path("out.wav");
    words = toneWords(3 * 44100, 1, 44100, 150000, 187);
    threeSeconds = writeClip(words, 1, 44100);
    oneSecond = writeClip(std::vector<Sample>(words.begin(), words.begin() + 44100), 1, 44100);
  }

  void TearDown() override {
    threeSeconds.clear();
    oneSecond.clear();
    DocumentTest::TearDown();
  }

  std::unique_ptr<PlayControlDialog> open(const Clip& audio, int32_t position = 0) {
    auto dialog =
        std::make_unique<PlayControlDialog>(audio, position, QStringLiteral("a.wav"), ui, devices);
    dialog->show();
    pump();
    return dialog;
  }

  // Lets the device play `milliseconds` of the held clock, then runs the notices.
  void play(int milliseconds) {
    clock.advance(int64_t{milliseconds} * 1000);
    clock.waitForBlocked(1);
    pump();
  }

  VirtualClock clock;
  ClockedDevices devices{clock, {}, {}, {"Speakers"}};
  ScriptedInteraction ui;
  std::vector<Sample> words;
  Clip threeSeconds, oneSecond;
};

// End plays the end: while playing a 1-s file it goes 1,500 ms before the end, which is 0;
// stopped, it goes to the end itself. The position bar's thumb at 100 % is the end too, and Step
// Forward moves 5 % of the length.
TEST_F(PlayControlDialogTest, EndWhilePlayingHearsTheEndAndTheBarAtHundredIsTheEnd) {
  clock.hold();
  auto dialog = open(oneSecond, 22050);
  PlayControl& control = dialog->control();
  QTest::keyClick(dialog.get(), Qt::Key_F9);
  ASSERT_TRUE(control.isPlaying());
  play(100);
  QTest::keyClick(dialog.get(), Qt::Key_End);
  EXPECT_EQ(control.position(), 0);
  EXPECT_EQ(control.player().position(), 0) << "the player was sought there";
  EXPECT_TRUE(control.isPlaying());

  QTest::mouseClick(dialog->button(Button::Stop), Qt::LeftButton);
  EXPECT_FALSE(control.isPlaying());
  EXPECT_TRUE(dialog->button(Button::Stop)->isChecked());
  QTest::keyClick(dialog.get(), Qt::Key_Home);
  EXPECT_EQ(control.position(), 0);
  QTest::keyClick(dialog.get(), Qt::Key_End);
  EXPECT_EQ(control.position(), 44100) << "stopped: the end itself";

  dialog->stepBackAction()->trigger();
  EXPECT_EQ(control.position(), 44100 - 2205);
  dialog->positionBar()->setSliderPosition(0);
  EXPECT_EQ(control.position(), 0);
  dialog->stepForwardAction()->trigger();
  EXPECT_EQ(control.position(), 2205) << "5 % of 44,100 frames";
  EXPECT_EQ(dialog->positionBar()->value(), 5);
  QTest::keyClick(dialog.get(), Qt::Key_Right, Qt::ControlModifier);
  EXPECT_EQ(control.position(), 4410) << "Ctrl+Right is Step Forward";

  dialog->positionBar()->setSliderPosition(100);
  EXPECT_EQ(control.position(), 44100) << "the thumb at 100 % is the end";
  EXPECT_EQ(dialog->positionText()->text(), QString::fromStdString(view::formatB(1000)));
  dialog->positionBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
  EXPECT_EQ(control.position(), 0) << "a line step is 2 s, not below 0";
  clock.release();
}

// Right held while paused scans forward through the speed ramp from +1.1 to +3.0 over 8,000
// frames: the device receives exactly that stream from the paused position. Releasing the key
// goes back to the pause loop, now where the scan ended: a quarter buffer looped from there.
TEST_F(PlayControlDialogTest, ForwardHeldWhilePausedScansGentlyAndReturnsToThePauseLoop) {
  clock.hold();
  auto dialog = open(threeSeconds);
  PlayControl& control = dialog->control();
  QTest::keyClick(dialog.get(), Qt::Key_F9);
  play(200);
  QTest::keyClick(dialog.get(), Qt::Key_F10);
  pump();
  ASSERT_TRUE(control.isPaused());
  const int32_t paused = control.position();
  EXPECT_EQ(paused, 8820) << "two buffers heard";

  devices.outputOptions().path = env.path("scan.wav");
  QTest::keyPress(dialog.get(), Qt::Key_Right);
  ASSERT_TRUE(control.scanning());
  QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier, QString(), true);
  QCoreApplication::sendEvent(dialog.get(), &repeat);  // held: the scan goes on
  play(300);
  devices.outputOptions().path = env.path("after.wav");
  QTest::keyRelease(dialog.get(), Qt::Key_Right);
  pump();
  EXPECT_FALSE(control.scanning());
  ASSERT_TRUE(control.isPaused()) << "back in the pause loop";
  const int32_t scanned = control.position();
  play(100);
  dialog->reject();

  auto reader = makeRef<ClipReader>(threeSeconds);
  reader->seek(paused);
  const std::vector<int16_t> expected =
      toDevice(readWords(makeRef<SpeedRampStream>(limitTo(reader), 1.1, 3.0, 8000), 13230));
  const std::vector<int16_t> scan = readWav16(env.path("scan.wav"));
  ASSERT_EQ(scan.size(), 13230u) << "300 ms of the scan";
  EXPECT_EQ(scan, expected);
  // 8,000 frames from 1.1 to 3.0 travel about 16,400 frames, the 5,230 after them 15,690.
  EXPECT_NEAR(scanned - paused, 16400 + 15690, 10);

  const std::vector<int16_t> all = toDevice(words);
  const std::vector<int16_t> after = readWav16(env.path("after.wav"));
  ASSERT_EQ(after.size(), 4410u);
  const size_t quarter = (4410 + 3) / 4;
  for (size_t i = 0; i < after.size(); ++i)
    ASSERT_EQ(after[i], all[size_t(scanned) + i % quarter]) << "frame " << i;
}

// Rewind from a stopped player plays backwards fast (−0.5 → −7.0) and leaves it stopped.
TEST_F(PlayControlDialogTest, RewindFromStoppedScansBackAndStaysStopped) {
  clock.hold();
  auto dialog = open(threeSeconds, 88200);
  PlayControl& control = dialog->control();
  QTest::mousePress(dialog->button(Button::Rewind), Qt::LeftButton);
  ASSERT_TRUE(control.scanning());
  play(100);
  QTest::mouseRelease(dialog->button(Button::Rewind), Qt::LeftButton);
  pump();
  EXPECT_FALSE(control.isPlaying());
  // 4,410 frames from −0.5, 6.5 / 8,000 faster each frame: about 10,106 frames back.
  EXPECT_NEAR(88200 - control.position(), 10106, 15);
  clock.release();
}

}  // namespace
}  // namespace quillon::testing
