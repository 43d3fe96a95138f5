// The decibel slider, the level meter and the transport strip as widgets: real Qt mouse and key
// events, the pixels they paint, and the strip over a player on the null device.
#include <gtest/gtest.h>

#include <QImage>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include "audio_io/audio_clock.h"
#include "audio_io/clocked_devices.h"
#include "audio_io/ui/db_slider.h"
#include "audio_io/ui/dialog_test_support.h"
#include "audio_io/ui/level_meter.h"
#include "audio_io/ui/transport_strip.h"
#include "support/memory_source.h"
#include "support/sound_test_support.h"
#include "support/temp_environment.h"
#include "view/ui/qt_notice_poster.h"

namespace quillon::testing {
namespace {

using audio_io::ui::DbSlider;
using audio_io::ui::LevelMeter;
using audio_io::ui::TransportStrip;

void drag(QWidget& widget, int fromX, int toX) {
  QTest::mousePress(&widget, Qt::LeftButton, {}, QPoint(fromX, 4));
  QMouseEvent move(QEvent::MouseMove, QPointF(toX, 4), widget.mapToGlobal(QPointF(toX, 4)),
                   Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&widget, &move);
}

// A 98-pixel slider has a client rectangle of x 1 … 97 (96 wide) over −36 … +12: the value at
// x is −36 + 48 × (x − 1) / 96. Taps and drags set it and tell; + and − stop at the ends.
TEST(DbSliderWidgetTest, TapAndDragSetTheValueFromXAndKeysStopAtBothEnds) {
  DbSlider slider(-36, 12);
  slider.resize(98, 10);
  slider.show();
  QSignalSpy told(&slider, &DbSlider::valueChanged);
  struct Tap {
    int x, value;
  } taps[] = {{1, -36}, {97, 12}, {49, -12}, {73, 0}, {95, 11}, {96, 11}, {0, -36}};
  for (const Tap& tap : taps) {
    QTest::mouseClick(&slider, Qt::LeftButton, {}, QPoint(tap.x, 4));
    EXPECT_EQ(slider.value(), tap.value) << "tap at " << tap.x;
  }
  EXPECT_EQ(told.count(), 6) << "the second 11 changed nothing and told nothing";

  drag(slider, 1, 85);
  EXPECT_EQ(slider.value(), 6) << "a drag follows the pointer";
  QTest::mouseRelease(&slider, Qt::LeftButton, {}, QPoint(85, 4));

  slider.setFocus();
  slider.setValue(11);
  told.clear();
  QTest::keyClick(&slider, Qt::Key_Plus, Qt::KeypadModifier);
  EXPECT_EQ(slider.value(), 12);
  QTest::keyClick(&slider, Qt::Key_Plus);
  EXPECT_EQ(slider.value(), 12) << "+ at the top";
  slider.setValue(-35);
  QTest::keyClick(&slider, Qt::Key_Minus, Qt::KeypadModifier);
  QTest::keyClick(&slider, Qt::Key_Minus);
  EXPECT_EQ(slider.value(), -36) << "− at the bottom";
  ASSERT_EQ(told.count(), 2) << "only real changes tell";
  EXPECT_EQ(told[0][0].toInt(), 12);
  EXPECT_EQ(told[1][0].toInt(), -36);
}

// A 96-pixel meter: x(dB) = 96 × (dB + 36) / 48. +12 dB: green to x(0) = 72, red to the right
// edge; −36 dB: black all along. A black line closes the bottom.
TEST(LevelMeterWidgetTest, TwelveDecibelsFillABarAndMinus36LeavesItEmpty) {
  LevelMeter meter;
  meter.resize(96, 11);
  LevelRecord levels{2, {}};
  levels.decibels[0] = 12;
  levels.decibels[1] = -36;
  meter.setLevels(levels);
  const QImage image = meter.grab().toImage();
  ASSERT_EQ(image.width(), 96);
  for (int x = 0; x < 96; ++x) {
    const QColor top = image.pixelColor(x, 2);
    if (x < 72) {
      EXPECT_GT(top.green(), 2 * top.red()) << "green at " << x;
    } else {
      EXPECT_GT(top.red(), 2 * top.green()) << "red at " << x;
    }
    EXPECT_EQ(image.pixelColor(x, 7), QColor(Qt::black)) << "empty at " << x;
    EXPECT_EQ(image.pixelColor(x, 10), QColor(Qt::black)) << "bottom line at " << x;
  }
  levels.decibels[0] = -127;
  meter.setLevels(levels);
  EXPECT_EQ(meter.grab().toImage().pixelColor(0, 2), QColor(Qt::black)) << "silence";
}

// The strip over the main player: the slider sets the player's volume, the player's Volume
// notice moves the slider, and while the player plays the meter shows its levels (a tone at
// 2^17 is 0 dB); when it stops the meter empties.
TEST(TransportStripTest, VolumeDrivesThePlayerAndTheMeterFollowsItsLevels) {
  TempEnvironment env;
  VirtualClock clock;
  ClockedDevices devices{clock, {}, {}};
  view::ui::QtNoticePoster poster;
  Player player(poster, devices);
  {
    TransportStrip strip(player);
    strip.resize(400, TransportStrip::kHeight);
    strip.show();
    pump();
    EXPECT_EQ(strip.button(TransportStrip::kPlay)->geometry(), QRect(20, 1, 18, 18));
    EXPECT_EQ(strip.button(TransportStrip::kLoopPlay)->geometry(), QRect(77, 1, 18, 18));
    EXPECT_EQ(strip.volumeSlider()->geometry(), QRect(96, 0, 304, 8));
    EXPECT_EQ(strip.levelMeter()->geometry(), QRect(96, 9, 304, 8));

    std::vector<int> commands;
    strip.setCommandHandler([&](int command) { commands.push_back(command); });
    QTest::mouseClick(strip.button(TransportStrip::kPlay), Qt::LeftButton);
    EXPECT_EQ(commands, std::vector<int>{TransportStrip::kPlay});

    // The slider's client rectangle is x 1 … 303 over −36 … +10 dB: its right edge is +10 dB.
    QTest::mouseClick(strip.volumeSlider(), Qt::LeftButton, {}, QPoint(303, 4));
    EXPECT_EQ(player.volume(), 10);
    player.setVolume(-20);
    pump();
    EXPECT_EQ(strip.volumeSlider()->value(), -20);
    player.setVolume(0);

    clock.hold();
    ASSERT_TRUE(player.start(memorySource(toneWords(44100, 2, 44100, 1 << 17), 2)));
    clock.advance(300000);
    clock.waitForBlocked(1);
    pumpUntil([&] { return strip.levelMeter()->model().channels() == 2; });
    EXPECT_EQ(strip.levelMeter()->model().level(0), 0);
    EXPECT_EQ(strip.levelMeter()->model().level(1), 0);
    player.stop();
    pump();
    EXPECT_EQ(strip.levelMeter()->model().level(0), LevelMeterModel::kLowest);
    clock.release();
  }
  EXPECT_EQ(player.listenerCount(), 0) << "the strip leaves the player's listeners";
}

}  // namespace
}  // namespace quillon::testing
