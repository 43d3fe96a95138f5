#include <gtest/gtest.h>

#include "display_view.h"
#include "formats/bookmark_file.h"
#include "support/temp_environment.h"
#include "view/bookmark_edit.h"
#include "view/document_display.h"

namespace quillon::testing {
namespace {

using view::GestureResult;
using view::PointerEvent;
using Type = PointerEvent::Type;

// A 10,000-frame document on a view 1,000 columns wide: 10 frames per column.
class GesturesTest : public DocumentTest {
 protected:
  GesturesTest() {
    auto document = WaveDocument::createUntitled(1, 44100, 1);
    document->audio = writeClip(std::vector<Sample>(10000, 100));
    view = std::make_unique<DisplayView>(ui, document);
  }
  void TearDown() override {
    view.reset();
    DocumentTest::TearDown();
  }
  GestureResult event(Type type, int x, int y = 50, bool shift = false, bool ctrl = false) {
    return view->display.pointer({type, x, y, shift, ctrl});
  }
  // A press, moves to each x and a release at the last.
  GestureResult drag(std::vector<int> xs, bool ctrl = false, int y = 50) {
    event(Type::Press, xs.front(), y, false, ctrl);
    for (int x : xs)
      event(Type::Move, x, y, false, ctrl);
    return event(Type::Release, xs.back(), y, false, ctrl);
  }
  WaveDocument& doc() { return *view->document(); }
  void expectSelection(int32_t start, int32_t end, int32_t cursor) {
    EXPECT_EQ(doc().selectionStart, start);
    EXPECT_EQ(doc().selectionEnd, end);
    EXPECT_EQ(doc().cursor, cursor);
    EXPECT_EQ(view->wave.selectionStart(), start);
    EXPECT_EQ(view->wave.selectionEnd(), end);
    EXPECT_EQ(view->wave.cursor(), cursor);
  }

  ScriptedInteraction ui;
  std::unique_ptr<DisplayView> view;
};

TEST_F(GesturesTest, ATapMovesTheCursorAndADragSelectsOnlyPastFourPixels) {
  drag({300});
  expectSelection(3000, 3000, 3000);
  drag({300, 304});
  expectSelection(3000, 3000, 3000);
  drag({300, 305, 200});
  expectSelection(2000, 3000, 2000);
  EXPECT_TRUE(view->display.touched());
  // Past the end the cursor stops at the length.
  drag({900, 1200});
  expectSelection(9000, 10000, 10000);
}

TEST_F(GesturesTest, ShiftTapSelectsFromThePivotAndEdgesAreGrabbedWithinFourPixels) {
  drag({400});
  event(Type::Press, 600, 50, true);
  event(Type::Release, 600, 50, true);
  expectSelection(4000, 6000, 6000);
  // 4 pixels from the start grabs it: the end becomes the pivot.
  drag({404, 404, 300});
  expectSelection(3000, 6000, 3000);
  // 5 pixels from an edge is a plain tap.
  drag({305});
  expectSelection(3050, 3050, 3050);
  drag({300, 500});
  drag({496, 496, 700});  // the end, grabbed from 4 pixels inside
  expectSelection(3000, 7000, 7000);
  EXPECT_EQ(view->display.hoverShape(296, 10, false), view::HoverShape::SizeHorizontal);
  EXPECT_EQ(view->display.hoverShape(500, 10, true), view::HoverShape::Hand);
  EXPECT_EQ(view->display.hoverShape(500, 10, false), view::HoverShape::Arrow);
}

TEST_F(GesturesTest, CtrlDraggingASelectionShowsTheDropMarkerAndDropsOutsideIt) {
  struct Drops : view::DocumentDisplayListener {
    void selectionDropped(int64_t start, int64_t end, int64_t frame) override {
      drops.push_back({start, end, frame});
    }
    std::vector<std::array<int64_t, 3>> drops;
  } listener;
  view->display.setListener(&listener);
  drag({200, 400});
  event(Type::Press, 300, 50, false, true);
  event(Type::Move, 350, 50, false, true);
  EXPECT_FALSE(view->wave.dropMarkerShown());
  event(Type::Move, 700, 50, false, true);
  EXPECT_TRUE(view->wave.dropMarkerShown());
  EXPECT_EQ(view->wave.dropMarker(), 7000);
  const GestureResult dropped = event(Type::Release, 700, 50, false, true);
  EXPECT_TRUE(dropped.selectionDropped);
  EXPECT_FALSE(view->wave.dropMarkerShown());
  ASSERT_EQ(listener.drops.size(), 1u);
  EXPECT_EQ(listener.drops[0], (std::array<int64_t, 3>{2000, 4000, 7000}));
  expectSelection(2000, 4000, 4000);  // the selection itself stays
  // Let go inside the selection: nothing is dropped.
  drag({300, 700, 350}, true);
  EXPECT_EQ(listener.drops.size(), 1u);
  view->display.setListener(nullptr);
}

TEST_F(GesturesTest, AFlagDraggedPastTheEndStopsAtTheLastFrameAndMarksTheDocumentModified) {
  doc().markers.push_back(view::makeBookmark({"b", {1, 2, 3}}, 5000, 44100, 1));
  view->refresh(false);
  doc().modified = false;
  // The flag box of x 500 spans 500 … 517 in the bottom 14 rows (the view is 200 high).
  EXPECT_EQ(view->display.hoverShape(510, 195, false), view::HoverShape::Hand);
  event(Type::Press, 510, 195);
  event(Type::Move, 800, 195);
  EXPECT_EQ(doc().markers[0].position, 8000);
  EXPECT_FALSE(doc().modified);
  const GestureResult last = event(Type::Release, 1300, 195);
  EXPECT_TRUE(last.bookmarkDropped);
  EXPECT_EQ(doc().markers[0].position, 9999);
  EXPECT_EQ(doc().markers[0].positionMs, 226);
  EXPECT_TRUE(doc().modified);
  EXPECT_EQ(view->timeLine.bookmarks()[0].frame, 9999);
  expectSelection(0, 0, 0);  // the flag drag left the selection alone
}

TEST_F(GesturesTest, EscapeCancelsTheDragInProgress) {
  drag({200, 400});
  event(Type::Press, 600);
  event(Type::Move, 800);
  expectSelection(6000, 8000, 8000);
  event(Type::Cancel, 0);
  expectSelection(2000, 4000, 4000);
  doc().markers.push_back(view::makeBookmark({"b", {}}, 5000, 44100, 1));
  view->refresh(false);
  event(Type::Press, 505, 199);
  event(Type::Move, 900, 199);
  event(Type::Cancel, 0);
  EXPECT_EQ(doc().markers[0].position, 5000);
}

TEST_F(GesturesTest, ThePencilValueFollowsThePointerHeight) {
  view::PointerGestures& gestures = view->display.gestures();
  // ((h/2 − y) × 512 / h) × 2^11 on a view 200 high.
  EXPECT_EQ(gestures.pencilValue(0), 256 * 2048);
  EXPECT_EQ(gestures.pencilValue(100), 0);
  EXPECT_EQ(gestures.pencilValue(150), -128 * 2048);
  view->display.setVisibleRange(0, 100);  // 10 columns per frame: the pencil may draw
  view->settle();
  view->wave.setPencilMode(true);
  event(Type::Press, 54, 50);
  EXPECT_TRUE(view->wave.pencilActive());
  const GestureResult up = event(Type::Release, 54, 50);
  EXPECT_TRUE(up.pencilCommitted);
  EXPECT_EQ(up.pencilFrame, 5);
  EXPECT_EQ(up.pencilValue, 128 * 2048);
  view->display.setVisibleRange(0, 10000);  // zoomed out again: the pencil goes off
  EXPECT_FALSE(view->wave.pencilMode());
}

TEST_F(GesturesTest, BookmarksStopAtTwoHundredFiftyFiveAndTakeTheNextNumber) {
  for (int i = 0; i < 300; ++i)
    view->display.addBookmark(i * 10, view::newBookmarkFields(uint32_t(i) * 2654435761u));
  EXPECT_EQ(doc().markers.size(), view::kMaxBookmarks);
  EXPECT_FALSE(view->display.canAddBookmark());
  EXPECT_EQ(doc().markers.back().displayNumber, 255);
  EXPECT_EQ(doc().markers[0].name, "New bookmark");
  for (const Bookmark& b : doc().markers) {
    const view::Rgb c = view::colourOfValue(b.value);
    EXPECT_LT(std::max({c.r, c.g, c.b}), 255);
  }
  view->display.removeBookmark(0);
  view->display.editBookmark(0, {"renamed", {9, 8, 7}});
  EXPECT_EQ(doc().markers[0].name, "renamed");
  EXPECT_EQ(view->timeLine.bookmarks()[0].colour, (view::Rgb{9, 8, 7}));
  EXPECT_TRUE(view->display.canAddBookmark());
  EXPECT_TRUE(doc().modified);
}

TEST_F(GesturesTest, ALongNameIsCutTo259CharactersAndSavedWithThe255Escape) {
  const std::string typed(300, 'x');
  view->display.addBookmark(100, {typed + "\n", {}});
  view->display.addBookmark(200, {std::string(254, 'y'), {}});
  ASSERT_EQ(doc().markers.size(), 2u);
  EXPECT_EQ(doc().markers[0].name, std::string(259, 'x'));
  EXPECT_EQ(view::acceptedBookmarkName("a\tb\xc3\xa9"), "a b\xc3\xa9");
  EXPECT_EQ(view::acceptedBookmarkName(std::string(258, 'a') + "\xc3\xa9\xc3\xa9"),
            std::string(258, 'a') + "\xc3\xa9");
  const std::string path = env.path("song.qbm");
  ASSERT_TRUE(writeBookmarkFile(path, doc().markers));
  std::string bytes;
  ASSERT_TRUE(platform::readWholeFile(path, bytes));
  // Version, count, then the first name: 255 and a 4-byte length of 259.
  EXPECT_EQ(bytes.substr(0, 7), std::string("\x03\x02\xff\x03\x01\x00\x00", 7));
  const std::vector<Bookmark> read = readBookmarkFile(path, 44100);
  ASSERT_EQ(read.size(), 2u);
  EXPECT_EQ(read[0].name, doc().markers[0].name);
  EXPECT_EQ(read[1].name, std::string(254, 'y'));
  EXPECT_EQ(read[1].position, 200);
  EXPECT_EQ(read[1].value, doc().markers[1].value);
}

}  // namespace
}  // namespace quillon::testing
