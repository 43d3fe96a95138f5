#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "view/colour_scheme.h"
#include "view/time_texts.h"

namespace quillon::view {

// A bookmark as the ruler shows it.
struct RulerBookmark {
  std::string name;
  int64_t frame = 0;
  Rgb colour;
};

// What the time line panel tells its owner, in the panel's order.
class TimeLineListener {
 public:
  virtual ~TimeLineListener() = default;
  virtual void rangeChanged() {}
  virtual void cursorKeptInView() {}
  virtual void cursorMoved(int64_t frame) { (void)frame; }
  virtual void timeUnitChanged(TimeUnit unit) { (void)unit; }
  virtual void trackingStarted() {}
  virtual void bookmarkPicked(int index, int xOffset) { (void)index, (void)xOffset; }
};

// Everything the ruler draws, in panel pixels.
struct RulerPlan {
  struct Tick {
    int x;
    bool major;
  };
  struct Label {
    int x;  // left edge
    std::string text;
  };
  struct Flag {
    int x;
    Rgb colour;
  };
  int width = 0;
  int rulerHeight = 0;  // the ruler area above the button row
  int baseline = 0;     // the line between the tick band and the flag band
  std::vector<Tick> ticks;
  std::vector<Label> labels;
  bool hasCursor = false;
  int cursorX = 0;
  std::vector<Flag> flags;
};

// The time line panel without its window: the ruler over the visible range with its ticks,
// labels, cursor and bookmark marks, the zoom commands, the scroll bar and zoom slider mappings,
// the wheel zoom, ruler taps and drags. Positions are frames (milliseconds in TimeUnit::
// Milliseconds); sizes are panel pixels. Changes made through the panel are told to the listener;
// the setters the owner uses to keep the panel in step tell nothing.
class TimeLineModel {
 public:
  static constexpr int kButtonRowHeight = 22;
  static constexpr int kScrollRange = 65535;
  static constexpr int kSliderRange = 0x7FFF;
  static constexpr int kBookmarkPickDistance = 10;
  // Style bits.
  static constexpr int kTapMovesCursor = 1;
  static constexpr int kZoomAndDrag = 2;
  static constexpr int kPickBookmarks = 8;

  void setListener(TimeLineListener* listener) { listener_ = listener; }

  // Keeping the panel in step (no notices).
  void setTotal(int64_t total) { total_ = std::max<int64_t>(total, 0); }
  void setVisibleRange(int64_t start, int64_t end);
  void setCursor(int64_t frame) { cursor_ = frame; }
  void setRate(int32_t rate) { rate_ = rate; }
  void setUnit(TimeUnit unit) { unit_ = unit; }
  // The unit chosen on the panel: told to the listener.
  void chooseUnit(TimeUnit unit);
  void setSize(int width, int height);
  void setStyle(int style) { style_ = style; }
  void setRightPin(bool pin) { rightPin_ = pin; }
  void setBookmarks(std::vector<RulerBookmark> bookmarks) { bookmarks_ = std::move(bookmarks); }

  int64_t total() const { return total_; }
  int64_t visibleStart() const { return start_; }
  int64_t visibleEnd() const { return end_; }
  int64_t visibleLength() const { return end_ - start_; }
  int64_t cursor() const { return cursor_; }
  TimeUnit unit() const { return unit_; }
  int32_t rate() const { return rate_; }
  int width() const { return width_; }
  int height() const { return height_; }
  const std::vector<RulerBookmark>& bookmarks() const { return bookmarks_; }

  // The ruler area (above the button row), and its tick band: the upper 65 %.
  int rulerHeight() const { return std::max(height_ - kButtonRowHeight, 0); }
  int tickBandHeight() const { return rulerHeight() * 65 / 100; }

  int frameToX(int64_t frame) const;
  int64_t xToFrame(int x) const;

  // Zoom to `length` frames around `centre`: at least 2 frames (1 gives [centre, centre + 1]),
  // at most the whole document, shifted to stay within it. Tells the listener.
  void zoomAround(int64_t centre, int64_t length);
  void zoomIn(int64_t centre);
  void zoomOut(int64_t centre);
  void zoomFull(int64_t centre);
  bool zoomInEnabled() const { return visibleLength() > 1; }
  bool zoomOutEnabled() const { return visibleLength() < total_; }
  bool zoomFullEnabled() const { return zoomOutEnabled(); }

  // The scroll bar over 0 … 65,535: the position of the first visible frame and the page of the
  // visible length; no thumb while everything is visible.
  struct ScrollBar {
    int position = 0;
    int page = 0;
    bool thumb = false;
  };
  ScrollBar scrollBar() const;
  enum class Scroll { LineLeft, LineRight, PageLeft, PageRight, Top, Bottom, Track };
  void scroll(Scroll action, int trackPosition = 0);

  // The zoom slider over 0 … 0x7FFF (the whole document at 0).
  int zoomSliderPosition() const;
  void setZoomSlider(int position);

  // A turn of the wheel by `delta` (120 a notch) with the pointer at ruler x: zooms around the
  // frame under the pointer, inwards for a positive delta.
  void wheel(int delta, int x);
  // The same around a frame (the wave view's pointer).
  void wheelAt(int delta, int64_t frame);
  // Moves the visible range by `frames`, within the document.
  void scrollBy(int64_t frames);

  // Moves the cursor as a ruler tap does; keeps it visible by the right-pin rule.
  void moveCursor(int64_t frame);

  // The pointer on the ruler (panel pixels).
  void press(int x, int y);
  void move(int x, int y);
  void release(int x, int y);
  bool tracking() const { return tracking_ || dragging_; }

  // The bookmark whose ruler line is within 10 pixels of x, nearest first; −1 for none.
  int bookmarkNear(int x) const;
  // The ruler's context menu: where it was asked for (the frame a new bookmark goes to), and
  // the bookmark it edits or deletes.
  void setContextPoint(int x);
  int64_t contextFrame() const { return contextFrame_; }
  int contextBookmark() const { return contextBookmark_; }

  // What the ruler draws; `textWidth` measures a label in the ruler's font.
  RulerPlan buildRuler(const std::function<int(const std::string&)>& textWidth) const;
  // Label gaps and pushes, and the bookmark triangle, for painters.
  static constexpr int kLabelGap = 10;
  static int bookmarkRowWidth(int row) { return int(11 - 1.2222 * row); }
  static Rgb bookmarkRowColour(Rgb colour, int row);

 private:
  void changeRange(int64_t start, int64_t end);
  void keepCursorVisible();

  TimeLineListener* listener_ = nullptr;
  int64_t total_ = 0, start_ = 0, end_ = 0, cursor_ = 0;
  int32_t rate_ = 44100;
  TimeUnit unit_ = TimeUnit::Time;
  int width_ = 1, height_ = 60;
  int style_ = kTapMovesCursor | kZoomAndDrag | kPickBookmarks;
  bool rightPin_ = true;
  std::vector<RulerBookmark> bookmarks_;
  bool tracking_ = false, dragging_ = false, trackingTold_ = false;
  int pivotX_ = 0;
  int64_t dragStart_ = 0, dragEnd_ = 0;
  int64_t contextFrame_ = 0;
  int contextBookmark_ = -1;
};

}  // namespace quillon::view
