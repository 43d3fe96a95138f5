#include "view/time_line_model.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>

namespace quillon::view {

void TimeLineModel::setVisibleRange(int64_t start, int64_t end) {
  start_ = start;
  end_ = std::max(start, end);
}

void TimeLineModel::setSize(int width, int height) {
  width_ = std::max(width, 1);
  height_ = std::max(height, 0);
}

void TimeLineModel::chooseUnit(TimeUnit unit) {
  unit_ = unit;
  if (listener_) listener_->timeUnitChanged(unit);
}

int TimeLineModel::frameToX(int64_t frame) const {
  const int64_t length = visibleLength();
  if (length <= 0) return 0;
  const int64_t offset = (frame - start_) * width_;
  const int64_t x = (offset < 0 ? offset - length / 2 : offset + length / 2) / length;
  return int(std::clamp<int64_t>(x, INT_MIN / 2, INT_MAX / 2));
}

int64_t TimeLineModel::xToFrame(int x) const {
  return start_ + (int64_t{x} * visibleLength() + width_ / 2) / width_;
}

void TimeLineModel::changeRange(int64_t start, int64_t end) {
  setVisibleRange(start, end);
  if (listener_) listener_->rangeChanged();
}

void TimeLineModel::zoomAround(int64_t centre, int64_t length) {
  int64_t start, end;
  if (length == 1) {
    start = centre;
    end = centre + 1;
  } else {
    const int64_t d = std::min(total_, std::max<int64_t>(length, 2));
    start = centre - d / 2;
    end = centre + (d + 1) / 2;
  }
  if (start < 0) {
    end -= start;
    start = 0;
  }
  if (end > total_) {
    start = std::max<int64_t>(start - (end - total_), 0);
    end = total_;
  }
  changeRange(start, end);
}

void TimeLineModel::zoomIn(int64_t centre) {
  zoomAround(centre, (visibleLength() + 1) / 2);
}

void TimeLineModel::zoomOut(int64_t centre) {
  const int64_t length = visibleLength();
  zoomAround(centre, length >= 0x40000000 ? 0x7FFFFFFF : length * 2);
}

void TimeLineModel::zoomFull(int64_t centre) {
  zoomAround(centre, total_);
}

TimeLineModel::ScrollBar TimeLineModel::scrollBar() const {
  if (total_ <= 0) return {};
  const int page = int(std::lround(double(visibleLength()) / double(total_) * kScrollRange));
  if (page >= kScrollRange) return {};
  return {int(std::lround(double(start_) / double(total_) * kScrollRange)), page, true};
}

void TimeLineModel::scroll(Scroll action, int trackPosition) {
  const int64_t length = visibleLength();
  int64_t start = start_;
  switch (action) {
    case Scroll::LineLeft:
    case Scroll::LineRight: {
      const int64_t line = std::max<int64_t>(10 * length / width_, 1);
      start += action == Scroll::LineLeft ? -line : line;
      break;
    }
    case Scroll::PageLeft:
      start -= length;
      break;
    case Scroll::PageRight:
      start += length;
      break;
    case Scroll::Top:
      start = 0;
      break;
    case Scroll::Bottom:
      start = total_ - length;
      break;
    case Scroll::Track:
      start = std::llround(double(trackPosition) * (1.0 / kScrollRange) * double(total_));
      break;
  }
  start = std::clamp<int64_t>(start, 0, std::max<int64_t>(total_ - length, 0));
  changeRange(start, start + length);
}

int TimeLineModel::zoomSliderPosition() const {
  if (total_ <= 0) return 0;
  return kSliderRange - int(std::lround(double(visibleLength()) / double(total_) * 32767));
}

void TimeLineModel::setZoomSlider(int position) {
  int64_t length = position >= kSliderRange
                       ? 1
                       : std::llround(double(kSliderRange - position) / 32767 * double(total_));
  zoomAround(cursor_, std::max<int64_t>(length, 1));
}

void TimeLineModel::wheel(int delta, int x) {
  wheelAt(delta, xToFrame(x));
}

void TimeLineModel::scrollBy(int64_t frames) {
  const int64_t length = visibleLength();
  const int64_t start =
      std::clamp<int64_t>(start_ + frames, 0, std::max<int64_t>(total_ - length, 0));
  if (start != start_) changeRange(start, start + length);
}

void TimeLineModel::wheelAt(int delta, int64_t frame) {
  const int k = delta / 120;
  if (k == 0) return;
  const int64_t g = std::clamp<int64_t>(frame, start_, end_);
  const double factor = 1.0 + double(-k * 150) / width_;
  int64_t start = std::max<int64_t>(int64_t(double(g) - double(g - start_) * factor), 0);
  int64_t end = std::min<int64_t>(int64_t(double(g) + double(end_ - g) * factor), 0x7FFFFFFF);
  if (start == start_ && end == end_) {
    start += k < 0 ? -1 : 1;
    end += k < 0 ? 1 : -1;
    start = std::max<int64_t>(start, 0);
  }
  if (start < end) changeRange(start, end);
}

void TimeLineModel::keepCursorVisible() {
  const int64_t length = visibleLength();
  int64_t start = start_;
  if (cursor_ > end_) {
    start = rightPin_ ? cursor_ - length : cursor_;
  } else if (cursor_ < start_) {
    start = rightPin_ ? cursor_ : cursor_ - length;
  } else {
    return;
  }
  start = std::clamp<int64_t>(start, 0, std::max<int64_t>(total_ - length, 0));
  setVisibleRange(start, start + length);
  if (listener_) listener_->cursorKeptInView();
}

void TimeLineModel::moveCursor(int64_t frame) {
  cursor_ = std::clamp<int64_t>(frame, 0, total_);
  keepCursorVisible();
  if (listener_) listener_->cursorMoved(cursor_);
}

int TimeLineModel::bookmarkNear(int x) const {
  int best = -1, bestDistance = kBookmarkPickDistance + 1;
  for (size_t i = 0; i < bookmarks_.size(); ++i) {
    const int distance = std::abs(frameToX(bookmarks_[i].frame) - x);
    if (distance < bestDistance) {
      best = int(i);
      bestDistance = distance;
    }
  }
  return best;
}

void TimeLineModel::setContextPoint(int x) {
  contextFrame_ = std::clamp<int64_t>(xToFrame(x), 0, total_);
  contextBookmark_ = bookmarkNear(x);
}

void TimeLineModel::press(int x, int y) {
  if (y < 0 || y >= rulerHeight()) return;
  if (y < tickBandHeight()) {
    tracking_ = true;
    if (!trackingTold_ && listener_) listener_->trackingStarted();
    trackingTold_ = true;
    if (style_ & kTapMovesCursor) moveCursor(xToFrame(x));
    return;
  }
  if (style_ & kPickBookmarks) {
    if (const int picked = bookmarkNear(x); picked >= 0) {
      if (listener_)
        listener_->bookmarkPicked(picked, x - frameToX(bookmarks_[size_t(picked)].frame));
      return;
    }
  }
  const int64_t frame = xToFrame(x);
  if ((style_ & kZoomAndDrag) && frame >= start_ && frame < end_) {
    dragging_ = true;
    pivotX_ = x;
    dragStart_ = start_;
    dragEnd_ = end_;
  }
}

void TimeLineModel::move(int x, int) {
  if (tracking_) {
    if (style_ & kTapMovesCursor) moveCursor(xToFrame(x));
    return;
  }
  if (!dragging_) return;
  const int64_t length = dragEnd_ - dragStart_;
  const int64_t shift = int64_t(x - pivotX_) * length / width_;
  const int64_t start =
      std::clamp<int64_t>(dragStart_ - shift, 0, std::max<int64_t>(total_ - length, 0));
  if (start != start_) changeRange(start, start + length);
}

void TimeLineModel::release(int, int) {
  tracking_ = dragging_ = trackingTold_ = false;
}

Rgb TimeLineModel::bookmarkRowColour(Rgb colour, int row) {
  const double factor = 0.443 + 0.041 * row;
  return {uint8_t(colour.r * factor), uint8_t(colour.g * factor), uint8_t(colour.b * factor)};
}

RulerPlan TimeLineModel::buildRuler(const std::function<int(const std::string&)>& textWidth) const {
  RulerPlan plan;
  plan.width = width_;
  plan.rulerHeight = rulerHeight();
  plan.baseline = tickBandHeight();
  const int64_t length = visibleLength();
  if (length <= 0 || plan.rulerHeight <= 0) return plan;
  const TickSteps steps = tickSteps(length, unit_, rate_);
  if (steps.minor > 0 && steps.major > 0) {
    const bool minorShown = double(steps.minor) * width_ / double(length) > 5;
    int labelEnd = INT_MIN / 2;
    for (int64_t frame = (start_ + steps.minor - 1) / steps.minor * steps.minor; frame <= end_;
         frame += steps.minor) {
      const bool major = frame % steps.major == 0;
      if (!major && !minorShown) continue;
      const int x = frameToX(frame);
      plan.ticks.push_back({x, major});
      if (!major) continue;
      std::string text = rulerLabel(frame, unit_, rate_, length);
      const int w = textWidth ? textWidth(text) : int(text.size()) * 6;
      // Inside the ruler's frame at both ends.
      int left = std::clamp(x - w / 2, 2, std::max(width_ - w - 2, 2));
      if (left < labelEnd + kLabelGap) continue;
      labelEnd = left + w;
      plan.labels.push_back({left, std::move(text)});
    }
  }
  if (cursor_ >= start_ && cursor_ <= end_) {
    plan.hasCursor = true;
    plan.cursorX = frameToX(cursor_);
  }
  for (const RulerBookmark& bookmark : bookmarks_) {
    const int x = frameToX(bookmark.frame);
    if (x >= 0 && x <= width_) plan.flags.push_back({x, bookmark.colour});
  }
  return plan;
}

}  // namespace quillon::view
