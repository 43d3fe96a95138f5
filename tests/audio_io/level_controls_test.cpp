// The decibel slider's and the level meter's geometry, worked by hand from their formulas.
#include <gtest/gtest.h>

#include "audio_io/decibel_slider_model.h"
#include "audio_io/level_meter_model.h"

namespace quillon::testing {
namespace {

// value = minimum + (maximum − minimum) × x / width, kept within the range; +/− stop at the ends.
TEST(DecibelSliderModelTest, ValueFromXAndStepsStopAtBothEnds) {
  DecibelSliderModel slider(-36, 12);
  struct Case {
    int x, width, value;
  } cases[] = {
      {0, 96, -36}, {96, 96, 12},   {48, 96, -12}, {72, 96, 0},  {1, 96, -36},
      {2, 96, -35}, {-10, 96, -36}, {500, 96, 12}, {95, 96, 11}, {7, 0, -36},
  };
  for (const Case& c : cases)
    EXPECT_EQ(slider.valueAt(c.x, c.width), c.value) << c.x << " of " << c.width;

  ASSERT_TRUE(slider.setValue(11));
  EXPECT_TRUE(slider.step(+1));
  EXPECT_EQ(slider.value(), 12);
  EXPECT_FALSE(slider.step(+1)) << "at the top + changes nothing";
  EXPECT_EQ(slider.value(), 12);
  ASSERT_TRUE(slider.setValue(-35));
  EXPECT_TRUE(slider.step(-1));
  EXPECT_FALSE(slider.step(-1)) << "at the bottom − changes nothing";
  EXPECT_EQ(slider.value(), -36);
}

// Client 1…97 (96 wide) over −36…+12: x(v) = 1 + (v + 36) × 2. Green to 0 dB (73) or to a
// negative value, red from 0 dB to a positive one, grey to the right edge; the 13-pixel thumb
// is centred on the value and kept inside.
TEST(DecibelSliderModelTest, DrawsTheThreePartsAndTheThumbWithTheirColours) {
  const ControlBox client{1, 1, 97, 9};
  DecibelSliderModel slider(-36, 12, 6);
  DecibelSliderModel::Drawing d = slider.draw(client, false, true);
  using M = DecibelSliderModel;
  ASSERT_EQ(d.parts.size(), 3u);
  EXPECT_EQ(d.parts[0], (FilledBox{{1, 1, 73, 9}, M::kLowFill, M::kLowOutline}));
  EXPECT_EQ(d.parts[1], (FilledBox{{73, 1, 85, 9}, M::kHighFill, M::kHighOutline}));
  EXPECT_EQ(d.parts[2], (FilledBox{{85, 1, 97, 9}, M::kRestFill, M::kRestOutline}));
  EXPECT_EQ(d.thumb, (FilledBox{{79, 1, 92, 9}, M::kThumbCold, M::kThumbEdge}));
  EXPECT_EQ(d.gripLightX, 83);
  EXPECT_EQ(d.gripDarkX, 85);

  slider.setValue(-12);
  d = slider.draw(client, true, true);
  ASSERT_EQ(d.parts.size(), 2u);
  EXPECT_EQ(d.parts[0].box, (ControlBox{1, 1, 49, 9}));
  EXPECT_EQ(d.parts[1].box, (ControlBox{49, 1, 97, 9}));
  EXPECT_EQ(d.thumb.fill, M::kThumbHot);

  slider.setValue(-36);
  EXPECT_EQ(slider.draw(client, false, true).thumb.box.left, 1) << "kept inside on the left";
  slider.setValue(12);
  EXPECT_EQ(slider.draw(client, false, true).thumb.box.right, 97) << "and on the right";

  for (const FilledBox& part : slider.draw(client, false, false).parts) {
    EXPECT_EQ(part.fill, M::kDisabled);
    EXPECT_EQ(part.outline, M::kDisabled);
  }
}

// x(dB) = width × (dB + 36) / 48; bar i takes rows [h × i / n, h × (i + 1) / n); only the bars
// whose level changed are reported.
TEST(LevelMeterModelTest, BarsFromTheirLevelsAndOnlyChangedBarsRepaint) {
  LevelMeterModel meter;
  LevelRecord record{3, {}};
  record.decibels[0] = 12;
  record.decibels[1] = -127;
  record.decibels[2] = 6;
  EXPECT_EQ(meter.setLevels(record), (std::vector<int>{0, 1, 2}));
  const LevelMeterModel::Bar full = meter.bar(0, 96, 10);
  EXPECT_EQ(full.box, (ControlBox{0, 0, 96, 3}));
  EXPECT_EQ(full.greenEnd, 72);
  EXPECT_EQ(full.redStart, 72);
  EXPECT_EQ(full.redEnd, 96) << "+12 dB fills the bar";
  const LevelMeterModel::Bar empty = meter.bar(1, 96, 10);
  EXPECT_EQ(empty.box, (ControlBox{0, 3, 96, 6}));
  EXPECT_EQ(empty.greenEnd, 0) << "−36 dB and below leave it empty";
  EXPECT_EQ(empty.blackStart(), 0);
  const LevelMeterModel::Bar half = meter.bar(2, 96, 10);
  EXPECT_EQ(half.box, (ControlBox{0, 6, 96, 10}));
  EXPECT_EQ(half.redEnd, 84);

  record.decibels[1] = -37;  // still the bottom of the scale
  record.decibels[2] = 0;
  EXPECT_EQ(meter.setLevels(record), (std::vector<int>{2}));
  EXPECT_EQ(meter.bar(2, 96, 10).greenEnd, 72);
  EXPECT_EQ(meter.bar(2, 96, 10).blackStart(), 72);
  record.channels = 2;
  EXPECT_EQ(meter.setLevels(record), (std::vector<int>{0, 1})) << "a new channel count: all";
}

}  // namespace
}  // namespace quillon::testing
