#include <gtest/gtest.h>

#include "display_view.h"
#include "platform/settings.h"
#include "shell/command_table.h"
#include "support/temp_environment.h"
#include "view/document_display.h"

namespace quillon::testing {
namespace {

using view::TimeLineModel;

static_assert(view::zoom_command::kZoomIn == command::kZoomIn);
static_assert(view::zoom_command::kZoomOut == command::kZoomOut);
static_assert(view::zoom_command::kZoomFull == command::kZoomFull);
static_assert(view::zoom_command::kZoomToSelection == command::kZoomToSelection);
static_assert(view::zoom_command::kVerticalZoom == command::kVerticalZoom);

// The editor's commands on a document shown by the real display (1,000 columns wide).
class NavigationTest : public DocumentTest {
 protected:
  NavigationTest() {
    settings::kPromptSampleAndChannels.write(false);
    editor = std::make_unique<Editor>(window);
  }
  void TearDown() override {
    editor.reset();
    DocumentTest::TearDown();
  }
  WaveDocument& open(int32_t frames) {
    EXPECT_TRUE(editor->newFile());
    WaveDocument& d = editor->document();
    d.audio = writeClip(std::vector<Sample>(size_t(frames), 1000));
    d.modified = false;
    editor->view().refreshAll();
    editor->view().showWholeWave();
    view().settle();
    return d;
  }
  DisplayView& view() { return *window.current; }
  WaveDocument& doc() { return editor->document(); }
  bool run(int id, int code = 0) {
    const bool ran = editor->dispatchCommand(id, code);
    view().settle();
    return ran;
  }
  int64_t visibleLength() { return int64_t{doc().viewEnd} - doc().viewStart; }

  DisplayMainWindow window;
  std::unique_ptr<Editor> editor;
};

TEST_F(NavigationTest, ZoomInHalvesTheLengthDownToOneFrameAndThenIsDisabled) {
  open(44100);
  doc().cursor = 20000;
  view().display.setVisibleRange(19999, 20002);  // 3 frames
  const int64_t lengths[] = {2, 1};
  for (int64_t length : lengths) {
    ASSERT_TRUE(editor->isCommandEnabled(command::kZoomIn));
    run(command::kZoomIn);
    EXPECT_EQ(visibleLength(), length);
    EXPECT_EQ(view().wave.visibleLength(), length);
  }
  EXPECT_EQ(doc().viewStart, 20000);
  EXPECT_FALSE(editor->isCommandEnabled(command::kZoomIn));
  EXPECT_TRUE(editor->isCommandEnabled(command::kZoomOut));
}

TEST_F(NavigationTest, ZoomOutNearTheStartStartsAtZeroAndZoomFullDisablesItself) {
  open(44100);
  doc().cursor = 10;
  view().display.setVisibleRange(0, 100);
  run(command::kZoomOut);
  EXPECT_EQ(doc().viewStart, 0);
  EXPECT_EQ(doc().viewEnd, 200);
  // Near the end it ends at the end.
  doc().cursor = 44000;
  run(command::kZoomOut);
  EXPECT_EQ(doc().viewStart, 44100 - 400);
  EXPECT_EQ(doc().viewEnd, 44100);
  run(command::kZoomFull);
  EXPECT_EQ(visibleLength(), 44100);
  EXPECT_FALSE(editor->isCommandEnabled(command::kZoomOut));
  EXPECT_FALSE(editor->isCommandEnabled(command::kZoomFull));
  EXPECT_FALSE(editor->isCommandEnabled(command::kZoomToSelection));
  run(command::kSelectAll);
  EXPECT_TRUE(editor->isCommandEnabled(command::kZoomToSelection));
}

TEST_F(NavigationTest, StepLeftStopsAtTheSelectionStartAndStepsOneColumn) {
  open(44100);
  // Zoom full on 1,000 columns: 44.1 frames per column, a step of 45 frames.
  EXPECT_EQ(view().display.framesPerStep(), 45);
  setSelection(view(), 1000, 2000, 1500);
  run(command::kStepLeft, 20);
  EXPECT_EQ(doc().cursor, 1000);
  run(command::kStepLeft);
  EXPECT_EQ(doc().cursor, 1000);
  run(command::kStepRight, 2);
  EXPECT_EQ(doc().cursor, 1090);
  EXPECT_EQ(view().wave.cursor(), 1090);
}

TEST_F(NavigationTest, GoToStartGoesToTheSelectionStartOrToZero) {
  open(44100);
  setSelection(view(), 3000, 9000, 5000);
  run(command::kGoToStart);
  EXPECT_EQ(doc().cursor, 3000);
  run(command::kSelectAll);
  placeCursor(view(), 100);
  doc().selectionStart = doc().selectionEnd = 100;  // no selection
  run(command::kGoToStart);
  EXPECT_EQ(doc().cursor, 0);
  EXPECT_EQ(view().timeLine.cursor(), 0);
  EXPECT_EQ(view().display.status()[4].value, "0:00:00.000");
}

TEST_F(NavigationTest, SelectToStartAtZeroSelectsNothing) {
  open(44100);
  placeCursor(view(), 0);
  run(command::kSelectToStart);
  EXPECT_EQ(doc().selectionStart, 0);
  EXPECT_EQ(doc().selectionEnd, 0);
  EXPECT_FALSE(doc().hasSelection());
  EXPECT_FALSE(view().wave.hasSelection());
}

TEST_F(NavigationTest, ACursorCommandCentresTheViewOnTheCursorWithinTheDocument) {
  open(100000);
  view().display.setVisibleRange(0, 10000);
  placeCursor(view(), 50000);
  EXPECT_EQ(doc().viewStart, 45000);
  EXPECT_EQ(doc().viewEnd, 55000);
  placeCursor(view(), 99000);
  EXPECT_EQ(doc().viewStart, 90000);
  EXPECT_EQ(doc().viewEnd, 100000);
  view().settle();
  EXPECT_EQ(view().wave.firstVisibleFrame(), 90000);
  EXPECT_EQ(view().timeLine.visibleStart(), 90000);
}

TEST_F(NavigationTest, AnEditClipsTheVisibleRangeAndAnEmptiedDocumentShowsEverything) {
  WaveDocument& d = open(44100);
  view().display.setVisibleRange(40000, 44000);
  setSelection(view(), 10000, 44100, 10000);
  run(command::kDelete);
  EXPECT_EQ(d.audio.length(), 10000);
  EXPECT_LE(d.viewEnd, 10000);
  EXPECT_EQ(view().wave.length(), 10000);
  run(command::kSelectAll);
  run(command::kDelete);
  EXPECT_EQ(d.viewStart, 0);
  EXPECT_EQ(d.viewEnd, 0);
  EXPECT_EQ(view().display.status()[3].value, "0:00:00.000");
}

TEST_F(NavigationTest, DisplayModeAndVerticalZoomCommandsStoreTheirValuesAndReattach) {
  EXPECT_TRUE(editor->newFile());
  WaveDocument& d = editor->document();
  d.audio = writeClip(std::vector<Sample>(20000, 3000), 2);
  editor->view().refreshAll();
  view().settle();
  struct Case {
    int command;
    int mode;
    bool zoom;
  };
  for (const Case& c :
       {Case{command::kWaveFormDual, 2, false}, Case{command::kVerticalZoom, 2, true},
        Case{command::kWaveFormLeftRight, 1, true}, Case{command::kVerticalZoom, 1, false},
        Case{command::kWaveFormPlusMinus, 0, false}}) {
    run(c.command);
    EXPECT_EQ(view().wave.displayMode(), c.mode) << c.command;
    EXPECT_EQ(view().wave.verticalZoom(), c.zoom) << c.command;
    EXPECT_EQ(settings::kWaveFormMode.read(), c.mode) << c.command;
    EXPECT_EQ(settings::kVerticalZoom.read(), c.zoom) << c.command;
    // The peaks follow: 3000 >> 11 is 1, and 8 times that with vertical zoom.
    EXPECT_EQ(view().wave.peaks().upper[500], c.zoom ? 11 : 1) << c.command;
  }
}

// The time line panel alone.

struct Recorder : view::TimeLineListener {
  void rangeChanged() override { ++ranges; }
  void cursorKeptInView() override { ++kept; }
  void cursorMoved(int64_t frame) override { moved.push_back(frame); }
  int ranges = 0, kept = 0;
  std::vector<int64_t> moved;
};

TEST(TimeLineModelTest, TheScrollBarHasNoThumbWhenEverythingIsVisible) {
  TimeLineModel t;
  t.setSize(500, 60);
  t.setTotal(100000);
  t.setVisibleRange(0, 100000);
  EXPECT_FALSE(t.scrollBar().thumb);
  t.setVisibleRange(25000, 50000);
  const TimeLineModel::ScrollBar bar = t.scrollBar();
  EXPECT_TRUE(bar.thumb);
  EXPECT_EQ(bar.position, 16384);  // round(0.25 × 65,535)
  EXPECT_EQ(bar.page, 16384);
}

TEST(TimeLineModelTest, ScrollingMovesByLinesPagesAndTheThumbWithinTheDocument) {
  TimeLineModel t;
  Recorder r;
  t.setListener(&r);
  t.setSize(500, 60);
  t.setTotal(100000);
  t.setVisibleRange(10000, 20000);
  t.scroll(TimeLineModel::Scroll::LineRight);  // the frames under 10 pixels: 200
  EXPECT_EQ(t.visibleStart(), 10200);
  t.scroll(TimeLineModel::Scroll::PageLeft);
  EXPECT_EQ(t.visibleStart(), 200);
  t.scroll(TimeLineModel::Scroll::PageLeft);
  EXPECT_EQ(t.visibleStart(), 0);
  t.scroll(TimeLineModel::Scroll::Track, 65535);
  EXPECT_EQ(t.visibleStart(), 90000);
  EXPECT_EQ(t.visibleEnd(), 100000);
  t.scroll(TimeLineModel::Scroll::Top);
  EXPECT_EQ(t.visibleStart(), 0);
  EXPECT_EQ(r.ranges, 5);
}

TEST(TimeLineModelTest, TheZoomSliderAndTheWheelZoom) {
  TimeLineModel t;
  t.setSize(300, 60);
  t.setTotal(32767 * 10);
  t.setVisibleRange(0, 32767 * 10);
  EXPECT_EQ(t.zoomSliderPosition(), 0);
  t.setCursor(100000);
  t.setZoomSlider(0x7FFF - 16384);  // half the document around the cursor
  EXPECT_EQ(t.visibleLength(), 163840);
  EXPECT_EQ(t.zoomSliderPosition(), 0x7FFF - 16384);
  // One notch in over the middle: factor 1 − 150/300 halves the range around the pointer.
  t.setVisibleRange(100000, 200000);
  t.wheel(120, 150);
  EXPECT_EQ(t.visibleStart(), 125000);
  EXPECT_EQ(t.visibleEnd(), 175000);
  t.wheel(-120, 150);  // out by 1.5 around the same frame
  EXPECT_EQ(t.visibleStart(), 112500);
  EXPECT_EQ(t.visibleEnd(), 187500);
  // A range too short to change by the factor moves a frame at each end.
  t.setVisibleRange(1000, 1003);
  t.wheel(120, 150);
  EXPECT_EQ(t.visibleStart(), 1001);
  EXPECT_EQ(t.visibleEnd(), 1002);
}

TEST(TimeLineModelTest, RulerTapsMoveTheCursorAndTheRightPinKeepsItInView) {
  TimeLineModel t;
  Recorder r;
  t.setListener(&r);
  t.setSize(1000, 60);
  t.setTotal(100000);
  t.setVisibleRange(10000, 20000);
  t.press(500, 5);  // the tick band
  EXPECT_EQ(t.cursor(), 15000);
  t.move(1200, 5);  // dragged past the right edge: the range follows, the cursor at its end
  EXPECT_EQ(t.cursor(), 22000);
  EXPECT_EQ(t.visibleEnd(), 22000);
  EXPECT_EQ(r.kept, 1);
  t.release(1200, 5);
  t.setRightPin(false);
  t.moveCursor(50000);  // a page: the cursor becomes the start
  EXPECT_EQ(t.visibleStart(), 50000);
  t.moveCursor(40000);
  EXPECT_EQ(t.visibleEnd(), 40000);
  EXPECT_EQ(r.moved.size(), 4u);
}

TEST(TimeLineModelTest, ADragInTheFlagBandMovesTheRangeAndATapNearABookmarkPicksIt) {
  struct Picks : Recorder {
    void bookmarkPicked(int index, int offset) override { picked.push_back({index, offset}); }
    std::vector<std::pair<int, int>> picked;
  } r;
  TimeLineModel t;
  t.setListener(&r);
  t.setSize(1000, 60);  // ruler 38 high, tick band 24
  t.setTotal(100000);
  t.setVisibleRange(10000, 20000);
  t.setBookmarks({{"a", 12000, {}}, {"b", 15000, {}}});
  t.press(207, 30);  // bookmark a is at x 200
  ASSERT_EQ(r.picked.size(), 1u);
  EXPECT_EQ(r.picked[0], (std::pair{0, 7}));
  EXPECT_EQ(t.bookmarkNear(489), -1);
  t.press(700, 30);
  t.move(600, 30);  // dragged 100 pixels to the left: the range moves 1,000 frames later
  t.release(600, 30);
  EXPECT_EQ(t.visibleStart(), 11000);
  EXPECT_EQ(t.visibleEnd(), 21000);
}

TEST(TimeLineModelTest, TheRulerLabelsMajorTicksWithoutOverlapAndMarksBookmarks) {
  TimeLineModel t;
  t.setSize(1000, 60);
  t.setRate(44100);
  t.setTotal(44100 * 60);
  t.setVisibleRange(0, 44100 * 30);  // majors every 5 s, minors every second
  t.setCursor(44100 * 10);
  t.setBookmarks({{"a", 44100 * 15, {100, 200, 50}}});
  const view::RulerPlan plan =
      t.buildRuler([](const std::string& text) { return int(text.size()) * 7; });
  EXPECT_EQ(plan.baseline, 24);
  ASSERT_EQ(plan.ticks.size(), 31u);
  EXPECT_TRUE(plan.ticks[5].major);
  EXPECT_EQ(plan.ticks[5].x, 167);
  std::vector<std::string> texts;
  for (const auto& label : plan.labels)
    texts.push_back(label.text);
  EXPECT_EQ(texts, (std::vector<std::string>{"0", "5s", "10s", "15s", "20s", "25s", "30s"}));
  EXPECT_EQ(plan.labels.front().x, 2);                // pushed inside the frame at the left
  EXPECT_EQ(plan.labels.back().x, 1000 - 3 * 7 - 2);  // and at the right
  EXPECT_EQ(plan.cursorX, 333);
  ASSERT_EQ(plan.flags.size(), 1u);
  EXPECT_EQ(plan.flags[0].x, 500);
  // The stepped triangle: widths 11 … 1, darker at the bottom.
  const int widths[] = {11, 9, 8, 7, 6, 4, 3, 2, 1};
  for (int row = 0; row < 9; ++row)
    EXPECT_EQ(TimeLineModel::bookmarkRowWidth(row), widths[row]);
  EXPECT_EQ(TimeLineModel::bookmarkRowColour({100, 200, 50}, 0), (view::Rgb{44, 88, 22}));
}

}  // namespace
}  // namespace quillon::testing
